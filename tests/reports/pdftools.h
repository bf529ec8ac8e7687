#pragma once

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

// Reading back the PDF files the reports write, with the poppler tools.
namespace pdftools {

// Text of the pages (1-based, 0: all), laid out as on the page or in drawing order.
inline QString text(const QString& pdf, int first = 0, int last = 0, bool layout = true) {
    QStringList args{layout ? QStringLiteral("-layout") : QStringLiteral("-raw"), QStringLiteral("-enc"),
                     QStringLiteral("UTF-8")};
    if (first > 0) args << QStringLiteral("-f") << QString::number(first);
    if (last > 0) args << QStringLiteral("-l") << QString::number(last);
    args << pdf << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline int pageCount(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(60000);
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                       .match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// One page (1-based) as an image at the given resolution.
inline QImage pageImage(const QString& pdf, int page, int dpi) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("p"));
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                         QString::number(page), QStringLiteral("-singlefile"), pdf, prefix});
    p.waitForFinished(60000);
    return QImage(prefix + QStringLiteral(".png"));
}

// Pixel colour at a point given in millimetres from the paper's top-left corner.
inline QColor colourAtMm(const QImage& image, int dpi, double xMm, double yMm) {
    return image.pixelColor(int(xMm / 25.4 * dpi), int(yMm / 25.4 * dpi));
}

} // namespace pdftools
