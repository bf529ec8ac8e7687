#include "forms/common/windowedsource.h"

#include "core/connection.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace forms {

namespace {

constexpr char kKeySeparator = '\x1f';
// A slice of reading between two turns of the event loop.
constexpr int kSliceRows = 20000;
constexpr int kSliceMs = 30;
// The grid hears of more rows at most this often while a long order is read.
constexpr int kPublishMs = 250;
// Blocks kept in memory (64 rows each): a few screens up and down of where the user has been.
constexpr int kKeptBlocks = 96;

QString joined(const QStringList& parts, const QString& glue) {
    return parts.join(glue);
}

} // namespace

WindowedSource::WindowedSource(const WindowedSpec& spec, QObject* parent)
    : RowSource(parent)
    , m_spec(spec)
    , m_connectionName(QString::fromLatin1(core::kMainConnection)) {
    m_slice = new QTimer(this);
    m_slice->setSingleShot(true);
    m_slice->setInterval(0);
    connect(m_slice, &QTimer::timeout, this, [this] {
        if (!m_scan) return;
        if (scanSlice(kSliceRows, kSliceMs) && !m_complete) m_slice->start();
    });
}

WindowedSource::~WindowedSource() = default;

void WindowedSource::setParameter(const QString& name, const QVariant& value) {
    const QString bare = name.startsWith(QLatin1Char(':')) ? name.mid(1) : name;
    for (auto& p : m_params) {
        if (p.first.compare(bare, Qt::CaseInsensitive) == 0) {
            p.second = value;
            return;
        }
    }
    m_params.append({bare, value});
}

QString WindowedSource::fieldName(int field) const {
    return field >= 0 && field < m_spec.fields.size() ? m_spec.fields.at(field).name : QString();
}

