#include "core/users.h"

#include "core/readquery.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace core {

namespace {

template <typename Query> bool failed(const Query& q, const QSqlDatabase& db, QString* error) {
    if (error) {
        QString text = q.lastError().text();
        // A connection that went away leaves the statement's own text empty.
        if (text.trimmed().isEmpty()) text = db.lastError().text();
        *error = text;
    }
    return false;
}

template <typename Query>
bool run(Query& q, const QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error) {
    q.setForwardOnly(true);
    if (!q.prepare(sql)) return failed(q, db, error);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) return failed(q, db, error);
    return true;
}

// Running numbers are text; they are ordered as numbers, as they were given.
bool byRunningNumber(const QPair<QString, QString>& a, const QPair<QString, QString>& b) {
    if (a.first.size() != b.first.size()) return a.first.size() < b.first.size();
    return a.first < b.first;
}

bool readGrants(const QSqlDatabase& db, const QString& code, QList<QPair<QString, QString>>* grants,
                QString* error) {
    QSqlQuery q(db);
    if (!run(q, db, QStringLiteral("SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO=?"), {code},
             error))
        return false;
    while (q.next())
        grants->append({q.value(0).toString(), q.value(1).toString()});
    std::sort(grants->begin(), grants->end(), byRunningNumber);
    return true;
}

} // namespace

bool findUser(const QSqlDatabase& db, const QString& code, UserRecord* user, bool* found, QString* error) {
    QSqlQuery q(db);
    // The cast keeps a typed code longer than the column from being refused as too long: it is
    // compared as typed and, like any code that no user has, finds nothing.
    if (!run(q, db,
             QStringLiteral("SELECT COD_USUARIO, USUARIO, SENHA, CPF, PROTOCOLISTA FROM USUARIOS "
                            "WHERE COD_USUARIO=CAST(? AS VARCHAR(100))"),
             {code}, error))
        return false;
    *found = q.next();
    if (user) {
        *user = UserRecord();
        if (*found)
            *user = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                     q.value(3).toString(), q.value(4).toString()};
    }
    return true;
}

bool findUserNamingSession(const QSqlDatabase& db, const QString& code, UserRecord* user, bool* found,
                           QString* error) {
    // Read through the kept statement: at the login, over a network, every round trip shows.
    ReadQuery q(db);
    if (!run(q, db,
             QStringLiteral(
                 "SELECT COD_USUARIO, USUARIO, SENHA, CPF, PROTOCOLISTA, RDB$SET_CONTEXT('USER_SESSION', "
                 "'PROTOCOLO_USUARIO', COD_USUARIO) FROM USUARIOS WHERE COD_USUARIO=CAST(? AS "
                 "VARCHAR(100))"),
             {code}, error))
        return false;
    *found = q.next();
    if (!*found && q.lastError().isValid()) return failed(q, db, error);
    *user = UserRecord();
    if (*found)
        *user = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                 q.value(4).toString()};
    return true;
}

bool userRights(const QSqlDatabase& db, const QString& code, QStringList* titles, QString* error) {
    titles->clear();
    // One statement: the user's existence and his grants are read together (the menu asks this
    // at every activation of the main window, over the network). The cast keeps a code longer
    // than the column finding nothing, as in findUser().
    ReadQuery q(db);
    if (!run(q, db,
             QStringLiteral(
                 "SELECT A.ACESSO, A.TITULO FROM USUARIOS_ACESSOS A WHERE A.COD_USUARIO = CAST(? AS "
                 "VARCHAR(100)) AND EXISTS (SELECT 1 FROM USUARIOS U WHERE U.COD_USUARIO = "
                 "A.COD_USUARIO)"),
             {code}, error))
        return false;
    QList<QPair<QString, QString>> grants;
    while (q.next())
        grants.append({q.value(0).toString(), q.value(1).toString()});
    if (q.lastError().isValid()) return failed(q, db, error);
    std::sort(grants.begin(), grants.end(), byRunningNumber);
    for (const auto& g : std::as_const(grants))
        titles->append(g.second);
    return true;
}

bool readUserSnapshot(const QSqlDatabase& db, const QString& code, UserSnapshot* snapshot, QString* error,
                      bool lock) {
    *snapshot = UserSnapshot();
    if (lock) {
        // Writing the row unchanged takes its lock: a save of the same user on another
        // workstation waits for this transaction to end and is then refused.
        QSqlQuery hold(db);
        if (!run(hold, db,
                 QStringLiteral("UPDATE USUARIOS SET COD_USUARIO = COD_USUARIO WHERE COD_USUARIO=?"), {code},
                 error))
            return false;
    }
    QSqlQuery q(db);
    if (!run(
            q, db,
            QStringLiteral("SELECT USUARIO, SENHA, CONFIRMACAO, CPF, PROTOCOLISTA, IDTITULAR, IDUNIDADE FROM "
                           "USUARIOS WHERE COD_USUARIO=?"),
            {code}, error))
        return false;
    if (q.next()) {
        snapshot->exists = true;
        for (int i = 0; i < 7; ++i)
            snapshot->row << q.value(i);
    }
    QList<QPair<QString, QString>> grants;
    if (!readGrants(db, code, &grants, error)) return false;
    for (const auto& g : std::as_const(grants))
        snapshot->grants << g.first + QLatin1Char('=') + g.second;
    return true;
}

bool replaceGrants(const QSqlDatabase& db, const QString& code, const QStringList& titles, QString* error) {
    QSqlQuery remove(db);
    if (!run(remove, db, QStringLiteral("DELETE FROM USUARIOS_ACESSOS WHERE COD_USUARIO=?"), {code}, error))
        return false;
    QSqlQuery insert(db);
    if (!insert.prepare(
            QStringLiteral("INSERT INTO USUARIOS_ACESSOS (ACESSO, COD_USUARIO, TITULO) VALUES (?, ?, ?)")))
        return failed(insert, db, error);
    int counter = 0;
    for (const QString& title : titles) {
        insert.bindValue(0, QString::number(++counter));
        insert.bindValue(1, code);
        insert.bindValue(2, title);
        if (!insert.exec()) return failed(insert, db, error);
    }
    return true;
}

bool lockHolders(const QSqlDatabase& db, const QString& title, QString* error) {
    QSqlQuery q(db);
    if (!run(q, db,
             QStringLiteral(
                 "SELECT U.COD_USUARIO FROM USUARIOS U WHERE EXISTS (SELECT 1 FROM USUARIOS_ACESSOS A "
                 "WHERE A.COD_USUARIO = U.COD_USUARIO AND A.TITULO = ?) ORDER BY U.COD_USUARIO WITH LOCK"),
             {title}, error))
        return false;
    // Each row is locked as it is fetched.
    while (q.next()) {
    }
    if (q.lastError().isValid()) return failed(q, db, error);
    return true;
}

bool countHolders(const QSqlDatabase& db, const QString& title, int* count, QString* error) {
    QSqlQuery q(db);
    if (!run(q, db,
             QStringLiteral("SELECT COUNT(*) FROM USUARIOS U WHERE EXISTS (SELECT 1 FROM USUARIOS_ACESSOS A "
                            "WHERE A.COD_USUARIO = U.COD_USUARIO AND A.TITULO = ?)"),
             {title}, error))
        return false;
    *count = q.next() ? q.value(0).toInt() : 0;
    return true;
}

} // namespace core
