#include "core/menucommands.h"

namespace core {

bool MenuCommands::open(const QString& title, QWidget* parent) const {
    const auto it = m_openers.constFind(title);
    if (it == m_openers.constEnd()) return false;
    (*it)(parent, title);
    return true;
}

MenuCommands& menuCommands() {
    static MenuCommands commands;
    return commands;
}

QString notAvailableMessage(const QString& title) {
    return QStringLiteral("Atenção,\r\"%1\" ainda não está disponível nesta versão do sistema.").arg(title);
}

} // namespace core