int WindowedSource::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_spec.fields.size(); ++i)
        if (m_spec.fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

FieldType WindowedSource::fieldType(int field) const {
    return field >= 0 && field < m_spec.fields.size() ? m_spec.fields.at(field).type : FieldType::Text;
}

int WindowedSource::fieldWidth(int field) const {
    return field >= 0 && field < m_spec.fields.size() ? m_spec.fields.at(field).width : 0;
}

int WindowedSource::sortFieldIndex() const {
    return m_sortField.isEmpty() ? -1 : fieldIndex(m_sortField);
}

QStringList WindowedSource::keyAt(int row) const {
    if (row < 0 || row >= int(m_keys.size())) return {};
    return QString::fromUtf8(m_keys.at(row)).split(QLatin1Char(kKeySeparator));
}

// --- reading the order -----------------------------------------------------------------------

bool WindowedSource::open() {
    close();
    m_open = true;
    return startScan();
}

void WindowedSource::close() {
    m_slice->stop();
    m_scan.reset();
    m_keys.clear();
    m_keys.shrink_to_fit();
    m_samples.clear();
    m_pending.clear();
    m_pendingValues.clear();
    m_rankOfLink.clear();
    m_rankValues.clear();
    dropBlocks();
    m_complete = false;
    m_blankEnd = -1;
    m_blankMixed = false;
    m_lastValue = QVariant();
    m_lastError.clear();
    m_failAnnounced = false;
    const bool hadRows = m_shown > 0 || m_current >= 0;
    m_shown = 0;
    m_current = -1;
    m_open = false;
    if (hadRows) {
        emit rowsReset();
        emit currentRowChanged(-1);
    }
}

bool WindowedSource::sortBy(const QString& field) {
    const int f = fieldIndex(field);
    if (f < 0 || m_spec.fields.at(f).neverRead) return false;
    m_sortField = m_spec.fields.at(f).name;
    if (!m_open) return true;
    const QString keep = m_sortField;
    close();
    m_sortField = keep;
    m_open = true;
    startScan();
    return true;
}

bool WindowedSource::serverOrders(const WindowedField& field) const {
    if (field.collatedColumn.isEmpty()) return true;
    const QString table = field.collatedColumn.section(QLatin1Char('.'), 0, 0);
    const QString column = field.collatedColumn.section(QLatin1Char('.'), 1);
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.prepare(QStringLiteral("SELECT TRIM(C.RDB$COLLATION_NAME) FROM RDB$RELATION_FIELDS RF "
                             "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
                             "JOIN RDB$COLLATIONS C ON C.RDB$CHARACTER_SET_ID = F.RDB$CHARACTER_SET_ID "
                             "AND C.RDB$COLLATION_ID = COALESCE(RF.RDB$COLLATION_ID, F.RDB$COLLATION_ID, 0) "
                             "WHERE RF.RDB$RELATION_NAME = ? AND RF.RDB$FIELD_NAME = ?"));
    q.addBindValue(table);
    q.addBindValue(column);
    return q.exec() && q.next() && q.value(0).toString() == QLatin1String("WIN_PTBR");
}

bool WindowedSource::startScan() {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        fail(QStringLiteral("A conexão com o banco de dados não está aberta."));
        return false;
    }
    m_elapsed.start();
    m_sincePublish.start();
    const int f = sortFieldIndex();
    const QString keys = joined(m_spec.keyExprs, QStringLiteral(", "));
    const QString where =
        m_spec.condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + m_spec.condition;
    QString sql;
    m_orderHere = false;
    if (f < 0) {
        const QString order =
            m_spec.defaultOrder.isEmpty() ? keys : joined(m_spec.defaultOrder, QStringLiteral(", "));
        sql = QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4").arg(keys, m_spec.baseFrom, where, order);
    } else {
        const WindowedField& field = m_spec.fields.at(f);
        if (!field.namesQuery.isEmpty()) {
            // A joined name: the names of its table first, then the links of every row.
            QSqlQuery table(db);
            table.setForwardOnly(true);
            if (!table.exec(field.namesQuery)) {
                fail(table.lastError().text());
                return false;
            }
            const int nameColumn = field.linkExprs.size();
            QStringList links;
            std::vector<QVariant> names;
            while (table.next()) {
                QStringList link;
                for (int i = 0; i < nameColumn; ++i)
                    link << table.value(i).toString();
                links << link.join(QLatin1Char(kKeySeparator));
                names.push_back(core::valueFromDatabase(table.value(nameColumn), field.type));
            }
            // Every name gets its place in the order once (equal names one place, blanks the
            // first): the rows are then ordered by a number and their key.
            std::vector<int> byName(names.size());
            for (size_t i = 0; i < byName.size(); ++i)
                byName[i] = int(i);
            std::sort(byName.begin(), byName.end(),
                      [&](int a, int b) { return core::compareValues(names[a], names[b], field.type) < 0; });
            m_rankValues.assign(1, QVariant());
            for (size_t i = 0; i < byName.size(); ++i) {
                const QVariant& name = names[byName[i]];
                if (core::isBlank(name)) {
                    m_rankOfLink.insert(links.at(byName[i]), 0);
                    continue;
                }
                if (core::compareValues(m_rankValues.back(), name, field.type) != 0)
                    m_rankValues.push_back(name);
                m_rankOfLink.insert(links.at(byName[i]), int(m_rankValues.size()) - 1);
            }
            m_orderHere = true;
            sql = QStringLiteral("SELECT %1, %2 FROM %3%4")
                      .arg(joined(field.linkExprs, QStringLiteral(", ")), keys, m_spec.baseFrom, where);
        } else if (!serverOrders(field)) {
            m_orderHere = true;
            sql = QStringLiteral("SELECT %1, %2 FROM %3%4").arg(field.expr, keys, m_spec.baseFrom, where);
        } else {
            // The (column, key) index hands the rows over in order; a column that is part of the
            // key is not named twice, so the order is the index's own.
            QStringList order{field.expr};
            for (const QString& k : m_spec.keyExprs)
                if (k.compare(field.expr, Qt::CaseInsensitive) != 0) order << k;
            sql = QStringLiteral("SELECT %1, %2 FROM %3%4 ORDER BY %5")
                      .arg(field.expr, keys, m_spec.baseFrom, where, order.join(QStringLiteral(", ")));
        }
    }
    m_scan = std::make_unique<QSqlQuery>(db);
    m_scan->setForwardOnly(true);
    if (!m_scan->prepare(sql)) {
        const QString text = m_scan->lastError().text();
        m_scan.reset();
        fail(text);
        return false;
    }
    for (const auto& p : std::as_const(m_params)) {
        const QString mark = QLatin1Char(':') + p.first;
        if (sql.contains(mark, Qt::CaseInsensitive)) m_scan->bindValue(mark, p.second);
    }
    if (!m_scan->exec()) {
        const QString text = m_scan->lastError().text();
        m_scan.reset();
        fail(text);
        return false;
    }
    // The first rows at once (a stored column's order shows them before the rest is read).
    if (!scanSlice(4 * kBlockRows, kSliceMs)) return false;
    publish(true);
    if (!m_complete) m_slice->start();
    return true;
}

