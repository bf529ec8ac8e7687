#pragma once

#include <QList>
#include <QString>

namespace core {

// Kind kept with every menu entry; the access rights act on it.
enum class MenuKind {
    TopOrSeparator = 0, // top-level entries are never touched; separators are disabled
    Window = 1,         // disabled and hidden without a right
    Report = 2,         // disabled without a right
    Utility = 3,        // disabled without a right
    Always = 4          // submenu headers and entries always available
};

struct MenuEntrySpec {
    int level;     // 0 top level, 1 second level, 2 third level
    QString title; // as shown, without accelerator marker; empty for a separator
    MenuKind kind;
    bool hidden; // hidden in the design; nothing ever shows it
    bool separator() const { return title.isEmpty(); }
};

// The whole main menu, in order.
const QList<MenuEntrySpec>& menuTree();

// Titles of every window, report and utility entry (kinds 1, 2, 3), in menu order.
QStringList grantableTitles();

} // namespace core
