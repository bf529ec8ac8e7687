// The lookup service as the office runs it: the real program, reading a database on a Firebird
// server through a user that may only read, answering through a real socket.
#include "consulta/server.h"
#include "consulta/settings.h"
#include "core/connection.h"
#include "core/publiclookup.h"
#include "db/database.h"
#include "tests/support/lookupoffice.h"
#include "tests/support/testserver.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Reply {
    int status = 0;                       // 0: the connection closed without an answer
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

Reply parse(const QByteArray& raw) {
    Reply r;
    const int end = raw.indexOf("\r\n\r\n");
    if (end < 0) return r;
    const QList<QByteArray> lines = raw.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    r.status = first.value(1).toInt();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            r.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                             lines.at(i).mid(colon + 1).trimmed());
    }
    r.body = raw.mid(end + 4);
    return r;
}

} // namespace

class TestConsultaService : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void settingsRefuseSysdba();
    void routes_data();
    void routes();
    void wrongCodeAnswersAsUnknown();
    void rateLimit();
    void rateWindowSlides();
    void malformed_data();
    void malformed();
    void slowClients();
    void logHasNoCode();
    void databaseRestart();

private:
    QByteArray send(const QByteArray& raw, int timeoutMs = 5000);
    Reply get(const QString& target, const QString& client);
    QString code(const QString& number, const QString& year) const {
        return core::consulta::verificationCode(m_secret, number, year);
    }
    bool startService(QString* error);

    std::unique_ptr<testsupport::TestServer> m_server;
    QTemporaryDir m_dir;
    QString m_location;
    QByteArray m_secret;
    QProcess m_service;
    quint16 m_port = 0;
    QByteArray m_log;
    int m_client = 0;
};

bool TestConsultaService::startService(QString* error) {
    m_service.setProcessChannelMode(QProcess::MergedChannels);
    m_service.start(QStringLiteral(PROTOCOLO_CONSULTA),
                    {QStringLiteral("--config"), m_dir.filePath("consulta.conf")});
    QElapsedTimer t;
    t.start();
    static const QRegularExpression ready(QStringLiteral("escutando em [^:]+:(\\d+)"));
    while (t.elapsed() < 10000) {
        m_service.waitForReadyRead(200);
        m_log += m_service.readAll();
        const QRegularExpressionMatch m = ready.match(QString::fromUtf8(m_log));
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            return true;
        }
        if (m_service.state() == QProcess::NotRunning) break;
    }
    *error = QString::fromUtf8(m_log);
    return false;
}

