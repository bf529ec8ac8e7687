#include "app/wiring.h"

#include "app/sobre.h"
#include "app/usuarios.h"
#include "core/menucommands.h"
#include "forms/processes/processes.h"
#include "app/atualizabancodados.h"
#include "exchange/excel4.h"
#include "forms/processes/searches.h"
#include "forms/registers/registers.h"
#include "reports/reports.h"

namespace app {

void registerShellCommands() {
    core::menuCommands().add(QStringLiteral("Ajuda"),
                             [](QWidget* parent, const QString&) { showAboutBox(parent); });
}

void wireMenuCommands() {
    registerShellCommands();
    registers::registerMenuCommands();
    processes::registerMenuCommands();
    registerUserCommands();
    processes::registerSearchCommands();
    reports::registerMenuCommands();
    registerDatabaseUpdateCommand();
    exchange::registerMenuCommands();
}

} // namespace app
