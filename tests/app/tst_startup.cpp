#include "app/datamodule.h"
#include "app/principal.h"
#include "app/splash.h"
#include "app/startup.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/menucommands.h"
#include "core/session.h"
#include "db/database.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using testsupport::child;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

Q_DECLARE_METATYPE(core::ConnectionMode)

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void connectionTarget_data();
    void connectionTarget();
    void titleWithProfile_data();
    void titleWithProfile();
    void localModeOpensTheFolderDatabase();
    void failedConnectionOpensWithoutLogin();
    void remoteModeIsOnline();
    void fullStartup();
    void cancelledLoginEndsTheProgram();
    void splashPicture();
};

void TestStartup::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
}

void TestStartup::init() {
    core::initialiseAppValues(0);
    core::currentUser() = core::CurrentUser{};
}

void TestStartup::connectionTarget_data() {
    QTest::addColumn<bool>("remote");
    QTest::addColumn<bool>("localServer");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<core::ConnectionMode>("mode");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("workingFolder");
    using M = core::ConnectionMode;
    QTest::newRow("local, drive folder")
        << false << false << "D:\\Protocolo" << M::Local << "D:\\Protocolo\\KORVALIS_PROTOCOLO.fdb"
        << "sysdba"
        << "D:\\Protocolo";
    QTest::newRow("local server, drive folder")
        << false << true << "D:\\Protocolo" << M::LocalServer << "srv:C:\\Protocolo\\KORVALIS_PROTOCOLO.fdb"
        << "sysdba"
        << "D:\\Protocolo";
    QTest::newRow("local server, nested folder")
        << false << true << "E:\\Sistemas\\Protocolo" << M::LocalServer
        << "srv:C:\\Sistemas\\Protocolo\\KORVALIS_PROTOCOLO.fdb"
        << "sysdba"
        << "E:\\Sistemas\\Protocolo";
    QTest::newRow("local, POSIX folder")
        << false << false << "/home/protocolo" << M::Local << "/home/protocolo/KORVALIS_PROTOCOLO.fdb"
        << "sysdba"
        << "/home/protocolo";
    QTest::newRow("local server, POSIX folder")
        << false << true << "/srv/protocolo" << M::LocalServer << "srv:/srv/protocolo/KORVALIS_PROTOCOLO.fdb"
        << "sysdba"
        << "/srv/protocolo";
    QTest::newRow("remote ignores the local-server flag and the folder")
        << true << true << "D:\\Protocolo" << M::Remote
        << "banco.prefeitura/3050:/dados/KORVALIS_PROTOCOLO.fdb"
        << "SYSDBA"
        << "";
    QTest::newRow("remote") << true << false << "/home/protocolo" << M::Remote
                            << "banco.prefeitura/3050:/dados/KORVALIS_PROTOCOLO.fdb"
                            << "SYSDBA"
                            << "";
}

void TestStartup::connectionTarget() {
    QFETCH(bool, remote);
    QFETCH(bool, localServer);
    QFETCH(QString, folder);
    QFETCH(core::ConnectionMode, mode);
    QFETCH(QString, database);
    QFETCH(QString, userName);
    QFETCH(QString, workingFolder);
    core::InstallationProfile profile = core::profileFor(0);
    profile.remote = remote;
    profile.localServer = localServer;
    profile.localServerAddress = QStringLiteral("srv");
    profile.remoteLocation = QStringLiteral("banco.prefeitura/3050:/dados/KORVALIS_PROTOCOLO.fdb");
    const core::ConnectionTarget target = core::buildConnectionTarget(profile, folder);
    QCOMPARE(target.mode, mode);
    QCOMPARE(target.database, database);
    QCOMPARE(target.userName, userName);
    QCOMPARE(target.workingFolder, workingFolder);
}

void TestStartup::titleWithProfile_data() {
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("title");
    QTest::newRow("delivered installation")
        << 4 << QStringLiteral("Protocolo-Korvalis | 00004 - Prefeitura Municipal de Satuba");
    QTest::newRow("demonstration")
        << 0 << QStringLiteral("Protocolo-Korvalis | 00000 - Prefeitura Municipal de Demonstração");
    QTest::newRow("number without a row") << 12 << QStringLiteral("Protocolo-Korvalis | 00012 - ");
}

void TestStartup::titleWithProfile() {
    QFETCH(int, profile);
    QFETCH(QString, title);
    core::initialiseAppValues(profile);
    QCOMPARE(app::mainWindowTitle(core::appValues()), title);
}

