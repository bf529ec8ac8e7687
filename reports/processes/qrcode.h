#pragma once

#include <QImage>
#include <QString>

namespace reports {

// A QR code of a text (medium error correction, so a creased receipt still reads), black modules
// on white with the four-module quiet zone the readers need, moduleSize pixels a module. Null
// when the text does not fit a QR code.
QImage qrCode(const QString& text, int moduleSize = 10);

} // namespace reports