std::string WindowedSource::keyOf(const QSqlQuery& q, int firstKeyColumn) const {
    std::string key;
    for (int i = 0; i < m_spec.keyExprs.size(); ++i) {
        if (i) key += kKeySeparator;
        key += q.value(firstKeyColumn + i).toString().toStdString();
    }
    return key;
}

bool WindowedSource::scanSlice(int maxRows, int maxMs) {
    if (!m_scan) return true;
    QElapsedTimer clock;
    clock.start();
    const int f = sortFieldIndex();
    const FieldType type = fieldType(f);
    const WindowedField* field = f >= 0 ? &m_spec.fields.at(f) : nullptr;
    const int links = field && !field->namesQuery.isEmpty() ? int(field->linkExprs.size()) : 0;
    const int keyColumn = f < 0 ? 0 : (links > 0 ? links : 1);
    for (int n = 0; n < maxRows; ++n) {
        if ((n & 255) == 255 && clock.elapsed() >= maxMs) break;
        if (!m_scan->next()) {
            if (m_scan->lastError().isValid()) {
                const QString text = m_scan->lastError().text();
                m_scan.reset();
                fail(text);
                return false;
            }
            finishScan();
            return true;
        }
        if (f < 0) {
            m_keys.push_back(keyOf(*m_scan, 0));
            continue;
        }
        if (links > 0) {
            QString link = m_scan->value(0).toString();
            for (int i = 1; i < links; ++i)
                link += QLatin1Char(kKeySeparator) + m_scan->value(i).toString();
            m_pending.push_back({m_rankOfLink.value(link, 0), keyOf(*m_scan, keyColumn)});
            continue;
        }
        const QVariant value = core::valueFromDatabase(m_scan->value(0), type);
        if (m_orderHere) {
            m_pending.push_back({int(m_pendingValues.size()), keyOf(*m_scan, keyColumn)});
            m_pendingValues.push_back(value);
            continue;
        }
        // Blank values lead the order: the server puts nulls before empty texts, the program holds
        // them equal, so the leading blank rows are put in key order once the first value comes.
        if (m_blankEnd < 0) {
            if (!core::isBlank(value)) {
                m_blankEnd = int(m_keys.size());
                if (m_blankMixed) putBlanksInKeyOrder();
            } else if (!value.isNull() || !m_scan->value(0).isNull()) {
                m_blankMixed = true;
            }
        }
        if (m_keys.size() % kBlockRows == 0) m_samples.push_back(value);
        m_keys.push_back(keyOf(*m_scan, keyColumn));
        m_lastValue = value;
    }
    publish(false);
    emit progress(int(m_keys.size() + m_pending.size()));
    return true;
}

