#include "reports/processes/qrcode.h"

#include <QPainter>

#include <qrencode.h>

namespace reports {

QImage qrCode(const QString& text, int moduleSize) {
    const QByteArray bytes = text.toUtf8();
    QRcode* code = QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M);
    if (!code) return {};
    constexpr int kQuiet = 4;
    const int side = (code->width + 2 * kQuiet) * moduleSize;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                p.fillRect((x + kQuiet) * moduleSize, (y + kQuiet) * moduleSize, moduleSize, moduleSize,
                           Qt::black);
    p.end();
    QRcode_free(code);
    return image;
}

} // namespace reports
