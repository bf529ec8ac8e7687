#include "core/connection.h"

#include <QSqlError>

namespace core {

QSqlDatabase mainConnection() {
    return QSqlDatabase::database(QString::fromLatin1(kMainConnection), false);
}

static bool isDriveForm(const QString& folder) {
    return (folder.size() >= 2 && folder.at(1) == QLatin1Char(':')) || folder.contains(QLatin1Char('\\'));
}

ConnectionTarget buildConnectionTarget(const InstallationProfile& profile, const QString& currentFolder) {
    ConnectionTarget t;
    if (profile.remote) {
        t.mode = ConnectionMode::Remote;
        t.database = profile.remoteLocation;
        t.userName = QStringLiteral("SYSDBA");
        return t;
    }
    t.userName = QString::fromLatin1(kDbaUser);
    t.workingFolder = currentFolder;
    const bool drive = isDriveForm(currentFolder);
    const QString sep = drive ? QStringLiteral("\\") : QStringLiteral("/");
    if (profile.localServer) {
        t.mode = ConnectionMode::LocalServer;
        // The server sees the same folder on its own drive.
        const QString folder = drive ? profile.serverDrive + currentFolder.mid(2) : currentFolder;
        t.database =
            profile.localServerAddress + profile.serverSeparator + folder + sep + profile.databaseFileName;
    } else {
        t.mode = ConnectionMode::Local;
        t.database = currentFolder + sep + profile.databaseFileName;
    }
    return t;
}

void applyFixedParameters(QSqlDatabase& db, const QString& userName) {
    db.setUserName(userName);
    db.setPassword(QString::fromLatin1(kDbaPassword));
    // The database stores WIN1252; the client talks UTF8 and Firebird converts, so every
    // character WIN1252 holds reaches Qt intact and anything else is refused by the server.
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8;ISC_DPB_SQL_ROLE_NAME=RoleName"));
}

static QSqlDatabase connectionNamed(const QString& name) {
    if (QSqlDatabase::contains(name)) return QSqlDatabase::database(name, false);
    return QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), name);
}

bool openMainConnection(const ConnectionTarget& target, QString* errorText) {
    QSqlDatabase db = connectionNamed(QString::fromLatin1(kMainConnection));
    db.close();
    applyFixedParameters(db, target.userName);
    db.setDatabaseName(target.database);
    if (db.open()) return true;
    if (errorText) *errorText = db.lastError().text();
    return false;
}

QSqlDatabase openNamedConnection(const QString& connectionName, const QString& database, QString* errorText,
                                 const QString& userName) {
    QSqlDatabase db = connectionNamed(connectionName);
    db.close();
    applyFixedParameters(db, userName);
    db.setDatabaseName(database);
    if (!db.open() && errorText) *errorText = db.lastError().text();
    return db;
}

} // namespace core
