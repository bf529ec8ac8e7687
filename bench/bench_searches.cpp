// Times the process and dispatch searches over lists read in windows: first rows, a column-title
// sort, a search keystroke, a jump of the scrollbar, resident memory with the dispatch search
// open, and a sending (one movement written) with the order indices. Every line gives the time of
// the raw fetch of the same rows in the same run as its floor.
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_searches [processes [movements]]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs.
#include "core/connection.h"
#include "db/database.h"
#include "db/update.h"
#include "forms/common/gridmodel.h"
#include "forms/processes/pesqdespacho.h"
#include "forms/processes/pesqprocesso.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTime>

namespace {

QTextStream out(stdout);

QString code(int n, int width) {
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

bool exec(QSqlQuery& q, QString* error) {
    if (q.exec()) return true;
    *error = q.lastError().text();
    return false;
}

// The program's own indices of the two big tables, switched off while the rows are loaded in
// bulk and rebuilt afterwards (as a restore does).
QStringList orderIndices() {
    QSqlQuery q(core::mainConnection());
    q.exec(
        QStringLiteral("SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE RDB$RELATION_NAME IN "
                       "('PROCESSOS', 'TRAMITACAO') AND COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND "
                       "RDB$INDEX_NAME NOT STARTING WITH 'RDB$' AND RDB$INDEX_NAME NOT STARTING WITH 'PK_'"));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

// Switches indices or triggers ("INDEX", "TRIGGER") on or off.
bool setActive(const char* kind, const QStringList& names, bool active, QString* error) {
    QSqlDatabase db = core::mainConnection();
    for (const QString& n : names) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("ALTER %1 %2 %3")
                        .arg(QLatin1String(kind), n,
                             active ? QStringLiteral("ACTIVE") : QStringLiteral("INACTIVE")))) {
            *error = q.lastError().text();
            return false;
        }
    }
    return true;
}

bool setIndices(const QStringList& names, bool active, QString* error) {
    return setActive("INDEX", names, active, error);
}

// The triggers that keep each process's latest movement: switched off with the indices while the
// rows are loaded (without the indices each of a million sendings would read the whole table to
// find its process's latest movement), the table filled once afterwards.
bool setLatestTriggers(bool active, QString* error) {
    return setActive("TRIGGER", {QStringLiteral("TRAMITACAO_ULTIMA"), QStringLiteral("PROCESSOS_ULTIMA")},
                     active, error);
}

