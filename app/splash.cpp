#include "app/splash.h"

#include "core/appvalues.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace app {

TFrm_Splash::TFrm_Splash(const QString& pictureFolder, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Frm_Splash"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(kWidth, kHeight);
    m_picture = builtInPicture();
    // Any failure to read the replacement keeps the built-in picture; nothing is reported.
    if (!pictureFolder.isEmpty()) {
        QImageReader reader(QDir(pictureFolder).filePath(pictureFileName()));
        const QImage image = reader.read();
        if (!image.isNull()) {
            m_picture = QPixmap::fromImage(image);
            m_replaced = true;
        }
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    Frm_Splash = this;
}

TFrm_Splash::~TFrm_Splash() {
    if (Frm_Splash == this) Frm_Splash = nullptr;
}

QPixmap TFrm_Splash::builtInPicture() {
    QPixmap pixmap(kWidth, kHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, QColor(0, 32, 96));
    sky.setColorAt(1.0, QColor(40, 110, 190));
    p.fillRect(pixmap.rect(), sky);

    // A stack of folders with a stamp: the registry office's work at a glance.
    const QRect stack(40, 120, 150, 150);
    for (int i = 3; i >= 0; --i) {
        const QRect folder = stack.translated(i * 10, -i * 12);
        p.setPen(QPen(QColor(120, 90, 40), 2));
        p.setBrush(QColor(235, 205, 140).darker(100 + i * 6));
        p.drawRoundedRect(folder, 6, 6);
    }
    p.setPen(QPen(QColor(180, 20, 20), 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPoint(110, 200), 42, 42);
    QFont stampFont(QStringLiteral("Arial"), 10, QFont::Bold);
    p.setFont(stampFont);
    p.setPen(QColor(180, 20, 20));
    p.drawText(QRect(68, 180, 84, 40), Qt::AlignCenter, QStringLiteral("PROTOCOLO"));

    p.setPen(Qt::white);
    QFont title(QStringLiteral("Arial"), 30, QFont::Bold);
    p.setFont(title);
    p.drawText(QRect(200, 110, 280, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Protocolo"));
    QFont subtitle(QStringLiteral("Arial"), 12);
    p.setFont(subtitle);
    p.drawText(QRect(204, 165, 280, 30), Qt::AlignLeft | Qt::AlignVCenter, core::appValues().systemName);
    p.drawText(QRect(204, 190, 280, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Registro e tramitação de processos"));
    QFont small(QStringLiteral("Arial"), 9);
    p.setFont(small);
    p.setPen(QColor(210, 225, 245));
    p.drawText(QRect(0, kHeight - 40, kWidth - 20, 30), Qt::AlignRight | Qt::AlignVCenter,
               core::appValues().versionText + QStringLiteral("  -  ") + core::appValues().developerText);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawRect(pixmap.rect().adjusted(4, 4, -5, -5));
    return pixmap;
}

void TFrm_Splash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), m_picture);
}

} // namespace app
