#include "bench/privateserver.h"

#include "bench/latencyproxy.h"

#include <QProcess>
#include <QStringList>
#include <QTextStream>

namespace bench {

namespace {

bool script(const QStringList& arguments, QString* output) {
    QProcess p;
    p.start(QStringLiteral("/bin/bash"),
            QStringList{QStringLiteral(PROTOCOLO_SOURCE_DIR "/scripts/firebird-server.sh")} + arguments);
    p.waitForFinished(60000);
    if (output) *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

PrivateServer::~PrivateServer() {
    if (!m_port.isEmpty()) script({QStringLiteral("stop"), m_root.path()}, nullptr);
}

bool PrivateServer::start(QString* error) {
    QString port;
    if (!script({QStringLiteral("start"), m_root.path()}, &port)) {
        *error = port;
        return false;
    }
    m_port = port;
    return true;
}

bool startBehindProxy(PrivateServer& server, LatencyProxy& proxy, QTextStream& out) {
    QString error;
    if (!server.start(&error)) {
        out << "server: " << error << Qt::endl;
        return false;
    }
    if (!proxy.start(QStringLiteral("127.0.0.1"), server.port(), &error)) {
        out << "proxy: " << error << Qt::endl;
        return false;
    }
    return true;
}

} // namespace bench
