#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

namespace reports {

// The rows a report prints: every row of its query, read once, with the column names the
// query gave them. Reports order the rows in memory, so the query itself needs no ORDER BY.
class ReportData {
public:
    // Reads every row of the query on the main connection. Values are bound by name
    // (":UM" in the text, "UM" or ":UM" in the map). False with the driver's text on failure.
    bool load(const QString& sql, const QVariantMap& params = {}, QString* errorText = nullptr);
    bool load(const QSqlDatabase& connection, const QString& sql, const QVariantMap& params,
              QString* errorText);

    // Rows built in code (computed reports, tests).
    void setColumns(const QStringList& names);
    void addRow(const QVariantList& values);
    void clear();

    int rowCount() const { return int(m_rows.size()); }
    int columnCount() const { return int(m_columns.size()); }
    const QStringList& columns() const { return m_columns; }
    // -1 when the report has no such column; names compare without regard to case.
    int columnIndex(const QString& name) const;
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& field) const;
    // The value as printed (see displayText).
    QString text(int row, const QString& field) const;

    // Orders the rows ascending by one column, keeping the read order among equal values.
    // Text is compared the way a Brazilian reader orders words, so "ÁGUA" sorts beside "AGUA".
    void sortBy(const QString& field);
    void sortByColumn(int column);

private:
    QStringList m_columns;
    QHash<QString, int> m_index;
    QVector<QVector<QVariant>> m_rows;
};

// A value as a report prints it: dates dd/MM/yyyy, times hh:mm:ss, text blobs as text, empty
// for a null.
QString displayText(const QVariant& value);

} // namespace reports
