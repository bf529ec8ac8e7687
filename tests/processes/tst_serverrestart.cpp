// The process windows while the office server restarts: the pending list, the routing form in the
// middle of a sending and the process form in the middle of a registration. Each is told once, in
// Portuguese, that the connection was lost; what was typed stays on the screen; the next action
// opens the connection again and goes through.
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/handoff.h"
#include "core/session.h"
#include "db/database.h"
#include "forms/common/lookupdialog.h"
#include "forms/common/recordset.h"
#include "forms/common/windowedsource.h"
#include "forms/processes/processes.h"
#include "forms/processes/processos.h"
#include "forms/processes/recebimentopendencia.h"
#include "forms/processes/tramitacao.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testserver.h"
#include "tests/support/typing.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <memory>

using testsupport::click;
using testsupport::ScriptedDialogs;
using testsupport::TestServer;

namespace {

const QString kClerk = QStringLiteral("00000002");

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

class TestServerRestart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pendingList();
    void routingFormWhileSending();
    void processFormWhileRegistering();

private:
    void restart();

    std::unique_ptr<TestServer> m_server;
    int m_databases = 0;
};

void TestServerRestart::initTestCase() {
    if (!TestServer::available()) QSKIP("no Firebird server program on this machine");
    qApp->setQuitOnLastWindowClosed(false);
    processes::registerMenuCommands();
    m_server = std::make_unique<TestServer>();
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
}

void TestServerRestart::init() {
    const QString location = QStringLiteral("%1:%2/REINICIO_%3.fdb")
                                 .arg(m_server->address(), m_server->dataFolder())
                                 .arg(++m_databases);
    QString error;
    QVERIFY2(db::createDatabase(location, &error), qPrintable(error));
    // Remote mode, as an office workstation runs.
    core::initialiseAppValues(4);
    core::appValues().profileNumber = 0;
    core::appValues().exerciseYear = QStringLiteral("2019");
    core::appValues().profile.remoteLocation = location;
    QVERIFY2(
        core::openMainConnection(core::buildConnectionTarget(core::appValues().profile, QString()), &error),
        qPrintable(error));
    QVERIFY(exec("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES ('0003', 'SAÚDE')"));
    for (const auto& u : {QStringList{"00000001", "ADMINISTRADOR"}, QStringList{kClerk, "CARLA MENDES ROCHA"},
                          QStringList{"00000003", "PAULO ROBERTO NUNES"}})
        QVERIFY(
            exec("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, PROTOCOLISTA, IDUNIDADE) VALUES (?, ?, 'SIM', "
                 "'0003')",
                 {u.at(0), u.at(1)}));
    QVERIFY(exec("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES ('000007', 'JOSÉ DA SILVA')"));
    QVERIFY(exec("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES ('0003', 'CERTIDÃO')"));
    QVERIFY(
        exec("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, IDREQUERENTE, IDTITULAR, IDTIPOPROCESSO, "
             "ASSUNTO, COD_USUARIO) VALUES ('00000001', '2019', '2019-03-05', '09:00:00', '000007', "
             "'000007', '0003', 'PEDIDO DE ALVARÁ', ?)",
             {kClerk}));
    core::currentUser() = {kClerk, QStringLiteral("CARLA MENDES ROCHA"), QString(), QStringLiteral("SIM")};
}

void TestServerRestart::cleanup() {
    core::mainConnection().close();
    core::currentUser() = core::CurrentUser();
}

void TestServerRestart::restart() {
    QString error;
    QVERIFY2(m_server->stop(&error), qPrintable(error));
    QVERIFY2(m_server->start(&error), qPrintable(error));
}