void WindowedSource::finishScan() {
    m_scan.reset();
    const int f = sortFieldIndex();
    if (m_orderHere) {
        const FieldType type = fieldType(f);
        // A joined name by its place among the names; a stored value by the values themselves.
        const bool ranked = !m_rankValues.empty();
        std::sort(m_pending.begin(), m_pending.end(), [&](const Pending& a, const Pending& b) {
            const int c = ranked
                              ? (a.rank > b.rank) - (a.rank < b.rank)
                              : core::compareValues(m_pendingValues[a.rank], m_pendingValues[b.rank], type);
            return c != 0 ? c < 0 : a.key < b.key;
        });
        m_keys.reserve(m_pending.size());
        for (size_t i = 0; i < m_pending.size(); ++i) {
            if (i % kBlockRows == 0)
                m_samples.push_back(ranked ? m_rankValues[m_pending[i].rank]
                                           : m_pendingValues[m_pending[i].rank]);
            m_keys.push_back(std::move(m_pending[i].key));
        }
        m_pending.clear();
        m_pending.shrink_to_fit();
        m_pendingValues.clear();
        m_pendingValues.shrink_to_fit();
        m_rankOfLink.clear();
        m_rankValues.clear();
    } else if (f >= 0 && m_blankEnd < 0 && m_blankMixed) {
        putBlanksInKeyOrder();
    }
    m_complete = true;
    publish(true);
    emit completed();
}

void WindowedSource::putBlanksInKeyOrder() {
    const size_t end = m_blankEnd < 0 ? m_keys.size() : size_t(m_blankEnd);
    std::sort(m_keys.begin(), m_keys.begin() + end);
    if (m_shown == 0) return;
    // Some of these rows were shown already in the server's order: the grid reads them again.
    m_blocks.clear();
    emit rowsReset();
    emit currentRowChanged(m_current);
}

void WindowedSource::publish(bool force) {
    // An order built here is shown when it is whole; the server's order as it comes.
    const int shown = !m_complete && m_orderHere ? 0 : int(m_keys.size());
    if (shown == m_shown) return;
    if (!force && m_sincePublish.elapsed() < kPublishMs) return;
    m_sincePublish.start();
    // The last block may have been read when it had fewer rows.
    if (m_shown > 0) m_blocks.remove((m_shown - 1) / kBlockRows);
    m_shown = shown;
    if (m_current < 0 && m_shown > 0) m_current = 0;
    emit rowsReset();
    emit currentRowChanged(m_current);
}

bool WindowedSource::waitForComplete() {
    m_slice->stop();
    while (m_scan && !m_complete)
        if (!scanSlice(INT_MAX, INT_MAX)) return false;
    return m_complete;
}

void WindowedSource::fail(const QString& text) const {
    m_lastError = text;
    if (m_failAnnounced) return;
    m_failAnnounced = true;
    auto* self = const_cast<WindowedSource*>(this);
    // Announced from the event loop: a failure found while the grid paints must not open a
    // message box inside the paint.
    QMetaObject::invokeMethod(
        self, [self, text] { emit self->failed(text); }, Qt::QueuedConnection);
}

// --- blocks of rows --------------------------------------------------------------------------

void WindowedSource::dropBlocks() {
    m_blocks.clear();
}

