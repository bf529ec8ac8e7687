#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace core {

// True when the logged-in user holds the right to the menu entry with this title (as shown,
// without the accelerator marker: "Unidades Orçamentárias"), read from the database now. A
// button that opens another window asks this, so it grants no more than the menu does.
bool userHasRight(const QString& menuTitle);
// Which of these titles the logged-in user holds, read in one statement: a window with several
// buttons that open others asks once, not once per button.
QSet<QString> userRightsAmong(const QStringList& menuTitles);

} // namespace core
