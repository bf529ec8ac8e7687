// Times the audit trail: a sending through the routing form with the trail's triggers and without
// them, and the trail window's first rows on a trail of many rows (default 10,000,000). Run by
// hand: QT_QPA_PLATFORM=offscreen build/bench/bench_trail [trail rows] [database file, default a
// temporary one: created and filled when it does not exist, reused as it is when it does]
// [rows to seal before the chain check, or "sem-verificacao" to leave the check out]
#include "core/audit.h"
#include "core/connection.h"
#include "core/handoff.h"
#include "core/session.h"
#include "db/database.h"
#include "forms/processes/tramitacao.h"
#include "forms/processes/trilhaauditoria.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace {

QTextStream out(stdout);
constexpr int kProcesses = 400;

bool run(const QString& sql, QString* error) {
    QSqlQuery q(core::mainConnection());
    if (q.exec(sql)) return true;
    *error = q.lastError().text() + QStringLiteral("\n") + sql;
    return false;
}

qint64 median(QList<qint64> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Units, users and processes, each process with a movement received by user 00000002.
bool fillOffice(QString* error) {
    return run(QStringLiteral(
                   "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 20) DO BEGIN "
                   "INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES (LPAD(:I, 4, '0'), 'SECRETARIA ' || "
                   ":I); "
                   "INSERT INTO USUARIOS (COD_USUARIO, USUARIO, PROTOCOLISTA, IDUNIDADE) VALUES "
                   "(LPAD(:I, 8, '0'), 'SERVIDOR ' || :I, 'SIM', LPAD(:I, 4, '0')); I = I + 1; END END"),
               error) &&
           run(QStringLiteral(
                   "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                   "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, ASSUNTO, COD_USUARIO) VALUES "
                   "(LPAD(:I, 8, '0'), '2026', CURRENT_DATE, TIME '08:00:00', 'CERTIDÃO ' || :I, "
                   "'00000001'); "
                   "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, "
                   "IDUNIDADE, DATA, HORA, DESPACHO, DATA_RECEBIMENTO, HORA_RECEBIMENTO) VALUES "
                   "(LPAD(:I, 8, '0'), LPAD(:I, 8, '0'), '2026', '00000001', '00000002', '0002', "
                   "CURRENT_DATE, TIME '09:00:00', 'Para análise.', CURRENT_DATE, TIME '10:00:00'); "
                   "I = I + 1; END END")
                   .arg(kProcesses),
               error);
}

// Trail rows as the triggers write them, straight into the table (the queue of rows to seal is
// left out: these stand for rows sealed long ago), in transactions of a million.
bool fillTrail(qint64 rows, QString* error) {
    for (qint64 done = 0; done < rows; done += 1000000) {
        const qint64 n = std::min<qint64>(1000000, rows - done);
        QSqlDatabase db = core::mainConnection();
        db.transaction();
        if (!run(QStringLiteral(
                     "EXECUTE BLOCK AS DECLARE I INTEGER = 0; DECLARE M VARCHAR(1); BEGIN "
                     "M = RDB$SET_CONTEXT('USER_TRANSACTION', 'TRILHA_GRAVANDO', '1'); "
                     "WHILE (I < %1) DO BEGIN "
                     "INSERT INTO TRILHA (MOMENTO, USUARIO, ENDERECO, PROGRAMA, TABELA, CHAVE, PROCESSO, "
                     "ACAO, "
                     "ALTERACOES) VALUES (DATEADD(-:I / 50 SECOND TO CURRENT_TIMESTAMP), LPAD(MOD(:I, 20) + "
                     "1, 8, "
                     "'0'), '10.0.0.' || MOD(:I, 50), '4242 protocolo', 'TRAMITACAO', LPAD(:I, 8, '0'), "
                     "LPAD(MOD(:I, 100000), 8, '0') || '/2026', 'A', "
                     "'DATA_RECEBIMENTO|~|10:2026-03-02' || ASCII_CHAR(10) || "
                     "'HORA_RECEBIMENTO|~|13:10:30:00.0000'"
                     "); I = I + 1; END END")
                     .arg(n),
                 error))
            return false;
        db.commit();
        out << "trail rows written: " << done + n << Qt::endl;
    }
    return true;
}

