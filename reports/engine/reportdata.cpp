#include "reports/engine/reportdata.h"

#include "core/collation.h"
#include "core/connection.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <algorithm>
#include <numeric>

namespace reports {

namespace {

QString failureText(const QSqlQuery& query) {
    const QString text = query.lastError().text().trimmed();
    return text.isEmpty() ? QStringLiteral("Não foi possível ler os dados do relatório.") : text;
}

} // namespace

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
}

int ReportData::columnIndex(const QString& name) const {
    return m_index.value(name.toUpper(), -1);
}

QVariant ReportData::value(int row, int column) const {
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size()) return {};
    return m_rows.at(row).at(column);
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
