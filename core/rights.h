#pragma once

#include <QString>

namespace core {

// True when the logged-in user holds the right to the menu entry with this title (as shown,
// without the accelerator marker: "Unidades Orçamentárias"), read from the database now. A
// button that opens another window asks this, so it grants no more than the menu does.
bool userHasRight(const QString& menuTitle);

} // namespace core
