#include "db/database.h"

#include "core/connection.h"
#include "core/menutree.h"
#include "core/publiclookup.h"
#include "core/readquery.h"
#include "core/routines.h"
#include "db/update.h"
#include "schema_sql.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <ibase.h>

namespace db {

QStringList schemaStatements() {
    return splitStatements(QString::fromUtf8(kSchemaSql));
}

QStringList splitStatements(const QString& script) {
    // Procedure and trigger bodies end their own statements with ";": a "SET TERM x ;" line
    // (as isql reads it) makes x the end of a statement until "SET TERM ; x" puts ";" back.
    static const QRegularExpression setTerm(QStringLiteral("^SET\\s+TERM\\s+(\\S+)\\s*(\\S+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QStringList statements;
    QString current;
    QString terminator = QStringLiteral(";");
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--"))) continue;
        if (current.isEmpty()) {
            const QRegularExpressionMatch m = setTerm.match(line);
            if (m.hasMatch() && m.captured(2) == terminator) {
                terminator = m.captured(1);
                continue;
            }
        }
        current += (current.isEmpty() ? QString() : QStringLiteral("\n")) + raw;
        if (line.endsWith(terminator)) {
            current = current.trimmed();
            current.chop(terminator.size());
            statements << current;
            current.clear();
        }
    }
    return statements;
}

static QString catalogueName(const QString& captured) {
    // The catalogue keeps unquoted names in upper case and quoted ones as written.
    return captured.startsWith(QLatin1Char('"')) ? captured.mid(1, captured.size() - 2) : captured.toUpper();
}

static QString tableName(const QString& statement) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*CREATE\\s+TABLE\\s+(\"[^\"]+\"|[A-Za-z0-9_$]+)\\s*\\("),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(statement);
    return m.hasMatch() ? catalogueName(m.captured(1)) : QString();
}

static QString indexName(const QString& statement) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*CREATE\\s+(?:UNIQUE\\s+)?(?:(?:ASC|ASCENDING|DESC|DESCENDING)\\s+)?INDEX\\s+"
                       "(\"[^\"]+\"|[A-Za-z0-9_$]+)\\s+ON\\s"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(statement);
    if (!m.hasMatch()) return QString();
    return catalogueName(m.captured(1));
}

