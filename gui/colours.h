#pragma once

#include <QColor>
#include <QString>

namespace gui {

// Delphi-style colour names used by the reports ("clSilver", "clWhite", "clSkyBlue"...).
QColor colourFromName(const QString& name);

} // namespace gui
