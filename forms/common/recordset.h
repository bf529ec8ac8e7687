#pragma once

#include "forms/common/rowsource.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>

namespace forms {

// One field of a record set.
struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int width = 0;         // characters, for text fields; 0 = no limit
    bool required = false; // posting refuses an empty value
    bool key = false;      // locates the row on update and delete
    bool joined = false;   // read through a join: shown and settable, never written to the table
    // Joined, but kept in a table of its own by whoever writes the record (the registry form's
    // side tables): a change to it alone still makes the record a pending change.
    bool side = false;
};

// Short declarations: {keyField("IDTIPO", 4), textField("TIPO", 100), joinedField("UNIDADE", 100)}.
inline FieldDef keyField(const QString& name, int width) {
    return {name, FieldType::Text, width, true, true, false};
}
inline FieldDef textField(const QString& name, int width) {
    return {name, FieldType::Text, width, false, false, false};
}
inline FieldDef joinedField(const QString& name, int width) {
    return {name, FieldType::Text, width, false, false, true};
}
inline FieldDef sideField(const QString& name, int width) {
    return {name, FieldType::Text, width, false, false, true, true};
}
inline FieldDef memoField(const QString& name) {
    return {name, FieldType::Memo, 0, false, false, false};
}
inline FieldDef blobField(const QString& name) {
    return {name, FieldType::Blob, 0, false, false, false};
}
inline FieldDef dateField(const QString& name) {
    return {name, FieldType::Date, 0, false, false, false};
}
inline FieldDef timeField(const QString& name) {
    return {name, FieldType::Time, 0, false, false, false};
}
inline FieldDef intField(const QString& name) {
    return {name, FieldType::Integer, 0, false, false, false};
}

// The client-side record set every window works on: it reads all rows of its query, lets the
// window append, alter and delete them in memory, and writes the pending changes back to one
// table in a single transaction. Rows are located for update and delete by the key fields only;
// joined fields are never written. Every value travels as a bound parameter.
class RecordSet : public RowSource {
    Q_OBJECT
public:
    enum class State { Closed, Browse, Insert, Edit };

    explicit RecordSet(QObject* parent = nullptr);
    ~RecordSet() override;

    // --- definition -------------------------------------------------------------------------
    // The connection to read and write through; the main connection unless told otherwise.
    void setConnectionName(const QString& name);
    QString connectionName() const { return m_connectionName; }
    QSqlDatabase database() const;
    // The SELECT; named parameters (:UM) take the values given with setParameter.
    void setQuery(const QString& sql) { m_sql = sql; }
    QString query() const { return m_sql; }
    void setParameter(const QString& name, const QVariant& value);
    void clearParameters() { m_params.clear(); }
    // Without fields, open() takes them from the query's columns (for lists that never write).
    void setFields(const QList<FieldDef>& fields);
    const QList<FieldDef>& fields() const { return m_fields; }
    const FieldDef* field(const QString& name) const;
    // The table that pending changes are written to.
    void setUpdateTable(const QString& table) { m_table = table; }
    QString updateTable() const { return m_table; }

