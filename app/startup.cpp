#include "app/startup.h"

#include "core/connection.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/session.h"
#include "gui/widgetdialogs.h"
#include "gui/windows.h"
#include "app/datamodule.h"
#include "app/principal.h"
#include "app/senha.h"
#include "app/splash.h"
#include "app/wiring.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
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
        // The window is not on screen yet: the box goes to the middle of the screen.
        core::dialogs().error(window.isVisible() ? &window : nullptr, error);
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
    core::initialiseAppValues(PROTOCOLO_PROFILE);
    wireMenuCommands();
    StartupOptions options;
    options.currentFolder = QDir::currentPath();
    std::unique_ptr<TFrm_Principal> window = startClient(options);
    if (!window) return 0;
    return application.exec();
}

} // namespace app
