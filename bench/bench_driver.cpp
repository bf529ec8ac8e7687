// What the Qt driver (QIBASE) costs in round trips for the usual shapes of a statement, counted
// at the latency proxy: so that a cut in the program can be told from a cost the driver forces.
// Run by hand: build/bench/bench_driver [host/port of a Firebird server, default
// $PROTOCOLO_TEST_SERVER]; a database is made in a temporary folder the server can write to.
#include "bench/latencyproxy.h"
#include "core/connection.h"
#include "db/database.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextStream>
#include <functional>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QString server =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("PROTOCOLO_TEST_SERVER");
    if (server.isEmpty()) {
        out << "usage: bench_driver host/port (or set PROTOCOLO_TEST_SERVER)" << Qt::endl;
        return 2;
    }
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    const QString path = dir.filePath(QStringLiteral("DRIVER.fdb"));
    QString error;
    if (!db::createDatabase(server + QLatin1Char(':') + path, &error)) {
        out << error << Qt::endl;
        return 1;
    }
    bench::LatencyProxy proxy;
    const QStringList hostPort = server.split(QLatin1Char('/'));
    if (!proxy.start(hostPort.at(0), hostPort.value(1, QStringLiteral("3050")).toUShort(), &error)) {
        out << error << Qt::endl;
        return 1;
    }
    QSqlDatabase db = core::openNamedConnection(QStringLiteral("driver"),
                                                proxy.address() + QLatin1Char(':') + path, &error);
    if (!db.isOpen()) {
        out << error << Qt::endl;
        return 1;
    }
    auto count = [&](const char* what, const std::function<void()>& step) {
        proxy.resetCounts();
        step();
        out << what << ": " << proxy.roundTrips() << " round trips" << Qt::endl;
    };
    const QString read = QStringLiteral("SELECT USUARIO, CPF FROM USUARIOS WHERE COD_USUARIO = ?");
    QSqlQuery(db).exec(
        QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO) VALUES ('00000001', 'A')"));
    count("a read, autocommit: prepare, execute, first row, finish", [&] {
        QSqlQuery q(db);
        q.prepare(read);
        q.addBindValue(QStringLiteral("00000001"));
        q.exec();
        q.next();
    });
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        count("  its prepare alone", [&] { q.prepare(read); });
        q.addBindValue(QStringLiteral("00000001"));
        count("  its execute alone", [&] { q.exec(); });
        count("  its first row", [&] { q.next(); });
        count("  its record()", [&] { q.record(); });
        count("  its finish", [&] { q.finish(); });
        q.addBindValue(QStringLiteral("00000001"));
        count("the same prepared read executed again, first row, finish", [&] {
            q.exec();
            q.next();
            q.finish();
        });
    }
    count("a read inside an open transaction (prepare, execute, first row)", [&] {
        db.transaction();
        proxy.resetCounts();
        QSqlQuery q(db);
        q.prepare(read);
        q.addBindValue(QStringLiteral("00000001"));
        q.exec();
        q.next();
    });
    count("  the transaction's commit", [&] { db.commit(); });
    count("an update, autocommit", [&] {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("UPDATE USUARIOS SET CPF = ? WHERE COD_USUARIO = ?"));
        q.addBindValue(QStringLiteral("1"));
        q.addBindValue(QStringLiteral("00000001"));
        q.exec();
    });
    count("start a transaction", [&] { db.transaction(); });
    count("  an update in it", [&] {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("UPDATE USUARIOS SET CPF = ? WHERE COD_USUARIO = ?"));
        q.addBindValue(QStringLiteral("2"));
        q.addBindValue(QStringLiteral("00000001"));
        q.exec();
    });
    count("  commit", [&] { db.commit(); });
    db.close();
    proxy.stop();
    return 0;
}
