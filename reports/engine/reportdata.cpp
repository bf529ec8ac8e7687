#include "reports/engine/reportdata.h"

#include "core/collation.h"
#include "core/connection.h"

#include <QDataStream>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <QTime>
#include <algorithm>
#include <numeric>

namespace reports {

namespace {

QString failureText(const QSqlQuery& query) {
    const QString text = query.lastError().text().trimmed();
    return text.isEmpty() ? QStringLiteral("Não foi possível ler os dados do relatório.") : text;
}

// Rows moved to the spill file and read back together: a page needs a few dozen rows, so one
// block holds the rows of several pages and a page spans at most two blocks.
constexpr int kBlockRows = 512;

} // namespace

ReportData::ReportData() = default;
ReportData::~ReportData() = default;

bool ReportData::load(const QString& sql, const QVariantMap& params, QString* errorText) {
    return load(core::mainConnection(), sql, params, errorText);
}

bool ReportData::load(const QSqlDatabase& connection, const QString& sql, const QVariantMap& params,
                      QString* errorText) {
    clear();
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    if (ok) {
        for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
            const QString name =
                it.key().startsWith(QLatin1Char(':')) ? it.key() : QLatin1Char(':') + it.key();
            query.bindValue(name, it.value());
        }
        ok = query.exec();
    }
    if (!ok) {
        if (errorText) *errorText = failureText(query);
        return false;
    }
    const QSqlRecord record = query.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    setColumns(names);
    const int n = record.count();
    while (query.next()) {
        QVector<QVariant> row(n);
        for (int i = 0; i < n; ++i)
            row[i] = query.value(i);
        m_rows.append(std::move(row));
    }
    if (query.lastError().isValid()) {
        if (errorText) *errorText = failureText(query);
        clear();
        return false;
    }
    return true;
}

void ReportData::setColumns(const QStringList& names) {
    m_rows.clear();
    m_columns = names;
    m_index.clear();
    for (int i = 0; i < names.size(); ++i)
        m_index.insert(names.at(i).toUpper(), i);
}

void ReportData::addRow(const QVariantList& values) {
    QVector<QVariant> row(m_columns.size());
    for (int i = 0; i < row.size() && i < values.size(); ++i)
        row[i] = values.at(i);
    m_rows.append(std::move(row));
}

void ReportData::clear() {
    m_columns.clear();
    m_index.clear();
    m_rows.clear();
    m_reader.reset();
    m_error.clear();
    m_spill.reset();
    m_blockOffsets.clear();
    m_resident.clear();
}

void ReportData::setReader(std::unique_ptr<RowReader> reader) {
    clear();
    if (!reader) return;
    setColumns(reader->columns());
    if (!reader->atEnd()) m_reader = std::move(reader);
}

void ReportData::setResidentRows(int rows) {
    m_residentRows = std::max(2 * kBlockRows, rows);
}

bool ReportData::readMore(int count) {
    if (!m_reader) return m_error.isEmpty();
    QVector<Row> batch;
    QString error;
    const bool ok = m_reader->read(std::max(1, count), batch, &error);
    const int width = int(m_columns.size());
    for (Row& row : batch) {
        row.resize(width);
        m_rows.append(std::move(row));
    }
    if (!ok) {
        m_error = error.trimmed().isEmpty() ? QStringLiteral("Não foi possível ler os dados do relatório.")
                                            : error.trimmed();
        m_reader.reset();
        return false;
    }
    if (m_reader->atEnd()) m_reader.reset();
    spillOldBlocks();
    return true;
}

bool ReportData::ensureRow(int row) {
    while (row >= rowCount() && m_reader)
        if (!readMore(kBlockRows)) return false;
    return row >= 0 && row < rowCount();
}

// Blocks completed since the last call join the resident ones; the least recently read go to
// the spill file (written once: rows never change once read) and leave memory.
void ReportData::spillOldBlocks() {
    if (m_columns.isEmpty()) return;
    const int full = rowCount() / kBlockRows;
    for (int b = int(m_blockOffsets.size()); b < full; ++b) {
        m_blockOffsets.append(-1);
        m_resident.append(b);
    }
    keepResidentLimit(-1);
}

