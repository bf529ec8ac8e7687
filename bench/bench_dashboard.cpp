// Times the main window's chart of pending processes on a database of a large installation
// (200,000 processes, 1,000,000 movements): the grouped query over the latest-movement table
// against the least a read of the same rows costs (the server counting them); a sending with the
// triggers that keep the table and without them; and the one-off fill the database update does.
// Run by hand: build/bench/bench_dashboard [processes] [movements]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs.
#include "bench/benchdata.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dashboard.h"
#include "db/update.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <algorithm>

namespace {

QTextStream out(stdout);

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

bool exec(QSqlDatabase db, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q(db);
    if (!q.prepare(sql)) {
        out << q.lastError().text() << Qt::endl;
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        out << q.lastError().text() << Qt::endl;
        return false;
    }
    return true;
}

constexpr int kSendings = 40;

// Sends process 01010001/2016 on kSendings times as a sending writes it (a new movement, its own
// transaction); the median time of one.
double sendings(QSqlDatabase db, int firstRegister) {
    QList<double> times;
    for (int i = 0; i < kSendings; ++i) {
        QElapsedTimer clock;
        clock.start();
        db.transaction();
        if (!exec(db,
                  QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDUNIDADE, COD_USUARIO, "
                                 "COD_USUARIO_DESTINO, DATA, HORA, DESPACHO) VALUES (?, '01010001', '2016', "
                                 "'0003', '00000001', '00000002', CURRENT_DATE, CURRENT_TIME, 'BENCH')"),
                  {QStringLiteral("%1").arg(firstRegister + i, 8, 10, QLatin1Char('0'))})) {
            db.rollback();
            return -1;
        }
        db.commit();
        times << clock.nsecsElapsed() / 1e6;
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::Volume volume;
    if (argc > 1) volume.processes = QString::fromLocal8Bit(argv[1]).toInt();
    if (argc > 2) volume.movements = QString::fromLocal8Bit(argv[2]).toInt();
    bench::BenchDatabase database;
    if (!database.openOrFill(volume, out)) return 1;
    core::initialiseAppValues(0);
    QSqlDatabase db = core::mainConnection();
    // Every other process type has a deadline, so that some processes are overdue.
    if (!exec(db,
              QStringLiteral("INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) SELECT T.IDTIPO, 30 "
                             "FROM TIPOPROCESSO T WHERE MOD(CAST(T.IDTIPO AS INTEGER), 2) = 0 AND "
                             "NOT EXISTS (SELECT 1 FROM PRAZOS_TIPOPROCESSO P WHERE P.IDTIPO = T.IDTIPO)")))
        return 1;

    const QDate today = QDate::currentDate();
    QList<double> queries, floors;
    int units = 0, waiting = 0, overdue = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer clock;
        clock.start();
        QList<core::UnitLoad> loads;
        QString error;
        if (!core::loadDashboard(db, today, &loads, &error)) {
            out << error << Qt::endl;
            return 1;
        }
        queries << clock.nsecsElapsed() / 1e6;
        units = int(loads.size());
        waiting = overdue = 0;
        for (const core::UnitLoad& l : std::as_const(loads)) {
            waiting += l.waiting;
            overdue += l.overdue;
        }
        // Floor: the server reading the same rows of the table and handing back one number.
        clock.restart();
        QSqlQuery raw(db);
        raw.setForwardOnly(true);
        if (!raw.exec(QStringLiteral("SELECT COUNT(*) FROM ULTIMA_TRAMITACAO U WHERE U.ARQUIVADO = 0")) ||
            !raw.next())
            return 1;
        floors << clock.nsecsElapsed() / 1e6;
    }
    out << "units: " << units << ", waiting: " << waiting << ", overdue: " << overdue << Qt::endl;
    out << "dashboard query: " << qRound(median(queries)) << " ms (floor " << qRound(median(floors)) << " ms)"
        << Qt::endl;

    // A sending without the trigger (the table left as it was, the rows removed again before the
    // trigger comes back), then with it.
    const int first = volume.movements + 1;
    if (!exec(db, QStringLiteral("ALTER TRIGGER TRAMITACAO_ULTIMA INACTIVE"))) return 1;
    const double without = sendings(db, first);
    if (!exec(db, QStringLiteral("DELETE FROM TRAMITACAO WHERE DESPACHO = 'BENCH'")) ||
        !exec(db, QStringLiteral("ALTER TRIGGER TRAMITACAO_ULTIMA ACTIVE")))
        return 1;
    const double with = sendings(db, first);
    // Removed with the trigger on: the process's row goes back to its latest real movement.
    if (!exec(db, QStringLiteral("DELETE FROM TRAMITACAO WHERE DESPACHO = 'BENCH'"))) return 1;
    out << "a sending with the latest-movement trigger: " << QString::number(with, 'f', 2)
        << " ms (without it " << QString::number(without, 'f', 2) << " ms)" << Qt::endl;

    // The update's fill of the table from every movement.
    QElapsedTimer clock;
    clock.start();
    QString error;
    if (!db::fillLatestMovements(db, &error)) {
        out << error << Qt::endl;
        return 1;
    }
    out << "update's fill of the latest-movement table: " << clock.elapsed() << " ms" << Qt::endl;
    return 0;
}
