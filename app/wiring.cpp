#include "app/wiring.h"

#include "app/sobre.h"
#include "app/usuarios.h"
#include "core/menucommands.h"
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
    registerUserCommands();
    processes::registerSearchCommands();
    reports::registerMenuCommands();
}

} // namespace app