void TestConsultaService::initTestCase() {
    if (!testsupport::TestServer::available()) QSKIP("no Firebird server program on this machine");
    m_server = std::make_unique<testsupport::TestServer>();
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
    m_location = QStringLiteral("%1:%2/CONSULTA.fdb").arg(m_server->address(), m_server->dataFolder());
    QVERIFY2(db::createDatabase(m_location, &error), qPrintable(error));
    {
        QSqlDatabase admin = core::openNamedConnection(QStringLiteral("admin"), m_location, &error);
        QVERIFY2(admin.isOpen(), qPrintable(error));
        testsupport::addLookupOffice(admin);
        m_secret = core::consulta::readSecret(admin);
        // The read-only user, exactly as the README has the office create it.
        QSqlQuery q(admin);
        for (const char* sql :
             {"CREATE USER CONSULTA PASSWORD 'leitura1'", "GRANT SELECT ON PROCESSOS TO USER CONSULTA",
              "GRANT SELECT ON TRAMITACAO TO USER CONSULTA",
              "GRANT SELECT ON ULTIMA_TRAMITACAO TO USER CONSULTA",
              "GRANT SELECT ON UNIDADES TO USER CONSULTA",
              "GRANT SELECT ON CONSULTA_SEGREDO TO USER CONSULTA"})
            QVERIFY2(q.exec(QString::fromLatin1(sql)), qPrintable(q.lastError().text()));
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    QFile conf(m_dir.filePath("consulta.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("[banco]\nlocal = %1\nusuario = CONSULTA\nsenha = leitura1\n"
                              "[servico]\nendereco = 127.0.0.1\nporta = 0\nconsultas_por_minuto = 10\n"
                              "tempo_limite = 2\nconexoes_por_endereco = 40\n")
                   .arg(m_location)
                   .toUtf8());
    conf.close();
    QVERIFY2(startService(&error), qPrintable(error));
}

void TestConsultaService::cleanupTestCase() {
    if (m_service.state() != QProcess::NotRunning) {
        m_service.terminate();
        QVERIFY(m_service.waitForFinished(5000));
        QCOMPARE(m_service.exitCode(), 0);
    }
}

QByteArray TestConsultaService::send(const QByteArray& raw, int timeoutMs) {
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    if (!s.waitForConnected(2000)) return {};
    s.write(raw);
    s.waitForBytesWritten(2000);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (s.state() == QAbstractSocket::ConnectedState && t.elapsed() < timeoutMs) {
        if (s.waitForReadyRead(100)) got += s.readAll();
    }
    got += s.readAll();
    return got;
}

// Each request names a client of its own behind the proxy, so the limit per address is left to
// the test that is about it.
Reply TestConsultaService::get(const QString& target, const QString& client) {
    return parse(
        send(QStringLiteral("GET %1 HTTP/1.1\r\nHost: consulta\r\nX-Real-IP: %2\r\nConnection: close\r\n\r\n")
                 .arg(target, client)
                 .toUtf8()));
}

void TestConsultaService::settingsRefuseSysdba() {
    QFile f(m_dir.filePath("sysdba.conf"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[banco]\nlocal = x:/y.fdb\nusuario = sysdba\nsenha = z\n");
    f.close();
    consulta::Settings s;
    QString error;
    QVERIFY(!consulta::loadSettings(f.fileName(), &s, &error));
    QVERIFY2(error.contains(QStringLiteral("SYSDBA")), qPrintable(error));
    QVERIFY(!consulta::loadSettings(m_dir.filePath("none.conf"), &s, &error));
}

void TestConsultaService::routes_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("contains");
    const QString right = code(QStringLiteral("2"), QStringLiteral("2026"));
    const QString html = QStringLiteral("text/html; charset=utf-8"),
                  json = QStringLiteral("application/json; charset=utf-8");
    QTest::newRow("empty page") << "/" << 200 << html
                                << "<label for=\"codigo\">Código de verificação</label>";
    QTest::newRow("style sheet") << "/estilo.css" << 200 << "text/css; charset=utf-8"
                                 << "font-family";
    QTest::newRow("page with a found process")
        << "/?numero=2&ano=2026&codigo=" + right << 200 << html << "<dd id=\"unidade\">GABINETE</dd>";
    QTest::newRow("json found") << "/api/processos/2026/00000002?codigo=" + right << 200 << json
                                << "\"unidade_atual\":\"GABINETE\"";
    QTest::newRow("json, code typed in lower case")
        << "/api/processos/2026/2?codigo=" + right.toLower() << 200 << json << "\"quantidade_tramitacoes\":3";
    QTest::newRow("json archived") << "/api/processos/2026/3?codigo=" + code("3", "2026") << 200 << json
                                   << "\"arquivado_em\":\"2026-04-01\"";
    QTest::newRow("json never sent") << "/api/processos/2026/1?codigo=" + code("1", "2026") << 200 << json
                                     << "\"enviado\":false";
    QTest::newRow("json wrong code") << "/api/processos/2026/2?codigo=ABCDEFGH" << 404 << json
                                     << "Processo não encontrado";
    QTest::newRow("json without code") << "/api/processos/2026/2" << 400 << json << "código de verificação";
    QTest::newRow("page sent empty") << "/?numero=&ano=&codigo=" << 400 << html << "role=\"alert\"";
    QTest::newRow("page wrong form") << "/?numero=abc&ano=26&codigo=x" << 400 << html << "role=\"alert\"";
    QTest::newRow("unknown route") << "/admin" << 404 << "text/plain; charset=utf-8"
                                   << "não encontrada";
    QTest::newRow("api without number") << "/api/processos/2026" << 404 << "text/plain; charset=utf-8"
                                        << "";
    QTest::newRow("path climbing") << "/../etc/passwd" << 404 << "text/plain; charset=utf-8"
                                   << "";
}

void TestConsultaService::routes() {
    QFETCH(QString, target);
    QFETCH(int, status);
    QFETCH(QString, contentType);
    QFETCH(QString, contains);
    const Reply r = get(target, QStringLiteral("10.0.1.%1").arg(++m_client));
    QCOMPARE(r.status, status);
    QCOMPARE(QString::fromLatin1(r.headers.value("content-type")), contentType);
    QCOMPARE(r.headers.value("x-content-type-options"), QByteArray("nosniff"));
    QCOMPARE(r.headers.value("cache-control"), QByteArray("no-store"));
    const QByteArray csp = r.headers.value("content-security-policy");
    QVERIFY2(csp.startsWith("default-src 'none'") && !csp.contains("unsafe"), csp.constData());
    QVERIFY2(QString::fromUtf8(r.body).contains(contains), r.body.left(400).constData());
    for (const char* personal : testsupport::kLookupPersonalData)
        QVERIFY(!r.body.contains(personal));
}

void TestConsultaService::wrongCodeAnswersAsUnknown() {
    // Whether the number exists or not, a code that does not fit gives the very same answer.
    const Reply known =
        get(QStringLiteral("/api/processos/2026/2?codigo=ABCDEFGH"), QStringLiteral("10.0.2.1"));
    const Reply unknown =
        get(QStringLiteral("/api/processos/2026/777?codigo=ABCDEFGH"), QStringLiteral("10.0.2.2"));
    const Reply unknownRight = get(QStringLiteral("/api/processos/2026/777?codigo=") + code("777", "2026"),
                                   QStringLiteral("10.0.2.3"));
    QCOMPARE(known.status, 404);
    QCOMPARE(unknown.status, known.status);
    QCOMPARE(unknown.body, known.body);
    QCOMPARE(unknownRight.status, known.status);
    QCOMPARE(unknownRight.body, known.body);
}

void TestConsultaService::rateLimit() {
    const QString target = QStringLiteral("/api/processos/2026/2?codigo=") + code("2", "2026");
    for (int i = 0; i < 10; ++i)
        QCOMPARE(get(target, QStringLiteral("10.0.3.1")).status, 200);
    const Reply refused = get(target, QStringLiteral("10.0.3.1"));
    QCOMPARE(refused.status, 429);
    QVERIFY(refused.headers.value("retry-after").toInt() > 0);
    QVERIFY2(QString::fromUtf8(refused.body).contains(QStringLiteral("Por favor, aguarde um minuto")),
             refused.body.constData());
    // The page says it too, and another address is not held back.
    const Reply page = get(QStringLiteral("/?numero=2&ano=2026&codigo=x"), QStringLiteral("10.0.3.1"));
    QCOMPARE(page.status, 429);
    QVERIFY(page.body.contains("role=\"alert\""));
    QCOMPARE(get(target, QStringLiteral("10.0.3.2")).status, 200);
    // The bare page and the style sheet are not lookups.
    QCOMPARE(get(QStringLiteral("/"), QStringLiteral("10.0.3.1")).status, 200);
}

// The limit counts the last sixty seconds: the eleventh lookup waits until the first is a minute
// old, and is told how long.
void TestConsultaService::rateWindowSlides() {
    consulta::RateLimiter limiter(10);
    const qint64 t0 = 1'000'000;
    for (int i = 0; i < 10; ++i)
        QVERIFY(limiter.allow(QStringLiteral("a"), t0 + i * 1000));
    int wait = 0;
    QVERIFY(!limiter.allow(QStringLiteral("a"), t0 + 30'000, &wait));
    QCOMPARE(wait, 30);
    QVERIFY(limiter.allow(QStringLiteral("b"), t0 + 30'000));
    QVERIFY(!limiter.allow(QStringLiteral("a"), t0 + 59'999, &wait));
    QCOMPARE(wait, 1);
    QVERIFY(limiter.allow(QStringLiteral("a"), t0 + 60'000));
    QVERIFY(!limiter.allow(QStringLiteral("a"), t0 + 60'500));
    QVERIFY(limiter.allow(QStringLiteral("a"), t0 + 61'000));
}

void TestConsultaService::malformed_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<int>>("statuses"); // 0 = closed without an answer
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\x02GARBAGE\r\n\r\n", 14) << QList<int>{0, 400};
    QTest::newRow("no HTTP version") << QByteArray("GET /\r\n\r\n") << QList<int>{0, 400, 505};
    QTest::newRow("header without colon")
        << QByteArray("GET / HTTP/1.1\r\nHost consulta\r\n\r\n") << QList<int>{0, 400};
    QTest::newRow("HTTP/1.1 without Host")
        << QByteArray("GET / HTTP/1.1\r\nConnection: close\r\n\r\n") << QList<int>{400};
    QTest::newRow("header of 64 KiB")
        << QByteArray("GET / HTTP/1.1\r\nHost: c\r\nX-Big: ") + QByteArray(65536, 'a') + "\r\n\r\n"
        << QList<int>{0, 400, 413, 414, 431};
    QTest::newRow("address of 64 KiB")
        << QByteArray("GET /") + QByteArray(65536, 'a') + " HTTP/1.1\r\nHost: c\r\n\r\n"
        << QList<int>{0, 400, 413, 414, 431};
    QTest::newRow("POST with a body")
        << QByteArray("POST /api/processos/2026/2 HTTP/1.1\r\nHost: c\r\nContent-Length: 5\r\n\r\nabcde")
        << QList<int>{405};
    QTest::newRow("GET with a huge body announced")
        << QByteArray("GET / HTTP/1.1\r\nHost: c\r\nContent-Length: 1000000000\r\n\r\n") << QList<int>{413};
    QTest::newRow("bad percent escape")
        << QByteArray("GET /?numero=%ZZ&ano=%&codigo=%C3 HTTP/1.1\r\nHost: c\r\n"
                      "X-Real-IP: 10.0.4.1\r\nConnection: close\r\n\r\n")
        << QList<int>{400};
}

void TestConsultaService::malformed() {
    QFETCH(QByteArray, request);
    QFETCH(QList<int>, statuses);
    const Reply r = parse(send(request, 4000));
    QVERIFY2(statuses.contains(r.status), qPrintable(QString::number(r.status)));
    // The service goes on answering.
    QCOMPARE(get(QStringLiteral("/"), QStringLiteral("10.0.4.2")).status, 200);
}

void TestConsultaService::slowClients() {
    // Twenty clients that send half a request and wait: each is dropped after the idle time (2 s
    // here), and a normal client is served meanwhile.
    QList<QTcpSocket*> slow;
    for (int i = 0; i < 20; ++i) {
        auto* s = new QTcpSocket(this);
        s->connectToHost(QStringLiteral("127.0.0.1"), m_port);
        QVERIFY(s->waitForConnected(2000));
        s->write("GET /?numero=2&ano=2026 HTTP/1.1\r\nHost: c\r\n");
        s->flush();
        slow << s;
    }
    QElapsedTimer t;
    t.start();
    QCOMPARE(get(QStringLiteral("/"), QStringLiteral("10.0.5.1")).status, 200);
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(slow.cbegin(), slow.cend(),
                                         [](QTcpSocket* s) {
                                             s->waitForReadyRead(10);
                                             return s->state() == QAbstractSocket::UnconnectedState;
                                         }),
                             8000);
    qDeleteAll(slow);
}

void TestConsultaService::logHasNoCode() {
    const QString right = code(QStringLiteral("2"), QStringLiteral("2026"));
    QCOMPARE(get(QStringLiteral("/api/processos/2026/2?codigo=") + right, QStringLiteral("10.0.6.1")).status,
             200);
    QTRY_VERIFY((m_log += m_service.readAll()).contains("00000002/2026 de 10.0.6.1: encontrado"));
    QVERIFY(!m_log.contains(right.toLatin1()));
    QVERIFY(!m_log.contains(right.toLower().toLatin1()));
    QVERIFY(!m_log.contains("ABCDEFGH"));
}

void TestConsultaService::databaseRestart() {
    const QString target = QStringLiteral("/api/processos/2026/2?codigo=") + code("2", "2026");
    QCOMPARE(get(target, QStringLiteral("10.0.7.1")).status, 200);
    QString error;
    QVERIFY2(m_server->stop(&error), qPrintable(error));
    const Reply down = get(target, QStringLiteral("10.0.7.2"));
    QCOMPARE(down.status, 503);
    QVERIFY(QString::fromUtf8(down.body).contains(QStringLiteral("indisponível")));
    QVERIFY2(m_server->start(&error), qPrintable(error));
    // The next lookup opens the connection again.
    QCOMPARE(get(target, QStringLiteral("10.0.7.3")).status, 200);
    QCOMPARE(m_service.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestConsultaService)
#include "tst_consultaservice.moc"
