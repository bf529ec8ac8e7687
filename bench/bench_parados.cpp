// Times the listing "Processos parados" on a database of a large installation (200,000 processes,
// 1,000,000 movements): the first page, from the query sent to page 1 laid out, against the raw
// fetch of the same rows by their keys in the same run; then, for the record, the whole listing
// read at once as the report engine reads it today.
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_parados [processes] [movements]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs.
#include "bench/benchdata.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "reports/engine/layout.h"
#include "reports/listings/parados.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <algorithm>

namespace {

QTextStream out(stdout);

// More rows than a landscape page holds; the page is laid out from these.
constexpr int kPageRows = 60;

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Tells why and gives the exit status.
int fail(const QSqlQuery& q) {
    out << q.lastError().text() << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bench::Volume volume;
    if (argc > 1) volume.processes = QString::fromLocal8Bit(argv[1]).toInt();
    if (argc > 2) volume.movements = QString::fromLocal8Bit(argv[2]).toInt();
    bench::BenchDatabase database;
    if (!database.openOrFill(volume, out)) return 1;
    QString error;
    core::initialiseAppValues(0);
    QSqlDatabase db = core::mainConnection();
    {
        // Every other process type has a deadline, so that the listing shows both states.
        QSqlQuery q(db);
        if (!q.exec(
                QStringLiteral("INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) SELECT T.IDTIPO, 30 "
                               "FROM TIPOPROCESSO T WHERE MOD(CAST(T.IDTIPO AS INTEGER), 2) = 0 AND "
                               "NOT EXISTS (SELECT 1 FROM PRAZOS_TIPOPROCESSO P WHERE P.IDTIPO = T.IDTIPO)")))
            return fail(q);
    }

    const QDate today = QDate::currentDate();
    QList<double> firstPages, floors;
    int shownRows = 0;
    for (int run = 0; run < 5; ++run) {
        QStringList keys;
        QElapsedTimer clock;
        clock.start();
        // The listing's own query, read as a progressive engine reads it: the rows of the first
        // page, then page 1 laid out.
        std::unique_ptr<reports::Report> report = reports::createParados(reports::kParadosDefaultDays, today);
        {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.prepare(reports::paradosQuery())) return fail(q);
            q.bindValue(QStringLiteral(":CORTE"), reports::paradosCut(reports::kParadosDefaultDays, today));
            if (!q.exec()) return fail(q);
            reports::ReportData& data = report->data;
            QStringList columns;
            for (int c = 0; c < q.record().count(); ++c)
                columns << q.record().fieldName(c);
            data.setColumns(columns);
            while (data.rowCount() < kPageRows && q.next()) {
                QVariantList row;
                for (int c = 0; c < columns.size(); ++c)
                    row << q.value(c);
                data.addRow(row);
                keys << q.value(0).toString();
            }
        }
        const reports::PreparedReport prepared = reports::prepare(*report);
        firstPages << clock.nsecsElapsed() / 1e6;
        shownRows = 0;
        for (const reports::PlacedBand& b : prepared.pages.first().bands)
            if (b.kind == reports::BandKind::Detail) ++shownRows;

        // Floor: the same movements fetched by their keys with the same columns and names.
        clock.restart();
        QSqlQuery raw(db);
        raw.setForwardOnly(true);
        QString sql = reports::paradosQuery();
        sql = sql.left(sql.indexOf(QStringLiteral(" WHERE "))) + QStringLiteral(" WHERE A.REGISTRO IN (") +
              QStringLiteral("?, ").repeated(int(keys.size()) - 1) + QStringLiteral("?)");
        if (!raw.prepare(sql)) return fail(raw);
        for (const QString& k : std::as_const(keys))
            raw.addBindValue(k);
        if (!raw.exec()) return fail(raw);
        while (raw.next())
            for (int c = 0; c < raw.record().count(); ++c)
                raw.value(c);
        floors << clock.nsecsElapsed() / 1e6;
    }
    out << "lines on the first page: " << shownRows << Qt::endl;
    out << "first page of Processos parados: " << qRound(median(firstPages)) << " ms (floor "
        << qRound(median(floors)) << " ms)" << Qt::endl;

    // For the record: the whole listing read at once, as the engine of today loads a report.
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<reports::Report> whole =
        reports::buildParados(reports::kParadosDefaultDays, today, &error);
    if (!whole) {
        out << error << Qt::endl;
        return 1;
    }
    out << "whole listing read (" << whole->data.rowCount() << " rows): " << clock.elapsed() << " ms"
        << Qt::endl;
    return 0;
}
