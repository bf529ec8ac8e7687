// The in-tray worked in batches, without a window: each movement of a selection through the routing
// functions in its own transaction, refusals kept per movement, a desk that moves a process in the
// middle, a batch cancelled half way, and the summary's exact text.
#include "core/batchrouting.h"
#include "core/routing.h"
#include "tests/processes/routingfixture.h"
#include "tests/support/testdatabase.h"

#include <QSqlQuery>
#include <QTest>
#include <memory>

using core::batch::Action;
using testsupport::addMovement;
using testsupport::MovementRow;
using testsupport::TestDatabase;
using testsupport::withStamps;

namespace {

const QString kMe = QStringLiteral("00000002");

QString reg(int k) {
    return QString::number(k).rightJustified(8, QLatin1Char('0'));
}

core::routing::Sending destination() {
    core::routing::Sending s;
    s.unit = QStringLiteral("0003");
    s.destination = QStringLiteral("00000004");
    s.destinationName = QStringLiteral("LÚCIA HELENA ARAÚJO");
    s.sender = kMe;
    s.dispatch = QStringLiteral("Para providências.");
    return s;
}

int movementCount(TestDatabase& db) {
    QSqlQuery q(db.connection());
    q.exec(QStringLiteral("SELECT COUNT(*) FROM TRAMITACAO"));
    q.next();
    return q.value(0).toInt();
}

} // namespace

class TestBatchRouting : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cases_data();
    void cases();
    void questionsNameTheCount();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestBatchRouting::init() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addRoutingOffice(*m_db);
    for (const char* p : {"00000003", "00000004"})
        m_db->insert(
            QStringLiteral("PROCESSOS"),
            {{"IDPROCESSO", p}, {"ANO", "2019"}, {"ASSUNTO", "OUTRO PEDIDO"}, {"COD_USUARIO", "00000001"}});
}

void TestBatchRouting::cleanup() {
    m_db.reset();
}

