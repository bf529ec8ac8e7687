#pragma once

#include "core/appvalues.h"

#include <QSqlDatabase>
#include <QString>

namespace core {

// The one connection every query of the program uses.
inline constexpr char kMainConnection[] = "sqlConnectionPrincipal";
inline constexpr char kDbaUser[] = "sysdba";
inline constexpr char kDbaPassword[] = "quillwort";

QSqlDatabase mainConnection();

enum class ConnectionMode { Remote, LocalServer, Local };

struct ConnectionTarget {
    ConnectionMode mode = ConnectionMode::Local;
    QString database;      // what Firebird is given: "host[/port]:path" or a file path
    QString userName;      // "SYSDBA" in remote mode, "sysdba" otherwise
    QString workingFolder; // set in the two local modes, empty in remote mode
};

// Builds the database location from the profile and the process's current folder.
// Folders in drive-letter form (D:\Protocolo) are joined with "\", POSIX folders with "/".
ConnectionTarget buildConnectionTarget(const InstallationProfile& profile, const QString& currentFolder);

// Applies the fixed parameters (credentials, dialect 3, WIN1252 data reached through a UTF8
// client character set, read committed, wait on locks) to a QIBASE connection.
void applyFixedParameters(QSqlDatabase& db, const QString& userName);

// (Re)opens sqlConnectionPrincipal on the target; false with the driver's text on failure.
bool openMainConnection(const ConnectionTarget& target, QString* errorText);

// Opens another named connection on a database (tests, tools, a second workstation).
QSqlDatabase openNamedConnection(const QString& connectionName, const QString& database, QString* errorText,
                                 const QString& userName = QString::fromLatin1(kDbaUser));

} // namespace core