static QString routineName(const QString& statement, const QString& kind) {
    const QRegularExpression pattern(
        QStringLiteral("^\\s*CREATE\\s+(?:OR\\s+ALTER\\s+)?%1\\s+(\"[^\"]+\"|[A-Za-z0-9_$]+)").arg(kind),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(statement);
    return m.hasMatch() ? catalogueName(m.captured(1)) : QString();
}

static QList<SchemaObject> schemaRoutines(const QString& kind) {
    QList<SchemaObject> routines;
    for (const QString& statement : schemaStatements()) {
        const QString name = routineName(statement, kind);
        if (!name.isEmpty()) routines.append({name, statement});
    }
    return routines;
}

QList<SchemaObject> schemaProcedures() {
    return schemaRoutines(QStringLiteral("PROCEDURE"));
}

QList<SchemaObject> schemaTriggers() {
    return schemaRoutines(QStringLiteral("TRIGGER"));
}

QList<SchemaObject> schemaExceptions() {
    return schemaRoutines(QStringLiteral("EXCEPTION"));
}

QList<SchemaObject> schemaTables() {
    QList<SchemaObject> tables;
    for (const QString& statement : schemaStatements()) {
        const QString name = tableName(statement);
        if (!name.isEmpty()) tables.append({name, statement});
    }
    return tables;
}

QList<SchemaIndex> schemaIndices() {
    QList<SchemaIndex> indices;
    for (const QString& statement : schemaStatements()) {
        const QString name = indexName(statement);
        if (!name.isEmpty()) indices.append({name, statement});
    }
    return indices;
}

static bool isLocalPath(const QString& location) {
    // "host:/path" and "host/port:/path" name a server; "/path" and "C:\path" a file.
    const int colon = location.indexOf(QLatin1Char(':'));
    return colon < 0 || colon == 1;
}

bool createEmptyDatabase(const QString& location, QString* errorText, bool* created) {
    if (created) *created = false;
    if (isLocalPath(location) && QFileInfo::exists(location)) {
        if (errorText)
            *errorText = QStringLiteral("O arquivo %1 já existe; nada foi alterado.").arg(location);
        return false;
    }
    QString escaped = location;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    const QByteArray sql =
        QStringLiteral("CREATE DATABASE '%1' USER '%2' PASSWORD '%3' PAGE_SIZE 8192 "
                       "DEFAULT CHARACTER SET WIN1252")
            .arg(escaped, QStringLiteral("SYSDBA"), QString::fromLatin1(core::kDbaPassword))
            .toUtf8();
    ISC_STATUS_ARRAY status{};
    isc_db_handle handle = 0;
    isc_tr_handle transaction = 0;
    if (isc_dsql_execute_immediate(status, &handle, &transaction, 0, sql.constData(), 3, nullptr)) {
        if (errorText) *errorText = core::firebirdStatusText(status);
        return false;
    }
    isc_detach_database(status, &handle);
    if (created) *created = true;
    return true;
}

bool createDatabase(const QString& location, QString* errorText, bool* created) {
    if (!createEmptyDatabase(location, errorText, created)) return false;

    const QString name =
        QStringLiteral("protocolo-create-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = true;
    {
        QString openError;
        QSqlDatabase conn = core::openNamedConnection(name, location, &openError);
        if (!conn.isOpen()) {
            ok = false;
            if (errorText) *errorText = openError;
        }
        for (const QString& statement : schemaStatements()) {
            if (!ok) break;
            if (!indexName(statement).isEmpty()) continue; // built below, as an update builds them
            QSqlQuery q(conn);
            if (!q.exec(statement)) {
                ok = false;
                if (errorText) *errorText = q.lastError().text() + QStringLiteral("\n") + statement;
            }
        }
        if (ok) {
            QString indexError;
            createMissingIndices(conn, &indexError);
            if (!indexError.isEmpty()) {
                ok = false;
                if (errorText) *errorText = indexError;
            }
        }
        // Every installation gets its own secret for the verification codes of its receipts.
        if (ok) {
            QString secretError;
            if (!core::consulta::ensureSecret(conn, &secretError)) {
                ok = false;
                if (errorText) *errorText = secretError;
            }
        }
        conn.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool dropDatabase(const QString& location, QString* errorText) {
    const QByteArray name = location.toUtf8();
    const QByteArray user = QByteArrayLiteral("SYSDBA");
    const QByteArray password = QByteArray(core::kDbaPassword);
    // Database parameter block: version, user name, password.
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    dpb.append(char(isc_dpb_user_name)).append(char(user.size())).append(user);
    dpb.append(char(isc_dpb_password)).append(char(password.size())).append(password);
    ISC_STATUS_ARRAY status{};
    isc_db_handle handle = 0;
    bool ok =
        !isc_attach_database(status, 0, name.constData(), &handle, short(dpb.size()), dpb.constData()) &&
        !isc_drop_database(status, &handle);
    if (!ok && errorText) *errorText = core::firebirdStatusText(status);
    if (!ok && handle) isc_detach_database(status, &handle);
    // A file too damaged to attach to is removed as a file.
    if (!ok && isLocalPath(location) && QFile::remove(location)) ok = true;
    return ok || (isLocalPath(location) && !QFileInfo::exists(location));
}

static bool exec(QSqlQuery& q, QString* errorText) {
    if (q.exec()) return true;
    if (errorText) *errorText = q.lastError().text();
    return false;
}

QString firstUserPasswordProblem(const QString& password) {
    if (password.size() > 10 || !routines::fitsWin1252(routines::scrambleUp(password)))
        return QStringLiteral("A senha deve ter até 10 caracteres digitáveis no teclado.");
    return QString();
}

bool addFirstUser(QSqlDatabase& connection, const QString& password, QString* errorText) {
    const QString code = QStringLiteral("00000001");
    const QString scrambled = routines::scrambleUp(password);
    const QString problem = firstUserPasswordProblem(password);
    if (!problem.isEmpty()) {
        if (errorText) *errorText = problem;
        return false;
    }
    if (!connection.transaction()) {
        if (errorText) *errorText = connection.lastError().text();
        return false;
    }
    QSqlQuery q(connection);
    q.prepare(
        QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, SENHA, CONFIRMACAO, CPF, PROTOCOLISTA) "
                       "VALUES (?, ?, ?, ?, ?, ?)"));
    q.addBindValue(code);
    q.addBindValue(QStringLiteral("ADMINISTRADOR"));
    q.addBindValue(scrambled);
    q.addBindValue(scrambled);
    q.addBindValue(QString());
    q.addBindValue(QStringLiteral("SIM"));
    bool ok = exec(q, errorText);
    int n = 0;
    for (const QString& title : core::grantableTitles()) {
        if (!ok) break;
        QSqlQuery g(connection);
        g.prepare(
            QStringLiteral("INSERT INTO USUARIOS_ACESSOS (ACESSO, COD_USUARIO, TITULO) VALUES (?, ?, ?)"));
        g.addBindValue(QString::number(++n));
        g.addBindValue(code);
        g.addBindValue(title);
        ok = exec(g, errorText);
    }
    if (ok)
        ok = connection.commit();
    else
        connection.rollback();
    return ok;
}

} // namespace db
