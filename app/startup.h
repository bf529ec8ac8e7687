#pragma once

#include "core/appvalues.h"

#include <QString>
#include <memory>

class QApplication;
class QWidget;

namespace app {

class TFrm_Principal;

// "Protocolo-Korvalis | 00004 - <organisation>"; the connection step may add " - ON-LINE".
QString mainWindowTitle(const core::AppValues& values);
inline QString onlineSuffix() {
    return QStringLiteral(" - ON-LINE");
}

// The title of the pending-receipts entry: after the login its window is opened the same way
// the menu opens it, when the program has one.
inline QString pendingReceiptsTitle() {
    return QStringLiteral("Pendências");
}

// Step 4: sets the window's title and opens the main connection from the installation profile
// and the given current folder. On failure the driver's text goes to the general error box and
// false is returned; the window stays usable for the about box and leaving.
bool connectMainWindow(TFrm_Principal& window, const QString& currentFolder);

// Steps 3 and 4 without a login or an event loop: the data module (when the run has none), a new
// main window, its title and the connection. `connected` receives the outcome.
std::unique_ptr<TFrm_Principal> createMainWindow(const QString& currentFolder, bool* connected = nullptr);

// Step 6: the pending receipts of the user who has just logged in.
void showPendingReceipts(QWidget* parent);

struct StartupOptions {
    QString currentFolder; // where the database file (local modes) and the splash picture are looked for
    int splashMilliseconds = 2000;
};

// Steps 2 to 8 for the application values already set: splash, data module, main window and
// connection, login, pending receipts, year label, shown maximised. Runs no event loop of its
// own beyond the splash wait and the modal windows. Empty when the login was cancelled, which
// ends the program.
std::unique_ptr<TFrm_Principal> startClient(const StartupOptions& options);

// The whole program: application values, menu wiring, start-up, then the event loop.
int runClient(QApplication& application);

// Ends the run's use of the database: an open transaction is rolled back, the connection closed.
void closeMainConnection();

} // namespace app
