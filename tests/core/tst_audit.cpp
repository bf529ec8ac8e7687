#include "core/audit.h"
#include "core/connection.h"
#include "core/routing.h"
#include "db/database.h"
#include "tests/support/testdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

using testsupport::TestDatabase;

namespace {

// A trail row as the tests compare it: table, key, process, action and the changes' summary.
QStringList trailRows(TestDatabase& db, qint64 afterId = 0) {
    QStringList out;
    for (const QVariantList& r :
         db.rows(QStringLiteral(
                     "SELECT USUARIO, TABELA, CHAVE, PROCESSO, ACAO, ALTERACOES FROM TRILHA WHERE ID > ? "
                     "ORDER BY ID"),
                 {afterId})) {
        const QString changes = r.at(5).typeId() == QMetaType::QByteArray
                                    ? QString::fromUtf8(r.at(5).toByteArray())
                                    : r.at(5).toString();
        out << QStringLiteral("%1 %2 %3 %4 %5 | %6")
                   .arg(r.at(0).toString(), r.at(1).toString(), r.at(2).toString(),
                        r.at(3).isNull() ? QStringLiteral("-") : r.at(3).toString(),
                        r.at(4).toString().trimmed(), core::audit::changesSummary(changes, 1000));
    }
    return out;
}

qint64 lastId(TestDatabase& db) {
    return db.scalar(QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM TRILHA")).toLongLong();
}

bool runOn(QSqlDatabase conn, const QString& sql) {
    QSqlQuery q(conn);
    if (q.exec(sql)) return true;
    qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return false;
}

} // namespace

// The audit trail on a real database: what each write leaves, what the database refuses, and what
// the chain check finds after someone changed the trail behind the program's back.
class TestAudit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void writesLeaveTheirRows_data();
    void writesLeaveTheirRows();
    void routingWritesLeaveTheirRows();
    void rolledBackWriteLeavesNoRow();
    void clientThatDoesNotSayWhoIsUnknown();
    void serverNamesTheWorkstation();
    void trailRefusesChanges_data();
    void trailRefusesChanges();
    void valuesReadBackExactly();
    void twoDesksKeepOneChain();
    void tamperingIsFoundAndNamed_data();
    void tamperingIsFoundAndNamed();
    void anchorFindsARewrittenEnd();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestAudit::init() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    QVERIFY(core::audit::setSessionUser(m_db->connection(), QStringLiteral("00000007")));
    QVERIFY(m_db->exec(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, SENHA, CONFIRMACAO) "
                                      "VALUES ('00000002', 'ANA', 'segredo1', 'segredo1')")));
    QVERIFY(m_db->exec(QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR, IDUNIDADE) VALUES ('000001', "
                                      "'Protocolo', '0001')")));
    QVERIFY(m_db->exec(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO) VALUES "
                                      "('00000001', '2026', '2026-03-02', 'ALVARÁ')")));
    QVERIFY(m_db->exec(QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, DATA, HORA, "
                                      "COD_USUARIO_DESTINO) VALUES ('00000001', '00000001', '2026', "
                                      "'2026-03-02', '10:00:00', '00000002')")));
}

void TestAudit::cleanup() {
    m_db.reset();
}