void TestServerRestart::pendingList() {
    QVERIFY(exec(
        "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, DATA, HORA) "
        "VALUES ('00000001', '00000001', '2019', '00000001', ?, '2019-03-06', '10:00:00')",
        {kClerk}));
    processes::TFrm_RecebimentoPendencia w(nullptr);
    QString error;
    QVERIFY2(w.reload(kClerk, &error), qPrintable(error));
    w.show();
    auto receive = [&] {
        auto* grid = testsupport::child<QTableView>(&w, "DBGrid1");
        w.records()->setCurrentRow(0);
        emit grid->customContextMenuRequested(grid->visualRect(grid->model()->index(0, 1)).center());
        w.popupMenu()->hide();
        w.popupMenu()->findChild<QAction*>(QStringLiteral("RecebeProcessoEletronico"))->trigger();
    };
    restart();
    {
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(processes::TFrm_RecebimentoPendencia::receiveQuestion(), true);
        dialogs.expectMessage(core::lostConnectionMessage());
        receive();
        QTest::qWait(50); // a failure of the list is told from the event loop
        VERIFY_DIALOGS(dialogs);
    }
    QVERIFY(core::mainConnectionLost());
    {
        // The next action opens the connection again: received, and the list read anew shows it.
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(processes::TFrm_RecebimentoPendencia::receiveQuestion(), true);
        receive();
        QTest::qWait(50);
        VERIFY_DIALOGS(dialogs);
    }
    QVERIFY(!core::mainConnectionLost());
    QVERIFY(!scalar("SELECT DATA_RECEBIMENTO FROM TRAMITACAO").isNull());
    QCOMPARE(w.records()->rowCount(), 1);
    QVERIFY(!w.records()->valueAt(0, w.records()->fieldIndex("DATA_RECEBIMENTO")).isNull());
}

void TestServerRestart::routingFormWhileSending() {
    core::RoutingHandOff& h = core::routingHandOff();
    h.process = QStringLiteral("00000001");
    h.year = QStringLiteral("2019");
    h.movement = QStringLiteral("00000000");
    processes::TFrm_Tramitacao w(nullptr);
    QString error;
    QVERIFY2(w.reload(QStringLiteral("00000000"), &error), qPrintable(error));
    w.show();
    click(&w, "Botao_Incluir");
    testsupport::typeInto(&w, "Campo4", QStringLiteral("3"));
    testsupport::leave(testsupport::edit(&w, "Campo4"));
    testsupport::onModalDialog([](QDialog* lookup) {
        auto* d = qobject_cast<forms::LookupDialog*>(lookup);
        QVERIFY(d);
        for (int r = 0; r < d->records()->rowCount(); ++r)
            if (d->records()->valueAt(r, 0).toString() == QLatin1String("00000003"))
                d->records()->setCurrentRow(r);
        d->DBGrid1DblClick();
    });
    click(&w, "SpeedButton4");
    const QString dispatch = QStringLiteral("Encaminho para parecer técnico.");
    testsupport::child<QPlainTextEdit>(&w, "Campo3")->setPlainText(dispatch);

    restart();
    {
        ScriptedDialogs dialogs;
        dialogs.expectMessage(core::lostConnectionMessage());
        click(&w, "Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
    }
    // Still sending, with everything typed.
    QVERIFY(w.isVisible());
    QCOMPARE(w.windowTitle(), QStringLiteral("Tramitação - Incluindo"));
    QCOMPARE(testsupport::child<QPlainTextEdit>(&w, "Campo3")->toPlainText(), dispatch);
    QCOMPARE(testsupport::edit(&w, "dededed")->text(), QStringLiteral("00000003"));
    {
        ScriptedDialogs dialogs;
        click(&w, "Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
    }
    QVERIFY(!w.isVisible());
    QCOMPARE(scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 1);
    QCOMPARE(scalar("SELECT COD_USUARIO_DESTINO FROM TRAMITACAO").toString(), QStringLiteral("00000003"));
    QCOMPARE(QString::fromUtf8(scalar("SELECT DESPACHO FROM TRAMITACAO").toByteArray()), dispatch);
}

void TestServerRestart::processFormWhileRegistering() {
    processes::TFrm_Processos f(nullptr);
    QString error;
    QVERIFY2(f.prepare(&error), qPrintable(error));
    f.show();
    click(&f, "Botao_Incluir");
    testsupport::typeAndLeave(&f, "Campo6", "7");
    testsupport::typeAndLeave(&f, "Campo7", "3");
    testsupport::typeAndLeave(&f, "Campo8", "CERTIDÃO DE TEMPO DE SERVIÇO");
    restart();
    {
        ScriptedDialogs dialogs;
        dialogs.expectMessage(core::lostConnectionMessage());
        click(&f, "Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
    }
    QVERIFY(f.records()->isEditing());
    QCOMPARE(testsupport::edit(&f, "Campo8")->text(), QStringLiteral("CERTIDÃO DE TEMPO DE SERVIÇO"));
    {
        ScriptedDialogs dialogs;
        click(&f, "Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
    }
    QVERIFY(!f.records()->isEditing());
    QCOMPARE(scalar("SELECT COUNT(*) FROM PROCESSOS WHERE ASSUNTO = 'CERTIDÃO DE TEMPO DE SERVIÇO'").toInt(),
             1);
}

QTEST_MAIN(TestServerRestart)
#include "tst_serverrestart.moc"
