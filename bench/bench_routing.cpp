// Times routing on an office-sized database: 200,000 processes and 1,000,000 movements among 200
// users. Prints the pending list of a busy user (the window opened on its first screen, and the
// whole list read on) and a sending through the routing form, each beside its floor, the raw fetch
// or statement of the same rows in the same run. Run by hand: QT_QPA_PLATFORM=offscreen
// build/bench/bench_routing [processes, default 200000] [database file, default a temporary one: created and
// filled when it does not exist, reused as it is when it does]
#include "core/connection.h"
#include "core/handoff.h"
#include "core/routing.h"
#include "core/session.h"
#include "db/database.h"
#include "forms/common/recordset.h"
#include "forms/processes/recebimentopendencia.h"
#include "forms/processes/tramitacao.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace {

QTextStream out(stdout);

constexpr int kUsers = 200;
constexpr int kMovementsPerProcess = 5;
const QString kBusyUser = QStringLiteral("00000002");

bool run(const QString& sql, QString* error) {
    QSqlQuery q(core::mainConnection());
    if (q.exec(sql)) return true;
    *error = q.lastError().text();
    return false;
}

// The office, filled by the server itself: one statement per table.
bool fill(int processes, QString* error) {
    if (!run(QStringLiteral("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN "
                            "WHILE (I <= 20) DO BEGIN "
                            "INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES (LPAD(:I, 4, '0'), "
                            "'SECRETARIA MUNICIPAL ' || :I); I = I + 1; END END"),
             error))
        return false;
    if (!run(QStringLiteral(
                 "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN "
                 "WHILE (I <= %1) DO BEGIN "
                 "INSERT INTO USUARIOS (COD_USUARIO, USUARIO, PROTOCOLISTA, IDUNIDADE) VALUES "
                 "(LPAD(:I, 8, '0'), 'SERVIDOR NÚMERO ' || :I, 'SIM', LPAD(MOD(:I, 20) + 1, 4, '0')); "
                 "I = I + 1; END END")
                 .arg(kUsers),
             error))
        return false;
    // Processes over seven years; the number runs within its year.
    if (!run(QStringLiteral(
                 "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN "
                 "WHILE (I < %1) DO BEGIN "
                 "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, ASSUNTO, PROCESSO, COD_USUARIO) VALUES "
                 "(LPAD(:I / 7 + 1, 8, '0'), 2013 + MOD(:I, 7), DATEADD(MOD(:I, 360) DAY TO DATE "
                 "'2013-01-02'), "
                 "TIME '08:00:00', 'SOLICITAÇÃO DE CERTIDÃO REFERENTE AO IMÓVEL ' || :I, "
                 "'Requer a expedição de certidão negativa de débitos do imóvel de inscrição ' || :I || '.', "
                 "'00000001'); I = I + 1; END END")
                 .arg(processes),
             error))
        return false;
    // Five movements per process, a day apart. The busy user is the last holder of every 40th
    // process and passed another 40th on; the rest travel among all users. Earlier movements are
    // received on paper and electronically, the last one in half of the processes.
    return run(
        QStringLiteral(
            "EXECUTE BLOCK AS DECLARE I INTEGER = 0; DECLARE K INTEGER; DECLARE R INTEGER = 0; "
            "DECLARE FROM_U INTEGER; DECLARE TO_U INTEGER; DECLARE D DATE; BEGIN "
            "WHILE (I < %1) DO BEGIN "
            "  K = 0; FROM_U = 1; D = DATEADD(MOD(I, 360) DAY TO DATE '2013-01-02'); "
            "  WHILE (K < %2) DO BEGIN "
            "    TO_U = MOD(I * 7 + K * 13, %3) + 1; "
            "    IF (MOD(I, 40) = 0 AND K = %2 - 1) THEN TO_U = 2; "
            "    IF (MOD(I, 40) = 20 AND K = 2) THEN TO_U = 2; "
            "    IF (TO_U = FROM_U) THEN TO_U = MOD(TO_U, %3) + 1; "
            "    R = R + 1; "
            "    INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, "
            "IDUNIDADE, "
            "      DATA, HORA, DESPACHO, DATA_RECEBIMENTO, HORA_RECEBIMENTO, DATA_RECEBIMENTO_FISICO, "
            "      HORA_RECEBIMENTO_FISICO) VALUES (LPAD(:R, 8, '0'), LPAD(:I / 7 + 1, 8, '0'), 2013 + "
            "MOD(:I, 7), "
            "      LPAD(:FROM_U, 8, '0'), LPAD(:TO_U, 8, '0'), LPAD(MOD(:TO_U, 20) + 1, 4, '0'), "
            "      DATEADD(:K DAY TO :D), TIME '09:00:00', 'Encaminho para análise e parecer.', "
            "      IIF(:K < %2 - 1 OR MOD(:I, 2) = 0, DATEADD(:K DAY TO :D), NULL), "
            "      IIF(:K < %2 - 1 OR MOD(:I, 2) = 0, TIME '10:30:00', NULL), "
            "      IIF(:K < %2 - 1, DATEADD(:K DAY TO :D), NULL), IIF(:K < %2 - 1, TIME '11:00:00', NULL)); "
            "    FROM_U = TO_U; K = K + 1; "
            "  END "
            "  I = I + 1; "
            "END END")
            .arg(processes)
            .arg(kMovementsPerProcess)
            .arg(kUsers),
        error);
}

