#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>
#include <memory>

class QFile;

namespace reports {

// Rows handed to a report a batch at a time, already in the order it prints them, so the first
// page is laid out from the first rows while the rest is still on the server.
class RowReader {
public:
    virtual ~RowReader() = default;
    virtual QStringList columns() const = 0;
    // Appends about `count` more rows (more when rows that must stay together need it; none at
    // the end). False with the reason when reading fails.
    virtual bool read(int count, QVector<QVector<QVariant>>& rows, QString* errorText) = 0;
    virtual bool atEnd() const = 0;
};

// The rows a report prints, with the column names the query gave them: either every row of a
// query read at once (reports then order them in memory, so the query needs no ORDER BY), or
// rows pulled from a RowReader as the pages are laid out. Pulled rows that were laid out long
// ago are moved to a temporary file in blocks and read back when a page needs them again, so a
// long listing keeps a bounded number of rows in memory.
class ReportData {
public:
    ReportData();
    ~ReportData();
    ReportData(const ReportData&) = delete;
    ReportData& operator=(const ReportData&) = delete;

    // Reads every row of the query on the main connection. Values are bound by name
    // (":UM" in the text, "UM" or ":UM" in the map). False with the driver's text on failure.
    bool load(const QString& sql, const QVariantMap& params = {}, QString* errorText = nullptr);
    bool load(const QSqlDatabase& connection, const QString& sql, const QVariantMap& params,
              QString* errorText);

    // Rows built in code (computed reports, tests).
    void setColumns(const QStringList& names);
    void addRow(const QVariantList& values);
    void clear();

    // Rows from now on come from the reader, read as they are needed (readMore, ensureRow).
    void setReader(std::unique_ptr<RowReader> reader);
    // True once every row is read (always for loaded and built rows) or reading failed.
    bool complete() const { return !m_reader; }
    // Reads about `count` more rows. False when reading failed (errorText() says why).
    bool readMore(int count);
    // Reads until the row exists or the rows are complete. False when it does not exist.
    bool ensureRow(int row);
    // Why reading failed; empty while it has not.
    QString errorText() const { return m_error; }
    // Rows in memory at most while pulling from a reader (tests set a small one).
    void setResidentRows(int rows);

    // The rows read so far (every row once complete()).
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
    using Row = QVector<QVariant>;
    const Row* rowAt(int row) const;
    void spillOldBlocks();
    void keepResidentLimit(int keep) const;
    bool writeBlock(int block) const;
    bool loadBlock(int block) const;

    QStringList m_columns;
    QHash<QString, int> m_index;
    // A row moved to the spill file is an empty vector here until its block is read back.
    mutable QVector<Row> m_rows;
    std::unique_ptr<RowReader> m_reader;
    QString m_error;
    int m_residentRows = 8192;
    // Spill file: one record per block of kBlockRows rows, written once when the block fills.
    mutable std::unique_ptr<QFile> m_spill;
    mutable QVector<qint64> m_blockOffsets; // where each written block begins, -1: not yet
    mutable QVector<int> m_resident;        // blocks in memory, the most recently used last
};

// A value as a report prints it: dates dd/MM/yyyy, times hh:mm:ss, text blobs as text, empty
// for a null.
QString displayText(const QVariant& value);

} // namespace reports
