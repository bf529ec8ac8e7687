#include "forms/processes/searches.h"

#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/processpapers.h"
#include "core/rights.h"
#include "forms/processes/pesqdespacho.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/processes/trilhaauditoria.h"

namespace processes {

namespace {

// An entry printing one paper of the current row: `keyField` (and `yearField`, when the paper
// belongs to a process) name the row's values the paper is read with. An empty list prints an
// empty paper rather than refusing, as the routing form's history does.
SearchMenuEntry paperEntry(const QString& title, const QString& keyField,
                           const QString& yearField = QString()) {
    return {title, [title, keyField, yearField](QWidget* window, const QVariantMap& row) {
                const QString year = yearField.isEmpty() ? QString() : row.value(yearField).toString();
                if (!core::openProcessPaper(title, window, row.value(keyField).toString(), year))
                    core::dialogs().message(window, core::notAvailableMessage(title));
            }};
}

} // namespace

void registerSearchPapers() {
    const QString processo = QStringLiteral("IDPROCESSO");
    const QString ano = QStringLiteral("ANO");
    const SearchMenuEntry protocolo = paperEntry(QStringLiteral("Protocolo"), processo, ano);
    const SearchMenuEntry capa = paperEntry(QStringLiteral("Capa de Processo"), processo, ano);
    const SearchMenuEntry historico = paperEntry(QStringLiteral("Histórico do Processo"), processo, ano);
    // Assigned, not appended: registering twice leaves each entry once.
    // The trail of the process and its movements goes with the trail's own right.
    const SearchMenuEntry trilha{
        trailEntryTitle(), [](QWidget* window, const QVariantMap& row) {
            if (!core::userHasRight(QStringLiteral("Trilha de Auditoria"))) {
                core::dialogs().message(window, QStringLiteral("Atenção, sem acesso à Trilha de Auditoria."));
                return;
            }
            openTrilhaProcesso(window, row.value(QStringLiteral("IDPROCESSO")).toString(),
                               row.value(QStringLiteral("ANO")).toString());
        }};
    processSearchMenu() = {protocolo, capa, historico, trilha};
    dispatchSearchMenu() = {protocolo, capa, historico,
                            paperEntry(QStringLiteral("Despacho"), QStringLiteral("REGISTRO"))};
}

void registerSearchCommands() {
    registerSearchPapers();
    auto& menu = core::menuCommands();
    menu.add(QStringLiteral("Pesquisa Processos"),
             [](QWidget* parent, const QString&) { openPesqProcesso(parent); });
    menu.add(QStringLiteral("Trilha de Auditoria"),
             [](QWidget* parent, const QString&) { openTrilhaAuditoria(parent); });
    menu.add(QStringLiteral("Pesquisa Despachos"),
             [](QWidget* parent, const QString&) { openPesqDespacho(parent); });
}

} // namespace processes
