#include "tests/support/testserver.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace testsupport {

namespace {

const QString kScript = QStringLiteral(PROTOCOLO_SOURCE_DIR "/scripts/firebird-server.sh");

bool runScript(const QStringList& arguments, QString* output, QString* error) {
    QProcess p;
    p.start(QStringLiteral("/bin/bash"), QStringList{kScript} + arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        if (error) *error = QStringLiteral("firebird-server.sh %1 did not finish").arg(arguments.join(u' '));
        return false;
    }
    if (output) *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error) *error = QString::fromUtf8(p.readAllStandardError());
        return false;
    }
    return true;
}

} // namespace

TestServer::TestServer() {
    // The server process creates the files: the folder is open to it whatever user it runs as.
    QFile::setPermissions(m_data.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                              QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

TestServer::~TestServer() {
    stop();
}

bool TestServer::available() {
    return QFileInfo(QStringLiteral("/usr/sbin/firebird")).isExecutable() && QFileInfo::exists(kScript);
}

bool TestServer::start(QString* error) {
    QStringList arguments{QStringLiteral("start"), m_root.path()};
    if (!m_port.isEmpty()) arguments << m_port;
    QString port;
    if (!runScript(arguments, &port, error)) return false;
    m_port = port;
    m_running = true;
    return true;
}

bool TestServer::stop(QString* error) {
    if (!m_running) return true;
    m_running = false;
    return runScript({QStringLiteral("stop"), m_root.path()}, nullptr, error);
}

QString TestServer::address() const {
    return QStringLiteral("127.0.0.1/") + m_port;
}

} // namespace testsupport
