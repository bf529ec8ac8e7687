#include "consulta/server.h"

#include "consulta/page.h"
#include "core/publiclookup.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QThread>
#include <QUuid>

#include <unordered_map>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <microhttpd.h>

namespace consulta {

namespace cl = core::consulta;

namespace {

// The security headers of every answer. No script and nothing inline: the page is a plain form.
const QList<QPair<QByteArray, QByteArray>>& securityHeaders() {
    static const QList<QPair<QByteArray, QByteArray>> headers{
        {"X-Content-Type-Options", "nosniff"},
        {"Content-Security-Policy",
         "default-src 'none'; style-src 'self'; form-action 'self'; base-uri 'none'; "
         "frame-ancestors 'none'"},
        {"Cache-Control", "no-store"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
    };
    return headers;
}

const QByteArray kHtml = QByteArrayLiteral("text/html; charset=utf-8");
const QByteArray kJson = QByteArrayLiteral("application/json; charset=utf-8");
const QByteArray kText = QByteArrayLiteral("text/plain; charset=utf-8");

Answer jsonAnswer(int status, const QJsonObject& object) {
    Answer a;
    a.status = status;
    a.contentType = kJson;
    a.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return a;
}

Answer jsonMessage(int status, const QString& message) {
    return jsonAnswer(status, QJsonObject{{QStringLiteral("erro"), message}});
}

Answer textAnswer(int status, const QByteArray& text) {
    Answer a;
    a.status = status;
    a.contentType = kText;
    a.body = text;
    return a;
}

enum MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                          const char* version, const char* uploadData, size_t* uploadDataSize, void** state) {
    return Service::handle(cls, connection, url, method, version, uploadData, uploadDataSize, state) ==
                   MHD_YES
               ? MHD_YES
               : MHD_NO;
}

constexpr qint64 kSecretLifetimeMs = 60 * 1000;

// How big a request may be: request line and headers within the connection's memory, no body.
constexpr size_t kConnectionMemory = 16 * 1024;

} // namespace

bool RateLimiter::allow(const QString& address, qint64 nowMs, int* retryAfterSeconds) {
    if (m_perMinute <= 0) return true;
    constexpr qint64 kWindow = 60 * 1000;
    QMutexLocker lock(&m_mutex);
    // Forget addresses that have been quiet for a minute, so the table stays small.
    if (nowMs - m_lastSweep > kWindow) {
        for (auto it = m_recent.begin(); it != m_recent.end();) {
            if (it->isEmpty() || nowMs - it->last() >= kWindow)
                it = m_recent.erase(it);
            else
                ++it;
        }
        m_lastSweep = nowMs;
    }
    QList<qint64>& times = m_recent[address];
    while (!times.isEmpty() && nowMs - times.first() >= kWindow)
        times.removeFirst();
    if (times.size() >= m_perMinute) {
        if (retryAfterSeconds) *retryAfterSeconds = int((times.first() + kWindow - nowMs + 999) / 1000);
        return false;
    }
    times.append(nowMs);
    return true;
}

Service::ThreadState& Service::threadState() {
    // One per thread of the library's pool and service; gone with the thread when the service stops.
    thread_local std::unordered_map<const Service*, std::unique_ptr<ThreadState>> states;
    std::unique_ptr<ThreadState>& state = states[this];
    if (!state) {
        state = std::make_unique<ThreadState>();
        const QString name =
            m_connectionPrefix + QLatin1Char('-') + QString::number(quintptr(QThread::currentThreadId()));
        state->db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), name);
        state->db.setDatabaseName(m_settings.database);
        state->db.setUserName(m_settings.user);
        state->db.setPassword(m_settings.password);
        state->db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
    }
    return *state;
}

Service::Service(const Settings& settings)
    : m_settings(settings)
    , m_limiter(settings.lookupsPerMinute)
    , m_connectionPrefix(QStringLiteral("consulta-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Service::~Service() {
    stop();
}

bool Service::start(QString* errorText) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    QHostAddress address(m_settings.listenAddress);
    if (address.isNull()) {
        if (errorText)
            *errorText = QStringLiteral("Endereço de escuta inválido: %1").arg(m_settings.listenAddress);
        return false;
    }
    unsigned int flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ERROR_LOG;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&storage);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(m_settings.port);
        const Q_IPV6ADDR raw = address.toIPv6Address();
        memcpy(&a6->sin6_addr, raw.c, 16);
        length = sizeof(sockaddr_in6);
        flags |= MHD_USE_IPv6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&storage);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(m_settings.port);
        a4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
    }
    Q_UNUSED(length);
    m_daemon = MHD_start_daemon(
        flags, m_settings.port, nullptr, nullptr, &onRequest, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(&storage), MHD_OPTION_THREAD_POOL_SIZE, unsigned(m_settings.threads),
        MHD_OPTION_CONNECTION_LIMIT, unsigned(m_settings.maxConnections), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        unsigned(m_settings.connectionsPerAddress), MHD_OPTION_CONNECTION_TIMEOUT,
        unsigned(m_settings.timeoutSeconds), MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
        MHD_OPTION_END);
    if (!m_daemon) {
        if (errorText)
            *errorText = QStringLiteral("Não foi possível escutar em %1:%2.")
                             .arg(m_settings.listenAddress)
                             .arg(m_settings.port);
        return false;
    }
    return true;
}