void TestStartup::localModeOpensTheFolderDatabase() {
    TestDatabase db(true);
    QVERIFY_DB(db);
    core::mainConnection().close();
    ScriptedDialogs dialogs;
    bool connected = false;
    auto window = app::createMainWindow(db.folder(), &connected);
    QVERIFY(connected);
    QVERIFY(app::DM_Orvel_Principal);
    QCOMPARE(app::DM_Orvel_Principal->sqlConnectionPrincipal().connectionName(),
             QStringLiteral("sqlConnectionPrincipal"));
    QCOMPARE(window->windowTitle(),
             QStringLiteral("Protocolo-Korvalis | 00000 - Prefeitura Municipal de Demonstração"));
    QCOMPARE(core::appValues().workingFolder, db.folder());
    QCOMPARE(core::mainConnection().databaseName(), db.folder() + QStringLiteral("/KORVALIS_PROTOCOLO.fdb"));
    QCOMPARE(db.scalar("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO = ?", {"00000001"}).toString(),
             QStringLiteral("ADMINISTRADOR"));
    QVERIFY(dialogs.shown().isEmpty());
}

void TestStartup::failedConnectionOpensWithoutLogin() {
    QTemporaryDir empty;
    // The database's own reason for the missing file, as a second connection gets it.
    const QString path = empty.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb"));
    QString reason;
    {
        QSqlDatabase probe = core::openNamedConnection(QStringLiteral("probe"), path, nullptr);
        QVERIFY(!probe.isOpen());
        reason = probe.lastError().databaseText().trimmed();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    QVERIFY(!reason.isEmpty());
    core::ConnectionTarget target;
    target.database = path;
    ScriptedDialogs dialogs;
    // One message, in Portuguese, with the path and that reason; nothing more when the window
    // becomes active and the menu is greyed.
    dialogs.expectMessage(core::openFailureMessage(target, reason));
    // Watch for any modal window (a login would be one) while the start-up runs.
    bool modalShown = false;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modalShown = true;
            modal->close();
        }
    });
    watch.start();
    app::StartupOptions options;
    options.currentFolder = empty.path();
    options.splashMilliseconds = 0;
    auto window = app::startClient(options);
    QVERIFY(window);
    QTest::qWait(100);
    watch.stop();
    QVERIFY(!modalShown);
    QCOMPARE(window->windowTitle(),
             QStringLiteral("Protocolo-Korvalis | 00000 - Prefeitura Municipal de Demonstração"));
    QVERIFY(window->isVisible());
    QVERIFY(window->windowState() & Qt::WindowMaximized);
    QVERIFY(app::Frm_Splash == nullptr);
    QVERIFY(core::currentUser().code.isEmpty());
    QTest::qWait(200);
    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY2(!dialogs.shown().first().contains(QStringLiteral("Error opening database")),
             qPrintable(dialogs.shown().first()));
    // Every entry below the top level but the headers and "Ajuda" is greyed; nothing is hidden.
    for (const auto& e : window->menuEntries()) {
        if (e.spec.level == 0) continue;
        QCOMPARE(e.enabled, e.spec.kind == core::MenuKind::Always);
        QCOMPARE(e.action->isVisible(), !e.spec.hidden);
    }
    VERIFY_DIALOGS(dialogs);
}

