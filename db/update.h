#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace db {

// The 25 statements that bring a database of an earlier version up to the current schema, in
// the order they run. One the database refuses (a column that exists, an index that does not) is
// skipped, so the list can run any number of times. Each runs in a transaction of its own, except
// the pairs that drop something and build it again (the process key, 13 and 14, and each of the
// four indices, 18 to 25): a pair is one transaction, kept only when the building is accepted, so
// a stop between the two (a killed program, a power cut) or a refused building leaves the old
// key or index in place instead of none.
QStringList updateStatements();

// The first statement of the pair that statement n (1-based) ends, or 0 when n ends no pair.
int pairStartingBefore(int n);

// What the update did about the process key, the one change that can fail for a reason the
// user must fix.
struct UpdateOutcome {
    bool complete = true;        // PROCESSOS ends keyed on (IDPROCESSO, ANO)
    QString problem;             // why it is not, in words for the user (empty when complete)
    int yearsFilled = 0;         // processes whose missing year was taken from their date
    QString serverText;          // the database's own words for the refused key
    QList<int> refused;          // numbers (1 to 25) of the statements the database refused
    QStringList tablesCreated;   // tables of the schema the database lacked after the 25
    QStringList indicesCreated;  // indices of the schema the database lacked after the 25
    QStringList indicesRebuilt;  // indices whose name it held with other columns or direction
    QStringList routinesCreated; // procedures and triggers of the schema the database lacked
    bool latestFilled = false;   // ULTIMA_TRAMITACAO was written again from every movement
    bool secretCreated = false;  // the look-up secret (CONSULTA_SEGREDO) was written at random
    QStringList missing;         // parts of the schema the catalogue lacks afterwards (for the user)
    QString backupFile;          // the copy taken before the update, where this workstation sees it
};

// Checkpoints of updateDatabase after the 25 statements (afterStep numbers).
enum UpdateCheckpoint { kAfterTables = 26, kAfterRoutines = 27, kAfterLatest = 28, kAfterIndices = 29 };

// Runs the 25 statements on the connection (outside any transaction of the caller), calling
// beforeStatement(n) with n = 1..25 before each, and afterStep(n) once statement n has run (inside
// the transaction of its pair when it opens one) and at each UpdateCheckpoint. Before statement 12 makes
// PROCESSOS.ANO not null, processes without a year get the year of their date and old movements without a
// year get their process's. When statement 13 drops the key and statement 14 cannot build the new one, the
// pair's transaction is rolled back and the old key stays. Afterwards every table, procedure and trigger and
// then every index of the schema that the database lacks is created, an index held under a schema name with
// another definition is built again, and the catalogue is read once more: the outcome is complete only when
// every part of the schema is there.
UpdateOutcome updateDatabase(QSqlDatabase& connection, const std::function<void(int)>& beforeStatement = {},
                             const std::function<void(int)>& afterStep = {});

// What the catalogue (RDB$ tables) lacks of schema.sql, one line per part in words for the user:
// a table, a column, a table's primary key, an index (missing, inactive or of another shape), a
// procedure, a trigger (missing or inactive). Empty when everything is there.
QStringList missingSchemaParts(QSqlDatabase& connection);

// The final message of the update for an outcome.
QString updateMessage(const UpdateOutcome& outcome);

// Size of the database in bytes (pages times page size, as the engine counts it).
qint64 databaseBytes(QSqlDatabase& connection);

// Free space the update asks for on the disk of a database of that size: the copy taken first
// (a backup holds the rows without index pages and free pages, so never more than the database)
// plus the growth of the update itself (new record versions of the processes whose year is
// filled, the key and up to some forty indices built again, the table of latest movements), which
// stays under the database's size, plus a fixed margin for the engine's own pages.
qint64 requiredFreeBytes(qint64 databaseBytes);
inline constexpr qint64 kFreeSpaceMargin = 16 * 1024 * 1024;

// The refusal when the disk has less than that.
QString notEnoughSpaceMessage(const QString& folder, qint64 freeBytes, qint64 requiredBytes);

// Takes a backup of a database through the engine's service manager (the gbak of the engine
// itself, which reads the database as one consistent transaction while it is open), written by
// the engine to backupFile. serviceManager is "service_mgr" for the embedded engine or
// "host:service_mgr" (host as in the database location) for a server; database and backupFile are
// paths as the engine sees them. False with the engine's words in errorText.
bool backupDatabase(const QString& serviceManager, const QString& database, const QString& backupFile,
                    const QString& userName, const QString& password, QString* errorText);

// Creates every index of schema.sql whose name the database does not hold yet; returns the names
// created. An index whose name it holds on other columns, in another order or direction (or
// uniqueness) is dropped and built as the schema has it, its name added to `rebuilt`. A refused
// creation is reported in errorText (the others still run).
QStringList createMissingIndices(QSqlDatabase& connection, QString* errorText = nullptr,
                                 QStringList* rebuilt = nullptr);

// Creates every table of schema.sql whose name the database does not hold yet; returns the names
// created. A refused creation is reported in errorText (the others still run).
QStringList createMissingTables(QSqlDatabase& connection, QString* errorText = nullptr);

// Creates every stored procedure, then every trigger, of schema.sql whose name the database does
// not hold yet; returns the names created. A refused creation is reported in errorText.
QStringList createMissingRoutines(QSqlDatabase& connection, QString* errorText = nullptr);

// Writes ULTIMA_TRAMITACAO again from all the movements in one statement (one pass over
// TRAMITACAO and a sort, not a look-up per process). The update runs it when the table or its
// triggers are new, since the movements recorded before them are not in it.
bool fillLatestMovements(QSqlDatabase& connection, QString* errorText = nullptr);

// The key columns of a table's primary key, in key order (empty when it has none).
QStringList primaryKeyColumns(QSqlDatabase& connection, const QString& table);

} // namespace db
