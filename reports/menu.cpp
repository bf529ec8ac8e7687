#include "reports/reports.h"

#include "core/menucommands.h"
#include "core/processpapers.h"
#include "reports/listings/listings.h"
#include "reports/listings/parados.h"
#include "reports/processes/processreports.h"

namespace reports {

void registerMenuCommands() {
    for (const ListingEntry& entry : listingEntries())
        core::menuCommands().add(entry.title,
                                 [](QWidget* parent, const QString& title) { openListing(parent, title); });
    core::menuCommands().add(paradosTitle(), [](QWidget* parent, const QString&) { openParados(parent); });
    core::registerProcessPaper(QStringLiteral("Protocolo"),
                               [](QWidget* parent, const QString& process, const QString& year) {
                                   openReceipt(parent, process, year);
                               });
    core::registerProcessPaper(QStringLiteral("Capa de Processo"),
                               [](QWidget* parent, const QString& process, const QString& year) {
                                   openCover(parent, process, year);
                               });
    core::registerProcessPaper(QStringLiteral("Histórico do Processo"),
                               [](QWidget* parent, const QString& process, const QString& year) {
                                   openHistory(parent, process, year);
                               });
    core::registerProcessPaper(
        QStringLiteral("Despacho"),
        [](QWidget* parent, const QString& registro, const QString&) { openDispatch(parent, registro); });
}

} // namespace reports
