#pragma once

#include <QHash>
#include <QString>
#include <functional>

class QWidget;

namespace core {

// What a menu entry does, keyed by the entry's title without its "&". Each library registers
// the windows and reports it owns; the main window only looks titles up.
using MenuOpener = std::function<void(QWidget* parent, const QString& entryTitle)>;

class MenuCommands {
public:
    void add(const QString& title, MenuOpener opener) { m_openers.insert(title, std::move(opener)); }
    bool contains(const QString& title) const { return m_openers.contains(title); }
    // False when nothing is registered for the title.
    bool open(const QString& title, QWidget* parent) const;

private:
    QHash<QString, MenuOpener> m_openers;
};

MenuCommands& menuCommands();

// What the user is told when an entry or a button leads to a window this build does not have yet.
QString notAvailableMessage(const QString& title);

} // namespace core
