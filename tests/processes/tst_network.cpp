// The program through a network of its own making (bench/latencyproxy.h): a workstation a few
// milliseconds from the server logs in, registers a process, sends it, and its destination finds
// it in the pending list and receives it. The proxy must forward every byte, delay each exchange
// by its round trip and count the round trips, or the network benchmarks measure nothing.
#include "app/senha.h"
#include "bench/latencyproxy.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/readquery.h"
#include "core/routing.h"
#include "core/session.h"
#include "db/database.h"
#include "forms/common/recordset.h"
#include "forms/common/windowedsource.h"
#include "forms/processes/processos.h"
#include "forms/processes/recebimentopendencia.h"
#include "tests/support/formdriving.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <memory>

using testsupport::TestServer;

namespace {

constexpr int kRoundTripMs = 5;
const QString kClerk = QStringLiteral("00000002");
const QString kDestination = QStringLiteral("00000003");

bool exec(const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q(core::mainConnection());
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.isActive();
}

QVariant scalar(const QString& sql) {
    QSqlQuery q(core::mainConnection());
    return q.exec(sql) && q.next() ? q.value(0) : QVariant();
}

} // namespace

class TestNetwork : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void roundTripsCountedAndDelayed();
    void keptReadIsOneRoundTrip();
    void mainPathsThroughTheProxy();
    void lostLinkToldOnceAndTheNextActionReconnects();

private:
    std::unique_ptr<TestServer> m_server;
    bench::LatencyProxy m_proxy;
    QString m_serverAddress; // host/port of the server the proxy forwards to
    QString m_folder;        // where that server creates the database
};

void TestNetwork::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    // The suite's shared server when one is named, else a private one.
    m_serverAddress = qEnvironmentVariable("PROTOCOLO_TEST_SERVER");
    QString error;
    static QTemporaryDir shared;
    if (m_serverAddress.isEmpty()) {
        if (!TestServer::available()) QSKIP("no Firebird server program on this machine");
        m_server = std::make_unique<TestServer>();
        QVERIFY2(m_server->start(&error), qPrintable(error));
        m_serverAddress = m_server->address();
        m_folder = m_server->dataFolder();
    } else {
        QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777));
        m_folder = shared.path();
    }
    const QStringList hostPort = m_serverAddress.split(QLatin1Char('/'));
    QVERIFY2(m_proxy.start(hostPort.at(0), hostPort.value(1, QStringLiteral("3050")).toUShort(), &error),
             qPrintable(error));
    m_proxy.setRoundTrip(kRoundTripMs);

    // The database is made straight on the server; the program reaches it through the proxy.
    const QString path = m_folder + QStringLiteral("/REDE.fdb");
    QVERIFY2(db::createDatabase(m_serverAddress + QLatin1Char(':') + path, &error), qPrintable(error));
    core::initialiseAppValues(4);
    core::appValues().profileNumber = 0;
    core::appValues().exerciseYear = QStringLiteral("2019");
    core::appValues().profile.remoteLocation = m_proxy.address() + QLatin1Char(':') + path;
    m_proxy.resetCounts();
    QVERIFY2(
        core::openMainConnection(core::buildConnectionTarget(core::appValues().profile, QString()), &error),
        qPrintable(error));
    QCOMPARE(m_proxy.connections(), qint64(1));
    // Connecting is at least the protocol's greeting and the attachment.
    QVERIFY2(m_proxy.roundTrips() >= 2, qPrintable(QString::number(m_proxy.roundTrips())));

    QVERIFY(exec("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES ('0003', 'SAÚDE')"));
    for (const auto& u :
         {QStringList{kClerk, "CARLA MENDES ROCHA"}, QStringList{kDestination, "PAULO NUNES"}})
        QVERIFY(exec("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, SENHA, CPF, PROTOCOLISTA, IDUNIDADE) "
                     "VALUES (?, ?, '', '', 'SIM', '0003')",
                     {u.at(0), u.at(1)}));
    QVERIFY(exec("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES ('000007', 'JOSÉ DA SILVA')"));
    QVERIFY(exec("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES ('0003', 'CERTIDÃO')"));
}

void TestNetwork::cleanupTestCase() {
    core::releaseReads(core::mainConnection());
    core::mainConnection().close();
    m_proxy.stop();
}