void TestAudit::writesLeaveTheirRows_data() {
    QTest::addColumn<QString>("write");
    QTest::addColumn<QStringList>("expected");
    const QString u = QStringLiteral("00000007 ");
    QTest::newRow("register inserted")
        << "INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES ('0001', 'LICENÇA')"
        << QStringList{u + "TIPOPROCESSO 0001 - I | IDTIPO: 0001; TIPO: LICENÇA"};
    QTest::newRow("register changed") << "UPDATE SETORES SET SETOR = 'Arquivo' WHERE IDSETOR = '000001'"
                                      << QStringList{u + "SETORES 000001 - A | SETOR: Protocolo → Arquivo"};
    QTest::newRow("register deleted")
        << "DELETE FROM SETORES WHERE IDSETOR = '000001'"
        << QStringList{u + "SETORES 000001 - E | IDSETOR: 000001 → (vazio); SETOR: Protocolo → (vazio); "
                           "IDUNIDADE: 0001 → (vazio)"};
    QTest::newRow("nothing changed leaves nothing") << "UPDATE SETORES SET SETOR = SETOR" << QStringList{};
    QTest::newRow("right granted")
        << "INSERT INTO USUARIOS_ACESSOS (ACESSO, COD_USUARIO, TITULO) VALUES ('1', '00000002', 'Setores')"
        << QStringList{u +
                       "USUARIOS_ACESSOS 00000002/1 - I | ACESSO: 1; COD_USUARIO: 00000002; TITULO: Setores"};
    QTest::newRow("password changed shows no password")
        << "UPDATE USUARIOS SET SENHA = 'outra2', CONFIRMACAO = 'outra2' WHERE COD_USUARIO = '00000002'"
        << QStringList{u + "USUARIOS 00000002 - A | SENHA: alterada; CONFIRMACAO: alterada"};
    QTest::newRow("look-up secret renewed shows no secret")
        << "UPDATE CONSULTA_SEGREDO SET SEGREDO = 'segredo-novo', CRIADO = CURRENT_TIMESTAMP WHERE ID = 1"
        << QStringList{u + "CONSULTA_SEGREDO 1 - A | SEGREDO: alterada"};
    QTest::newRow("subject altered")
        << "UPDATE PROCESSOS SET ASSUNTO = 'ALVARÁ DE OBRA' WHERE IDPROCESSO = '00000001'"
        << QStringList{u + "PROCESSOS 00000001/2026 00000001/2026 A | ASSUNTO: ALVARÁ → ALVARÁ DE OBRA"};
    QTest::newRow("movement archived")
        << "UPDATE TRAMITACAO SET DATA_ARQUIVAMENTO = '2026-03-05', HORA_ARQUIVAMENTO = '09:30:00', "
           "MOTIVO_ARQUIVAMENTO = 'CONCLUÍDO' WHERE REGISTRO = '00000001'"
        << QStringList{u + "TRAMITACAO 00000001 00000001/2026 A | DATA_ARQUIVAMENTO: 2026-03-05; "
                           "HORA_ARQUIVAMENTO: 09:30:00.0000; MOTIVO_ARQUIVAMENTO: CONCLUÍDO"};
    QTest::newRow("sending with its dispatch")
        << "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, DATA, HORA, DESPACHO) VALUES ('00000002', "
           "'00000001', '2026', '2026-03-06', '11:00:00', 'Ao arquivo')"
        << QStringList{u + "TRAMITACAO 00000002 00000001/2026 I | REGISTRO: 00000002; IDPROCESSO: 00000001; "
                           "ANO: 2026; DATA: 2026-03-06; HORA: 11:00:00.0000; DESPACHO: Ao arquivo"};
    // The update routine's year fill changes the key itself: the row carries the new key.
    QTest::newRow("process key changed")
        << "UPDATE PROCESSOS SET ANO = '2025' WHERE IDPROCESSO = '00000001'"
        << QStringList{u + "PROCESSOS 00000001/2025 00000001/2025 A | ANO: 2026 → 2025"};
}

void TestAudit::writesLeaveTheirRows() {
    QFETCH(QString, write);
    QFETCH(QStringList, expected);
    const qint64 before = lastId(*m_db);
    QVERIFY(m_db->exec(write));
    QCOMPARE(trailRows(*m_db, before), expected);
    // Passwords never reach the trail, in any form.
    for (const QVariantList& r :
         m_db->rows(QStringLiteral("SELECT CAST(ALTERACOES AS VARCHAR(8000)) FROM TRILHA")))
        QVERIFY(!r.first().toString().contains(QStringLiteral("segredo")) &&
                !r.first().toString().contains(QStringLiteral("outra2")));
}