void TestStartup::remoteModeIsOnline() {
    const QString server = qEnvironmentVariable("PROTOCOLO_TEST_SERVER");
    if (server.isEmpty()) {
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL("PROTOCOLO_TEST_SERVER is not set: the remote mode cannot be tested on CI");
        QSKIP("PROTOCOLO_TEST_SERVER not set (e.g. 127.0.0.1/3050)");
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The server process, not this one, creates the file.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    const QString location =
        server + QStringLiteral(":") + dir.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb"));
    QString error;
    QVERIFY2(db::createDatabase(location, &error), qPrintable(error));

    core::initialiseAppValues(4);
    core::appValues().profile.remoteLocation = location;
    ScriptedDialogs dialogs;
    bool connected = false;
    QTemporaryDir elsewhere;
    auto window = app::createMainWindow(elsewhere.path(), &connected);
    QVERIFY(connected);
    QCOMPARE(window->windowTitle(),
             QStringLiteral("Protocolo-Korvalis | 00004 - Prefeitura Municipal de Satuba - ON-LINE"));
    QVERIFY(window->windowTitle().endsWith(QStringLiteral(" - ON-LINE")));
    QCOMPARE(core::mainConnection().databaseName(), location);
    QCOMPARE(core::mainConnection().userName(), QStringLiteral("SYSDBA"));
    QSqlQuery q(core::mainConnection());
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM USUARIOS")) && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    q.finish();
    QVERIFY(dialogs.shown().isEmpty());
    core::mainConnection().close();
}

void TestStartup::fullStartup() {
    TestDatabase db(true);
    QVERIFY_DB(db);
    core::mainConnection().close();
    // Pending receipts: opened after the login, for the logged-in user, from the main window.
    QString pendingFor;
    QWidget* pendingParent = nullptr;
    bool pendingWhileMainHidden = false;
    core::menuCommands().add(app::pendingReceiptsTitle(), [&](QWidget* parent, const QString&) {
        pendingFor = core::currentUser().code;
        pendingParent = parent;
        pendingWhileMainHidden = !parent->isVisible();
    });

    QElapsedTimer clock;
    qint64 loginAfter = -1;
    bool splashGone = false;
    QString loginTitle;
    testsupport::onNextModal(
        [&](QWidget* modal) {
            loginAfter = clock.elapsed();
            splashGone = app::Frm_Splash == nullptr;
            loginTitle = modal->windowTitle();
            QLineEdit* code = child<QLineEdit>(modal, "Campo1");
            code->setFocus();
            QTest::keyClicks(code, QStringLiteral("1"));
            QTest::keyClick(code, Qt::Key_Tab);
            QTest::keyClicks(child<QLineEdit>(modal, "Campo2"), QStringLiteral("admin"));
            QTest::mouseClick(child<QPushButton>(modal, "Botao_Entrar"), Qt::LeftButton);
        },
        15000);
    app::StartupOptions options;
    options.currentFolder = db.folder();
    clock.start();
    ScriptedDialogs dialogs;
    auto window = app::startClient(options);
    QVERIFY(window);
    QVERIFY2(loginAfter >= 2000, qPrintable(QString::number(loginAfter)));
    QVERIFY(splashGone);
    QCOMPARE(loginTitle, QStringLiteral("Protocolo-Korvalis"));
    QCOMPARE(core::currentUser().code, QStringLiteral("00000001"));
    QCOMPARE(pendingFor, QStringLiteral("00000001"));
    QCOMPARE(pendingParent, window.get());
    QVERIFY(pendingWhileMainHidden);
    QCOMPARE(window->yearLabel()->text(), core::appValues().exerciseYear);
    QVERIFY(window->isVisible());
    QVERIFY(window->windowState() & Qt::WindowMaximized);
    QCOMPARE(app::Frm_Principal, window.get());
    // Once active, the administrator's rights apply: every window entry not hidden by design shows.
    QTRY_VERIFY(window->isActiveWindow());
    for (const auto& e : window->menuEntries())
        if (e.spec.level > 0 && e.spec.kind == core::MenuKind::Window)
            QCOMPARE(e.action->isVisible(), !e.spec.hidden);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestStartup::cancelledLoginEndsTheProgram() {
    TestDatabase db(true);
    QVERIFY_DB(db);
    testsupport::onNextModal(
        [](QWidget* modal) {
            QTest::mouseClick(child<QPushButton>(modal, "Botao_Cancelar"), Qt::LeftButton);
        },
        15000);
    app::StartupOptions options;
    options.currentFolder = db.folder();
    options.splashMilliseconds = 0;
    QVERIFY(!app::startClient(options));
    QVERIFY(app::Frm_Principal == nullptr);
    QVERIFY(core::currentUser().code.isEmpty());
}

void TestStartup::splashPicture() {
    QTemporaryDir dir;
    {
        app::TFrm_Splash splash(dir.path());
        QCOMPARE(splash.size(), QSize(493, 370));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!splash.usesReplacementPicture());
        QVERIFY(!splash.picture().isNull());
    }
    // An unreadable replacement is ignored.
    QFile broken(dir.filePath(app::TFrm_Splash::pictureFileName()));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    QVERIFY(!app::TFrm_Splash(dir.path()).usesReplacementPicture());
    // A readable one replaces the built-in picture and is stretched over the window.
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(broken.fileName(), "JPG"));
    app::TFrm_Splash splash(dir.path());
    QVERIFY(splash.usesReplacementPicture());
    const QImage shown = splash.grab().toImage();
    QCOMPARE(shown.size(), QSize(493, 370));
    const QColor centre = shown.pixelColor(246, 185);
    QVERIFY2(centre.red() > 200 && centre.green() < 60 && centre.blue() < 60, qPrintable(centre.name()));
    const QColor corner = shown.pixelColor(490, 367);
    QVERIFY2(corner.red() > 200 && corner.green() < 60, qPrintable(corner.name()));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
