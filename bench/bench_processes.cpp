// Times the process windows on a database of a large installation (200,000 processes, 1,000,000
// movements, 100,000 applicants, 200 users): opening the process form and registering a process,
// each against the raw fetch or statement of the same rows in the same run.
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_processes [processes] [movements]
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

// Median of several runs in milliseconds (the first run warms the page cache like a clerk's
// first opening of the day; the median is what a clerk meets afterwards).
double median(int runs, const std::function<bool()>& action, bool* ok) {
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!action()) {
            *ok = false;
            return 0;
        }
        times << clock.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
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

void report(const char* what, double ms, double floorMs) {
    out << what << ": " << qRound(ms) << " ms (floor " << qRound(floorMs) << " ms)" << Qt::endl;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bench::Volume volume;
    if (argc > 1) volume.processes = QString::fromLocal8Bit(argv[1]).toInt();
    if (argc > 2) volume.movements = QString::fromLocal8Bit(argv[2]).toInt();
    bench::BenchDatabase database;
    QString error;
    if (!database.create(&error)) {
        out << "database: " << error << Qt::endl;
        return 1;
    }
    out << "filling " << volume.processes << " processes and " << volume.movements << " movements"
        << Qt::endl;
    if (!database.fill(volume, &error)) {
        out << error << Qt::endl;
        return 1;
    }

    core::initialiseAppValues(0); // month-day numbering, exercise year 2019
    const QString user = bench::BenchDatabase::userCode(1);
    core::currentUser() = {user, QStringLiteral("SERVIDOR 1"), QString(), QStringLiteral("SIM")};
    const QString year = core::appValues().exerciseYear;
    bool ok = true;

    // Opening: the window built, its record part read empty and its list of the year read.
    int listed = 0;
    const double opening = median(
        7,
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
        &ok);
    const QList<std::pair<QString, QVariant>> params{{QStringLiteral(":UM"), user},
                                                     {QStringLiteral(":P_ANO"), year},
                                                     {QStringLiteral(":P_PROCESSO"), QVariant()}};
    const double openingFloor = median(
        7,
        [&] {
            return fetchAll(processes::processosRecordQuery(), params) &&
                   fetchAll(processes::processosListQuery(), params);
        },
        &ok);
    if (!ok) return 1;
    out << "the process form of user " << user << " lists " << listed << " unrouted processes of " << year
        << Qt::endl;
    report("opening the process form", opening, openingFloor);

    // "Selecionar tudo": the user's unrouted processes of every year. A choice is read when it
    // changes, so each run chooses the exercise year and then every year; the floor fetches both.
    {
        processes::TFrm_Processos form(nullptr);
        if (!form.prepare(&error)) {
            out << error << Qt::endl;
            return 1;
        }
        QComboBox* years = form.exerciciosBox();
        const double every = median(
            7,
            [&] {
                years->setCurrentIndex(0);
                years->setCurrentIndex(years->count() - 1);
                return form.list()->isOpen();
            },
            &ok);
        const QList<std::pair<QString, QVariant>> all{{QStringLiteral(":UM"), user},
                                                      {QStringLiteral(":P_ANO"), QStringLiteral("0000")}};
        const double everyFloor = median(
            7,
            [&] {
                return fetchAll(processes::processosListQuery(), params) &&
                       fetchAll(processes::processosListQuery(), all);
            },
            &ok);
        if (!ok) return 1;
        out << "every year lists " << form.list()->rowCount() << " unrouted processes" << Qt::endl;
        report("listing every year in the process form", every, everyFloor);
    }

    // Registering: Incluir, the three codes (each fetching its name), the subject, Salvar (the
    // number drawn, the row written and committed).
    processes::TFrm_Processos form(nullptr);
    if (!form.prepare(&error)) {
        out << error << Qt::endl;
        return 1;
    }
    int serial = 0;
    const double registering = median(
        21,
        [&] {
            forms::RecordSet* r = form.records();
            form.incluir();
            r->setValue(QStringLiteral("IDREQUERENTE"), QString::number(1 + serial * 37 % volume.applicants));
            r->setValue(QStringLiteral("IDTITULAR"), QString::number(2 + serial * 37 % volume.applicants));
            r->setValue(QStringLiteral("IDTIPOPROCESSO"), QString::number(1 + serial % volume.processTypes));
            r->setValue(QStringLiteral("ASSUNTO"), QStringLiteral("CERTIDÃO NEGATIVA %1").arg(++serial));
            form.salvar();
            if (r->state() != forms::RecordSet::State::Browse) {
                out << "registering: the process was not saved" << Qt::endl;
                return false;
            }
            return true;
        },
        &ok);
    int raw = 0;
    const double registeringFloor = median(
        21,
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
        },
        &ok);
    if (!ok) return 1;
    out << "last number drawn: " << form.records()->text(QStringLiteral("IDPROCESSO")) << Qt::endl;
    report("registering a process", registering, registeringFloor);
    return 0;
}
