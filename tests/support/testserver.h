#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A private Firebird server of the test's own (scripts/firebird-server.sh: its own folder,
// configuration, port and security database, bound to 127.0.0.1), which the test stops and starts
// again to play a server that restarts. Stopped with the object.
class TestServer {
public:
    TestServer();
    ~TestServer();

    // False when this machine has no Firebird server program (the test then skips).
    static bool available();

    // The first start takes a free port; later starts listen on the same one, as a restarted
    // office server does. False with the script's explanation.
    bool start(QString* error);
    bool stop(QString* error = nullptr);

    // "127.0.0.1/PORT", for a location "127.0.0.1/PORT:/path/file.fdb".
    QString address() const;
    // A folder the server may create databases in.
    QString dataFolder() const { return m_data.path(); }

private:
    QTemporaryDir m_root;
    QTemporaryDir m_data;
    QString m_port;
    bool m_running = false;
};

} // namespace testsupport
