// Times the citizens' look-up service on a database of a large installation (200,000 processes,
// 1,000,000 movements), with the service in this program on a real socket:
// - lookup: the median of one client's lookups of random processes through HTTP (request, code
//   check, the process's row and latest movement by their keys, its movements by their index,
//   JSON), against the floor: the same rows read straight by their keys on a connection of its own;
// - clients 50: fifty clients asking at once for a bounded run (each its own connections),
//   lookups a second, 95th percentile of the answer time and the answers that were not 200.
// Run by hand: build/bench/bench_consulta [processes] [movements] [seconds]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs.
#include "bench/benchdata.h"
#include "consulta/server.h"
#include "core/connection.h"
#include "core/publiclookup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

QTextStream out(stdout);

struct Key {
    QString number, year, code;
};

// One GET on a fresh connection; the HTTP status, 0 when the connection failed.
int httpGet(quint16 port, const QByteArray& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int status = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
            QByteArray reply;
            char buffer[8192];
            ssize_t n;
            while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                reply.append(buffer, int(n));
            if (reply.startsWith("HTTP/1.1 ")) status = reply.mid(9, 3).toInt();
        }
    }
    ::close(fd);
    return status;
}

QByteArray target(const Key& k) {
    return QStringLiteral("/api/processos/%1/%2?codigo=%3").arg(k.year, k.number, k.code).toLatin1();
}

double percentile(QList<double> values, double p) {
    if (values.isEmpty()) return 0;
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, int(values.size() * p)));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::Volume volume;
    if (argc > 1) volume.processes = QString::fromLocal8Bit(argv[1]).toInt();
    if (argc > 2) volume.movements = QString::fromLocal8Bit(argv[2]).toInt();
    const int seconds = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 20;
    bench::BenchDatabase database;
    if (!database.openOrFill(volume, out)) return 1;
    QSqlDatabase db = core::mainConnection();

    // The service reads as the office's read-only user would.
    QSqlQuery q(db);
    for (const char* table : {"PROCESSOS", "TRAMITACAO", "ULTIMA_TRAMITACAO", "UNIDADES", "CONSULTA_SEGREDO"})
        q.exec(QStringLiteral("GRANT SELECT ON %1 TO USER CONSULTA").arg(QLatin1String(table)));
    QString error;
    if (!core::consulta::ensureSecret(db, &error)) {
        out << error << Qt::endl;
        return 1;
    }
    const QByteArray secret = core::consulta::readSecret(db);

    // Processes asked: a random sample of every year and state.
    QList<Key> keys;
    if (!q.exec(QStringLiteral("SELECT IDPROCESSO, ANO FROM PROCESSOS"))) {
        out << q.lastError().text() << Qt::endl;
        return 1;
    }
    QList<QPair<QString, QString>> all;
    while (q.next())
        all.append({q.value(0).toString(), q.value(1).toString()});
    q.finish();
    QRandomGenerator random(26);
    for (int i = 0; i < 2000; ++i) {
        const auto& p = all.at(random.bounded(int(all.size())));
        keys.append({p.first, p.second, core::consulta::verificationCode(secret, p.first, p.second)});
    }

    consulta::Settings settings;
    settings.database = database.path();
    settings.user = QStringLiteral("CONSULTA");
    settings.port = 0;
    settings.lookupsPerMinute = 0; // the limit per address would stop a load test from one address
    settings.connectionsPerAddress = 200;
    settings.threads = 4;
    consulta::Service service(settings);
    if (!service.start(&error)) {
        out << error << Qt::endl;
        return 1;
    }
    const quint16 port = service.port();
    for (int i = 0; i < 20; ++i)
        httpGet(port, target(keys.at(i))); // every thread's connection opened

    // One client.
    QList<double> lookups, floors;
    int errors = 0;
    for (int i = 0; i < 300; ++i) {
        QElapsedTimer t;
        t.start();
        if (httpGet(port, target(keys.at(i))) != 200) ++errors;
        lookups << t.nsecsElapsed() / 1e6;
    }
    // The floor: the same rows by their keys, without HTTP, code or JSON.
    QSqlQuery p(db), m(db);
    p.setForwardOnly(true);
    m.setForwardOnly(true);
    p.prepare(
        QStringLiteral("SELECT P.DATA, U.REGISTRO FROM PROCESSOS P LEFT JOIN ULTIMA_TRAMITACAO U ON "
                       "U.IDPROCESSO = P.IDPROCESSO AND U.ANO = P.ANO WHERE P.IDPROCESSO = ? AND P.ANO = ?"));
    m.prepare(QStringLiteral("SELECT T.DATA, T.DATA_RECEBIMENTO, T.IDUNIDADE FROM TRAMITACAO T "
                             "WHERE T.IDPROCESSO = ? AND T.ANO = ?"));
    for (int i = 0; i < 300; ++i) {
        QElapsedTimer t;
        t.start();
        for (QSqlQuery* s : {&p, &m}) {
            s->addBindValue(keys.at(i).number);
            s->addBindValue(keys.at(i).year);
            s->exec();
            while (s->next()) {
            }
        }
        floors << t.nsecsElapsed() / 1e6;
    }
    out << QStringLiteral("lookup: %1 ms (floor %2 ms)")
               .arg(percentile(lookups, 0.5), 0, 'f', 2)
               .arg(percentile(floors, 0.5), 0, 'f', 2)
        << Qt::endl;
    if (errors) out << "(one client: " << errors << " answers not 200)" << Qt::endl;

    // Fifty clients for a bounded run.
    constexpr int kClients = 50;
    std::atomic<int> failed{0};
    std::atomic<bool> stop{false};
    QList<QList<double>> times(kClients);
    std::vector<std::thread> threads;
    QElapsedTimer run;
    run.start();
    for (int c = 0; c < kClients; ++c)
        threads.emplace_back([&, c] {
            int i = c * 37;
            while (!stop.load()) {
                QElapsedTimer t;
                t.start();
                if (httpGet(port, target(keys.at(i++ % keys.size()))) != 200) ++failed;
                times[c] << t.nsecsElapsed() / 1e6;
            }
        });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (std::thread& t : threads)
        t.join();
    const double elapsed = run.nsecsElapsed() / 1e9;
    QList<double> everything;
    for (const QList<double>& t : times)
        everything += t;
    out << QStringLiteral("clients %1: %2 lookups/s, p95 %3 ms, errors %4")
               .arg(kClients)
               .arg(everything.size() / elapsed, 0, 'f', 0)
               .arg(percentile(everything, 0.95), 0, 'f', 1)
               .arg(failed.load())
        << Qt::endl;
    service.stop();
    return 0;
}
