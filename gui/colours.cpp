#include "gui/colours.h"

namespace gui {

QColor colourFromName(const QString& name) {
    if (name == QLatin1String("clSilver")) return QColor(192, 192, 192);
    if (name == QLatin1String("clWhite")) return QColor(255, 255, 255);
    if (name == QLatin1String("clSkyBlue")) return QColor(166, 202, 240);
    if (name == QLatin1String("clNavy")) return QColor(0, 0, 128);
    if (name == QLatin1String("clBlack")) return QColor(0, 0, 0);
    return QColor(name.startsWith(QLatin1String("cl")) ? name.mid(2).toLower() : name);
}

} // namespace gui