void TestBatchRouting::cases_data() {
    QTest::addColumn<int>("action");
    // One movement to 00000002 per letter group, movement k of process 0000000k/2019.
    QTest::addColumn<QStringList>("stamps");
    // After the first movement: "forward:k" another desk sends process k on (as 00000090),
    // "receive:k" another workstation receives movement k; "cancel:n" the user cancels after n.
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("summary");

    const QString sendHeader =
        QStringLiteral("Destino: Unidade 0003, Usuário 00000004 - LÚCIA HELENA ARAÚJO\n");
    QTest::newRow("all received") << int(Action::ElectronicReceipt) << QStringList{"", "", ""} << QString()
                                  << QStringLiteral(
                                         "Recebimento Eletrônico em lote: 3 processos selecionados.\n"
                                         "\n"
                                         "Realizados: 3\n"
                                         "  Processo 00000001/2019 - Registro 00000001\n"
                                         "  Processo 00000002/2019 - Registro 00000002\n"
                                         "  Processo 00000003/2019 - Registro 00000003\n"
                                         "Recusados: 0");
    QTest::newRow("all sent")
        << int(Action::SendingOn) << QStringList{"R", "R"} << QString()
        << QStringLiteral("Tramitação em lote: 2 processos selecionados.\n") + sendHeader +
               QStringLiteral("\n"
                              "Realizados: 2\n"
                              "  Processo 00000001/2019 - Registro 00000001 -> novo Registro 00000003\n"
                              "  Processo 00000002/2019 - Registro 00000002 -> novo Registro 00000004\n"
                              "Recusados: 0");
    QTest::newRow("one moved by another desk")
        << int(Action::SendingOn) << QStringList{"R", "R", "R"} << QStringLiteral("forward:3")
        << QStringLiteral("Tramitação em lote: 3 processos selecionados.\n") + sendHeader +
               QStringLiteral("\n"
                              "Realizados: 2\n"
                              "  Processo 00000001/2019 - Registro 00000001 -> novo Registro 00000004\n"
                              "  Processo 00000002/2019 - Registro 00000002 -> novo Registro 00000091\n"
                              "Recusados: 1\n"
                              "  Processo 00000003/2019 - Registro 00000003: Atenção, procedimento "
                              "cancelado! Processo já tramitado por outro usuário.");
    QTest::newRow("one received by another workstation")
        << int(Action::ElectronicReceipt) << QStringList{"", "", ""} << QStringLiteral("receive:3")
        << QStringLiteral(
               "Recebimento Eletrônico em lote: 3 processos selecionados.\n"
               "\n"
               "Realizados: 2\n"
               "  Processo 00000001/2019 - Registro 00000001\n"
               "  Processo 00000002/2019 - Registro 00000002\n"
               "Recusados: 1\n"
               "  Processo 00000003/2019 - Registro 00000003: Atenção, procedimento cancelado! Documento "
               "já recebido.");
    QTest::newRow("one archived, sent")
        << int(Action::SendingOn) << QStringList{"R", "RA", "R", ""} << QString()
        << QStringLiteral("Tramitação em lote: 4 processos selecionados.\n") + sendHeader +
               QStringLiteral("\n"
                              "Realizados: 2\n"
                              "  Processo 00000001/2019 - Registro 00000001 -> novo Registro 00000005\n"
                              "  Processo 00000003/2019 - Registro 00000003 -> novo Registro 00000006\n"
                              "Recusados: 2\n"
                              "  Processo 00000002/2019 - Registro 00000002: Atenção, procedimento "
                              "cancelado! Processo arquivado.\n"
                              "  Processo 00000004/2019 - Registro 00000004: Atenção, procedimento "
                              "cancelado! Primeiro receba processo.");
    QTest::newRow("one archived, archived")
        << int(Action::Archiving) << QStringList{"R", "RA", ""} << QString()
        << QStringLiteral("Arquivamento em lote: 3 processos selecionados.\n"
                          "\n"
                          "Realizados: 1\n"
                          "  Processo 00000001/2019 - Registro 00000001\n"
                          "Recusados: 2\n"
                          "  Processo 00000002/2019 - Registro 00000002: Atenção, "
                          "procedimento cancelado! Documento já arquivado.\n"
                          "  Processo 00000003/2019 - Registro 00000003: Atenção, "
                          "procedimento cancelado! Primeiro receba processo.");
    QTest::newRow("cancelled half way")
        << int(Action::ElectronicReceipt) << QStringList{"", "", "", ""} << QStringLiteral("cancel:2")
        << QStringLiteral("Recebimento Eletrônico em lote: 4 processos selecionados.\n"
                          "\n"
                          "Realizados: 2\n"
                          "  Processo 00000001/2019 - Registro 00000001\n"
                          "  Processo 00000002/2019 - Registro 00000002\n"
                          "Recusados: 0\n"
                          "Não realizados (lote cancelado pelo usuário): 2\n"
                          "  Processo 00000003/2019 - Registro 00000003\n"
                          "  Processo 00000004/2019 - Registro 00000004");
    QTest::newRow("physical receipt, mixed")
        << int(Action::PhysicalReceipt) << QStringList{"R", "RF", "", "F"} << QString()
        << QStringLiteral("Recebimento Físico em lote: 4 processos selecionados.\n"
                          "\n"
                          "Realizados: 2\n"
                          "  Processo 00000001/2019 - Registro 00000001\n"
                          "  Processo 00000003/2019 - Registro 00000003\n"
                          "Recusados: 2\n"
                          "  Processo 00000002/2019 - Registro 00000002: Atenção, "
                          "procedimento cancelado! Documento já recebido.\n"
                          "  Processo 00000004/2019 - Registro 00000004: Atenção, "
                          "procedimento cancelado! Documento já recebido.");
}

