// The client as the desktop session ends it: SIGTERM when the session closes, SIGINT from Ctrl+C
// in a terminal. The real program runs in its own process on a database of its own.
#include "core/connection.h"
#include "tests/support/testdatabase.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

#include <csignal>

using testsupport::TestDatabase;

class TestSignals : public QObject {
    Q_OBJECT
private slots:
    void endsCleanlyOnSignal_data();
    void endsCleanlyOnSignal();
};

void TestSignals::endsCleanlyOnSignal_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("afterMs");
    // During the splash, and at the login window (the splash lasts two seconds).
    QTest::newRow("SIGTERM at the splash") << int(SIGTERM) << 1000;
    QTest::newRow("SIGTERM at the login") << int(SIGTERM) << 4000;
    QTest::newRow("SIGINT at the login") << int(SIGINT) << 4000;
}

void TestSignals::endsCleanlyOnSignal() {
    QFETCH(int, signal);
    QFETCH(int, afterMs);
    TestDatabase db(true);
    QVERIFY_DB(db);
    // The embedded engine lets one process at a time have the file.
    core::mainConnection().close();

    QProcess client;
    client.setWorkingDirectory(db.folder());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    client.setProcessEnvironment(env);
    client.start(QStringLiteral(PROTOCOLO_CLIENT), {});
    QVERIFY(client.waitForStarted());
    QTest::qWait(afterMs);
    QCOMPARE(client.state(), QProcess::Running);
    QVERIFY(::kill(pid_t(client.processId()), signal) == 0);
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(client.waitForFinished(15000), "the client did not end on the signal");
    // Ended by itself (not killed by the signal), with success, in a moment.
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

    // The database opens again and reads as before: no connection or lock left behind.
    QString error;
    QVERIFY2(core::openMainConnection(
                 [&] {
                     core::ConnectionTarget t;
                     t.database = db.path();
                     t.userName = QString::fromLatin1(core::kDbaUser);
                     return t;
                 }(),
                 &error),
             qPrintable(error));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM USUARIOS").toInt(), 1);
}

QTEST_GUILESS_MAIN(TestSignals)
#include "tst_signals.moc"
