// Times the process windows on a database of a large installation (200,000 processes, 1,000,000
// movements, 100,000 applicants, 200 users): opening the process form and registering a process,
// each against the raw fetch or statement of the same rows in the same run.
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_processes [processes] [movements]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs.
#include "bench/benchdata.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/session.h"
#include "forms/processes/processos.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <algorithm>
#include <functional>

namespace {

QTextStream out(stdout);

// The action and its floor timed in alternation, so that both meet the same load of the
// machine; the median of each in milliseconds (the first run warms the page cache like a
// clerk's first opening of the day; the median is what a clerk meets afterwards).
struct Timing {
    double ms = 0;
    double floorMs = 0;
    bool ok = true;
};
Timing timed(int runs, const std::function<bool()>& action, const std::function<bool()>& floor) {
    QList<double> times, floors;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!action()) return {0, 0, false};
        times << clock.nsecsElapsed() / 1e6;
        clock.restart();
        if (!floor()) return {0, 0, false};
        floors << clock.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    std::sort(floors.begin(), floors.end());
    return {times.at(runs / 2), floors.at(runs / 2), true};
}

// Every row of a query with its parameters bound, fetched and dropped.
bool fetchAll(const QString& sql, const QList<std::pair<QString, QVariant>>& params) {
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) return false;
    for (const auto& [name, value] : params)
        if (sql.contains(name)) q.bindValue(name, value);
    if (!q.exec()) {
        out << q.lastError().text() << Qt::endl;
        return false;
    }
    const int columns = q.record().count();
    while (q.next())
        for (int c = 0; c < columns; ++c)
            q.value(c);
    return true;
}

void report(const char* what, const Timing& t) {
    out << what << ": " << qRound(t.ms) << " ms (floor " << qRound(t.floorMs) << " ms)" << Qt::endl;
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

    core::initialiseAppValues(0); // month-day numbering, exercise year 2019
    const QString user = bench::BenchDatabase::userCode(1);
    core::currentUser() = {user, QStringLiteral("SERVIDOR 1"), QString(), QStringLiteral("SIM")};
    const QString year = core::appValues().exerciseYear;
    const QVariant noProcess(QMetaType::fromType<QString>());
    const QList<std::pair<QString, QVariant>> ofTheYear{{QStringLiteral(":UM"), user},
                                                        {QStringLiteral(":P_ANO"), year},
                                                        {QStringLiteral(":P_PROCESSO"), noProcess}};
    const QList<std::pair<QString, QVariant>> ofEveryYear{{QStringLiteral(":UM"), user},
                                                          {QStringLiteral(":P_ANO"), QStringLiteral("0000")}};

    // Opening: the window built, its record part read empty and its list of the year read; the
    // floor fetches the same two queries' rows.
    int listed = 0;
    const Timing opening = timed(
        9,
        [&] {
            processes::TFrm_Processos form(nullptr);
            QString e;
            if (!form.prepare(&e)) {
                out << "opening: " << e << Qt::endl;
                return false;
            }
            listed = form.list()->rowCount();
            return true;
        },
        [&] {
            return fetchAll(processes::processosRecordQuery(), ofTheYear) &&
                   fetchAll(processes::processosListQuery(), ofTheYear);
        });
    if (!opening.ok) return 1;
    out << "the process form of user " << user << " lists " << listed << " unrouted processes of " << year
        << Qt::endl;
    report("opening the process form", opening);

    // "Selecionar tudo": the user's unrouted processes of every year. A choice is read when it
    // changes, so each run chooses the exercise year and then every year; the floor fetches both.
    processes::TFrm_Processos form(nullptr);
    if (!form.prepare(&error)) {
        out << error << Qt::endl;
        return 1;
    }
    QComboBox* years = form.exerciciosBox();
    const Timing every = timed(
        9,
        [&] {
            years->setCurrentIndex(0);
            years->setCurrentIndex(years->count() - 1);
            return form.list()->isOpen();
        },
        [&] {
            return fetchAll(processes::processosListQuery(), ofTheYear) &&
                   fetchAll(processes::processosListQuery(), ofEveryYear);
        });
    if (!every.ok) return 1;
    out << "every year lists " << form.list()->rowCount() << " unrouted processes" << Qt::endl;
    report("listing every year in the process form", every);

    // Registering: Incluir, the three codes (each fetching its name), the subject, Salvar (the
    // number drawn, the row written and committed); the floor is the bare insert of one row.
    int serial = 0;
    int raw = 0; // the floor's rows (year 2030) of earlier runs on a kept data set
    {
        QSqlQuery q(core::mainConnection());
        if (q.exec(QStringLiteral("SELECT COUNT(*) FROM PROCESSOS WHERE ANO = '2030'")) && q.next())
            raw = q.value(0).toInt();
    }
    const Timing registering = timed(
        21,
        [&] {
            forms::RecordSet* r = form.records();
            form.Botao_IncluirClick();
            r->setValue(QStringLiteral("IDREQUERENTE"), QString::number(1 + serial * 37 % volume.applicants));
            r->setValue(QStringLiteral("IDTITULAR"), QString::number(2 + serial * 37 % volume.applicants));
            r->setValue(QStringLiteral("IDTIPOPROCESSO"), QString::number(1 + serial % volume.processTypes));
            r->setValue(QStringLiteral("ASSUNTO"), QStringLiteral("CERTIDÃO NEGATIVA %1").arg(++serial));
            form.Botao_SalvarClick();
            if (r->state() != forms::RecordSet::State::Browse) {
                out << "registering: the process was not saved" << Qt::endl;
                return false;
            }
            return true;
        },
        [&] {
            QSqlDatabase db = core::mainConnection();
            db.transaction();
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, IDTITULAR, "
                                     "IDREQUERENTE, ASSUNTO, RG, CPF, "
                                     "COMPROVANTE_RESIDENCIA, CARTEIRA_PROFISSIONAL, IDTIPOPROCESSO, "
                                     "COD_USUARIO) VALUES (?, ?, ?, ?, "
                                     "?, ?, ?, 'N', 'N', 'N', 'N', ?, ?)"));
            q.addBindValue(QStringLiteral("9%1").arg(++raw, 7, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("2030"));
            q.addBindValue(QDate::currentDate());
            q.addBindValue(QTime::currentTime());
            q.addBindValue(QStringLiteral("000002"));
            q.addBindValue(QStringLiteral("000001"));
            q.addBindValue(QStringLiteral("CERTIDÃO NEGATIVA"));
            q.addBindValue(QStringLiteral("0001"));
            q.addBindValue(user);
            return q.exec() && db.commit();
        });
    if (!registering.ok) return 1;
    out << "last number drawn: " << form.records()->text(QStringLiteral("IDPROCESSO")) << Qt::endl;
    report("registering a process", registering);
    return 0;
}