    // --- reading ----------------------------------------------------------------------------
    // Reads every row; false with lastError() when the query fails.
    bool open();
    // Drops the rows, the order and every pending change.
    void close();
    bool reopen();
    bool isOpen() const { return m_state != State::Closed; }
    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Insert || m_state == State::Edit; }
    bool isEmpty() const { return m_rows.isEmpty(); }
    QString lastError() const { return m_lastError; }
    // The last open() or applyUpdates() failed because the connection was gone (the user has
    // been told; the pending changes are kept for the next try).
    bool connectionLost() const { return m_connectionLost; }

    // --- current record ---------------------------------------------------------------------
    bool first();
    bool last();
    bool next();
    bool prior();
    // Value of the current record (invalid when there is none).
    QVariant value(const QString& field) const;
    // The value as text: "" for null, dates dd/MM/yyyy, times hh:mm:ss.
    QString text(const QString& field) const;
    // Only while inserting or editing; runs the field's change handlers. Empty text is stored
    // as null. False (with lastError) in browse or for an unknown field.
    bool setValue(const QString& field, const QVariant& value);

    // --- changes ----------------------------------------------------------------------------
    // Appends an empty record at the end and enters insert; then the after-insert hooks run
    // (one of them may cancel the insertion: append then answers false).
    bool append();
    // Puts the current record into edit; false when there is none.
    bool edit();
    // Keeps the insert or alteration in memory as a pending change; false with lastError when
    // a required field is empty or a text is longer than its field.
    bool post();
    // Drops an unposted insertion or gives an altered record its previous values.
    void cancel();
    // Removes the current record; a row read from the database becomes a pending deletion.
    bool deleteCurrent();
    // Writes every pending change in one transaction: deletions, then alterations, then
    // insertions. Returns the number of errors (0 on success); on an error everything is rolled
    // back, the changes stay pending and lastError holds the database's text.
    int applyUpdates();
    // Several record sets of one connection in one transaction (a master with its detail rows):
    // deletions in reverse order of the list (details first), then alterations and insertions in
    // list order. Same result as applyUpdates; the error text goes to errorText.
    static int applyUpdates(const QList<RecordSet*>& sets, QString* errorText = nullptr);
    // A step run inside that transaction on its connection; false (with the error text) rolls
    // everything back. `before` runs ahead of the rows (a lock, a check that nobody changed what
    // was read), `after` behind them (rows written by other means, a check of the result).
    using TransactionStep = std::function<bool(const QSqlDatabase& db, QString* error)>;
    static int applyUpdates(const QList<RecordSet*>& sets, QString* errorText, const TransactionStep& before,
                            const TransactionStep& after);
    // Undoes every pending change: insertions vanish, alterations and deletions are reverted (the
    // last deleted record becomes current again).
    void cancelUpdates();
    bool hasPendingChanges() const;
    // Rows inserted or altered and not yet applied (a transaction step writes what belongs to
    // them elsewhere).
    QList<int> pendingRows() const;
    // The current record was never stored: an insertion being entered, or one posted whose
    // apply has not succeeded yet.
    bool currentIsNew() const;

    // --- hooks ------------------------------------------------------------------------------
    // Run after append, in the order added (the next code, default values).
    void addAfterInsert(std::function<void()> hook) { m_afterInsert << std::move(hook); }
    // Run after every setValue of the field, in the order added. A handler that sets its own
    // field again does not run itself again.
    void addFieldChange(const QString& field, std::function<void()> handler);

    // --- RowSource --------------------------------------------------------------------------
    int rowCount() const override { return m_rows.size(); }
    int fieldCount() const override { return m_fields.size(); }
    QString fieldName(int field) const override;
    int fieldIndex(const QString& name) const override;
    FieldType fieldType(int field) const override;
    int fieldWidth(int field) const override;
    QVariant valueAt(int row, int field) const override;
    int currentRow() const override { return m_current; }
    void setCurrentRow(int row) override;
    bool sortBy(const QString& field) override;
    QString sortField() const override { return m_sortField; }
    LocateResult locateNearest(const QString& key) override;

    // Orders values the way the in-memory sort does (nulls first).
    static int compareValues(const QVariant& a, const QVariant& b, FieldType type);
    // Converts a typed text to a field's type; invalid when it cannot be converted.
    static QVariant keyFromText(const QString& text, FieldType type);

signals:
    void stateChanged(forms::RecordSet::State state);
    // A field of the current record got a new value.
    void fieldChanged(const QString& field);
    // Another record became current, or the current one got all its values back (open,
    // cancel, undo): everything shown from it must be read again.
    void recordChanged();
    // Posting is about to read the values: bound widgets hand over what is still being typed.
    void aboutToPost();

private:
    enum class RowStatus { Unchanged, Inserted, Modified };
    struct Row {
        quint64 id = 0;
        quint64 loadOrder = 0;
        QVariantList values;
        QVariantList original;
        RowStatus status = RowStatus::Unchanged;
    };

    QVariant convert(const QVariant& value, FieldType type) const;
    void setState(State state);
    void moveTo(int row, bool force = false);
    void resort();
    int rowIndexOfId(quint64 id) const;
    bool writeRow(QSqlDatabase& db, const Row& row, char kind, QString* error) const;
    void acceptApplied();
    bool sameValues(const QVariantList& a, const QVariantList& b) const;

    QString m_connectionName;
    QString m_sql;
    QString m_table;
    QList<QPair<QString, QVariant>> m_params;
    QList<FieldDef> m_fields;
    bool m_fieldsFromQuery = false;
    QList<Row> m_rows;
    QList<Row> m_deleted;
    int m_current = -1;
    State m_state = State::Closed;
    QString m_sortField;
    QString m_lastError;
    bool m_connectionLost = false;
    quint64 m_nextId = 1;
    // Edit bookkeeping: the values before alteration, and whether the insertion is unposted.
    QVariantList m_savedValues;
    RowStatus m_savedStatus = RowStatus::Unchanged;
    bool m_insertUnposted = false;
    QList<std::function<void()>> m_afterInsert;
    QHash<QString, QList<std::function<void()>>> m_fieldHandlers; // upper-case field name
    QSet<int> m_handlersRunning;
};

} // namespace forms
