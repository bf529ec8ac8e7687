#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace db {

// The statements of schema.sql, in order, without their final ";".
QStringList schemaStatements();

// Splits a script written like schema.sql (statements end with ";" at the end of a line, "--"
// lines are comments) into its statements, without their final ";". Between "SET TERM ^ ;" and
// "SET TERM ; ^" statements end with "^" instead, so procedure and trigger bodies keep theirs.
QStringList splitStatements(const QString& script);

// One CREATE TABLE or CREATE [UNIQUE] [ASCENDING | DESCENDING] INDEX statement of schema.sql,
// with the name the catalogue knows the object by.
struct SchemaObject {
    QString name;
    QString statement;
};
using SchemaIndex = SchemaObject;
// The indices of schema.sql, in order. The creation and the update both build them from here,
// so an index added to the schema reaches new and updated databases alike.
QList<SchemaIndex> schemaIndices();

// The tables of schema.sql, in order. The update creates the ones an older database lacks (tables
// that came after the 25 statements of its list), so a table added to the schema reaches updated
// databases as it reaches new ones.
QList<SchemaObject> schemaTables();

// The stored procedures and the triggers of schema.sql, in order. The update creates the ones an
// older database lacks, procedures first (the triggers call them).
QList<SchemaObject> schemaProcedures();
QList<SchemaObject> schemaTriggers();
// The exceptions of schema.sql (the triggers raise them), created before the procedures.
QList<SchemaObject> schemaExceptions();

// Creates a database with no tables (dialect 3, default character set WIN1252) at a file path
// or a server location. Refuses a local file that exists.
bool createEmptyDatabase(const QString& location, QString* errorText, bool* created = nullptr);

// Creates a new, empty database (dialect 3, default character set WIN1252) at a file path or a
// server location ("host/port:/path") and builds the schema. Refuses a local file that exists.
// `created` (when given) tells whether the new file came into being, so that a caller removes
// only what this call made and never a database that was already there.
bool createDatabase(const QString& location, QString* errorText, bool* created = nullptr);

// Removes a database this tool has just made (a file or a server location), so that a failed
// creation leaves nothing behind for the next run to stumble on. False with the reason.
bool dropDatabase(const QString& location, QString* errorText);

// Why the first user's password cannot be stored (empty when it can): the password column holds
// 10 characters of WIN1252 after the scramble.
QString firstUserPasswordProblem(const QString& password);

// The first user: code 00000001, protocolist, password scrambled, granted every window,
// report and utility entry of the menu.
bool addFirstUser(QSqlDatabase& connection, const QString& password, QString* errorText);

// A small believable data set for trying the program out (see README for the users): the
// registers, and two years of a small office's processes and movements up to `now`, so that the
// in-trays, the searches, the chart and the stopped-process listing have something to show.
bool addDemoData(QSqlDatabase& connection, QString* errorText,
                 const QDateTime& now = QDateTime::currentDateTime());

} // namespace db