void TestBatchRouting::cases() {
    QFETCH(int, action);
    QFETCH(QStringList, stamps);
    QFETCH(QString, event);
    QFETCH(QString, summary);

    QList<core::batch::Item> items;
    for (int k = 1; k <= stamps.size(); ++k) {
        MovementRow row;
        row.registro = reg(k);
        row.process = reg(k);
        row.to = kMe;
        row = withStamps(row, stamps.at(k - 1));
        addMovement(*m_db, row);
        core::batch::Item item;
        item.stamps = core::routing::readStamps(m_db->connection(), row.registro);
        item.process = row.process;
        item.year = row.year;
        item.subject = QStringLiteral("PEDIDO");
        items << item;
    }
    const int before = movementCount(*m_db);

    core::batch::Request request;
    request.action = Action(action);
    request.reason = QStringLiteral("Concluído.");
    request.sending = destination();
    const QString kind = event.section(QLatin1Char(':'), 0, 0);
    const int which = event.section(QLatin1Char(':'), 1, 1).toInt();
    QList<int> seen;
    const core::batch::Summary result =
        core::batch::run(m_db->connection(), request, items, [&](int done, int total) {
            seen << done;
            if (total != items.size()) return false;
            if (done == 1 && kind == QLatin1String("forward")) {
                MovementRow on;
                on.registro = QStringLiteral("00000090");
                on.process = reg(which);
                on.from = kMe;
                on.to = QStringLiteral("00000003");
                on.date = QDate(2019, 3, 5);
                addMovement(*m_db, on);
            }
            if (done == 1 && kind == QLatin1String("receive"))
                m_db->exec(QStringLiteral("UPDATE TRAMITACAO SET DATA_RECEBIMENTO='2019-03-04', "
                                          "HORA_RECEBIMENTO='08:00:00' WHERE REGISTRO=?"),
                           {reg(which)});
            return !(kind == QLatin1String("cancel") && done == which);
        });
    QCOMPARE(core::batch::summaryText(result), summary);
    QCOMPARE(result.cancelled, kind == QLatin1String("cancel"));

    // What the summary says done is in the database; nothing else was written.
    const int done = result.count(core::batch::Result::Done);
    const int extra = kind == QLatin1String("forward") ? 1 : 0;
    if (request.action == Action::SendingOn) {
        QCOMPARE(movementCount(*m_db), before + done + extra);
        for (const core::batch::Result& r : result.results)
            if (r.kind == core::batch::Result::Done)
                QVERIFY(
                    testsupport::pendingRegisters(*m_db, QStringLiteral("00000004")).contains(r.newRegister));
        return;
    }
    QCOMPARE(movementCount(*m_db), before + extra);
    for (int k = 0; k < items.size(); ++k) {
        const core::routing::MovementStamps now = core::routing::readStamps(m_db->connection(), reg(k + 1));
        const core::routing::MovementStamps& was = items.at(k).stamps;
        const bool stamped = request.action == Action::ElectronicReceipt ? now.received != was.received
                             : request.action == Action::PhysicalReceipt
                                 ? now.physicallyReceived != was.physicallyReceived
                                 : now.archived != was.archived;
        const bool byOtherDesk = kind == QLatin1String("receive") && k + 1 == which;
        QCOMPARE(stamped, result.results.at(k).kind == core::batch::Result::Done || byOtherDesk);
    }
}

void TestBatchRouting::questionsNameTheCount() {
    QCOMPARE(core::batch::question(Action::ElectronicReceipt, 40),
             QStringLiteral("Deseja Receber Eletronicamente os 40 Processos selecionados ?"));
    QCOMPARE(core::batch::question(Action::SendingOn, 3),
             QStringLiteral("Deseja Tramitar os 3 Processos selecionados ?"));
    QCOMPARE(core::batch::progressText(Action::Archiving, 3, 40),
             QStringLiteral("Arquivando: 3 de 40 processos"));
}

QTEST_GUILESS_MAIN(TestBatchRouting)
#include "tst_batchrouting.moc"
