#pragma once

#include <QString>
#include <QTemporaryDir>

class QTextStream;

namespace bench {

// A Firebird server of the benchmark's own, started by scripts/firebird-server.sh in a temporary
// folder and stopped with it: the machine's own server and its settings are never touched.
class PrivateServer {
public:
    PrivateServer() = default;
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // False with the script's own words when the server did not start.
    bool start(QString* error);
    quint16 port() const { return m_port.toUShort(); }

private:
    QTemporaryDir m_root;
    QString m_port;
};

class LatencyProxy;

// Starts the private server and the latency proxy in front of it (no delay yet); false with the
// reason written to out.
bool startBehindProxy(PrivateServer& server, LatencyProxy& proxy, QTextStream& out);

} // namespace bench