void ReportData::keepResidentLimit(int keep) const {
    const int limit = std::max(2, m_residentRows / kBlockRows);
    for (int i = 0; i < m_resident.size() && m_resident.size() > limit;) {
        const int b = m_resident.at(i);
        // The block just read back stays, and one that cannot be written stays in memory.
        if (b == keep || !writeBlock(b)) {
            ++i;
            continue;
        }
        m_resident.removeAt(i);
        for (int r = b * kBlockRows; r < (b + 1) * kBlockRows; ++r)
            m_rows[r] = Row();
    }
}

bool ReportData::writeBlock(int block) const {
    if (m_blockOffsets.at(block) >= 0) return true;
    if (!m_spill) {
        auto file = std::make_unique<QTemporaryFile>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("protocolo-relatorio-XXXXXX")));
        if (!file->open()) return false;
        m_spill = std::move(file);
    }
    const QVector<Row> rows(m_rows.begin() + block * kBlockRows, m_rows.begin() + (block + 1) * kBlockRows);
    const qint64 at = m_spill->size();
    if (!m_spill->seek(at)) return false;
    QDataStream out(m_spill.get());
    out << rows;
    if (out.status() != QDataStream::Ok) return false;
    m_blockOffsets[block] = at;
    return true;
}

bool ReportData::loadBlock(int block) const {
    if (!m_spill || block < 0 || block >= m_blockOffsets.size() || m_blockOffsets.at(block) < 0) return false;
    if (!m_spill->seek(m_blockOffsets.at(block))) return false;
    QDataStream in(m_spill.get());
    QVector<Row> rows;
    in >> rows;
    if (in.status() != QDataStream::Ok || rows.size() != kBlockRows) return false;
    for (int i = 0; i < kBlockRows; ++i)
        m_rows[block * kBlockRows + i] = std::move(rows[i]);
    m_resident.append(block);
    keepResidentLimit(block);
    return true;
}

const ReportData::Row* ReportData::rowAt(int row) const {
    if (row < 0 || row >= m_rows.size()) return nullptr;
    const Row* r = &m_rows.at(row);
    if (r->isEmpty() && !m_columns.isEmpty()) {
        if (!loadBlock(row / kBlockRows)) return nullptr;
        r = &m_rows.at(row);
    }
    return r;
}

int ReportData::columnIndex(const QString& name) const {
    return m_index.value(name.toUpper(), -1);
}

QVariant ReportData::value(int row, int column) const {
    if (column < 0 || column >= m_columns.size()) return {};
    const Row* r = rowAt(row);
    return r ? r->value(column) : QVariant();
}

QVariant ReportData::value(int row, const QString& field) const {
    return value(row, columnIndex(field));
}

QString ReportData::text(int row, const QString& field) const {
    return displayText(value(row, field));
}

void ReportData::sortBy(const QString& field) {
    sortByColumn(columnIndex(field));
}

void ReportData::sortByColumn(int column) {
    // Rows pulled from a reader arrive in their order and may lie in the spill file.
    if (m_reader || m_spill) return;
    if (column < 0 || column >= m_columns.size() || m_rows.size() < 2) return;
    const int n = int(m_rows.size());
    bool allText = true;
    for (const auto& row : m_rows) {
        const QVariant& v = row.at(column);
        if (!v.isNull() && v.typeId() != QMetaType::QString && v.typeId() != QMetaType::QByteArray) {
            allText = false;
            break;
        }
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (allText) {
        // The program's one order for text (the grids, lookups and the server's indices use it).
        std::vector<QVariant> texts;
        texts.reserve(n);
        for (const auto& row : m_rows)
            texts.push_back(displayText(row.at(column)));
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return core::compareValues(texts[a], texts[b], core::ValueType::Text) < 0;
        });
    } else {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const QVariant& va = m_rows.at(a).at(column);
            const QVariant& vb = m_rows.at(b).at(column);
            if (va.isNull() || vb.isNull()) return va.isNull() && !vb.isNull();
            return QVariant::compare(va, vb) == QPartialOrdering::Less;
        });
    }
    QVector<QVector<QVariant>> sorted;
    sorted.reserve(n);
    for (int i : order)
        sorted.append(std::move(m_rows[i]));
    m_rows = std::move(sorted);
}

QString displayText(const QVariant& value) {
    if (value.isNull() || !value.isValid()) return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    case QMetaType::QByteArray:
        // Text blobs arrive as bytes in the connection's character set (UTF8).
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::Double:
    case QMetaType::Float:
        return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(value.toDouble(), 'f', 2);
    default:
        return value.toString();
    }
}

} // namespace reports
