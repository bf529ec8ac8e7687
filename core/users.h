#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

// The reads and writes on users and their access rights that several windows share (login,
// main menu, users form, routing). Each takes the connection to work on and reports a failure
// with the database's own text.
namespace core {

// The menu entry whose right lets a user manage users and rights: somebody must always keep it.
inline QString userManagementTitle() {
    return QStringLiteral("Usuários...");
}

// A user as the login shows him; the password as stored (shifted).
struct UserRecord {
    QString code;
    QString name;
    QString storedPassword;
    QString cpf;
    QString protocolist;
};

// The user of a code. `found` tells whether one exists; false (with the error) when the read failed.
// A code longer than the column finds nobody instead of failing.
bool findUser(const QSqlDatabase& db, const QString& code, UserRecord* user, bool* found, QString* error);

// findUser() for the login window, which also names the user found in the audit context of the
// connection (what the trail writes as the author of every change made through it): the sign-in
// then needs no statement of its own. Nothing can be written while the login window is up, and
// "Entrar" accepts only the code that was looked up last, so the name left in the context is the
// user who signs in.
bool findUserNamingSession(const QSqlDatabase& db, const QString& code, UserRecord* user, bool* found,
                           QString* error);

// The titles granted to a user in the order of their running numbers; none for a code that no
// user has (grant rows left behind by a removed user give no rights).
bool userRights(const QSqlDatabase& db, const QString& code, QStringList* titles, QString* error);

// What a form showed of a user: his row and his grants, as read. Two snapshots differ when anyone
// changed the user or his rights in between.
struct UserSnapshot {
    bool exists = false;
    QVariantList row;   // USUARIO, SENHA, CONFIRMACAO, CPF, PROTOCOLISTA, IDTITULAR, IDUNIDADE
    QStringList grants; // "ACESSO=TITULO", by running number
    bool operator==(const UserSnapshot& other) const {
        return exists == other.exists && row == other.row && grants == other.grants;
    }
    bool operator!=(const UserSnapshot& other) const { return !(*this == other); }
};

// Reads the snapshot. With `lock`, inside a transaction, the user row is locked first, so that
// no other workstation can change him until that transaction ends.
bool readUserSnapshot(const QSqlDatabase& db, const QString& code, UserSnapshot* snapshot, QString* error,
                      bool lock = false);

// Writes a user's rights as a whole: every grant row of the user goes, then the titles are
// inserted numbered 1, 2, 3... in the order given. Runs in the caller's transaction.
bool replaceGrants(const QSqlDatabase& db, const QString& code, const QStringList& titles, QString* error);

// Locks, until the transaction ends, every existing user who holds a title (in the order of their
// codes, so two administrators wait for each other instead of crossing): a save that takes the
// title away from somebody, or deletes him, counts the holders after this, and a second desk doing
// the same meanwhile waits and then counts what the first one left.
bool lockHolders(const QSqlDatabase& db, const QString& title, QString* error);

// How many existing users hold a title.
bool countHolders(const QSqlDatabase& db, const QString& title, int* count, QString* error);

} // namespace core
