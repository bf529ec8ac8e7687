#include "app/startup.h"

#include "app/datamodule.h"
#include "app/principal.h"
#include "app/senha.h"
#include "app/splash.h"
#include "app/wiring.h"
#include "core/connection.h"
#include "core/readquery.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/session.h"
#include "core/termination.h"
#include "gui/widgetdialogs.h"
#include "gui/windows.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QSqlDatabase>
#include <QTimer>
#include <QTranslator>

#ifndef PROTOCOLO_PROFILE
#define PROTOCOLO_PROFILE 0
#endif

namespace app {

QString mainWindowTitle(const core::AppValues& values) {
    return values.systemName + QStringLiteral(" | ") +
           QStringLiteral("%1").arg(values.profileNumber, 5, 10, QLatin1Char('0')) + QStringLiteral(" - ") +
           values.profile.organisationName;
}

bool connectMainWindow(TFrm_Principal& window, const QString& currentFolder) {
    core::AppValues& values = core::appValues();
    window.setWindowTitle(mainWindowTitle(values));
    const core::ConnectionTarget target = core::buildConnectionTarget(values.profile, currentFolder);
    // The logo placeholder and the spreadsheet are looked for beside the program in every mode,
    // also when the database is on a server.
    values.workingFolder = target.mode == core::ConnectionMode::Remote ? currentFolder : target.workingFolder;
    QString error;
    if (!core::openMainConnection(target, &error)) {
        // The window is not on screen yet: the box goes to the middle of the screen. Said once:
        // the menu then stays greyed without asking the database again.
        core::dialogs().message(window.isVisible() ? &window : nullptr,
                                core::openFailureMessage(target, error));
        return false;
    }
    if (target.mode == core::ConnectionMode::Remote)
        window.setWindowTitle(window.windowTitle() + onlineSuffix());
    return true;
}

std::unique_ptr<TFrm_Principal> createMainWindow(const QString& currentFolder, bool* connected) {
    ensureDataModule();
    auto window = std::make_unique<TFrm_Principal>();
    const bool ok = connectMainWindow(*window, currentFolder);
    if (connected) *connected = ok;
    return window;
}

void closeMainConnection() {
    QSqlDatabase db = core::mainConnection();
    if (!db.isOpen()) return;
    // Nothing is left half-written: an open transaction is undone before the detach.
    db.rollback();
    core::releaseReads(db);
    db.close();
}

void showPendingReceipts(QWidget* parent) {
    const QString title = pendingReceiptsTitle();
    if (core::menuCommands().contains(title)) core::menuCommands().open(title, parent);
}

static void waitShowing(int milliseconds) {
    // The splash stays on screen and keeps painting while the time runs; a coarse timer could
    // end the wait early.
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    loop.exec();
}

std::unique_ptr<TFrm_Principal> startClient(const StartupOptions& options) {
    auto splash = std::make_unique<TFrm_Splash>(options.currentFolder);
    splash->show();
    splash->raise();
    splash->repaint();
    QCoreApplication::processEvents();
    waitShowing(options.splashMilliseconds);

    bool connected = false;
    std::unique_ptr<TFrm_Principal> window = createMainWindow(options.currentFolder, &connected);
    // Without a connection nothing can be logged into: the window opens with the governed entries
    // disabled. The splash goes in both cases rather than staying stuck behind the main window.
    splash.reset();
    if (connected) {
        if (!runLogin(window.get())) return nullptr;
        showPendingReceipts(window.get());
        window->yearLabel()->setText(core::appValues().exerciseYear);
        window->yearLabel()->adjustSize();
    }
    gui::setMaximisedOnScreen(window.get());
    window->show();
    return window;
}

int runClient(QApplication& application) {
    // Every text of the program is Brazilian Portuguese, the toolkit's own ones included.
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&toolkitTexts);
    gui::installWidgetDialogs();
    // The desktop session closing or Ctrl+C ends every event loop, open windows and questions
    // included, without the closing question; what was not saved is not written, and no
    // statement is cut half-way since the request is handled between two events.
    core::onTerminationRequest([] { QCoreApplication::exit(0); });
    core::initialiseAppValues(PROTOCOLO_PROFILE);
    // Like the profile, the address of the citizens' look-up is fixed when the installation's
    // program is built (-DPROTOCOLO_CONSULTA_URL=...); empty, the receipt prints no such block.
    core::appValues().profile.publicLookupAddress = QStringLiteral(PROTOCOLO_CONSULTA_URL);
    wireMenuCommands();
    StartupOptions options;
    options.currentFolder = QDir::currentPath();
    std::unique_ptr<TFrm_Principal> window = startClient(options);
    int status = 0;
    if (window && !core::terminationRequested()) status = application.exec();
    window.reset();
    closeMainConnection();
    return status;
}

} // namespace app