void TestNetwork::roundTripsCountedAndDelayed() {
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    QVERIFY(q.prepare(QStringLiteral("SELECT COUNT(*) FROM USUARIOS WHERE IDUNIDADE = ?")));
    q.addBindValue(QStringLiteral("0003"));
    m_proxy.resetCounts();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(q.exec() && q.next());
    const qint64 elapsed = clock.elapsed();
    const qint64 trips = m_proxy.roundTrips();
    QCOMPARE(q.value(0).toInt(), 2); // every byte came through
    // An execution and a fetch at least, each paying the whole round trip, never less.
    QVERIFY2(trips >= 1, qPrintable(QString::number(trips)));
    QVERIFY2(elapsed >= trips * kRoundTripMs,
             qPrintable(QStringLiteral("%1 ms for %2 round trips").arg(elapsed).arg(trips)));
    // Nothing said while idle: the count stands still.
    QTest::qWait(3 * kRoundTripMs);
    QCOMPARE(m_proxy.roundTrips(), trips);
}

void TestNetwork::keptReadIsOneRoundTrip() {
    const QString sql = QStringLiteral("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO = ?");
    auto read = [&](const QString& code) {
        core::ReadQuery q(core::mainConnection());
        q.prepare(sql);
        q.addBindValue(code);
        return q.exec() && q.next() ? q.value(0).toString() : q.lastError().text();
    };
    QCOMPARE(read(kClerk), QStringLiteral("CARLA MENDES ROCHA"));
    // Run again, the kept statement in the kept transaction: the fetch alone crosses the network.
    m_proxy.resetCounts();
    QCOMPARE(read(kDestination), QStringLiteral("PAULO NUNES"));
    QCOMPARE(m_proxy.roundTrips(), qint64(1));

    // Qt's driver, for the same read: a transaction started and committed around a prepare and a
    // fetch.
    m_proxy.resetCounts();
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    QVERIFY(q.prepare(sql));
    q.addBindValue(kClerk);
    QVERIFY(q.exec() && q.next());
    q.finish();
    QVERIFY2(m_proxy.roundTrips() >= 3, qPrintable(QString::number(m_proxy.roundTrips())));
}

void TestNetwork::mainPathsThroughTheProxy() {
    // The login reads the user typed.
    {
        app::TFrm_Senha login(nullptr);
        auto* code = testsupport::edit(&login, "Campo1");
        code->setText(QStringLiteral("2"));
        m_proxy.resetCounts();
        login.Campo1Exit();
        QCOMPARE(testsupport::edit(&login, "CampoE4")->text(), QStringLiteral("CARLA MENDES ROCHA"));
        QVERIFY(m_proxy.roundTrips() >= 1);
    }
    core::currentUser() = {kClerk, QStringLiteral("CARLA MENDES ROCHA"), QString(), QStringLiteral("SIM")};

    // A process registered in the process form.
    QString process;
    QString year;
    {
        processes::TFrm_Processos form(nullptr);
        QString error;
        QVERIFY2(form.prepare(&error), qPrintable(error));
        forms::RecordSet* r = form.records();
        form.Botao_IncluirClick();
        r->setValue(QStringLiteral("IDREQUERENTE"), QStringLiteral("7"));
        r->setValue(QStringLiteral("IDTIPOPROCESSO"), QStringLiteral("3"));
        r->setValue(QStringLiteral("ASSUNTO"), QStringLiteral("CERTIDÃO NEGATIVA"));
        m_proxy.resetCounts();
        form.Botao_SalvarClick();
        QCOMPARE(r->state(), forms::RecordSet::State::Browse);
        QVERIFY(m_proxy.roundTrips() >= 2); // written and committed
        process = r->text(QStringLiteral("IDPROCESSO"));
        year = r->text(QStringLiteral("ANO"));
    }
    QCOMPARE(scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), 1);

    // Sent to the destination.
    core::routing::Sending sending;
    QString error;
    sending.registro = core::routing::nextRegister(core::mainConnection(), &error);
    QVERIFY2(!sending.registro.isEmpty(), qPrintable(error));
    sending.process = process;
    sending.year = year;
    sending.subject = QStringLiteral("CERTIDÃO NEGATIVA");
    sending.unit = QStringLiteral("0003");
    sending.destination = kDestination;
    sending.destinationName = QStringLiteral("PAULO NUNES");
    sending.sender = kClerk;
    sending.dispatch = QStringLiteral("Para análise.");
    const QDateTime now = core::routing::workstationNow();
    sending.date = now.date();
    sending.time = now.time();
    sending.expectedLatest = QString();
    const core::routing::Outcome sent = core::routing::send(core::mainConnection(), sending);
    QVERIFY2(sent.done(), qPrintable(sent.text));

    // The destination's pending list shows it, and receiving it is stored.
    core::currentUser() = {kDestination, QStringLiteral("PAULO NUNES"), QString(), QStringLiteral("SIM")};
    processes::TFrm_RecebimentoPendencia pending(nullptr);
    QVERIFY2(pending.reload(kDestination, &error), qPrintable(error));
    QVERIFY(pending.records()->waitForComplete());
    QCOMPARE(pending.records()->rowCount(), 1);
    QCOMPARE(pending.records()->valueAt(0, 0).toString(), sending.registro);
    core::routing::MovementStamps movement;
    movement.registro = sending.registro;
    const core::routing::Outcome received =
        core::routing::stamp(core::mainConnection(), core::routing::Stamp::ElectronicReceipt, movement);
    QVERIFY2(received.done(), qPrintable(received.text));
    QVERIFY(!scalar("SELECT DATA_RECEBIMENTO FROM TRAMITACAO").isNull());
    core::currentUser() = core::CurrentUser();
}

