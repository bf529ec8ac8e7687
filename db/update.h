#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace db {

// The 25 statements that bring a database of an earlier version up to the current schema, in
// the order they run. Each is sent on its own; one the database refuses (a column that exists,
// an index that does not) is skipped, so the list can run any number of times.
QStringList updateStatements();

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
};

// Runs the 25 statements on the connection (outside any transaction of the caller), calling
// beforeStatement(n) with n = 1..25 before each. Before statement 12 makes PROCESSOS.ANO not
// null, processes without a year get the year of their date and old movements without a year
// get their process's. When statement 13 drops the key and statement 14 cannot build the new
// one, the old key is put back at once, so the table never stays without a key. Afterwards
// every table, procedure and trigger and then every index of the schema that the database lacks
// is created, and an index held under a schema name with another definition is built again.
UpdateOutcome updateDatabase(QSqlDatabase& connection, const std::function<void(int)>& beforeStatement = {});

// The final message of the update for an outcome.
QString updateMessage(const UpdateOutcome& outcome);

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
