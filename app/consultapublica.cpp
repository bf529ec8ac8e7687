#include "app/consultapublica.h"

#include "core/connection.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/publiclookup.h"

namespace app {

void renewPublicLookupCode(QWidget* parent) {
    // "No" is the default: renewing by a slip of the Enter key would cost every printed receipt.
    if (!core::dialogs().question(parent, core::consulta::renewConfirmationText(),
                                  core::DialogService::DefaultButton::No))
        return;
    QSqlDatabase db = core::mainConnection();
    if (!core::ensureConnection(db)) return;
    QString error;
    if (!core::consulta::renewSecret(db, &error)) {
        if (!core::noteConnectionFailure(db, parent)) core::dialogs().error(parent, error);
        return;
    }
    core::dialogs().message(parent, core::consulta::renewedText());
}

void registerPublicLookupCommand() {
    core::menuCommands().add(QStringLiteral("Renova Código de Consulta Pública"),
                             [](QWidget* parent, const QString&) { renewPublicLookupCode(parent); });
}

} // namespace app
