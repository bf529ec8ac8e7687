#pragma once

#include <QString>

namespace consulta {

// Where the service reads its settings when no other file is named (README: "Consulta pública").
inline constexpr char kDefaultSettingsFile[] = "/etc/protocolo/consulta.conf";

// The settings of the lookup service, from its configuration file.
struct Settings {
    // [banco]
    QString database; // "host/port:/path/file.fdb", as the workstations' remote mode
    QString user;     // a user that may only read (never SYSDBA)
    QString password;
    // [servico]
    QString listenAddress = QStringLiteral("127.0.0.1"); // behind the office's reverse proxy
    quint16 port = 8080;
    QString publicAddress;                              // the address citizens use, as printed on the receipt
    int lookupsPerMinute = 10;                          // per client address; 0 = no limit (load tests only)
    QString trustedProxy = QStringLiteral("127.0.0.1"); // whose X-Real-IP names the client
    int threads = 4;
    int maxConnections = 256;
    int connectionsPerAddress = 32;
    int timeoutSeconds = 10; // a connection idle this long is closed
};

// Reads an INI file; false with the reason (missing file, missing database or user, SYSDBA).
bool loadSettings(const QString& path, Settings* settings, QString* errorText);

} // namespace consulta
