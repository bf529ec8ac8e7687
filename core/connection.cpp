#include "core/connection.h"

#include "core/audit.h"
#include "core/readquery.h"
#include "core/dialogs.h"
#include "core/session.h"

#include <QSqlError>
#include <QSqlQuery>

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

namespace {

struct MainConnectionState {
    ConnectionTarget target; // what the main connection was last opened with
    bool opened = false;     // it was open once: a failure later is an outage, not a wrong path
    bool lost = false;
    bool told = false;
    bool openFailed = false;
};

MainConnectionState& mainState() {
    static MainConnectionState state;
    return state;
}

bool isMain(const QSqlDatabase& db) {
    return db.connectionName() == QLatin1String(kMainConnection);
}

} // namespace

bool openMainConnection(const ConnectionTarget& target, QString* errorText) {
    QSqlDatabase db = connectionNamed(QString::fromLatin1(kMainConnection));
    releaseReads(db);
    db.close();
    applyFixedParameters(db, target.userName);
    db.setDatabaseName(target.database);
    MainConnectionState& state = mainState();
    state.target = target;
    if (db.open()) {
        state = MainConnectionState{target, true, false, false, false};
        return true;
    }
    state.openFailed = true;
    if (errorText) {
        // The database's reason; the driver's own sentence ("Error opening database") adds nothing.
        const QSqlError e = db.lastError();
        *errorText = e.databaseText().trimmed().isEmpty() ? e.text() : e.databaseText().trimmed();
    }
    return false;
}

QString openFailureMessage(const ConnectionTarget& target, const QString& reason) {
    return QStringLiteral("Atenção, não foi possível abrir o banco de dados %1\r\rMotivo informado: %2")
        .arg(target.database, reason);
}

QString lostConnectionMessage() {
    return QStringLiteral(
        "Atenção, a conexão com o banco de dados foi perdida!\rOs dados em edição continuam "
        "na tela; a conexão será refeita na próxima ação.");
}

bool mainConnectionLost() {
    return mainState().lost;
}

ConnectionTarget mainConnectionTarget() {
    return mainState().target;
}

bool mainConnectionFailedToOpen() {
    return mainState().openFailed;
}

bool ensureConnection(const QSqlDatabase& db) {
    MainConnectionState& state = mainState();
    if (!isMain(db) || !state.lost) return true;
    QSqlDatabase main = connectionNamed(QString::fromLatin1(kMainConnection));
    releaseReads(main);
    main.close();
    applyFixedParameters(main, state.target.userName);
    main.setDatabaseName(state.target.database);
    if (!main.open()) return false;
    // A new attachment has an empty context: the audit trail would call the user "desconhecido".
    if (!currentUser().code.isEmpty()) audit::setSessionUser(main, currentUser().code);
    // A later outage is told again.
    state.lost = false;
    state.told = false;
    return true;
}

bool noteConnectionFailure(const QSqlDatabase& db, QWidget* parent) {
    MainConnectionState& state = mainState();
    const bool main = isMain(db);
    if (main && state.lost) return true;
    if (!db.isOpen()) return false;
    {
        QSqlQuery probe(db);
        probe.setForwardOnly(true);
        if (probe.exec(QStringLiteral("SELECT 1 FROM RDB$DATABASE")) && probe.next()) return false;
    }
    if (!main) return true;
    state.lost = true;
    if (!state.told) {
        state.told = true;
        dialogs().message(parent, lostConnectionMessage());
    }
    return true;
}

bool isLockConflict(const QString& text) {
    return text.contains(QLatin1String("update conflicts"), Qt::CaseInsensitive) ||
           text.contains(QLatin1String("deadlock"), Qt::CaseInsensitive) ||
           text.contains(QLatin1String("lock conflict"), Qt::CaseInsensitive);
}

bool isKeyViolation(const QString& text) {
    return text.contains(QLatin1String("PRIMARY or UNIQUE KEY"), Qt::CaseInsensitive);
}

SharedRead::SharedRead(const QSqlDatabase& db)
    : m_db(db) {
    // A connection known to be lost is left to the reads themselves, which open it again.
    if (!m_db.isOpen() || (isMain(m_db) && mainState().lost)) return;
    m_started = m_db.transaction();
}

SharedRead::~SharedRead() {
    // A read that met a lost connection has reopened it: there is nothing of ours left to end.
    if (m_started && m_db.isOpen() && !m_db.commit()) m_db.rollback();
}

QSqlDatabase openNamedConnection(const QString& connectionName, const QString& database, QString* errorText,
                                 const QString& userName) {
    QSqlDatabase db = connectionNamed(connectionName);
    releaseReads(db);
    db.close();
    applyFixedParameters(db, userName);
    db.setDatabaseName(database);
    if (!db.open() && errorText) *errorText = db.lastError().text();
    return db;
}

} // namespace core
