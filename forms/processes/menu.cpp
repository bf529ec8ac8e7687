#include "forms/processes/processes.h"

#include "core/menucommands.h"
#include "forms/processes/processos.h"
#include "forms/processes/recebimentopendencia.h"
#include "forms/processes/tramitacao.h"

namespace processes {

void registerMenuCommands() {
    auto& menu = core::menuCommands();
    menu.add(QStringLiteral("Processos"), [](QWidget* parent, const QString&) { openProcessos(parent); });
    menu.add(QStringLiteral("Pendências"),
             [](QWidget* parent, const QString&) { openRecebimentoPendencia(parent); });
    // Hidden in the menu; the process form and the pending list open it through the routing
    // hand-off (core::openRouting), which looks it up under this title.
    menu.add(QStringLiteral("Tramitação"), [](QWidget* parent, const QString&) { openTramitacao(parent); });
}

} // namespace processes
