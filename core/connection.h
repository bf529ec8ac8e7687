#pragma once

#include "core/appvalues.h"

#include <QSqlDatabase>
#include <QString>

class QWidget;

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

// The message shown when the database cannot be opened at start-up: where it was looked for and
// the database's own reason (without the driver's generic sentence).
QString openFailureMessage(const ConnectionTarget& target, const QString& reason);

// A lost connection (the server restarted, the network went away) leaves every statement
// failing. The first failure that finds the connection gone tells the user, once per outage; the
// next action opens it again with the values it was first opened with, so a record still on
// screen can be saved again.
//
// Before an action on `db`: when it is the main connection and it was found lost, reopens it.
// False while it cannot be reopened (the user has been told already).
bool ensureConnection(const QSqlDatabase& db);
// After a statement on `db` failed: true when the connection itself is gone (checked with a
// statement that cannot fail otherwise), false when only the statement was refused. A main
// connection found gone is marked lost and the user told (once).
bool noteConnectionFailure(const QSqlDatabase& db, QWidget* parent = nullptr);
bool mainConnectionLost();
// Where the main connection was last opened (its mode tells whether this workstation sees the
// database's disk).
ConnectionTarget mainConnectionTarget();
// The last attempt to open the main connection failed (the start-up has said why).
bool mainConnectionFailedToOpen();
QString lostConnectionMessage();

// A statement met a row another workstation's transaction had locked or changed. Transactions wait
// for such a lock; once the other commits, the row cannot be taken in the snapshot read before, and
// the work is done again in a fresh transaction (at most kLockAttempts times) so that its checks
// see what the other desk wrote.
bool isLockConflict(const QString& errorText);
// The database refused a row whose key another row holds (a number another desk took first).
bool isKeyViolation(const QString& errorText);
inline constexpr int kLockAttempts = 5;

// Reads that belong together (what a window shows when it opens) share one transaction instead of
// one each: over a network every transaction costs a start and a commit on top of its statements.
// Started only when no transaction is open on `db`; committed when the guard goes, so the snapshot
// is held just for the reads. Only for statements read whole inside the guard's scope: no write,
// and no query kept to be read later (its transaction would be gone).
class SharedRead {
public:
    explicit SharedRead(const QSqlDatabase& db);
    ~SharedRead();
    SharedRead(const SharedRead&) = delete;
    SharedRead& operator=(const SharedRead&) = delete;

private:
    QSqlDatabase m_db;
    bool m_started = false;
};

// Opens another named connection on a database (tests, tools, a second workstation).
QSqlDatabase openNamedConnection(const QString& connectionName, const QString& database, QString* errorText,
                                 const QString& userName = QString::fromLatin1(kDbaUser));

} // namespace core