void TestNetwork::lostLinkToldOnceAndTheNextActionReconnects() {
    QVERIFY(exec("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, DATA, HORA) "
                 "VALUES ('00009001', '00009001', '2019', ?, ?, '2019-03-06', '10:00:00')",
                 {kClerk, kDestination}));
    core::currentUser() = {kDestination, QStringLiteral("PAULO NUNES"), QString(), QStringLiteral("SIM")};
    processes::TFrm_RecebimentoPendencia w(nullptr);
    QString error;
    QVERIFY2(w.reload(kDestination, &error), qPrintable(error));
    QVERIFY(w.records()->waitForComplete());
    w.show();
    // The clerk has the list on screen, the movement chosen.
    int row = -1;
    for (int r = 0; r < w.records()->rowCount(); ++r)
        if (w.records()->valueAt(r, 0).toString() == QLatin1String("00009001")) row = r;
    QVERIFY(row >= 0);
    auto receive = [&] {
        w.records()->setCurrentRow(row);
        w.RecebeProcessoEletronicoClick();
        QTest::qWait(50); // a failure of the list is told from the event loop
    };

    // The branch office's link goes away: the clerk's next action is told, once, in Portuguese.
    m_proxy.setLinkDown(true);
    {
        testsupport::ScriptedDialogs dialogs;
        dialogs.expectQuestion(processes::TFrm_RecebimentoPendencia::receiveQuestion(), true);
        dialogs.expectMessage(core::lostConnectionMessage());
        receive();
        VERIFY_DIALOGS(dialogs);
    }
    QVERIFY(core::mainConnectionLost());
    {
        // Tried again while the link is still down: not told again, and the window answers at once.
        testsupport::ScriptedDialogs dialogs;
        QElapsedTimer clock;
        clock.start();
        w.RecebeProcessoEletronicoClick();
        QTest::qWait(50);
        VERIFY_DIALOGS(dialogs);
        QVERIFY(dialogs.shown().isEmpty());
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }
    QVERIFY(core::mainConnectionLost());

    // The link is back: the next action connects again and is done, without a word.
    m_proxy.setLinkDown(false);
    m_proxy.resetCounts();
    {
        testsupport::ScriptedDialogs dialogs;
        dialogs.expectQuestion(processes::TFrm_RecebimentoPendencia::receiveQuestion(), true);
        receive();
        VERIFY_DIALOGS(dialogs);
    }
    QVERIFY(!core::mainConnectionLost());
    QCOMPARE(m_proxy.connections(), qint64(1));
    QVERIFY(!scalar("SELECT DATA_RECEBIMENTO FROM TRAMITACAO WHERE REGISTRO = '00009001'").isNull());
    core::currentUser() = core::CurrentUser();
}

QTEST_MAIN(TestNetwork)
#include "tst_network.moc"