void TestAudit::routingWritesLeaveTheirRows() {
    // The routing rules of the windows, on the program's connection: receiving, archiving and
    // sending on, each leaving exactly its own row with the user of the connection.
    QVERIFY(
        m_db->exec(QStringLiteral("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES ('0001', 'GABINETE')")));
    QVERIFY(m_db->exec(
        QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, IDUNIDADE) VALUES ('00000003', "
                       "'RUI', '0001')")));
    QSqlDatabase conn = m_db->connection();
    QVERIFY(core::audit::setSessionUser(conn, QStringLiteral("00000002")));
    core::routing::MovementStamps movement;
    movement.registro = QStringLiteral("00000001");
    qint64 before = lastId(*m_db);
    const QDateTime now(QDate(2026, 3, 3), QTime(8, 15, 0));
    QVERIFY(core::routing::stamp(conn, core::routing::Stamp::ElectronicReceipt, movement, {}, now).done());
    QCOMPARE(trailRows(*m_db, before),
             QStringList{"00000002 TRAMITACAO 00000001 00000001/2026 A | DATA_RECEBIMENTO: 2026-03-03; "
                         "HORA_RECEBIMENTO: 08:15:00.0000"});
    before = lastId(*m_db);
    movement.received = now.date();
    QVERIFY(core::routing::stamp(conn, core::routing::Stamp::Archiving, movement, QStringLiteral("CONCLUÍDO"),
                                 now)
                .done());
    QCOMPARE(trailRows(*m_db, before),
             QStringList{"00000002 TRAMITACAO 00000001 00000001/2026 A | DATA_ARQUIVAMENTO: 2026-03-03; "
                         "HORA_ARQUIVAMENTO: 08:15:00.0000; MOTIVO_ARQUIVAMENTO: CONCLUÍDO"});
    before = lastId(*m_db);
    movement.archived = now.date();
    QVERIFY(core::routing::stamp(conn, core::routing::Stamp::Unarchiving, movement,
                                 QStringLiteral("REABERTO"), now)
                .done());
    before = lastId(*m_db);
    core::routing::Sending s;
    s.registro = QStringLiteral("00000002");
    s.process = QStringLiteral("00000001");
    s.year = QStringLiteral("2026");
    s.subject = QStringLiteral("ALVARÁ");
    s.unit = QStringLiteral("0001");
    s.destination = QStringLiteral("00000003");
    s.destinationName = QStringLiteral("RUI");
    s.sender = QStringLiteral("00000002");
    s.dispatch = QStringLiteral("Ao gabinete.");
    s.date = QDate(2026, 3, 4);
    s.time = QTime(9, 0, 0);
    s.expectedLatest = QStringLiteral("00000001");
    const core::routing::Outcome sent = core::routing::send(conn, s);
    QVERIFY2(sent.done(), qPrintable(sent.text));
    QCOMPARE(trailRows(*m_db, before),
             QStringList{
                 "00000002 TRAMITACAO 00000002 00000001/2026 I | REGISTRO: 00000002; IDPROCESSO: 00000001; "
                 "ANO: 2026; COD_USUARIO_DESTINO: 00000003; DATA: 2026-03-04; HORA: 09:00:00.0000; "
                 "COD_USUARIO: 00000002; IDUNIDADE: 0001; DESPACHO: Ao gabinete."});
}

void TestAudit::rolledBackWriteLeavesNoRow() {
    const qint64 before = lastId(*m_db);
    QSqlDatabase conn = m_db->connection();
    QVERIFY(conn.transaction());
    QVERIFY(runOn(conn, QStringLiteral("UPDATE SETORES SET SETOR = 'Rascunho'")));
    QVERIFY(runOn(conn, QStringLiteral("DELETE FROM TRAMITACAO")));
    QVERIFY(conn.rollback());
    QCOMPARE(trailRows(*m_db, before), QStringList{});
    QCOMPARE(
        m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM TRILHA_PENDENTES WHERE ID > ?"), {before}).toInt(),
        0);
}

void TestAudit::clientThatDoesNotSayWhoIsUnknown() {
    QSqlDatabase other = m_db->openSecondConnection(QStringLiteral("other"));
    QVERIFY(other.isOpen());
    const qint64 before = lastId(*m_db);
    QVERIFY(runOn(other, QStringLiteral("UPDATE SETORES SET SETOR = 'Outro'")));
    const QList<QVariantList> rows =
        m_db->rows(QStringLiteral("SELECT USUARIO, PROGRAMA FROM TRILHA WHERE ID > ?"), {before});
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().at(0).toString(), QStringLiteral("desconhecido"));
    // The workstation's process as the server knows it; an embedded engine knows none.
    QVERIFY2(rows.first().at(1).isNull() ||
                 rows.first().at(1).toString().contains(QString::number(QCoreApplication::applicationPid())),
             qPrintable(rows.first().at(1).toString()));
}