const WindowedSource::Block* WindowedSource::block(int index) const {
    auto it = m_blocks.find(index);
    if (it != m_blocks.end()) {
        it->used = ++m_use;
        return &*it;
    }
    const int first = index * kBlockRows;
    const int last = std::min(first + kBlockRows, m_shown);
    if (first >= last) return nullptr;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        fail(QStringLiteral("A conexão com o banco de dados não está aberta."));
        return nullptr;
    }
    // Rows by the first part of their key (a process number holds a few years); the full key
    // then picks each row.
    QStringList columns;
    QList<int> columnOfField;
    for (const WindowedField& f : m_spec.fields) {
        columnOfField << (f.neverRead ? -1 : int(columns.size()));
        if (!f.neverRead) columns << f.expr;
    }
    const int keyColumn = int(columns.size());
    columns << m_spec.keyExprs;
    QStringList firstParts;
    QHash<QByteArray, int> rowOfKey;
    for (int r = first; r < last; ++r) {
        const std::string& key = m_keys.at(r);
        rowOfKey.insert(QByteArray::fromStdString(key), r - first);
        const QString part = QString::fromStdString(key.substr(0, key.find(kKeySeparator)));
        if (!firstParts.contains(part)) firstParts << part;
    }
    QStringList marks;
    for (int i = 0; i < firstParts.size(); ++i)
        marks << QStringLiteral("?");
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                            .arg(joined(columns, QStringLiteral(", ")), m_spec.blockFrom,
                                 m_spec.keyExprs.first(), marks.join(QStringLiteral(", ")));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        fail(q.lastError().text());
        return nullptr;
    }
    for (const QString& part : std::as_const(firstParts))
        q.addBindValue(part);
    if (!q.exec()) {
        fail(q.lastError().text());
        return nullptr;
    }
    Block b;
    b.rows.assign(last - first, QVariantList());
    while (q.next()) {
        const auto at = rowOfKey.constFind(QByteArray::fromStdString(keyOf(q, keyColumn)));
        if (at == rowOfKey.cend()) continue;
        QVariantList values;
        values.reserve(m_spec.fields.size());
        for (int i = 0; i < m_spec.fields.size(); ++i) {
            const int c = columnOfField.at(i);
            values << (c < 0 ? QVariant() : core::valueFromDatabase(q.value(c), m_spec.fields.at(i).type));
        }
        b.rows[*at] = values;
    }
    if (q.lastError().isValid()) {
        fail(q.lastError().text());
        return nullptr;
    }
    if (m_blocks.size() >= kKeptBlocks) {
        auto oldest = m_blocks.begin();
        for (auto i = m_blocks.begin(); i != m_blocks.end(); ++i)
            if (i->used < oldest->used) oldest = i;
        m_blocks.erase(oldest);
    }
    b.used = ++m_use;
    return &*m_blocks.insert(index, std::move(b));
}

QVariant WindowedSource::valueAt(int row, int field) const {
    if (row < 0 || row >= m_shown || field < 0 || field >= m_spec.fields.size()) return {};
    const Block* b = block(row / kBlockRows);
    if (!b) return {};
    const QVariantList& values = b->rows.at(row % kBlockRows);
    return field < values.size() ? values.at(field) : QVariant();
}

void WindowedSource::setCurrentRow(int row) {
    if (m_shown == 0)
        row = -1;
    else
        row = std::clamp(row, 0, m_shown - 1);
    if (row == m_current) return;
    m_current = row;
    emit currentRowChanged(m_current);
}

// --- nearest key -----------------------------------------------------------------------------

LocateResult WindowedSource::locateNearest(const QString& text) {
    const int f = sortFieldIndex();
    if (f < 0) return LocateResult::NoOrder;
    const FieldType type = fieldType(f);
    const QVariant key = core::keyFromText(text, type);
    if (!key.isValid()) return LocateResult::Incompatible;
    // An ordered scan still under way is read on only as far as the key; an order built here
    // needs every row.
    if (!m_complete && m_scan) {
        if (m_orderHere) {
            waitForComplete();
        } else {
            while (m_scan && !m_complete &&
                   (m_blankEnd < 0 || core::compareValues(m_lastValue, key, type) < 0))
                if (!scanSlice(kSliceRows, INT_MAX)) break;
            publish(true);
            if (!m_complete) m_slice->start();
        }
    }
    if (m_shown == 0) return LocateResult::Empty;
    // The first sample not below the key; the answer lies in the block before it, or is it.
    const int samples = int(std::min(m_samples.size(), size_t((m_shown + kBlockRows - 1) / kBlockRows)));
    const auto begin = m_samples.cbegin();
    const auto it = std::partition_point(
        begin, begin + samples, [&](const QVariant& v) { return core::compareValues(v, key, type) < 0; });
    const int j = int(it - begin);
    if (j > 0) {
        const Block* b = block(j - 1);
        if (!b) return LocateResult::Empty;
        for (int i = 0; i < int(b->rows.size()); ++i) {
            if (core::compareValues(b->rows.at(i).value(f), key, type) >= 0) {
                setCurrentRow((j - 1) * kBlockRows + i);
                return LocateResult::Found;
            }
        }
    }
    const int row = j * kBlockRows;
    if (row >= m_shown) {
        setCurrentRow(m_shown - 1);
        return LocateResult::PastEnd;
    }
    setCurrentRow(row);
    return LocateResult::Found;
}

} // namespace forms