void Service::stop() {
    if (!m_daemon) return;
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    for (const QString& name : QSqlDatabase::connectionNames())
        if (name.startsWith(m_connectionPrefix)) QSqlDatabase::removeDatabase(name);
}

quint16 Service::port() const {
    if (!m_daemon) return 0;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : 0;
}

QString Service::clientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    const QString peer = info && info->client_addr ? QHostAddress(info->client_addr).toString() : QString();
    // Behind the office's reverse proxy every request comes from the proxy; it names the client.
    if (!m_settings.trustedProxy.isEmpty() && peer == m_settings.trustedProxy) {
        const char* real = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Real-IP");
        if (real && !QHostAddress(QString::fromLatin1(real)).isNull()) return QString::fromLatin1(real);
    }
    return peer;
}

Answer Service::answer(const QString& path, const QHash<QString, QString>& query, const QString& client) {
    static const QRegularExpression apiRoute(QStringLiteral("^/api/processos/([^/]+)/([^/]+)$"));
    const bool isPage = path == QLatin1String("/") || path == QLatin1String("/index.html");
    const QRegularExpressionMatch api = apiRoute.match(path);
    if (path == QLatin1String("/estilo.css")) {
        Answer a;
        a.contentType = QByteArrayLiteral("text/css; charset=utf-8");
        a.body = styleSheet();
        return a;
    }
    if (!isPage && !api.hasMatch()) return textAnswer(404, "Página não encontrada.\n");

    PageForm form;
    if (api.hasMatch()) {
        form.year = api.captured(1);
        form.number = api.captured(2);
    } else {
        form.number = query.value(QStringLiteral("numero"));
        form.year = query.value(QStringLiteral("ano"));
    }
    form.code = query.value(QStringLiteral("codigo"));
    const auto pageAnswer = [&](int status, const cl::PublicStatus* found, const QString& message) {
        Answer a;
        a.status = status;
        a.contentType = kHtml;
        a.body = pageHtml(form, found, message);
        return a;
    };
    // The bare page: nothing asked yet.
    if (isPage && !query.contains(QStringLiteral("numero")) && !query.contains(QStringLiteral("ano")) &&
        !query.contains(QStringLiteral("codigo")))
        return pageAnswer(200, nullptr, QString());

    // The log names the process as stored (or what was typed, cut short and without anything that
    // could forge a line) and the client; never the code.
    const auto loggable = [](const QString& typed, const QString& normalised, int width) {
        if (!normalised.isEmpty()) return normalised;
        QString out = typed.left(width);
        for (QChar& c : out)
            if (!c.isLetterOrNumber() || c.unicode() > 127) c = QLatin1Char('?');
        return out;
    };
    const QString logged = QStringLiteral("%1/%2 de %3")
                               .arg(loggable(form.number, cl::normaliseNumber(form.number), 8),
                                    loggable(form.year, cl::normaliseYear(form.year), 4), client);
    int retryAfter = 0;
    if (!m_limiter.allow(client, QDateTime::currentMSecsSinceEpoch(), &retryAfter)) {
        qInfo("consulta %s: recusada, limite de consultas por minuto", qPrintable(logged));
        Answer a =
            api.hasMatch() ? jsonMessage(429, tooManyMessage()) : pageAnswer(429, nullptr, tooManyMessage());
        a.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray::number(retryAfter)));
        return a;
    }

    QElapsedTimer timer;
    timer.start();
    // This thread's own connection and statements, opened at its first lookup and again after a
    // failure (a restarted server). The secret is read again every minute, so a renewal reaches
    // the service within one.
    ThreadState& ts = threadState();
    cl::PublicStatus status;
    QString error;
    cl::LookupResult result = cl::LookupResult::Failed;
    for (int attempt = 0; attempt < 2 && result == cl::LookupResult::Failed; ++attempt) {
        if (attempt > 0 || !ts.db.isOpen()) {
            ts.reader.reset();
            ts.secret.clear();
            ts.db.close();
            if (!ts.db.open()) {
                error = ts.db.lastError().text();
                continue;
            }
            ts.reader = std::make_unique<cl::Reader>(ts.db);
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (ts.secret.isEmpty() || now - ts.secretReadAt > kSecretLifetimeMs) {
            ts.secret = cl::readSecret(ts.db, &error);
            ts.secretReadAt = now;
            if (ts.secret.isEmpty()) continue;
        }
        result = ts.reader->lookup(ts.secret, form.number, form.year, form.code, &status, &error);
    }
    const char* outcome = result == cl::LookupResult::Found      ? "encontrado"
                          : result == cl::LookupResult::NotFound ? "não encontrado ou código errado"
                          : result == cl::LookupResult::Invalid  ? "dados em formato inválido"
                                                                 : "banco indisponível";
    qInfo("consulta %s: %s (%lld ms)%s", qPrintable(logged), outcome, qint64(timer.elapsed()),
          result == cl::LookupResult::Failed ? qPrintable(QStringLiteral(": ") + error.simplified()) : "");

    switch (result) {
    case cl::LookupResult::Found:
        return api.hasMatch() ? jsonAnswer(200, cl::toJson(status)) : pageAnswer(200, &status, QString());
    case cl::LookupResult::NotFound:
        return api.hasMatch() ? jsonMessage(404, notFoundMessage())
                              : pageAnswer(404, nullptr, notFoundMessage());
    case cl::LookupResult::Invalid:
        return api.hasMatch() ? jsonMessage(400, invalidMessage())
                              : pageAnswer(400, nullptr, invalidMessage());
    case cl::LookupResult::Failed:
        break;
    }
    return api.hasMatch() ? jsonMessage(503, unavailableMessage())
                          : pageAnswer(503, nullptr, unavailableMessage());
}

