// Times the in-tray worked in batches on the large-installation data set: 100 movements received
// at once (each in its own transaction, the pending list read once at the end) against the same
// 100 received one by one as the single entry does (a receipt, then the list read again), and the
// same for sending 100 on to one destination. Each part works on movements of its own: 400 fresh
// movements are addressed to one user first, from the processes nobody has routed yet.
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_batch [processes] [movements]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs.
#include "bench/benchdata.h"
#include "core/batchrouting.h"
#include "core/connection.h"
#include "core/routing.h"
#include "forms/processes/recebimentopendencia.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace {

QTextStream out(stdout);

constexpr int kBatch = 100;

// The list as the window reads it after a change: opened again on its first screen.
bool reread(forms::WindowedSource& list, const QString& user) {
    list.close();
    list.setParameter(QStringLiteral("UM"), user);
    if (!list.open()) {
        out << "list: " << list.lastError() << Qt::endl;
        return false;
    }
    list.setCurrentRow(0);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bench::Volume volume;
    if (argc > 1) volume.processes = QString::fromLocal8Bit(argv[1]).toInt();
    if (argc > 2) volume.movements = QString::fromLocal8Bit(argv[2]).toInt();
    bench::BenchDatabase database;
    if (!database.openOrFill(volume, out)) return 1;
    const QSqlDatabase db = core::mainConnection();
    const QString user = bench::BenchDatabase::userCode(7);

    // 4 x 100 processes nobody has sent yet, each given a movement to the user from its registrant,
    // dated yesterday: the user's in-tray grows by 400 unreceived movements.
    QSqlQuery pick(db);
    pick.setForwardOnly(true);
    pick.prepare(
        QStringLiteral("SELECT FIRST 400 P.IDPROCESSO, P.ANO, P.COD_USUARIO, P.ASSUNTO FROM PROCESSOS P "
                       "WHERE P.COD_USUARIO <> ? AND NOT EXISTS (SELECT 1 FROM TRAMITACAO T "
                       "WHERE T.IDPROCESSO = P.IDPROCESSO AND T.ANO = P.ANO)"));
    pick.addBindValue(user);
    if (!pick.exec()) {
        out << pick.lastError().text() << Qt::endl;
        return 1;
    }
    QString error;
    qulonglong next = core::routing::nextRegister(db, &error).toULongLong();
    QList<core::batch::Item> items;
    const QDate yesterday = QDate::currentDate().addDays(-1);
    while (pick.next()) {
        core::batch::Item item;
        item.process = pick.value(0).toString();
        item.year = pick.value(1).toString();
        item.subject = pick.value(3).toString();
        item.stamps.registro = QString::number(next++).rightJustified(8, QLatin1Char('0'));
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDUNIDADE, "
                           "COD_USUARIO_DESTINO, COD_USUARIO, DATA, HORA, DESPACHO) VALUES (?, ?, ?, "
                           "'0001', ?, ?, ?, '08:00:00', 'Para análise.')"));
        for (const QVariant& v : {QVariant(item.stamps.registro), QVariant(item.process), QVariant(item.year),
                                  QVariant(user), pick.value(2), QVariant(yesterday)})
            insert.addBindValue(v);
        if (!insert.exec()) {
            out << insert.lastError().text() << Qt::endl;
            return 1;
        }
        items << item;
    }
    if (items.size() < 4 * kBatch) {
        out << "only " << items.size() << " unrouted processes left" << Qt::endl;
        return 1;
    }
    const QList<core::batch::Item> batchReceive = items.mid(0, kBatch);
    const QList<core::batch::Item> singleReceive = items.mid(kBatch, kBatch);
    QList<core::batch::Item> batchSend = items.mid(2 * kBatch, kBatch);
    QList<core::batch::Item> singleSend = items.mid(3 * kBatch, kBatch);

    forms::WindowedSource list(processes::pendingRows());
    if (!reread(list, user)) return 1;
    out << "user " << user << " has " << list.rowCount() << " movements on the first screen" << Qt::endl;

    // Receiving: the batch and its one re-read, then one by one.
    core::batch::Request receive;
    receive.action = core::batch::Action::ElectronicReceipt;
    QElapsedTimer clock;
    clock.start();
    core::batch::Summary summary = core::batch::run(db, receive, batchReceive);
    if (!reread(list, user)) return 1;
    const qint64 receiveBatch = clock.elapsed();
    if (summary.count(core::batch::Result::Done) != kBatch) {
        out << core::batch::summaryText(summary) << Qt::endl;
        return 1;
    }
    clock.restart();
    for (const core::batch::Item& item : singleReceive) {
        if (!core::routing::stamp(db, core::routing::Stamp::ElectronicReceipt, item.stamps).done()) return 1;
        if (!reread(list, user)) return 1;
    }
    const qint64 receiveOne = clock.elapsed();
    out << "receive " << kBatch << ": " << receiveBatch << " ms (one x " << kBatch << ": " << receiveOne
        << " ms)" << Qt::endl;

    // Sending on to one destination: the first movements received beforehand, as the list would
    // show them.
    for (QList<core::batch::Item>* part : {&batchSend, &singleSend}) {
        summary = core::batch::run(db, receive, *part);
        if (summary.count(core::batch::Result::Done) != kBatch) return 1;
        for (core::batch::Item& item : *part)
            item.stamps.received = QDate::currentDate();
    }
    core::batch::Request send;
    send.action = core::batch::Action::SendingOn;
    send.sending.unit = QStringLiteral("0009");
    send.sending.destination = bench::BenchDatabase::userCode(8);
    send.sending.destinationName = QStringLiteral("SERVIDOR 8");
    send.sending.sender = user;
    send.sending.dispatch = QStringLiteral("Para providências.");
    clock.restart();
    summary = core::batch::run(db, send, batchSend);
    if (!reread(list, user)) return 1;
    const qint64 sendBatch = clock.elapsed();
    if (summary.count(core::batch::Result::Done) != kBatch) {
        out << core::batch::summaryText(summary) << Qt::endl;
        return 1;
    }
    // One by one: where the process stands read before the routing form opens, a register number,
    // the sending, and the list read again.
    clock.restart();
    for (const core::batch::Item& item : singleSend) {
        core::routing::LatestMovement latest;
        if (!core::routing::readLatest(db, item.process, item.year, &latest, &error)) return 1;
        core::routing::Sending s = send.sending;
        s.registro = core::routing::nextRegister(db, &error);
        s.process = item.process;
        s.year = item.year;
        s.subject = item.subject;
        s.expectedLatest = item.stamps.registro;
        const QDateTime now = core::routing::workstationNow();
        s.date = now.date();
        s.time = now.time();
        const core::routing::Outcome o = core::routing::send(db, s);
        if (!o.done()) {
            out << o.text << Qt::endl;
            return 1;
        }
        if (!reread(list, user)) return 1;
    }
    const qint64 sendOne = clock.elapsed();
    out << "send " << kBatch << ": " << sendBatch << " ms (one x " << kBatch << ": " << sendOne << " ms)"
        << Qt::endl;
    return 0;
}
