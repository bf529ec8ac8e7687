#pragma once

#include "consulta/settings.h"
#include "core/publiclookup.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>

#include <memory>

struct MHD_Daemon;
struct MHD_Connection;

namespace consulta {

// Lookups allowed per client address in a sliding minute.
class RateLimiter {
public:
    explicit RateLimiter(int perMinute)
        : m_perMinute(perMinute) {}
    // True when the address may look up now (the lookup is counted); otherwise the seconds until
    // it may again.
    bool allow(const QString& address, qint64 nowMs, int* retryAfterSeconds = nullptr);

private:
    int m_perMinute;
    QMutex m_mutex;
    QHash<QString, QList<qint64>> m_recent;
    qint64 m_lastSweep = 0;
};

// One answer of the service.
struct Answer {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; // besides the security headers every answer has
};

// The public lookup service: the page, its style sheet and the JSON route, on libmicrohttpd.
// Each of its threads holds a database connection of its own, opened again after a failure (a
// restarted database server), so one lookup that meets the outage fails and the next goes through.
class Service {
public:
    explicit Service(const Settings& settings);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    bool start(QString* errorText);
    void stop();
    quint16 port() const;

    // The answer to a GET of a path with its decoded query values (also used without a socket).
    Answer answer(const QString& path, const QHash<QString, QString>& query, const QString& client);

    // libmicrohttpd's request callback (cls is the service).
    static int handle(void* cls, MHD_Connection* connection, const char* url, const char* method,
                      const char* version, const char* uploadData, size_t* uploadDataSize, void** state);

private:
    struct ThreadState {
        ~ThreadState() {
            reader.reset();
            db = QSqlDatabase();
        }
        QSqlDatabase db;
        std::unique_ptr<core::consulta::Reader> reader;
        QByteArray secret;
        qint64 secretReadAt = 0;
    };
    ThreadState& threadState();
    QString clientAddress(MHD_Connection* connection);

    Settings m_settings;
    RateLimiter m_limiter;
    MHD_Daemon* m_daemon = nullptr;
    QString m_connectionPrefix;
};

} // namespace consulta