namespace {

enum MHD_Result collectArgument(void* cls, enum MHD_ValueKind, const char* key, const char* value) {
    auto* query = static_cast<QHash<QString, QString>*>(cls);
    if (key && !query->contains(QString::fromUtf8(key)))
        query->insert(QString::fromUtf8(key), value ? QString::fromUtf8(value) : QString());
    return MHD_YES;
}

int send(MHD_Connection* connection, const Answer& answer, bool head) {
    MHD_Response* response =
        MHD_create_response_from_buffer(head ? 0 : size_t(answer.body.size()),
                                        const_cast<char*>(answer.body.constData()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, "Content-Type", answer.contentType.constData());
    for (const auto& h : securityHeaders())
        MHD_add_response_header(response, h.first.constData(), h.second.constData());
    for (const auto& h : answer.headers)
        MHD_add_response_header(response, h.first.constData(), h.second.constData());
    const int result = MHD_queue_response(connection, unsigned(answer.status), response);
    MHD_destroy_response(response);
    return result;
}

} // namespace

int Service::handle(void* cls, MHD_Connection* connection, const char* url, const char* method,
                    const char* version, const char*, size_t* uploadDataSize, void** state) {
    auto* self = static_cast<Service*>(cls);
    // A request with a body is refused at once: the service takes none, and reading it would only
    // let a client tie up the connection.
    const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
    const bool hasBody = (length && QByteArray(length).trimmed() != "0") ||
                         MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Transfer-Encoding");
    const QByteArray verb(method);
    if (!*state) {
        *state = self; // the first call sees only the headers; answer now
    } else if (*uploadDataSize) {
        *uploadDataSize = 0; // body data after the answer was queued: discarded
        return MHD_YES;
    }
    if (verb != "GET" && verb != "HEAD") {
        Answer a = textAnswer(405, "Método não permitido.\n");
        a.headers.append(qMakePair(QByteArray("Allow"), QByteArray("GET, HEAD")));
        return send(connection, a, false);
    }
    // HTTP/1.1 requires the Host header; a request without it is malformed.
    if (QByteArray(version) == MHD_HTTP_VERSION_1_1 &&
        !MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Host"))
        return send(connection, textAnswer(400, "Requisição inválida.\n"), false);
    if (hasBody)
        return send(connection, textAnswer(413, "Esta consulta não aceita corpo na requisição.\n"), false);
    QHash<QString, QString> query;
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &collectArgument, &query);
    const Answer a = self->answer(QString::fromUtf8(url), query, self->clientAddress(connection));
    return send(connection, a, verb == "HEAD");
}

} // namespace consulta