qint64 median(QList<qint64> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The raw fetch: the same query, every column of every row read, nothing kept.
qint64 rawFetch(const QString& sql, const QString& user, int* rows) {
    QElapsedTimer clock;
    clock.start();
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    q.prepare(sql);
    q.bindValue(QStringLiteral(":UM"), user);
    q.exec();
    *rows = 0;
    // The driver builds the record description with catalogue queries: asked once, not per row.
    const int columns = q.record().count();
    while (q.next()) {
        for (int c = 0; c < columns; ++c)
            (void)q.value(c);
        ++*rows;
    }
    return clock.elapsed();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int processes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    QTemporaryDir dir;
    const QString path =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb"));
    QString error;
    core::ConnectionTarget target;
    target.database = path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    const bool reuse = QFileInfo::exists(path);
    if ((!reuse && !db::createDatabase(path, &error)) || !core::openMainConnection(target, &error)) {
        out << "database: " << error << Qt::endl;
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    if (!reuse && !fill(processes, &error)) {
        out << "fill: " << error << Qt::endl;
        return 1;
    }
    QSqlQuery count(core::mainConnection());
    count.exec(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM PROCESSOS), (SELECT COUNT(*) FROM TRAMITACAO) FROM "
                       "RDB$DATABASE"));
    count.next();
    out << (reuse ? "database reused: " : "database filled: ") << count.value(0).toInt() << " processes, "
        << count.value(1).toInt() << " movements, " << kUsers << " users in " << clock.elapsed() << " ms"
        << Qt::endl;
    count.finish();
    // Warm the page cache the way a workstation that has been running a while has it.
    QSqlQuery warm(core::mainConnection());
    warm.exec(QStringLiteral("SELECT COUNT(*) FROM TRAMITACAO WHERE COD_USUARIO_DESTINO = '00000099'"));
    warm.finish();

    // --- the pending list of the busy user ---------------------------------------------------
    // The window opens on its first screen, read in the list's order through the destination's
    // index; the rest of the list is read afterwards from the event loop. The floor is the raw
    // fetch of the rows that first read covers, every column, in the same order.
    core::currentUser().code = kBusyUser;
    const forms::WindowedSpec spec = processes::pendingRows();
    QStringList columns;
    for (const forms::WindowedField& f : spec.fields)
        columns << f.expr;
    const QString firstScreen =
        QStringLiteral("SELECT FIRST %1 %2 FROM %3 WHERE %4 ORDER BY %5")
            .arg(QString::number(4 * forms::WindowedSource::kBlockRows), columns.join(QStringLiteral(", ")),
                 spec.baseFrom, spec.condition, spec.defaultOrder.join(QStringLiteral(", ")));
    int rows = 0;
    int firstRows = 0;
    QList<qint64> opened, floors, whole, wholeFloors;
    for (int i = 0; i < 5; ++i) {
        floors << rawFetch(firstScreen, kBusyUser, &firstRows);
        clock.restart();
        processes::TFrm_RecebimentoPendencia window(nullptr);
        QString openError;
        if (!window.reload(kBusyUser, &openError)) {
            out << "pending list: " << openError << Qt::endl;
            return 1;
        }
        window.show();
        QApplication::processEvents();
        window.grab();
        opened << clock.elapsed();
        // The rest of the list, as the event loop reads it on.
        if (!window.records()->waitForComplete()) {
            out << "pending list: " << window.records()->lastError() << Qt::endl;
            return 1;
        }
        whole << clock.elapsed();
        wholeFloors << rawFetch(core::routing::pendingQuery(), kBusyUser, &rows);
        if (window.records()->rowCount() != rows) {
            out << "pending list: " << window.records()->rowCount() << " rows, raw fetch " << rows
                << Qt::endl;
            return 1;
        }
    }
    out << "pending movements of the busy user: " << rows << " (first read " << firstRows << ")" << Qt::endl;
    // The pending rule alone, counted by the server: what reading the rows costs on top of it.
    {
        QString countOnly = core::routing::pendingQuery();
        countOnly = QStringLiteral("SELECT COUNT(*) FROM (") +
                    countOnly.left(countOnly.indexOf(QStringLiteral(" ORDER BY"))) + QStringLiteral(")");
        int ignored = 0;
        QList<qint64> counts;
        for (int i = 0; i < 3; ++i)
            counts << rawFetch(countOnly, kBusyUser, &ignored);
        out << "counting the pending movements of a busy user on the server: " << median(counts) << " ms"
            << Qt::endl;
    }
    // The former opening: the whole list read at once into the in-memory record set.
    {
        QList<qint64> former;
        for (int i = 0; i < 3; ++i) {
            clock.restart();
            forms::RecordSet set;
            set.setQuery(core::routing::pendingQuery());
            set.setParameter(QStringLiteral("UM"), kBusyUser);
            if (!set.open()) {
                out << "former opening: " << set.lastError() << Qt::endl;
                return 1;
            }
            former << clock.elapsed();
        }
        out << "reading the whole list at once into memory, as the list opened before: " << median(former)
            << " ms (floor " << median(wholeFloors) << " ms)" << Qt::endl;
    }
    out << "reading the whole pending list of a busy user (after the window shows): " << median(whole)
        << " ms (floor " << median(wholeFloors) << " ms)" << Qt::endl;
    out << "opening the pending list of a busy user: " << median(opened) << " ms (floor " << median(floors)
        << " ms)" << Qt::endl;

    // A title click reads the list again in that column's order: a stored column comes through its
    // (column, movement) index and shows its first screen at once, a name is ordered whole first.
    for (const char* field : {"DATA", "ASSUNTO", "PRAZO"}) {
        processes::TFrm_RecebimentoPendencia window(nullptr);
        window.reload(kBusyUser);
        window.records()->waitForComplete();
        QList<qint64> first, all;
        for (int i = 0; i < 3; ++i) {
            window.records()->sortBy(QStringLiteral("REGISTRO"));
            window.records()->waitForComplete();
            clock.restart();
            window.records()->sortBy(QString::fromLatin1(field));
            window.records()->valueAt(0, 0);
            first << clock.elapsed();
            if (!window.records()->waitForComplete()) {
                out << "sorting: " << window.records()->lastError() << Qt::endl;
                return 1;
            }
            all << clock.elapsed();
        }
        out << "sorting the pending list of a busy user by " << field << ": first screen " << median(first)
            << " ms, whole list " << median(all) << " ms" << Qt::endl;
    }

    // --- sending a process through the routing form ------------------------------------------
    // Each round forwards one of the busy user's received movements to user 00000003 (unit 0004).
    QSqlQuery pending(core::mainConnection());
    pending.setForwardOnly(true);
    pending.prepare(core::routing::pendingQuery());
    pending.bindValue(QStringLiteral(":UM"), kBusyUser);
    pending.exec();
    QList<QStringList> received;
    while (pending.next() && received.size() < 5)
        if (!pending.value(QStringLiteral("DATA_RECEBIMENTO")).isNull())
            received << QStringList{pending.value(0).toString(), pending.value(1).toString(),
                                    pending.value(2).toString()};
    pending.finish();
    QList<qint64> sends, statements, numbers;
    for (const QStringList& m : std::as_const(received)) {
        core::RoutingHandOff& h = core::routingHandOff();
        h.process = m.at(1);
        h.year = m.at(2);
        h.movement = m.at(0);
        clock.restart();
        processes::TFrm_Tramitacao form(nullptr);
        form.reload(h.movement);
        form.Botao_IncluirClick();
        form.records()->setValue(QStringLiteral("IDUNIDADE"), QStringLiteral("4"));
        form.records()->setValue(QStringLiteral("COD_USUARIO_DESTINO"), QStringLiteral("3"));
        form.records()->setValue(QStringLiteral("DESPACHO"), QStringLiteral("Segue para manifestação."));
        form.Botao_SalvarClick();
        sends << clock.elapsed();
        if (form.sentRegister().isEmpty()) {
            out << "sending: nothing written" << Qt::endl;
            return 1;
        }

        clock.restart();
        QString numberError;
        const QString registro = core::routing::nextRegister(core::mainConnection(), &numberError);
        numbers << clock.elapsed();
        // The floor: one bare INSERT of a movement, committed.
        clock.restart();
        QSqlDatabase db = core::mainConnection();
        db.transaction();
        {
            QSqlQuery insert(db);
            insert.prepare(
                QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDUNIDADE, "
                               "COD_USUARIO_DESTINO, COD_USUARIO, DATA, HORA, DESPACHO) VALUES (?, ?, "
                               "?, ?, ?, ?, ?, ?, ?)"));
            for (const QVariant& v :
                 QVariantList{registro, m.at(1), m.at(2), QStringLiteral("0004"), QStringLiteral("00000004"),
                              QStringLiteral("00000003"), QDate::currentDate(), QTime::currentTime(),
                              QStringLiteral("Segue para manifestação.")})
                insert.addBindValue(v);
            if (!insert.exec()) {
                out << "insert: " << insert.lastError().text() << Qt::endl;
                return 1;
            }
        }
        db.commit();
        statements << clock.elapsed();
    }
    if (sends.isEmpty()) {
        out << "sending: the busy user has no received movement" << Qt::endl;
        return 1;
    }
    out << "register number of a new movement: " << median(numbers) << " ms" << Qt::endl;
    out << "sending a process: " << median(sends) << " ms (floor " << median(statements) << " ms)"
        << Qt::endl;
    return 0;
}