void TestAudit::serverNamesTheWorkstation() {
    // Through the office server the row carries the workstation's address and its process.
    const QString server = qEnvironmentVariable("PROTOCOLO_TEST_SERVER");
    if (server.isEmpty()) QSKIP("PROTOCOLO_TEST_SERVER not set (e.g. 127.0.0.1/3051)");
    QTemporaryDir dir;
    const QString location = server + QLatin1Char(':') + dir.filePath(QStringLiteral("TRILHA.fdb"));
    QString error;
    QVERIFY2(db::createDatabase(location, &error), qPrintable(error));
    {
        QSqlDatabase conn = core::openNamedConnection(QStringLiteral("office"), location, &error);
        QVERIFY2(conn.isOpen(), qPrintable(error));
        QVERIFY(core::audit::setSessionUser(conn, QStringLiteral("00000005")));
        QVERIFY(runOn(conn, QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR) VALUES ('000001', 'A')")));
        QSqlQuery q(conn);
        QVERIFY(q.exec(QStringLiteral("SELECT USUARIO, ENDERECO, PROGRAMA FROM TRILHA")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("00000005"));
        QVERIFY2(q.value(1).toString().startsWith(QStringLiteral("127.0.0.1/")),
                 qPrintable(q.value(1).toString()));
        const QString program = q.value(2).toString();
        QVERIFY2(program.startsWith(QString::number(QCoreApplication::applicationPid()) + QLatin1Char(' ')) &&
                     program.contains(QStringLiteral("tst_audit")),
                 qPrintable(program));
        q.finish();
        conn.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("office"));
    QVERIFY2(db::dropDatabase(location, &error), qPrintable(error));
}

void TestAudit::trailRefusesChanges_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("update") << "UPDATE TRILHA SET USUARIO = '00000001'";
    QTest::newRow("delete") << "DELETE FROM TRILHA";
    QTest::newRow("insert outside the triggers") << "INSERT INTO TRILHA (MOMENTO, USUARIO, TABELA, ACAO) "
                                                    "VALUES (CURRENT_TIMESTAMP, 'X', 'SETORES', 'I')";
    QTest::newRow("seal removed") << "DELETE FROM TRILHA_SELOS";
    QTest::newRow("seal changed") << "UPDATE TRILHA_SELOS SET HASH = ANTERIOR";
}

void TestAudit::trailRefusesChanges() {
    QFETCH(QString, sql);
    QVERIFY(core::audit::sealPending(m_db->connection()).sealed > 0);
    const QList<QVariantList> before =
        m_db->rows(QStringLiteral("SELECT ID, USUARIO FROM TRILHA ORDER BY ID"));
    QSqlQuery q(m_db->connection());
    QVERIFY(!q.exec(sql));
    QVERIFY2(q.lastError().text().contains(
                 QStringLiteral("A trilha de auditoria não pode ser alterada nem apagada.")),
             qPrintable(q.lastError().text()));
    QCOMPARE(m_db->rows(QStringLiteral("SELECT ID, USUARIO FROM TRILHA ORDER BY ID")), before);
}

void TestAudit::valuesReadBackExactly() {
    // Long, with accents and lines: the way a dispatch of several pages is written.
    QString text = QStringLiteral("linha 1 | com barra\nlinha 2: ~ * 3:abc\n");
    for (int i = 1; i <= 300; ++i)
        text += QStringLiteral("Linha %1 do despacho, com a fundamentação legal: ÁÍÏÐÝ çã.\n")
                    .arg(i, 3, 10, QLatin1Char('0'));
    const qint64 before = lastId(*m_db);
    QVERIFY(
        m_db->exec(QStringLiteral("UPDATE TRAMITACAO SET DESPACHO = ?, MOTIVO_ARQUIVAMENTO = ''"), {text}));
    const QVariant raw = m_db->scalar(QStringLiteral("SELECT ALTERACOES FROM TRILHA WHERE ID > ?"), {before});
    const QString changes =
        raw.typeId() == QMetaType::QByteArray ? QString::fromUtf8(raw.toByteArray()) : raw.toString();
    const QList<core::audit::Change> parsed = core::audit::parseChanges(changes);
    QCOMPARE(parsed.size(), 2);
    QCOMPARE(parsed.at(0).column, QStringLiteral("MOTIVO_ARQUIVAMENTO"));
    QVERIFY(parsed.at(0).beforeNull);
    QVERIFY(!parsed.at(0).afterNull);
    QCOMPARE(parsed.at(0).after, QString());
    QCOMPARE(parsed.at(1).column, QStringLiteral("DESPACHO"));
    QVERIFY(parsed.at(1).beforeNull);
    QCOMPARE(parsed.at(1).after, text);
}

void TestAudit::twoDesksKeepOneChain() {
    // Two desks write and seal in turns, one of them holding its transaction open while the other
    // writes, commits and seals: the row of the slower transaction is sealed after the other's.
    QSqlDatabase a = m_db->connection();
    QSqlDatabase b = m_db->openSecondConnection(QStringLiteral("desk2"));
    QVERIFY(core::audit::setSessionUser(b, QStringLiteral("00000002")));
    for (int round = 0; round < 20; ++round) {
        QVERIFY(a.transaction());
        QVERIFY(runOn(a, QStringLiteral("UPDATE SETORES SET SETOR = 'A%1'").arg(round)));
        QVERIFY(runOn(b, QStringLiteral("UPDATE PROCESSOS SET ASSUNTO = 'B%1'").arg(round)));
        QCOMPARE(core::audit::sealPending(b).error, QString());
        QVERIFY(a.commit());
        QCOMPARE(core::audit::sealPending(a).error, QString());
    }
    // Then two desks at once, each on a thread and a connection of its own, writing and sealing
    // after every write as fast as they can: their sealings meet on the head row's lock.
    const QString path = m_db->path();
    std::atomic<int> failures{0};
    std::atomic<int> busy{0};
    auto desk = [&](const QString& name, const QString& table) {
        return QThread::create([&, name, table] {
            {
                QString error;
                QSqlDatabase conn = core::openNamedConnection(name, path, &error);
                if (!conn.isOpen() || !core::audit::setSessionUser(conn, name.right(8))) ++failures;
                for (int i = 0; i < 40; ++i) {
                    QSqlQuery q(conn);
                    if (!q.exec(table == QLatin1String("SETORES")
                                    ? QStringLiteral("UPDATE SETORES SET SETOR = 'T%1'").arg(i)
                                    : QStringLiteral("UPDATE PROCESSOS SET ASSUNTO = 'T%1'").arg(i)))
                        ++failures;
                    const core::audit::SealResult sealed = core::audit::sealPending(conn, 50);
                    if (!sealed.error.isEmpty()) ++failures;
                    if (sealed.busy) ++busy;
                }
                conn.close();
            }
            QSqlDatabase::removeDatabase(name);
        });
    };
    std::unique_ptr<QThread> one(desk(QStringLiteral("desk00000003"), QStringLiteral("SETORES")));
    std::unique_ptr<QThread> two(desk(QStringLiteral("desk00000004"), QStringLiteral("PROCESSOS")));
    one->start();
    two->start();
    QVERIFY(one->wait(120000));
    QVERIFY(two->wait(120000));
    QCOMPARE(failures.load(), 0);
    qInfo("sealings that found the other desk sealing: %d", busy.load());
    const core::audit::CheckResult check = core::audit::verifyChain(a);
    QVERIFY2(check.ok, qPrintable(check.problem));
    const qint64 rows = m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM TRILHA")).toLongLong();
    QCOMPARE(check.rows, rows);
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM TRILHA_PENDENTES")).toInt(), 0);
    // Every row sealed once, the seals numbered without a gap.
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT COUNT(DISTINCT ID) FROM TRILHA_SELOS")).toLongLong(), rows);
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT MAX(SEQ) FROM TRILHA_SELOS")).toLongLong(), rows);
}

void TestAudit::tamperingIsFoundAndNamed_data() {
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<qint64>("rowId");
    QTest::addColumn<QString>("problem");
    const QString off = QStringLiteral("ALTER TRIGGER TRILHA_SOMENTE_INCLUSAO INACTIVE");
    const QString sealsOff = QStringLiteral("ALTER TRIGGER TRILHA_SELOS_SOMENTE_INCLUSAO INACTIVE");
    QTest::newRow("row altered")
        << QStringList{off, "UPDATE TRILHA SET USUARIO = '00000009' WHERE ID = 3"} << qint64(3)
        << "O conteúdo da linha 3 não confere com o selo 3: foi alterada ou incluída por fora do sistema.";
    QTest::newRow("changes altered")
        << QStringList{off, "UPDATE TRILHA SET ALTERACOES = 'SETOR|~|1:X' WHERE ID = 2"} << qint64(2)
        << "O conteúdo da linha 2 não confere com o selo 2: foi alterada ou incluída por fora do sistema.";
    QTest::newRow("row deleted") << QStringList{off, "DELETE FROM TRILHA WHERE ID = 2"} << qint64(2)
                                 << "A linha 2 (selo 2) foi removida da trilha.";
    QTest::newRow("row deleted with its seal")
        << QStringList{off, sealsOff, "DELETE FROM TRILHA WHERE ID = 2",
                       "DELETE FROM TRILHA_SELOS WHERE ID = 2"}
        << qint64(3) << "O selo 2 não existe: a linha selada antes da linha 3 foi removida.";
    QTest::newRow("row inserted")
        << QStringList{off, "INSERT INTO TRILHA (MOMENTO, USUARIO, TABELA, CHAVE, ACAO) VALUES "
                            "(CURRENT_TIMESTAMP, '00000001', 'SETORES', '000009', 'E')"}
        << qint64(5) << "A linha 5 não tem selo: foi incluída por fora do sistema.";
    QTest::newRow("row inserted with a seal")
        << QStringList{off,
                       "INSERT INTO TRILHA (ID, MOMENTO, USUARIO, TABELA, ACAO) VALUES "
                       "(100, CURRENT_TIMESTAMP, '00000001', 'SETORES', 'E')",
                       "INSERT INTO TRILHA_SELOS (SEQ, ID, ANTERIOR, HASH, SELADO_EM) SELECT 5, 100, HASH, "
                       "HASH, "
                       "CURRENT_TIMESTAMP FROM TRILHA_SELOS WHERE SEQ = 4"}
        << qint64(100)
        << "O conteúdo da linha 100 não confere com o selo 5: foi alterada ou incluída por fora do sistema.";
}

void TestAudit::tamperingIsFoundAndNamed() {
    QFETCH(QStringList, sql);
    QFETCH(qint64, rowId);
    QFETCH(QString, problem);
    QVERIFY(core::audit::sealPending(m_db->connection()).sealed == 4);
    QVERIFY(core::audit::verifyChain(m_db->connection()).ok);
    // As SYSDBA through SQL, as isql would, on a connection of its own.
    QSqlDatabase sysdba = m_db->openSecondConnection(QStringLiteral("isql"));
    for (const QString& statement : std::as_const(sql)) {
        QVERIFY(sysdba.transaction());
        QVERIFY(runOn(sysdba, statement));
        QVERIFY(sysdba.commit());
    }
    QList<qint64> progress;
    const core::audit::CheckResult check =
        core::audit::verifyChain(m_db->connection(), [&](qint64 done, qint64) {
            progress << done;
            return true;
        });
    QVERIFY(!check.ok);
    QCOMPARE(check.brokenRowId, rowId);
    QCOMPARE(check.problem, problem);
    QVERIFY(!progress.isEmpty());
}

void TestAudit::anchorFindsARewrittenEnd() {
    QVERIFY(core::audit::sealPending(m_db->connection()).sealed == 4);
    const core::audit::Anchor anchor = core::audit::currentAnchor(m_db->connection());
    QCOMPARE(anchor.seq, qint64(4));
    QCOMPARE(core::audit::parseAnchor(core::audit::anchorText(anchor)).hash, anchor.hash);
    // Someone who knows the scheme removes the newest rows with their seals and sets the head back:
    // the chain left is whole, and only the anchor kept apart tells.
    QSqlDatabase sysdba = m_db->openSecondConnection(QStringLiteral("isql"));
    for (const QString& statement :
         {QStringLiteral("ALTER TRIGGER TRILHA_SOMENTE_INCLUSAO INACTIVE"),
          QStringLiteral("ALTER TRIGGER TRILHA_SELOS_SOMENTE_INCLUSAO INACTIVE"),
          QStringLiteral("DELETE FROM TRILHA WHERE ID >= 3"),
          QStringLiteral("DELETE FROM TRILHA_SELOS WHERE SEQ >= 3"),
          QStringLiteral(
              "UPDATE TRILHA_CABECA SET SEQ = 2, HASH = (SELECT HASH FROM TRILHA_SELOS WHERE SEQ = 2)")}) {
        QVERIFY(sysdba.transaction());
        QVERIFY(runOn(sysdba, statement));
        QVERIFY(sysdba.commit());
    }
    QVERIFY(core::audit::verifyChain(m_db->connection()).ok);
    const core::audit::CheckResult check = core::audit::verifyChain(m_db->connection(), {}, &anchor);
    QVERIFY(!check.ok);
    QCOMPARE(check.problem,
             QStringLiteral("O selo 4 da âncora guardada não existe mais: a trilha foi truncada."));
}

QTEST_GUILESS_MAIN(TestAudit)
#include "tst_audit.moc"