bool fill(int processes, int movements, QString* error) {
    QSqlDatabase db = core::mainConnection();
    db.transaction();
    QSqlQuery q(db);
    const int applicants = 100000;
    q.prepare(QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES (?, ?)"));
    const QStringList first{QStringLiteral("JOSÉ"), QStringLiteral("MARIA"),
                            QStringLiteral("ÁGUA BRANCA LTDA"), QStringLiteral("João"),
                            QStringLiteral("ÓRGÃO")};
    for (int i = 1; i <= applicants; ++i) {
        q.bindValue(0, code(i, 6));
        q.bindValue(
            1, QStringLiteral("%1 DA SILVA %2").arg(first.at(i % first.size())).arg((i * 7919) % applicants));
        if (!exec(q, error)) return false;
    }
    q.prepare(QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES (?, ?)"));
    for (int i = 1; i <= 40; ++i) {
        q.bindValue(0, code(i, 4));
        q.bindValue(1, QStringLiteral("TIPO DE PROCESSO %1").arg(i));
        if (!exec(q, error)) return false;
    }
    q.prepare(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO) VALUES (?, ?)"));
    for (int i = 1; i <= 200; ++i) {
        q.bindValue(0, code(i, 8));
        q.bindValue(1, QStringLiteral("USUÁRIO %1").arg(201 - i));
        if (!exec(q, error)) return false;
    }
    q.prepare(QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR, IDUNIDADE) VALUES (?, ?, '0001')"));
    for (int i = 1; i <= 300; ++i) {
        q.bindValue(0, code(i, 6));
        q.bindValue(1, QStringLiteral("Setor %1").arg(i));
        if (!exec(q, error)) return false;
    }
    q.prepare(QStringLiteral(
        "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, IDTITULAR, IDREQUERENTE, ASSUNTO, PROCESSO, "
        "RG, CPF, COMPROVANTE_RESIDENCIA, CARTEIRA_PROFISSIONAL, IDTIPOPROCESSO, COD_USUARIO) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, 'X', 'N', 'N', 'X', ?, ?)"));
    const int perYear = processes / 7 + 1;
    for (int i = 0; i < processes; ++i) {
        const int year = 2013 + i / perYear;
        q.bindValue(0, code(i % perYear + 1, 8));
        q.bindValue(1, QString::number(year));
        q.bindValue(2, QDate(year, 1 + i % 12, 1 + i % 28));
        q.bindValue(3, QTime(8 + i % 9, i % 60, 0));
        q.bindValue(4, code(1 + (i * 31) % applicants, 6));
        q.bindValue(5, code(1 + (i * 17) % applicants, 6));
        q.bindValue(
            6, QStringLiteral("SOLICITAÇÃO DE CERTIDÃO NÚMERO %1 REFERENTE AO IMÓVEL").arg(processes - i));
        q.bindValue(7, QStringLiteral("Requer a certidão do imóvel."));
        q.bindValue(8, code(1 + i % 40, 4));
        q.bindValue(9, code(1 + i % 200, 8));
        if (!exec(q, error)) return false;
    }
    q.prepare(QStringLiteral(
        "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDSETOR, COD_USUARIO_DESTINO, DATA, HORA, "
        "DESPACHO, "
        "DATA_RECEBIMENTO, HORA_RECEBIMENTO, DATA_ARQUIVAMENTO, MOTIVO_ARQUIVAMENTO, ARQUIVADO, COD_USUARIO, "
        "IDUNIDADE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '0001')"));
    for (int r = 0; r < movements; ++r) {
        const int i = r % processes;
        const int year = 2013 + i / perYear;
        const QDate day = QDate(year, 1 + i % 12, 1 + i % 28).addDays(r / processes);
        q.bindValue(0, code(r + 1, 8));
        q.bindValue(1, code(i % perYear + 1, 8));
        q.bindValue(2, QString::number(year));
        q.bindValue(3, code(1 + r % 300, 6));
        q.bindValue(4, code(1 + (r * 7) % 200, 8));
        q.bindValue(5, day);
        q.bindValue(6, QTime(8 + r % 9, r % 60, r % 60));
        q.bindValue(7, QStringLiteral("Encaminhe-se para análise e parecer do setor competente, conforme o "
                                      "despacho anterior (movimento %1).")
                           .arg(r));
        q.bindValue(8, r % 5 ? QVariant(day.addDays(1)) : QVariant(QMetaType(QMetaType::QDate)));
        q.bindValue(9, r % 5 ? QVariant(QTime(9, 0)) : QVariant(QMetaType(QMetaType::QTime)));
        const bool archived = r % 50 == 0;
        q.bindValue(10, archived ? QVariant(day.addDays(3)) : QVariant(QMetaType(QMetaType::QDate)));
        q.bindValue(11, archived ? QVariant(QStringLiteral("Arquivado a pedido %1").arg(r)) : QVariant());
        q.bindValue(12, archived ? QStringLiteral("SIM") : QStringLiteral("NAO"));
        q.bindValue(13, code(1 + (r * 3) % 200, 8));
        if (!exec(q, error)) return false;
    }
    return db.commit();
}

qint64 residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Raw fetch of a statement's rows, every column read once: the floor of a line.
qint64 rawFetch(const QString& sql, const QVariantList& values = {}) {
    QElapsedTimer clock;
    clock.start();
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) out << "floor query: " << q.lastError().text() << Qt::endl;
    while (q.next())
        for (int c = 0; c < q.record().count(); ++c)
            q.value(c);
    return clock.elapsed();
}

QString ms(double value) {
    return QString::number(value, 'f', value < 10 ? 1 : 0);
}

void line(const QString& what, double took, double floor) {
    out << what << ": " << ms(took) << " ms (floor " << ms(floor) << " ms)" << Qt::endl;
}

// What a grid shows on one screen: 30 rows of every column.
constexpr int kScreen = 30;

void readScreen(const forms::RowSource& s, int first) {
    for (int r = first; r < std::min(first + kScreen, s.rowCount()); ++r)
        for (int f = 0; f < s.fieldCount(); ++f)
            s.valueAt(r, f);
}

const QString kProcessSelect = QStringLiteral(
    "SELECT A.IDPROCESSO, A.ANO, A.DATA, A.HORA, A.IDTITULAR, A.IDREQUERENTE, A.ASSUNTO, A.RG, A.CPF, "
    "A.IDTIPOPROCESSO, A.COD_USUARIO, A.COMPROVANTE_RESIDENCIA, A.CARTEIRA_PROFISSIONAL, B.INTERESSADO, "
    "C.INTERESSADO, D.TIPO, E.USUARIO FROM PROCESSOS A "
    "LEFT JOIN INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO "
    "LEFT JOIN INTERESSADOS C ON A.IDREQUERENTE = C.IDINTERESSADO "
    "LEFT JOIN TIPOPROCESSO D ON A.IDTIPOPROCESSO = D.IDTIPO LEFT JOIN USUARIOS E ON A.COD_USUARIO = "
    "E.COD_USUARIO ");
const QString kDispatchSelect = QStringLiteral(
    "SELECT A.REGISTRO, A.IDPROCESSO, A.ANO, A.IDSETOR, A.COD_USUARIO_DESTINO, A.DATA, A.HORA, "
    "A.DATA_RECEBIMENTO, "
    "A.HORA_RECEBIMENTO, A.DATA_RECEBIMENTO_FISICO, A.HORA_RECEBIMENTO_FISICO, A.DATA_ARQUIVAMENTO, "
    "A.HORA_ARQUIVAMENTO, A.MOTIVO_ARQUIVAMENTO, A.DATA_DESARQUIVAMENTO, A.HORA_DESARQUIVAMENTO, "
    "A.MOTIVO_DESARQUIVAMENTO, A.ARQUIVADO, A.COD_USUARIO, B.ASSUNTO, C.SETOR, D.USUARIO, E.USUARIO "
    "FROM TRAMITACAO A LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
    "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = "
    "D.COD_USUARIO "
    "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO ");

// The rows of one screen fetched by their keys, as a jump of the scrollbar reads them.
qint64 rawScreenByKeys(const forms::WindowedSource& s, int first) {
    QStringList keys;
    for (int r = first; r < std::min(first + kScreen, s.rowCount()); ++r)
        keys << QStringLiteral("'%1'").arg(s.keyAt(r).value(0));
    return rawFetch(kDispatchSelect +
                    QStringLiteral("WHERE A.REGISTRO IN (%1)").arg(keys.join(QLatin1Char(','))));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int processes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    const int movements = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1000000;
    QTemporaryDir dir;
    const QString kept = qEnvironmentVariable("PROTOCOLO_BENCH_DB");
    const QString path = kept.isEmpty() ? dir.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb")) : kept;
    const bool existed = !kept.isEmpty() && QFile::exists(kept);
    QString error;
    core::ConnectionTarget target;
    target.database = path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    if ((!existed && !db::createDatabase(path, &error)) || !core::openMainConnection(target, &error)) {
        out << "database: " << error << Qt::endl;
        return 1;
    }
    QElapsedTimer clock;
    // Each time is taken before its floor is fetched: written inside the call beside the floor, the
    // compiler may run the floor first and count it in.
    qint64 took = 0;
    clock.start();
    if (!existed) {
        const QStringList indices = orderIndices();
        QSqlDatabase db = core::mainConnection();
        if (!setIndices(indices, false, &error) || !setLatestTriggers(false, &error) ||
            !fill(processes, movements, &error) || !setIndices(indices, true, &error) ||
            !setLatestTriggers(true, &error) || !db::fillLatestMovements(db, &error)) {
            out << "insert: " << error << Qt::endl;
            return 1;
        }
        out << "rows inserted: " << processes << " processes, " << movements << " movements, "
            << indices.size() << " indices rebuilt, in " << clock.elapsed() / 1000 << " s" << Qt::endl;
    }
    // A fresh connection, as a workstation that opens the database.
    core::openMainConnection(target, &error);
    const qint64 baseKb = residentKb();

    // --- process search -----------------------------------------------------------------------
    {
        processes::TFrm_PesqProcesso w(nullptr);
        w.show();
        QApplication::processEvents();
        forms::WindowedSource* s = w.records();
        s->setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
        clock.restart();
        s->open();
        readScreen(*s, 0);
        const qint64 first = clock.elapsed();
        line(QStringLiteral("first rows, process search (every year)"), first,
             rawFetch(kProcessSelect + QStringLiteral("ORDER BY A.IDPROCESSO, A.ANO ROWS 30")));
        clock.restart();
        s->waitForComplete();
        took = clock.elapsed();
        line(QStringLiteral("whole order read, process search (%1 rows)").arg(s->rowCount()), took,
             rawFetch(QStringLiteral("SELECT IDPROCESSO, ANO FROM PROCESSOS ORDER BY IDPROCESSO, ANO")));

        for (const char* field : {"DATA", "ASSUNTO"}) {
            clock.restart();
            s->sortBy(QString::fromLatin1(field));
            readScreen(*s, 0);
            took = clock.elapsed();
            line(QStringLiteral("column-title sort, stored %1 (first screen)").arg(QLatin1String(field)),
                 took,
                 rawFetch(
                     kProcessSelect +
                     QStringLiteral("ORDER BY A.%1, A.IDPROCESSO, A.ANO ROWS 30").arg(QLatin1String(field))));
            clock.restart();
            s->waitForComplete();
            took = clock.elapsed();
            line(QStringLiteral("  %1 order read whole in the background").arg(QLatin1String(field)), took,
                 rawFetch(
                     QStringLiteral("SELECT %1, IDPROCESSO, ANO FROM PROCESSOS ORDER BY %1, IDPROCESSO, ANO")
                         .arg(QLatin1String(field))));
        }
        clock.restart();
        s->sortBy(QStringLiteral("TITULAR"));
        readScreen(*s, 0);
        took = clock.elapsed();
        line(
            QStringLiteral("column-title sort, joined TITULAR (100,000 names, first screen)"), took,
            rawFetch(kProcessSelect + QStringLiteral("ORDER BY B.INTERESSADO, A.IDPROCESSO, A.ANO ROWS 30")));
        {
            const QStringList names{QStringLiteral("J"), QStringLiteral("JOSÉ DA SILVA 5"),
                                    QStringLiteral("MARIA DA SILVA 9"), QStringLiteral("ÓRGÃO")};
            clock.restart();
            for (const QString& k : names) {
                s->locateNearest(k);
                readScreen(*s, s->currentRow());
            }
            took = clock.elapsed();
            line(QStringLiteral("search keystroke, joined TITULAR (average of %1)").arg(names.size()),
                 double(took) / names.size(),
                 rawFetch(kProcessSelect + QStringLiteral("WHERE B.INTERESSADO >= ? ORDER BY B.INTERESSADO, "
                                                          "A.IDPROCESSO, A.ANO ROWS 30"),
                          {names.last()}));
        }
        clock.restart();
        s->waitForComplete();
        took = clock.elapsed();
        line(
            QStringLiteral("  TITULAR order read whole in the background"), took,
            rawFetch(QStringLiteral("SELECT B.INTERESSADO, A.IDPROCESSO, A.ANO FROM PROCESSOS A LEFT JOIN "
                                    "INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO ORDER BY B.INTERESSADO, "
                                    "A.IDPROCESSO, A.ANO")));

        s->sortBy(QStringLiteral("ASSUNTO"));
        s->waitForComplete();
        const QStringList keys{QStringLiteral("S"), QStringLiteral("SO"),
                               QStringLiteral("SOLICITAÇÃO DE CERTIDÃO NÚMERO 1"),
                               QStringLiteral("SOLICITAÇÃO DE CERTIDÃO NÚMERO 15"),
                               QStringLiteral("SOLICITAÇÃO DE CERTIDÃO NÚMERO 157")};
        clock.restart();
        for (const QString& k : keys) {
            s->locateNearest(k);
            readScreen(*s, s->currentRow());
        }
        took = clock.elapsed();
        line(QStringLiteral("search keystroke, ASSUNTO (average of %1)").arg(keys.size()),
             double(took) / keys.size(),
             rawFetch(
                 kProcessSelect +
                     QStringLiteral("WHERE A.ASSUNTO >= ? ORDER BY A.ASSUNTO, A.IDPROCESSO, A.ANO ROWS 30"),
                 {keys.last()}));
    }

    // --- dispatch search ----------------------------------------------------------------------
    {
        processes::TFrm_PesqDespacho w(nullptr);
        clock.restart();
        w.reload(nullptr);
        w.show();
        QApplication::processEvents();
        forms::WindowedSource* s = w.records();
        readScreen(*s, 0);
        took = clock.elapsed();
        line(QStringLiteral("first rows, dispatch search"), took,
             rawFetch(kDispatchSelect + QStringLiteral("ORDER BY A.REGISTRO ROWS 30")));
        clock.restart();
        s->waitForComplete();
        took = clock.elapsed();
        line(QStringLiteral("whole order read, dispatch search (%1 rows)").arg(s->rowCount()), took,
             rawFetch(QStringLiteral("SELECT REGISTRO FROM TRAMITACAO ORDER BY REGISTRO")));

        QRandomGenerator random(7);
        qint64 jumps = 0, floors = 0;
        const int tries = 20;
        for (int i = 0; i < tries; ++i) {
            const int at = int(random.bounded(s->rowCount() - kScreen));
            clock.restart();
            w.grid()->scrollTo(w.gridModel()->index(at, 0), QAbstractItemView::PositionAtTop);
            readScreen(*s, at);
            jumps += clock.elapsed();
            floors += rawScreenByKeys(*s, at);
        }
        line(QStringLiteral("dragging the scrollbar anywhere (average of %1)").arg(tries),
             double(jumps) / tries, double(floors) / tries);

        clock.restart();
        s->sortBy(QStringLiteral("DATA"));
        readScreen(*s, 0);
        took = clock.elapsed();
        line(QStringLiteral("column-title sort, stored DATA (first screen)"), took,
             rawFetch(kDispatchSelect + QStringLiteral("ORDER BY A.DATA, A.REGISTRO ROWS 30")));
        clock.restart();
        s->waitForComplete();
        took = clock.elapsed();
        line(QStringLiteral("  DATA order read whole in the background"), took,
             rawFetch(QStringLiteral("SELECT DATA, REGISTRO FROM TRAMITACAO ORDER BY DATA, REGISTRO")));

        const QStringList dates{QStringLiteral("1"), QStringLiteral("15/0"), QStringLiteral("15/06/2"),
                                QStringLiteral("15/06/2016")};
        clock.restart();
        int counted = 0;
        for (const QString& k : dates) {
            if (s->locateNearest(k) == forms::LocateResult::Incompatible) continue;
            readScreen(*s, s->currentRow());
            ++counted;
        }
        took = clock.elapsed();
        line(QStringLiteral("search keystroke, DATA (average of %1)").arg(counted),
             double(took) / std::max(counted, 1),
             rawFetch(kDispatchSelect +
                          QStringLiteral("WHERE A.DATA >= ? ORDER BY A.DATA, A.REGISTRO ROWS 30"),
                      {QDate(2016, 6, 15)}));

        for (const char* field : {"USUARIO_DESTINO", "ASSUNTO"}) {
            clock.restart();
            s->sortBy(QString::fromLatin1(field));
            readScreen(*s, 0);
            const QString expr = QLatin1String(field) == QLatin1String("ASSUNTO")
                                     ? QStringLiteral("B.ASSUNTO")
                                     : QStringLiteral("D.USUARIO");
            took = clock.elapsed();
            line(QStringLiteral("column-title sort, joined %1 (first screen)").arg(QLatin1String(field)),
                 took,
                 rawFetch(kDispatchSelect + QStringLiteral("ORDER BY %1, A.REGISTRO ROWS 30").arg(expr)));
            if (QLatin1String(field) == QLatin1String("ASSUNTO")) {
                // A subject typed far ahead of the reading: the keystroke returns at once, and the
                // answer arrives behind the reading.
                const QString deep = QStringLiteral("SOLICITAÇÃO DE CERTIDÃO NÚMERO 9");
                clock.restart();
                s->locateNearest(deep);
                readScreen(*s, s->currentRow());
                const qint64 keystroke = clock.elapsed();
                while (s->isSeeking())
                    QApplication::processEvents(QEventLoop::AllEvents, 50);
                readScreen(*s, s->currentRow());
                const qint64 answer = clock.elapsed();
                const double floor = rawFetch(
                    kDispatchSelect +
                        QStringLiteral("WHERE B.ASSUNTO >= ? ORDER BY B.ASSUNTO, A.REGISTRO ROWS 30"),
                    {deep});
                line(QStringLiteral("search keystroke ahead of the reading, joined ASSUNTO"), keystroke,
                     floor);
                line(QStringLiteral("  its answer, arrived behind the reading (%1 rows read by then)")
                         .arg(s->rowsRead()),
                     answer, floor);
            }
            // The rest read as the window reads it, between turns of the event loop: the longest
            // turn is the longest the window stands still (its floor the count of the movements,
            // the one step of the reading that cannot be cut).
            clock.restart();
            qint64 longest = 0;
            QElapsedTimer turn;
            while (!s->isComplete() && s->lastError().isEmpty()) {
                turn.start();
                QApplication::processEvents();
                longest = std::max(longest, turn.elapsed());
            }
            took = clock.elapsed();
            line(QStringLiteral("  %1 order read whole in the background").arg(QLatin1String(field)), took,
                 rawFetch(kDispatchSelect + QStringLiteral("ORDER BY %1, A.REGISTRO").arg(expr)));
            line(QStringLiteral("  longest pause of the window meanwhile"), longest,
                 rawFetch(QStringLiteral("SELECT COUNT(*) FROM TRAMITACAO")));
        }
        {
            QRandomGenerator random(11);
            qint64 jumps = 0, floors = 0;
            const int tries = 10;
            for (int i = 0; i < tries; ++i) {
                const int at = int(random.bounded(s->rowCount() - kScreen));
                clock.restart();
                w.grid()->scrollTo(w.gridModel()->index(at, 0), QAbstractItemView::PositionAtTop);
                readScreen(*s, at);
                jumps += clock.elapsed();
                floors += rawScreenByKeys(*s, at);
            }
            line(QStringLiteral("dragging the scrollbar anywhere, joined ASSUNTO (average of %1)").arg(tries),
                 double(jumps) / tries, double(floors) / tries);
        }
        QApplication::processEvents();
        out << "resident memory: " << residentKb() / 1024 << " MB (" << (residentKb() - baseKb) / 1024
            << " MB with the dispatch search open)" << Qt::endl;
    }

    // --- a sending -------------------------------------------------------------------------
    {
        QSqlDatabase db = core::mainConnection();
        auto send = [&](int registro) {
            QElapsedTimer c;
            c.start();
            db.transaction();
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDSETOR, "
                                     "COD_USUARIO_DESTINO, DATA, HORA, "
                                     "DESPACHO, ARQUIVADO, COD_USUARIO, IDUNIDADE) VALUES (?, '00000001', "
                                     "'2019', '000001', '00000002', "
                                     "CURRENT_DATE, CURRENT_TIME, ?, 'NAO', '00000001', '0001')"));
            q.addBindValue(code(registro, 8));
            q.addBindValue(QStringLiteral("Encaminhe-se."));
            if (!q.exec()) out << "sending: " << q.lastError().text() << Qt::endl;
            db.commit();
            return c.nsecsElapsed() / 1e6;
        };
        const int tries = 20;
        double with = 0, without = 0;
        for (int i = 0; i < tries; ++i)
            with += send(movements + 1 + i);
        // Each change of the indices is followed by a fresh connection: the latest-movement
        // trigger's statements, compiled once per connection, would still name a switched-off index.
        const QStringList tramitacao = orderIndices().filter(QStringLiteral("TRAMITACAO_O_"));
        setIndices(tramitacao, false, &error);
        core::openMainConnection(target, &error);
        db = core::mainConnection();
        for (int i = 0; i < tries; ++i)
            without += send(movements + 1 + tries + i);
        setIndices(tramitacao, true, &error);
        core::openMainConnection(target, &error);
        db = core::mainConnection();
        line(QStringLiteral("a sending with the %1 order indices of TRAMITACAO (average of %2)")
                 .arg(tramitacao.size())
                 .arg(tries),
             with / tries, without / tries);
        // A kept data set stays as it was filled, for the next run.
        QSqlQuery clean(db);
        clean.prepare(QStringLiteral("DELETE FROM TRAMITACAO WHERE REGISTRO > ?"));
        clean.addBindValue(code(movements, 8));
        clean.exec();
    }
    return 0;
}