bool setTrailTriggers(bool active, QString* error) {
    const QStringList tables{
        QStringLiteral("EMPRESA"),      QStringLiteral("TIPOUNIDADE"),  QStringLiteral("UNIDADES"),
        QStringLiteral("SETORES"),      QStringLiteral("TIPOPROCESSO"), QStringLiteral("PRAZOS_TIPOPROCESSO"),
        QStringLiteral("INTERESSADOS"), QStringLiteral("USUARIOS"),     QStringLiteral("USUARIOS_ACESSOS"),
        QStringLiteral("PROCESSOS"),    QStringLiteral("TRAMITACAO")};
    for (const QString& t : tables)
        if (!run(QStringLiteral("ALTER TRIGGER %1_TRILHA %2").arg(t, active ? "ACTIVE" : "INACTIVE"), error))
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const qint64 trailRows = argc > 1 ? QString::fromLatin1(argv[1]).toLongLong() : 10000000;
    QTemporaryDir dir;
    const QString path =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("TRILHA.fdb"));
    const bool reuse = QFileInfo::exists(path);
    QString error;
    if (!reuse && !db::createDatabase(path, &error)) {
        out << "database: " << error << Qt::endl;
        return 1;
    }
    core::ConnectionTarget target;
    target.mode = core::ConnectionMode::Local;
    target.database = path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    if (!core::openMainConnection(target, &error)) {
        out << "open: " << error << Qt::endl;
        return 1;
    }
    QElapsedTimer clock;
    if (!reuse) {
        clock.start();
        if (!fillOffice(&error) || !fillTrail(trailRows, &error)) {
            out << "fill: " << error << Qt::endl;
            return 1;
        }
        out << "filled in " << clock.elapsed() / 1000 << " s" << Qt::endl;
    }
    QSqlDatabase db = core::mainConnection();
    core::currentUser().code = QStringLiteral("00000002");
    core::audit::setSessionUser(db, core::currentUser().code);

    // --- sending: the same forwarding through the routing form, with and without the trail ----
    QSqlQuery received(db);
    received.setForwardOnly(true);
    received.exec(
        QStringLiteral("SELECT T.REGISTRO, T.IDPROCESSO, T.ANO FROM TRAMITACAO T WHERE "
                       "T.COD_USUARIO_DESTINO = '00000002' AND T.DATA_RECEBIMENTO IS NOT NULL AND NOT "
                       "EXISTS (SELECT 1 FROM TRAMITACAO N WHERE N.IDPROCESSO = T.IDPROCESSO AND N.ANO = "
                       "T.ANO AND N.REGISTRO > T.REGISTRO) ORDER BY T.REGISTRO"));
    QList<QStringList> movements;
    while (received.next())
        movements << QStringList{received.value(0).toString(), received.value(1).toString(),
                                 received.value(2).toString()};
    received.finish();
    auto send = [&](const QStringList& m) -> qint64 {
        core::RoutingHandOff& h = core::routingHandOff();
        h.process = m.at(1);
        h.year = m.at(2);
        h.movement = m.at(0);
        QElapsedTimer c;
        c.start();
        processes::TFrm_Tramitacao form(nullptr);
        form.reload(h.movement);
        form.Botao_IncluirClick();
        form.records()->setValue(QStringLiteral("IDUNIDADE"), QStringLiteral("4"));
        form.records()->setValue(QStringLiteral("COD_USUARIO_DESTINO"), QStringLiteral("4"));
        form.records()->setValue(QStringLiteral("DESPACHO"), QStringLiteral("Segue para manifestação."));
        form.Botao_SalvarClick();
        const qint64 ms = c.elapsed();
        return form.sentRegister().isEmpty() ? -1 : ms;
    };
    QList<qint64> with, without;
    int next = 0;
    // Blocks of sendings in turn (with, without, with, without), so a busy moment of the machine
    // weighs on both; the first sending of all warms the caches and is not counted.
    if (movements.size() < 42) {
        out << "sending: not enough received movements (" << movements.size() << ")" << Qt::endl;
        return 1;
    }
    send(movements.at(next++));
    for (int block = 0; block < 4; ++block) {
        const bool trail = block % 2 == 0;
        if (!setTrailTriggers(trail, &error)) {
            out << "triggers: " << error << Qt::endl;
            return 1;
        }
        for (int i = 0; i < 10; ++i) {
            const qint64 ms = send(movements.at(next++));
            if (ms < 0) {
                out << "sending: nothing written" << Qt::endl;
                return 1;
            }
            (trail ? with : without) << ms;
        }
    }
    setTrailTriggers(true, &error);
    out << "sending with trail: " << median(with) << " ms (without " << median(without) << " ms)" << Qt::endl;
    {
        clock.restart();
        const core::audit::SealResult sealed = core::audit::sealPending(db, 5000);
        out << "sealing " << sealed.sealed << " rows: " << clock.elapsed() << " ms" << Qt::endl;
    }

    // --- the trail window: its first screen over the whole trail, newest first ----------------
    const qint64 total = [&] {
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT FIRST 1 ID FROM TRILHA ORDER BY ID DESC"));
        return q.next() ? q.value(0).toLongLong() : 0;
    }();
    QList<qint64> firsts;
    for (int i = 0; i < 5; ++i) {
        clock.restart();
        processes::TFrm_TrilhaAuditoria window(nullptr);
        processes::TrailFilter f;
        f.to = QDate::currentDate();
        f.from = f.to.addDays(-30);
        window.applyFilter(f);
        window.show();
        while (window.records()->rowCount() < 30 && !window.records()->isComplete())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        for (int r = 0; r < 30 && r < window.records()->rowCount(); ++r)
            (void)window.records()->valueAt(r, window.records()->fieldIndex(QStringLiteral("ALTERACOES")));
        window.grab();
        firsts << clock.elapsed();
    }
    out << "trail window first rows: " << median(firsts) << " ms (rows " << total << ")" << Qt::endl;

    // --- the chain check's speed: rows written by the triggers, sealed and checked ------------
    // The filler's rows have no seals (they stand for sealed ones but were written straight), so
    // the check also names the first of them as a row without a seal.
    if (argc > 3 && QByteArray(argv[3]) == "sem-verificacao") return 0;
    const qint64 sealRows = argc > 3 ? QString::fromLatin1(argv[3]).toLongLong() : 0;
    if (sealRows > 0) {
        // Rows to seal as the triggers leave them: one statement writing and changing registers.
        run(QStringLiteral(
                "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) DO BEGIN "
                "UPDATE OR INSERT INTO SETORES (IDSETOR, SETOR) VALUES (LPAD(MOD(:I, 1000), 6, '0'), "
                "'SETOR ' || :I); I = I + 1; END END")
                .arg(sealRows),
            &error);
        clock.restart();
        int sealed = 0;
        for (core::audit::SealResult r; (r = core::audit::sealPending(db, 5000)).sealed > 0;)
            sealed += r.sealed;
        out << "sealing: " << sealed << " rows in " << clock.elapsed() << " ms" << Qt::endl;
    }
    clock.restart();
    const core::audit::CheckResult check = core::audit::verifyChain(db);
    out << "chain check: " << check.rows << " seals, " << qint64(check.rowsPerSecond) << " rows/s"
        << (check.ok ? "" : " - ") << check.problem << Qt::endl;
    return 0;
}
