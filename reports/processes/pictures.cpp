#include "core/appvalues.h"
#include "reports/processes/processreports.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace reports {

namespace {

constexpr int kSide = 600;

// A shield outline: straight top, sides curving down to a point.
QPainterPath shieldPath(const QRectF& r) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right(), r.top());
    path.lineTo(r.right(), r.top() + r.height() * 0.55);
    path.quadTo(r.right(), r.bottom() - r.height() * 0.1, r.center().x(), r.bottom());
    path.quadTo(r.left(), r.bottom() - r.height() * 0.1, r.left(), r.top() + r.height() * 0.55);
    path.closeSubpath();
    return path;
}

QPainterPath starPath(const QPointF& centre, double outer, double inner) {
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 == 0 ? outer : inner;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const QPointF p(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

QImage blankSquare() {
    QImage image(kSide, kSide, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The picture of the working folder, or the drawn one when there is none or it cannot be read.
QImage pictureOrBuiltIn(const QString& fileName, QImage (*builtIn)()) {
    const QString folder = core::appValues().workingFolder;
    if (!folder.isEmpty()) {
        QImageReader reader(QDir(folder).filePath(fileName));
        const QImage image = reader.read();
        if (!image.isNull()) return image;
    }
    return builtIn();
}

} // namespace

QString emblemFileName() {
    return QStringLiteral("EMBLEMA.JPG");
}

QString coatOfArmsFileName() {
    return QStringLiteral("BRASAO.JPG");
}

QImage emblemPicture() {
    return pictureOrBuiltIn(emblemFileName(), &builtInEmblem);
}

QImage coatOfArmsPicture() {
    return pictureOrBuiltIn(coatOfArmsFileName(), &builtInCoatOfArms);
}

// A neutral emblem of a public building: a navy shield holding a pediment on four columns.
// Installations put their own emblem in the working folder.
QImage builtInEmblem() {
    QImage image = blankSquare();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor navy(20, 40, 100);
    const QRectF shield(60, 30, 480, 540);
    p.setPen(QPen(navy, 14));
    p.setBrush(QColor(225, 232, 245));
    p.drawPath(shieldPath(shield));

    p.setPen(Qt::NoPen);
    p.setBrush(navy);
    QPainterPath pediment;
    pediment.moveTo(140, 210);
    pediment.lineTo(300, 110);
    pediment.lineTo(460, 210);
    pediment.closeSubpath();
    p.drawPath(pediment);
    p.drawRect(QRectF(140, 220, 320, 22));
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(160 + i * 80, 252, 40, 150));
    p.drawRect(QRectF(130, 412, 340, 24));
    p.drawRect(QRectF(110, 446, 380, 22));
    return image;
}

// A neutral coat of arms: a quartered shield under a star, between two branches.
QImage builtInCoatOfArms() {
    QImage image = blankSquare();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor green(30, 110, 60);
    const QColor blue(25, 60, 140);
    const QColor gold(200, 160, 30);

    // Branches: leaves along two arcs.
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    for (int side : {-1, 1}) {
        for (int i = 0; i < 9; ++i) {
            const double angle = M_PI / 2 + side * (0.25 + i * 0.17);
            const QPointF at(300 + 250 * std::cos(angle), 300 + 250 * std::sin(angle) * 0.95);
            p.save();
            p.translate(at);
            p.rotate(angle * 180 / M_PI + (side > 0 ? 60 : 120));
            p.drawEllipse(QRectF(-34, -12, 68, 24));
            p.restore();
        }
    }

    const QRectF shield(150, 130, 300, 350);
    const QPainterPath outline = shieldPath(shield);
    p.save();
    p.setClipPath(outline);
    p.fillRect(QRectF(shield.left(), shield.top(), shield.width() / 2, shield.height() * 0.45), blue);
    p.fillRect(QRectF(shield.center().x(), shield.top(), shield.width() / 2, shield.height() * 0.45),
               Qt::white);
    p.fillRect(
        QRectF(shield.left(), shield.top() + shield.height() * 0.45, shield.width() / 2, shield.height()),
        Qt::white);
    p.fillRect(QRectF(shield.center().x(), shield.top() + shield.height() * 0.45, shield.width() / 2,
                      shield.height()),
               blue);
    p.restore();
    p.setPen(QPen(gold, 12));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);

    p.setPen(QPen(gold.darker(130), 4));
    p.setBrush(gold);
    p.drawPath(starPath(QPointF(300, 75), 60, 25));
    return image;
}

} // namespace reports
