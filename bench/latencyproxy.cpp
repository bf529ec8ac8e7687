#include "bench/latencyproxy.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>

namespace bench {

struct LatencyProxy::State {
    std::atomic<int> roundTripMs{0};
    std::atomic<qint64> roundTrips{0};
    std::atomic<qint64> connections{0};
    std::atomic<bool> linkDown{false};
    QElapsedTimer clock; // started once; every due time is read on it
    QThread thread;
    QObject* anchor = nullptr; // lives in the thread: what work is queued to
    QObject* worker = nullptr; // the listening socket, in the thread
    QString host;
    quint16 targetPort = 0;
    quint16 port = 0;
};

namespace {

// One direction of one connection: chunks wait here until their due time, then go out in order.
class Lane : public QObject {
public:
    Lane(LatencyProxy::State* state, QTcpSocket* to, QObject* parent)
        : QObject(parent)
        , m_state(state)
        , m_to(to) {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Lane::flush);
    }

    void push(QByteArray chunk) {
        const qint64 half = qint64(m_state->roundTripMs.load()) * 1000000 / 2;
        m_queue.push_back({m_state->clock.nsecsElapsed() + half, std::move(chunk)});
        flush();
    }
    bool empty() const { return m_queue.empty(); }
    // Called once the far end can take data (the server connection established).
    void flush() {
        if (!m_to || m_to->state() != QAbstractSocket::ConnectedState) return;
        const qint64 now = m_state->clock.nsecsElapsed();
        while (!m_queue.empty() && m_queue.front().due <= now) {
            m_to->write(m_queue.front().data);
            m_queue.pop_front();
        }
        if (!m_queue.empty()) {
            // Rounded up: a chunk is never sent before its time.
            const qint64 wait = m_queue.front().due - now;
            m_timer.start(int((wait + 999999) / 1000000));
        } else if (m_closeWhenEmpty) {
            m_to->disconnectFromHost();
        }
    }
    void closeWhenEmpty() {
        m_closeWhenEmpty = true;
        if (m_queue.empty() && m_to) m_to->disconnectFromHost();
    }

private:
    struct Chunk {
        qint64 due;
        QByteArray data;
    };
    LatencyProxy::State* m_state;
    QPointer<QTcpSocket> m_to;
    std::deque<Chunk> m_queue;
    QTimer m_timer;
    bool m_closeWhenEmpty = false;
};

// A client connection and its connection to the server.
class Pipe : public QObject {
public:
    Pipe(LatencyProxy::State* state, QTcpSocket* client, QObject* parent)
        : QObject(parent)
        , m_state(state)
        , m_client(client)
        , m_server(new QTcpSocket(this))
        , m_up(new Lane(state, m_server, this))
        , m_down(new Lane(state, client, this)) {
        client->setParent(this);
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(m_server, &QTcpSocket::connected, this, [this] {
            m_server->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_up->flush();
        });
        connect(client, &QTcpSocket::readyRead, this, [this] {
            m_requestOpen = true;
            m_up->push(m_client->readAll());
        });
        connect(m_server, &QTcpSocket::readyRead, this, [this] {
            if (m_requestOpen) {
                m_requestOpen = false;
                ++m_state->roundTrips;
            }
            m_down->push(m_server->readAll());
        });
        connect(client, &QTcpSocket::disconnected, this, [this] {
            m_up->closeWhenEmpty();
            finishIfDone();
        });
        connect(m_server, &QTcpSocket::disconnected, this, [this] {
            m_down->closeWhenEmpty();
            finishIfDone();
        });
        connect(m_server, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
            if (m_server->state() == QAbstractSocket::UnconnectedState) m_client->disconnectFromHost();
        });
        m_server->connectToHost(state->host, state->targetPort);
        ++state->connections;
    }

private:
    void finishIfDone() {
        if (m_client->state() == QAbstractSocket::UnconnectedState &&
            m_server->state() == QAbstractSocket::UnconnectedState)
            deleteLater();
    }
    LatencyProxy::State* m_state;
    QTcpSocket* m_client;
    QTcpSocket* m_server;
    Lane* m_up;
    Lane* m_down;
    bool m_requestOpen = false; // the client spoke since the server last answered
};

} // namespace

LatencyProxy::LatencyProxy()
    : m_state(std::make_unique<State>()) {
    m_state->clock.start();
}

LatencyProxy::~LatencyProxy() {
    stop();
}

bool LatencyProxy::start(const QString& host, quint16 port, QString* error) {
    State* s = m_state.get();
    s->host = host;
    s->targetPort = port;
    s->anchor = new QObject;
    s->anchor->moveToThread(&s->thread);
    s->thread.start();
    QString reason;
    QSemaphore ready;
    // The listening socket and every connection belong to the proxy's thread.
    QMetaObject::invokeMethod(
        s->anchor,
        [s, &reason, &ready] {
            auto* server = new QTcpServer;
            s->worker = server;
            QObject::connect(server, &QTcpServer::newConnection, server, [s, server] {
                while (QTcpSocket* c = server->nextPendingConnection()) {
                    if (s->linkDown) {
                        c->abort();
                        c->deleteLater();
                        continue;
                    }
                    new Pipe(s, c, server);
                }
            });
            if (!server->listen(QHostAddress::LocalHost, 0)) reason = server->errorString();
            s->port = server->serverPort();
            ready.release();
        },
        Qt::QueuedConnection);
    ready.acquire();
    if (!reason.isEmpty()) {
        if (error) *error = reason;
        stop();
        return false;
    }
    return true;
}

void LatencyProxy::stop() {
    State* s = m_state.get();
    if (!s->thread.isRunning()) return;
    QMetaObject::invokeMethod(
        s->anchor,
        [s] {
            delete s->worker; // closes the listening socket and every connection
            s->worker = nullptr;
            delete s->anchor;
            s->anchor = nullptr;
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    s->thread.wait();
}

void LatencyProxy::setLinkDown(bool down) {
    State* s = m_state.get();
    s->linkDown = down;
    if (!down || !s->thread.isRunning()) return;
    QSemaphore done;
    QMetaObject::invokeMethod(
        s->anchor,
        [s, &done] {
            // Both ends of every connection, reset rather than closed in order: what was in flight
            // is lost, as on a real cut.
            if (s->worker)
                for (QTcpSocket* socket : s->worker->findChildren<QTcpSocket*>())
                    socket->abort();
            done.release();
        },
        Qt::QueuedConnection);
    done.acquire();
}

quint16 LatencyProxy::port() const {
    return m_state->port;
}

QString LatencyProxy::address() const {
    return QStringLiteral("127.0.0.1/%1").arg(m_state->port);
}

void LatencyProxy::setRoundTrip(int milliseconds) {
    m_state->roundTripMs = milliseconds;
}

int LatencyProxy::roundTrip() const {
    return m_state->roundTripMs;
}

qint64 LatencyProxy::roundTrips() const {
    return m_state->roundTrips;
}

qint64 LatencyProxy::connections() const {
    return m_state->connections;
}

void LatencyProxy::resetCounts() {
    m_state->roundTrips = 0;
    m_state->connections = 0;
}

} // namespace bench
