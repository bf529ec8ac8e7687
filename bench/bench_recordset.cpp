// Times the in-memory record set on the process search's list: reading N processes with their
// joined names, ordering by a column, nearest-key searches, and a grid showing the last row.
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_recordset [rows, default 200000]
#include "core/connection.h"
#include "db/database.h"
#include "forms/common/gridmodel.h"
#include "forms/common/recordset.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QTextStream out(stdout);

bool fill(int rows, QString* error) {
    QSqlDatabase db = core::mainConnection();
    db.transaction();
    QSqlQuery q(db);
    for (int i = 1; i <= 500; ++i) {
        q.prepare(QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES (?, ?)"));
        q.addBindValue(QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')));
        q.addBindValue(QStringLiteral("REQUERENTE NÚMERO %1 DA SILVA").arg(i));
        q.exec();
    }
    for (int i = 1; i <= 40; ++i) {
        q.prepare(QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES (?, ?)"));
        q.addBindValue(QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')));
        q.addBindValue(QStringLiteral("TIPO DE PROCESSO %1").arg(i));
        q.exec();
    }
    q.prepare(QStringLiteral(
        "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, IDTITULAR, IDREQUERENTE, ASSUNTO, "
        "RG, CPF, COMPROVANTE_RESIDENCIA, CARTEIRA_PROFISSIONAL, IDTIPOPROCESSO, COD_USUARIO) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, 'X', 'N', 'N', 'X', ?, '00000001')"));
    for (int i = 1; i <= rows; ++i) {
        const int year = 2013 + i % 7;
        q.bindValue(0, QStringLiteral("%1").arg(i / 7 + 1, 8, 10, QLatin1Char('0')));
        q.bindValue(1, QString::number(year));
        q.bindValue(2, QDate(year, 1 + i % 12, 1 + i % 28));
        q.bindValue(3, QTime(8 + i % 9, i % 60, 0));
        q.bindValue(4, QStringLiteral("%1").arg(1 + i % 500, 6, 10, QLatin1Char('0')));
        q.bindValue(5, QStringLiteral("%1").arg(1 + (i * 7) % 500, 6, 10, QLatin1Char('0')));
        q.bindValue(6, QStringLiteral("SOLICITAÇÃO DE CERTIDÃO NÚMERO %1 REFERENTE AO IMÓVEL").arg(rows - i));
        q.bindValue(7, QStringLiteral("%1").arg(1 + i % 40, 4, 10, QLatin1Char('0')));
        if (!q.exec()) {
            *error = q.lastError().text();
            db.rollback();
            return false;
        }
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

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb"));
    QString error;
    core::ConnectionTarget target;
    target.database = path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    if (!db::createDatabase(path, &error) || !core::openMainConnection(target, &error)) {
        out << "database: " << error << Qt::endl;
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    if (!fill(rows, &error)) {
        out << "insert: " << error << Qt::endl;
        return 1;
    }
    out << "rows inserted: " << rows << " in " << clock.elapsed() << " ms" << Qt::endl;

    const qint64 before = residentKb();
    forms::RecordSet list;
    list.setQuery(QStringLiteral(
        "SELECT A.IDPROCESSO, A.ANO, A.DATA, A.HORA, A.IDTITULAR, A.IDREQUERENTE, A.ASSUNTO, A.RG, A.CPF, "
        "A.IDTIPOPROCESSO, A.COD_USUARIO, A.COMPROVANTE_RESIDENCIA, A.CARTEIRA_PROFISSIONAL, B.INTERESSADO "
        "AS "
        "TITULAR, C.INTERESSADO AS REQUERENTE, D.TIPO AS TIPO_PROCESSO, E.USUARIO FROM PROCESSOS A LEFT JOIN "
        "INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO LEFT JOIN INTERESSADOS C ON A.IDREQUERENTE = "
        "C.IDINTERESSADO LEFT JOIN TIPOPROCESSO D ON A.IDTIPOPROCESSO = D.IDTIPO LEFT JOIN USUARIOS E ON "
        "A.COD_USUARIO = E.COD_USUARIO WHERE (:P_ANO = '0000' OR A.ANO = :P_ANO) ORDER "
        "BY "
        "A.IDPROCESSO"));
    list.setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
    clock.restart();
    if (!list.open()) {
        out << "open: " << list.lastError() << Qt::endl;
        return 1;
    }
    out << "read " << list.rowCount() << " rows with joined names: " << clock.elapsed() << " ms, "
        << (residentKb() - before) / 1024 << " MB more resident memory" << Qt::endl;

    clock.restart();
    list.sortBy(QStringLiteral("ASSUNTO"));
    out << "order by ASSUNTO: " << clock.elapsed() << " ms" << Qt::endl;
    clock.restart();
    list.sortBy(QStringLiteral("DATA"));
    out << "order by DATA: " << clock.elapsed() << " ms" << Qt::endl;

    clock.restart();
    const QStringList keys{QStringLiteral("01/01/2015"), QStringLiteral("15/06/2017"),
                           QStringLiteral("31/12/2019")};
    for (int i = 0; i < 1000; ++i)
        list.locateNearest(keys.at(i % keys.size()));
    out << "1000 nearest-key searches: " << clock.elapsed() << " ms" << Qt::endl;

    list.sortBy(QStringLiteral("IDPROCESSO"));
    forms::GridModel model(&list, {{QStringLiteral("Processo Nº"), QStringLiteral("IDPROCESSO"), 70},
                                   {QStringLiteral("Ano"), QStringLiteral("ANO"), 35},
                                   {QStringLiteral("Data"), QStringLiteral("DATA"), 70},
                                   {QStringLiteral("Titular"), QStringLiteral("TITULAR"), 250},
                                   {QStringLiteral("Assunto"), QStringLiteral("ASSUNTO"), 300}});
    QTableView view;
    view.resize(1000, 600);
    forms::setupGrid(&view, &model);
    clock.restart();
    view.show();
    list.last();
    QApplication::processEvents();
    view.grab();
    out << "grid shown on the last row: " << clock.elapsed() << " ms" << Qt::endl;
    return 0;
}
