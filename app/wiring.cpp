#include "app/wiring.h"

#include "app/atualizabancodados.h"
#include "app/consultapublica.h"
#include "app/dashboardchart.h"
#include "app/principal.h"
#include "app/sobre.h"
#include "app/usuarios.h"
#include "core/menucommands.h"
#include "exchange/excel4.h"
#include "forms/processes/processes.h"
#include "forms/processes/searches.h"
#include "forms/processes/trilhaauditoria.h"
#include "forms/registers/registers.h"
#include "reports/listings/trilha.h"
#include "reports/reports.h"

namespace app {

void registerShellCommands() {
    core::menuCommands().add(QStringLiteral("Ajuda"),
                             [](QWidget* parent, const QString&) { showAboutBox(parent); });
    // The chart lives on the main window: its entry reads the figures now, whatever their age.
    core::menuCommands().add(TFrm_Principal::dashboardTitle(), [](QWidget*, const QString&) {
        if (Frm_Principal && Frm_Principal->dashboard()) Frm_Principal->dashboard()->refreshNow();
    });
}

void wireMenuCommands() {
    registerShellCommands();
    registers::registerMenuCommands();
    processes::registerMenuCommands();
    registerUserCommands();
    processes::registerSearchCommands();
    reports::registerMenuCommands();
    // The trail window prints through the report engine, which the searches do not link.
    processes::registerTrailReport(&reports::openTrailReport);
    registerDatabaseUpdateCommand();
    registerPublicLookupCommand();
    exchange::registerMenuCommands();
}

} // namespace app
