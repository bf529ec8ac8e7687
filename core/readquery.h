#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <ibase.h>
#include <memory>

namespace core {

// The Firebird attachment behind a QIBASE connection; false on any other driver.
bool firebirdAttachment(const QSqlDatabase& db, isc_db_handle* handle);
// The text of a Firebird status vector, its messages joined by spaces.
QString firebirdStatusText(const ISC_STATUS* status);

// A read standing on its own, run through the Firebird client library on the connection's own
// attachment. Over a network every exchange with the server is a round trip: Qt's driver starts a
// transaction, prepares, fetches and commits for each read (4 round trips), where the server needs
// only the fetch. Here each connection keeps one read-only, read-committed transaction open (the
// server does not hold back its garbage collection for such a transaction) and every statement is
// prepared once and kept, so a read costs the round trip of its first fetch.
//
// It reads what other transactions have committed, not the writes of a transaction the program has
// open on the connection: a read inside such a transaction goes through QSqlQuery.
//
// The same forward-only subset of QSqlQuery: prepare, bind positional values, exec, next, value.
// Rows are fetched as next() asks for them, so a long list can be read in slices; the statement
// goes back to the connection's pool when the query is destroyed or run again.
class ReadQuery {
public:
    // Committed: each run sees what is committed when it starts, through the connection's kept
    // transaction. Snapshot: a list read over many turns of the event loop sees the database as it
    // was when the read started, in a read-only snapshot of its own (one round trip to start it and
    // one to end it): read committed, a row changed meanwhile could be met twice or not at all.
    enum class Consistency { Committed, Snapshot };

    explicit ReadQuery(const QSqlDatabase& db, Consistency consistency = Consistency::Committed);
    ~ReadQuery();
    ReadQuery(const ReadQuery&) = delete;
    ReadQuery& operator=(const ReadQuery&) = delete;

    bool prepare(const QString& sql);
    void addBindValue(const QVariant& value);
    void bindValue(int position, const QVariant& value);
    // A named placeholder (":P_ANO"): every place the statement names it gets the value.
    void bindValue(const QString& placeholder, const QVariant& value);
    bool exec();
    bool exec(const QString& sql);
    bool next();
    QVariant value(int column) const;
    bool isNull(int column) const;
    int columnCount() const;
    bool isActive() const;
    void finish();
    QSqlError lastError() const { return m_error; }
    // For code written for QSqlQuery: a kept query is always forward only.
    void setForwardOnly(bool) {}

private:
    struct Cursor;
    bool fail(const ISC_STATUS* status, const QString& what);
    // The steps of exec() on the cursor: the statement prepared and described, the values laid
    // out in its input, and a row fetched (0; 100 at the end, the cursor closed; else a failure).
    bool prepareStatement(ISC_STATUS* status);
    bool bindInput();
    ISC_STATUS fetchRow(ISC_STATUS* status);
    // The current row's column, as Qt's driver gives it; false when a blob cannot be read.
    bool readColumn(int column, QVariant* value);
    QSqlDatabase m_db;
    Consistency m_consistency;
    QString m_sql;                          // as the server gets it: named placeholders made positional
    QHash<QString, QList<int>> m_positions; // each named placeholder's positions (upper case)
    QVector<QVariant> m_values;
    std::unique_ptr<Cursor> m_cursor;
    QSqlError m_error;
};

// Ends the connection's kept transaction and frees its kept statements: before the connection is
// closed (the server refuses to detach an attachment with a transaction open) and before the
// structure of the database is changed through it.
void releaseReads(const QSqlDatabase& db);

// How long a connection nobody reads through keeps its statements and transaction (60 s; tests
// shorten it). Takes effect for the main thread's connections, checked on a timer.
void setIdleRelease(int ms);

} // namespace core
