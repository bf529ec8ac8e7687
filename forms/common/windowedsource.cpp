#include "forms/common/windowedsource.h"

#include "core/connection.h"
#include "core/readquery.h"

#include <QCursor>
#include <QGuiApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_map>

namespace forms {

namespace {

constexpr char kKeySeparator = '\x1f';
// A slice of reading between two turns of the event loop.
constexpr int kSliceRows = 20000;
constexpr int kSliceMs = 30;
// The grid hears of more rows at most this often while a long order is read.
constexpr int kPublishMs = 250;
// Blocks kept in memory (64 rows each): some screens up and down of where the user has been.
constexpr int kKeptBlocks = 32;

// A joined order reads the rows of this many links at a time (one statement prepared once, its
// list filled up with a code no row holds); a link of two columns costs two values. The server
// tries every row it reads against the whole list: 100 values read a million movements twice as
// fast as 500, the statements' own cost still small.
constexpr int kLinkValues = 100;
// Rows a joined order reads at a time, about.
constexpr int kBatchRows = 2000;
// Names the server hands over in order are read this many at a time, as the places need them:
// about one fetch from the server, so that a turn of the event loop waits for one round trip.
constexpr int kNameRows = 500;
// ... and this many at the title click: a screen's worth comes in one fetch from a server far
// away, where two thousand took a dozen before the first rows could show.
constexpr int kFirstNameRows = 64;
// A nearest-key search reads on for its rows this long before it leaves them to the background
// reading: with the screen painted after it, a keystroke stays within a tenth of a second.
constexpr int kSeekWaitMs = 30;

QString joined(const QStringList& parts, const QString& glue) {
    return parts.join(glue);
}

// The wait cursor while a step that cannot be cut in slices runs (the names of a large table
// ranked, the rows before a searched name read).
struct BusyCursor {
    BusyCursor() {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor() {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A link as the server compares it: trailing blanks do not count.
QString linkPart(const QVariant& value) {
    QString s = value.toString();
    int n = int(s.size());
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    s.truncate(n);
    return s;
}

// A link as read from a row whose first `parts` columns hold it (the names' keys, the listed
// table's link columns).
std::string linkOf(const core::ReadQuery& q, int parts) {
    QString link = linkPart(q.value(0));
    for (int p = 1; p < parts; ++p)
        link += QLatin1Char(kKeySeparator) + linkPart(q.value(p));
    return link.toStdString();
}

} // namespace

// --- record keys -----------------------------------------------------------------------------

void KeyList::clear() {
    std::vector<char>().swap(m_bytes);
    m_size = 0;
}

void KeyList::reserve(size_t rows) {
    m_bytes.reserve(rows * m_width);
}

void KeyList::widen(size_t width) {
    std::vector<char> bytes(m_size * width, '\0');
    for (size_t i = 0; i < m_size; ++i)
        std::memcpy(bytes.data() + i * width, m_bytes.data() + i * m_width, m_width);
    m_bytes.swap(bytes);
    m_width = width;
}

void KeyList::push_back(std::string_view key) {
    if (key.size() > m_width) widen(key.size());
    const size_t at = m_bytes.size();
    m_bytes.resize(at + m_width, '\0');
    std::memcpy(m_bytes.data() + at, key.data(), key.size());
    ++m_size;
}

std::string_view KeyList::at(size_t row) const {
    const char* p = m_bytes.data() + row * m_width;
    return std::string_view(p, strnlen(p, m_width));
}

void KeyList::sort(size_t begin, size_t end) {
    std::vector<std::string> keys;
    keys.reserve(end - begin);
    for (size_t i = begin; i < end; ++i)
        keys.emplace_back(at(i));
    std::sort(keys.begin(), keys.end());
    for (size_t i = begin; i < end; ++i) {
        char* p = m_bytes.data() + i * m_width;
        std::memset(p, 0, m_width);
        std::memcpy(p, keys[i - begin].data(), keys[i - begin].size());
    }
}

WindowedSource::Ranks::Ranks()
    : nameEnd{0}
    , firstLink{0, 0}
    , firstRow{-1, -1} {}

void WindowedSource::Ranks::add(const QString& name, std::string link, bool samePlace) {
    if (!samePlace) {
        names += name.toStdString();
        nameEnd.push_back(quint32(names.size()));
        // The end of the links so far is where the new place's begin.
        firstLink.push_back(firstLink.back());
        firstRow.push_back(-1);
    }
    links.push_back(std::move(link));
    firstLink.back() = quint32(links.size());
}

QString WindowedSource::Ranks::name(int r) const {
    if (r <= 0 || r >= count()) return {};
    return QString::fromUtf8(names.data() + nameEnd[r - 1], int(nameEnd[r] - nameEnd[r - 1]));
}

WindowedSource::WindowedSource(const WindowedSpec& spec, QObject* parent)
    : RowSource(parent)
    , m_spec(spec)
    , m_connectionName(QString::fromLatin1(core::kMainConnection))
    , m_seekWaitMs(kSeekWaitMs) {
    m_slice = new QTimer(this);
    m_slice->setSingleShot(true);
    m_slice->setInterval(0);
    connect(m_slice, &QTimer::timeout, this, [this] {
        if (!m_open || m_complete || (!m_scan && !m_joined)) return;
        const bool read = advance(kSliceRows, kSliceMs);
        if (m_seeking && (!read || settleSeek() != LocateResult::Pending)) m_seeking = false;
        if (read && !m_complete) m_slice->start();
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
    const std::string_view key = m_keys.at(size_t(row));
    return QString::fromUtf8(key.data(), qsizetype(key.size())).split(QLatin1Char(kKeySeparator));
}

// --- reading the order -----------------------------------------------------------------------

bool WindowedSource::open() {
    close();
    m_open = true;
    return startScan();
}

void WindowedSource::close() {
    const bool hadRows = m_shown > 0 || m_current >= 0;
    resetOrder();
    m_open = false;
    if (hadRows) {
        emit rowsReset();
        emit currentRowChanged(-1);
    }
}

void WindowedSource::resetOrder() {
    m_slice->stop();
    m_scan.reset();
    m_keys.clear();
    m_samples.clear();
    m_pending.clear();
    m_pendingValues.clear();
    m_joined = false;
    m_ranks = Ranks();
    m_placeQuery.reset();
    m_namesQuery.reset();
    m_lastName.clear();
    m_lostChecked = false;
    m_lostQuery.reset();
    m_lostKeys.clear();
    m_seeking = false;
    m_answered = false;
    m_seekKey = QVariant();
    m_blockQuery.reset();
    dropBlocks();
    m_complete = false;
    m_blankEnd = -1;
    m_blankMixed = false;
    m_lastValue = QVariant();
    m_lastError.clear();
    m_failAnnounced = false;
    m_shown = 0;
    m_current = -1;
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

bool WindowedSource::serverOrders(const QString& collatedColumn) const {
    if (collatedColumn.isEmpty()) return true;
    // A column's collation does not change under a running program: asked once per database, not
    // at every title click (four round trips to a server far away).
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    static QHash<QString, bool> known;
    const QString knownKey = db.databaseName() + QLatin1Char('|') + collatedColumn;
    if (const auto it = known.constFind(knownKey); it != known.constEnd()) return *it;
    const QString table = collatedColumn.section(QLatin1Char('.'), 0, 0);
    const QString column = collatedColumn.section(QLatin1Char('.'), 1);
    core::ReadQuery q(db);
    q.prepare(QStringLiteral("SELECT TRIM(C.RDB$COLLATION_NAME) FROM RDB$RELATION_FIELDS RF "
                             "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
                             "JOIN RDB$COLLATIONS C ON C.RDB$CHARACTER_SET_ID = F.RDB$CHARACTER_SET_ID "
                             "AND C.RDB$COLLATION_ID = COALESCE(RF.RDB$COLLATION_ID, F.RDB$COLLATION_ID, 0) "
                             "WHERE RF.RDB$RELATION_NAME = ? AND RF.RDB$FIELD_NAME = ?"));
    q.addBindValue(table);
    q.addBindValue(column);
    if (!q.exec()) return false; // asked again next time
    const bool orders = q.next() && q.value(0).toString() == QLatin1String("WIN_PTBR");
    known.insert(knownKey, orders);
    return orders;
}

bool WindowedSource::startScan() {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    // A connection found lost is opened again before the list is read anew (every statement of the
    // old one went with it).
    if (!core::ensureConnection(db)) {
        m_lastError = core::lostConnectionMessage();
        return false;
    }
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
        if (!field.namesTable.isEmpty()) {
            m_joined = true;
            if (!startJoined(field)) return false;
            publish(true);
            if (!m_complete) m_slice->start();
            return true;
        }
        if (!serverOrders(field.collatedColumn)) {
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
    m_scan = std::make_unique<core::ReadQuery>(db, core::ReadQuery::Consistency::Snapshot);
    m_scan->setForwardOnly(true);
    if (!m_scan->prepare(sql)) {
        const QString text = m_scan->lastError().text();
        m_scan.reset();
        fail(text);
        return false;
    }
    bindParameters(*m_scan, sql);
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

std::string WindowedSource::keyOf(const core::ReadQuery& q, int firstKeyColumn) const {
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
    const int keyColumn = f < 0 ? 0 : 1;
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
        std::sort(m_pending.begin(), m_pending.end(), [&](const Pending& a, const Pending& b) {
            const int c = core::compareValues(m_pendingValues[a.rank], m_pendingValues[b.rank], type);
            return c != 0 ? c < 0 : a.key < b.key;
        });
        m_keys.reserve(m_pending.size());
        for (size_t i = 0; i < m_pending.size(); ++i) {
            if (i % kBlockRows == 0) m_samples.push_back(m_pendingValues[m_pending[i].rank]);
            m_keys.push_back(m_pending[i].key);
        }
        m_pending.clear();
        m_pending.shrink_to_fit();
        m_pendingValues.clear();
        m_pendingValues.shrink_to_fit();
    } else if (f >= 0 && m_blankEnd < 0 && m_blankMixed) {
        putBlanksInKeyOrder();
    }
    m_complete = true;
    publish(true);
    emit completed();
}

void WindowedSource::putBlanksInKeyOrder() {
    const size_t end = m_blankEnd < 0 ? m_keys.size() : size_t(m_blankEnd);
    m_keys.sort(0, end);
    if (m_shown == 0) return;
    // Some of these rows were shown already in the server's order: the grid reads them again.
    m_blocks.clear();
    emit rowsReset();
    emit currentRowChanged(m_current);
}

void WindowedSource::publish(bool force) {
    // An order built here is shown when it is whole; the server's order as it comes.
    const int shown = !m_complete && m_orderHere ? 0 : int(m_keys.size());
    if (shown != m_shown && (force || m_sincePublish.elapsed() >= kPublishMs)) {
        m_sincePublish.start();
        // The last block may have been read when it had fewer rows.
        if (m_shown > 0) m_blocks.remove((m_shown - 1) / kBlockRows);
        m_shown = shown;
        if (m_current < 0 && m_shown > 0) m_current = 0;
        if (m_seeking && m_shown > 0) m_current = m_shown - 1;
        emit rowsReset();
        emit currentRowChanged(m_current);
        return;
    }
    // A search waiting for its rows stands on the nearest row read so far, the last one.
    if (m_seeking && m_shown > 0) moveTo(m_shown - 1);
}

bool WindowedSource::waitForComplete() {
    m_slice->stop();
    while ((m_scan || m_joined) && !m_complete) {
        if (!advance(INT_MAX, INT_MAX)) {
            m_seeking = false;
            return false;
        }
    }
    if (m_seeking && settleSeek() != LocateResult::Pending) m_seeking = false;
    return m_complete;
}

bool WindowedSource::advance(int maxRows, int maxMs) {
    return m_joined ? readPlaces(maxMs) : scanSlice(maxRows, maxMs);
}

void WindowedSource::bindParameters(core::ReadQuery& q, const QString& sql) const {
    // Only the parameters the statement names: the driver refuses a value it has no place for.
    for (const auto& p : std::as_const(m_params)) {
        const QString mark = QLatin1Char(':') + p.first;
        if (sql.contains(mark, Qt::CaseInsensitive)) q.bindValue(mark, p.second);
    }
}

bool WindowedSource::bindAndExec(core::ReadQuery& q, const QString& sql) const {
    bindParameters(q, sql);
    if (q.exec()) return true;
    fail(q.lastError().text());
    return false;
}

bool WindowedSource::prepareAndExec(core::ReadQuery& q, const QString& sql) const {
    if (q.prepare(sql)) return bindAndExec(q, sql);
    fail(q.lastError().text());
    return false;
}

// --- a joined name's order -------------------------------------------------------------------

bool WindowedSource::startJoined(const WindowedField& field) {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const int parts = int(field.linkExprs.size());
    const QString keys = joined(field.namesKeys, QStringLiteral(", "));
    m_ranks = Ranks();
    std::vector<std::string> blankLinks;
    // How the server orders the names in the program's order, if it can: through an index on
    // the names' column with the Brazilian collation, or on an expression that gives it.
    QString order;
    if (!m_rankedHere.contains(field.name)) {
        if (!field.namesOrder.isEmpty())
            order = field.namesOrder;
        else if (!field.collatedColumn.isEmpty() && serverOrders(field.collatedColumn))
            order = field.namesColumn + QStringLiteral(", ") + keys;
    }
    if (!order.isEmpty()) {
        m_namesQuery = std::make_unique<core::ReadQuery>(db, core::ReadQuery::Consistency::Snapshot);
        m_namesQuery->setForwardOnly(true);
        if (!m_namesQuery->exec(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %4")
                                    .arg(keys, field.namesColumn, field.namesTable, order))) {
            // A database that cannot order them so (a names column of another character set):
            // they are ranked here.
            m_namesQuery.reset();
            m_rankedHere << field.name;
            order.clear();
        }
    }
    if (!order.isEmpty()) {
        // The blank names come first, then the places are made as the names arrive: the first
        // screens need only the first names.
        m_ranks.open = true;
        while (m_ranks.open && m_ranks.count() == 1) {
            const NamesRead read = readNames(kFirstNameRows, &blankLinks);
            if (read == NamesRead::Failed) return false;
            if (read == NamesRead::Restarted) return true;
        }
    } else {
        // The names with their keys, ranked here.
        const BusyCursor busy;
        core::ReadQuery table(db, core::ReadQuery::Consistency::Snapshot);
        if (!table.exec(
                QStringLiteral("SELECT %1, %2 FROM %3").arg(keys, field.namesColumn, field.namesTable))) {
            fail(table.lastError().text());
            return false;
        }
        std::vector<std::string> links;
        std::vector<QString> names;
        while (table.next()) {
            links.push_back(linkOf(table, parts));
            names.push_back(table.value(parts).toString());
        }
        if (table.lastError().isValid()) {
            fail(table.lastError().text());
            return false;
        }
        table.finish();
        emit progress(0);
        // Every distinct name gets its place once (equal names one place, blanks place 0): the
        // rows are then read place after place.
        std::vector<int> byName;
        byName.reserve(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            if (!core::isBlank(names[i]))
                byName.push_back(int(i));
            else
                blankLinks.push_back(links[i]);
        }
        std::sort(byName.begin(), byName.end(),
                  [&](int a, int b) { return core::compareText(names[a], names[b]) < 0; });
        m_ranks.links.reserve(byName.size());
        const QString* previous = nullptr;
        for (int i : byName) {
            m_ranks.add(names[i], std::move(links[i]),
                        previous && core::compareText(*previous, names[i]) == 0);
            previous = &names[i];
        }
    }

    // Place 0 first: no link, a link to a blank name, a link that finds no name. The first two
    // come through the (link, key) index: the rows whose link is null, and the rows of the blank
    // names' links read like any place. The third is a fault of the data that would cost a lookup
    // of the name of every row, so it is sought only when the order is whole and its rows do not
    // add up to the listed table's (readLostRows).
    // The condition after the links: written first, the server's optimizer leaves the (link, key)
    // index aside for a condition with an OR and scans the whole table.
    const QString where =
        m_spec.condition.isEmpty() ? QString() : QStringLiteral(" AND (%1)").arg(m_spec.condition);
    const QString keyList = joined(m_spec.keyExprs, QStringLiteral(", "));

    // The statement that reads the rows of a batch of links through the (link, key) index.
    const int perStatement = kLinkValues / parts;
    QString linkMatch;
    if (parts == 1) {
        QStringList marks;
        for (int i = 0; i < perStatement; ++i)
            marks << QStringLiteral(":L%1_0").arg(i);
        linkMatch =
            QStringLiteral("%1 IN (%2)").arg(field.linkExprs.first(), marks.join(QStringLiteral(", ")));
    } else {
        QStringList match;
        for (int i = 0; i < perStatement; ++i) {
            QStringList one;
            for (int p = 0; p < parts; ++p)
                one << QStringLiteral("%1 = :L%2_%3").arg(field.linkExprs.at(p)).arg(i).arg(p);
            match << QStringLiteral("(%1)").arg(one.join(QStringLiteral(" AND ")));
        }
        linkMatch = match.join(QStringLiteral(" OR "));
    }
    const QString sql =
        QStringLiteral("SELECT %1, %2 FROM %3 WHERE (%5)%4")
            .arg(joined(field.linkExprs, QStringLiteral(", ")), keyList, m_spec.baseFrom, where, linkMatch);
    m_placeQuery = std::make_unique<core::ReadQuery>(db);
    m_placeQuery->prepare(sql);
    bindParameters(*m_placeQuery, sql);

    std::vector<std::string> zero;
    {
        // A null in the leading link column is a seek in the index; a null further on finds no
        // name and is left to the count at the end.
        const QString nullSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS NULL%4")
                                    .arg(keyList, m_spec.baseFrom, field.linkExprs.first(), where);
        core::ReadQuery q(db);
        if (!prepareAndExec(q, nullSql)) return false;
        while (q.next())
            zero.push_back(keyOf(q, 0));
        if (q.lastError().isValid()) {
            fail(q.lastError().text());
            return false;
        }
    }
    if (!blankLinks.empty()) {
        std::unordered_map<std::string, int> placeOf;
        for (const std::string& l : blankLinks)
            placeOf.emplace(l, 0);
        std::vector<std::pair<int, std::string>> rows;
        if (!readLinkRows(blankLinks, 0, blankLinks.size(), placeOf, rows)) return false;
        for (auto& row : rows)
            zero.push_back(std::move(row.second));
    }
    std::sort(zero.begin(), zero.end());
    zero.erase(std::unique(zero.begin(), zero.end()), zero.end());
    emit progress(int(zero.size()));
    m_ranks.firstRow[0] = 0;
    for (const std::string& k : zero)
        m_keys.push_back(k);

    // The first screen at once; the rest in the background. Names of few rows each (applicants
    // of one or two processes, most of them none in a year) take a statement per hundred names,
    // each a round trip to a server far away.
    while (m_joined && !m_complete && m_keys.size() < size_t(kBlockRows))
        if (!readPlaces(0)) return false;
    return true;
}

// Reads up to maxRows more names the server hands over in order: each a new place or one more
// link of the last place. The blank names lead the server's order (nulls, then empty texts); they
// go to frontBlanks while no other name has come. A name out of the program's order (the server's
// collation and the program's rule parting somewhere) starts the order again, its names ranked
// here.
WindowedSource::NamesRead WindowedSource::readNames(int maxRows, std::vector<std::string>* frontBlanks,
                                                    const QElapsedTimer* clock, int maxMs) {
    Ranks& r = m_ranks;
    core::ReadQuery& q = *m_namesQuery;
    const int parts = int(m_spec.fields.at(sortFieldIndex()).linkExprs.size());
    for (int n = 0; n < maxRows; ++n) {
        // A fetch from the server is a round trip: after one has used the time up, the rest
        // waits for the next turn.
        if (clock && n > 0 && clock->elapsed() >= maxMs) break;
        if (!q.next()) {
            if (q.lastError().isValid()) {
                fail(q.lastError().text());
                m_namesQuery.reset();
                return NamesRead::Failed;
            }
            m_namesQuery.reset();
            r.open = false;
            return NamesRead::Read;
        }
        const QString name = q.value(parts).toString();
        const bool blank = core::isBlank(name);
        const int order = blank || r.count() == 1 ? -1 : core::compareText(m_lastName, name);
        if ((blank && (r.count() > 1 || !frontBlanks)) || order > 0) {
            rankHere();
            return NamesRead::Restarted;
        }
        if (blank) {
            frontBlanks->push_back(linkOf(q, parts));
            continue;
        }
        r.add(name, linkOf(q, parts), order == 0);
        m_lastName = name;
    }
    return NamesRead::Read;
}

// The server's order of the names is not the program's: they are ranked here from now on, and the
// order is read again from its start (a search waiting for its rows goes on waiting).
void WindowedSource::rankHere() {
    const WindowedField& field = m_spec.fields.at(sortFieldIndex());
    m_rankedHere << field.name;
    const QString sortField = m_sortField;
    const bool seeking = m_seeking;
    const QVariant key = m_seekKey;
    resetOrder();
    m_sortField = sortField;
    m_seeking = seeking;
    m_seekKey = key;
    startScan();
    emit rowsReset();
    emit currentRowChanged(m_current);
}

// Reads the rows of the next places, a batch of links at a time, until maxMs have passed (at
// least one batch), the names first where the server hands them over as the places need them.
bool WindowedSource::readPlaces(int maxMs) {
    QElapsedTimer clock;
    clock.start();
    const WindowedField& field = m_spec.fields.at(sortFieldIndex());
    const int parts = int(field.linkExprs.size());
    const int perStatement = kLinkValues / parts;
    while (!m_lostChecked) {
        Ranks& r = m_ranks;
        if (r.next >= r.ready()) {
            if (!r.open) break;
            // In a turn of the background reading, names stop at the turn's end like the rows.
            const NamesRead read = readNames(kNameRows, nullptr, maxMs > 0 ? &clock : nullptr, maxMs);
            if (read == NamesRead::Failed) return false;
            if (read == NamesRead::Restarted) return true;
            // A fetch of names is a round trip of its own: the turn may be used up by it.
            if (clock.elapsed() >= maxMs) break;
            continue;
        }
        // Whole places (a place of more links than one statement holds takes several), as many
        // links as should bring about kBatchRows rows, judged by the rows per link so far (a user
        // or a sector holds thousands of movements, an applicant a few processes).
        const int first = r.next;
        const quint32 linksRead = r.firstLink[first];
        const size_t rowsRead = m_keys.size() - size_t(r.firstRow[1] < 0 ? m_keys.size() : r.firstRow[1]);
        const int wanted = linksRead == 0 ? 1
                                          : int(std::clamp<qint64>(qint64(kBatchRows) * linksRead /
                                                                       qint64(std::max<size_t>(rowsRead, 1)),
                                                                   1, perStatement));
        int last = first + 1;
        while (last < r.ready() && int(r.firstLink[last + 1] - r.firstLink[first]) <= wanted)
            ++last;
        std::unordered_map<std::string, int> placeOf;
        for (int p = first; p < last; ++p)
            for (quint32 l = r.firstLink[p]; l < r.firstLink[p + 1]; ++l)
                placeOf.emplace(r.links[l], p);
        std::vector<std::pair<int, std::string>> rows;
        if (!readLinkRows(r.links, r.firstLink[first], r.firstLink[last], placeOf, rows)) return false;
        std::sort(rows.begin(), rows.end());
        size_t i = 0;
        for (int p = first; p < last; ++p) {
            r.firstRow[p] = int(m_keys.size());
            for (; i < rows.size() && rows[i].first == p; ++i)
                m_keys.push_back(rows[i].second);
        }
        r.next = last;
        if (clock.elapsed() >= maxMs) break;
    }
    Ranks& r = m_ranks;
    // The count that ends the order is a statement of its own: after a batch that used the
    // turn up, it waits for the next turn, so that the window answers in between.
    // (A call for one batch, maxMs 0, goes on to it as before.)
    const bool turnUsed = !m_lostChecked && maxMs > 0 && clock.elapsed() >= maxMs;
    if (r.next >= r.count() && !r.open && !turnUsed) {
        if (!m_lostChecked) r.firstRow[r.count()] = int(m_keys.size());
        if (!readLostRows(int(std::max<qint64>(maxMs - clock.elapsed(), 0)))) return false;
        if (m_lostChecked && !m_lostQuery) {
            m_complete = true;
            publish(true);
            // Rows whose link finds no name may have joined the front after a search was
            // answered: the answer is given again (a blank key's is the first row still).
            if (m_answered && !m_seeking) {
                m_seeking = true;
                settleSeek();
            }
            emit progress(int(m_keys.size()));
            emit completed();
            return true;
        }
    }
    publish(false);
    emit progress(int(m_keys.size()));
    return true;
}

// Reads the rows of links [begin, end) through the (link, key) index, each with the place
// placeOf gives its link.
bool WindowedSource::readLinkRows(const std::vector<std::string>& links, size_t begin, size_t end,
                                  const std::unordered_map<std::string, int>& placeOf,
                                  std::vector<std::pair<int, std::string>>& rows) {
    const WindowedField& field = m_spec.fields.at(sortFieldIndex());
    const int parts = int(field.linkExprs.size());
    const size_t perStatement = size_t(kLinkValues / parts);
    core::ReadQuery& q = *m_placeQuery;
    for (size_t at = begin; at < end; at += perStatement) {
        for (size_t i = 0; i < perStatement; ++i) {
            // The rest of the list is filled with a code no row holds: a repeated real link
            // would have the server walk that link's rows once per repetition.
            const size_t l = at + i;
            const QStringList values =
                l < end ? QString::fromStdString(links[l]).split(QLatin1Char(kKeySeparator)) : QStringList();
            for (int p = 0; p < parts; ++p)
                q.bindValue(QStringLiteral(":L%1_%2").arg(i).arg(p),
                            p < values.size() ? values.at(p) : QStringLiteral("\x01"));
        }
        if (!q.exec()) {
            fail(q.lastError().text());
            return false;
        }
        while (q.next()) {
            const auto it = placeOf.find(linkOf(q, parts));
            if (it != placeOf.end()) rows.emplace_back(it->second, keyOf(q, parts));
        }
        if (q.lastError().isValid()) {
            fail(q.lastError().text());
            return false;
        }
        q.finish();
    }
    return true;
}

// Once every place is read, one count tells whether some rows hold a link that finds no name (a
// code whose name was deleted, a null beyond the link's first column): only then is each row's
// name looked up, in slices like the rest of the reading, and those rows join place 0 in key
// order when the last is found.
bool WindowedSource::readLostRows(int maxMs) {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!m_lostChecked) {
        m_lostChecked = true;
        const QString where =
            m_spec.condition.isEmpty() ? QString() : QStringLiteral(" WHERE (%1)").arg(m_spec.condition);
        core::ReadQuery count(db);
        if (!prepareAndExec(count, QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(m_spec.baseFrom, where)))
            return false;
        if (!count.next()) {
            fail(count.lastError().text());
            return false;
        }
        if (count.value(0).toLongLong() == qint64(m_keys.size())) return true;
        count.finish();

        // Every row comes, marked whether its name is found: a condition that kept only the lost
        // ones would have the server look through thousands of rows for each, and a fetch could
        // not be cut into slices.
        const WindowedField& field = m_spec.fields.at(sortFieldIndex());
        QStringList match;
        for (int i = 0; i < field.linkExprs.size(); ++i)
            match << QStringLiteral("N_.%1 = %2").arg(field.namesKeys.at(i), field.linkExprs.at(i));
        const QString sql =
            QStringLiteral("SELECT %1, CASE WHEN EXISTS (SELECT 1 FROM %4 N_ WHERE %5 AND N_.%6 <> '') "
                           "THEN 1 ELSE 0 END FROM %2%3")
                .arg(joined(m_spec.keyExprs, QStringLiteral(", ")), m_spec.baseFrom, where, field.namesTable,
                     match.join(QStringLiteral(" AND ")), field.namesColumn);
        m_lostQuery = std::make_unique<core::ReadQuery>(db, core::ReadQuery::Consistency::Snapshot);
        m_lostQuery->setForwardOnly(true);
        if (!prepareAndExec(*m_lostQuery, sql)) {
            m_lostQuery.reset();
            return false;
        }
    }
    if (!m_lostQuery) return true;
    QElapsedTimer clock;
    clock.start();
    const int named = int(m_spec.keyExprs.size());
    for (int n = 1;; ++n) {
        if (n % 1024 == 0 && clock.elapsed() >= maxMs) return true;
        if (!m_lostQuery->next()) break;
        if (m_lostQuery->value(named).toInt() == 0) m_lostKeys.push_back(keyOf(*m_lostQuery, 0));
    }
    if (m_lostQuery->lastError().isValid()) {
        fail(m_lostQuery->lastError().text());
        m_lostQuery.reset();
        return false;
    }
    m_lostQuery.reset();
    mergeLostRows();
    return true;
}

// The rows whose link finds no name take place 0 with the rows of no name, in key order; the
// current row stays on its record.
void WindowedSource::mergeLostRows() {
    std::vector<std::string>& zero = m_lostKeys;
    std::sort(zero.begin(), zero.end());
    Ranks& r = m_ranks;
    const size_t oldZero = r.count() > 1 ? size_t(r.firstRow[1]) : m_keys.size();
    const std::string current = m_current >= 0 && size_t(m_current) < m_keys.size()
                                    ? std::string(m_keys.at(size_t(m_current)))
                                    : std::string();
    KeyList keys;
    keys.reserve(zero.size() + m_keys.size() - oldZero);
    for (const std::string& k : zero)
        keys.push_back(k);
    for (size_t i = oldZero; i < m_keys.size(); ++i)
        keys.push_back(m_keys.at(i));
    const int delta = int(zero.size()) - int(oldZero);
    m_keys = std::move(keys);
    for (int p = 1; p <= r.count(); ++p)
        if (r.firstRow[p] >= 0) r.firstRow[p] += delta;
    if (m_current >= 0) {
        if (size_t(m_current) >= oldZero)
            m_current += delta;
        else
            m_current = int(std::lower_bound(zero.begin(), zero.end(), current) - zero.begin());
    }
    std::vector<std::string>().swap(m_lostKeys);
    dropBlocks();
}

void WindowedSource::fail(const QString& text) const {
    m_lastError = text;
    if (m_failAnnounced) return;
    m_failAnnounced = true;
    auto* self = const_cast<WindowedSource*>(this);
    // Announced from the event loop: a failure found while the grid paints must not open a
    // message box inside the paint.
    // A connection that is gone is told once, in Portuguese, for the whole program; the driver's
    // text would say nothing to the user.
    QMetaObject::invokeMethod(
        self,
        [self, text] {
            if (core::noteConnectionFailure(QSqlDatabase::database(self->m_connectionName, false))) return;
            emit self->failed(text);
        },
        Qt::QueuedConnection);
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
    // Rows by their whole keys, every block through one statement prepared once (a shorter
    // block repeats its last key): the server seeks each row in the primary key.
    QStringList columns;
    QList<int> columnOfField;
    for (const WindowedField& f : m_spec.fields) {
        columnOfField << (f.neverRead ? -1 : int(columns.size()));
        if (!f.neverRead) columns << f.expr;
    }
    const int keyColumn = int(columns.size());
    columns << m_spec.keyExprs;
    const int parts = int(m_spec.keyExprs.size());
    if (!m_blockQuery) {
        QStringList match;
        for (int i = 0; i < kBlockRows; ++i) {
            QStringList one;
            for (const QString& k : m_spec.keyExprs)
                one << k + QStringLiteral(" = ?");
            match << (parts == 1 ? one.first()
                                 : QStringLiteral("(%1)").arg(one.join(QStringLiteral(" AND "))));
        }
        const QString where =
            parts == 1 ? QStringLiteral("%1 IN (%2)")
                             .arg(m_spec.keyExprs.first(),
                                  QStringList(kBlockRows, QStringLiteral("?")).join(QStringLiteral(", ")))
                       : match.join(QStringLiteral(" OR "));
        m_blockQuery = std::make_unique<core::ReadQuery>(db);
        m_blockQuery->setForwardOnly(true);
        if (!m_blockQuery->prepare(
                QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                    .arg(joined(columns, QStringLiteral(", ")), m_spec.blockFrom, where))) {
            fail(m_blockQuery->lastError().text());
            m_blockQuery.reset();
            return nullptr;
        }
    }
    core::ReadQuery& q = *m_blockQuery;
    QHash<QByteArray, int> rowOfKey;
    for (int i = 0; i < kBlockRows; ++i) {
        const int r = std::min(first + i, last - 1);
        const std::string_view key = m_keys.at(size_t(r));
        if (first + i < last) rowOfKey.insert(QByteArray(key.data(), qsizetype(key.size())), r - first);
        const QStringList values =
            QString::fromUtf8(key.data(), qsizetype(key.size())).split(QLatin1Char(kKeySeparator));
        for (int p = 0; p < parts; ++p)
            q.bindValue(i * parts + p, values.value(p));
    }
    if (!q.exec()) {
        fail(q.lastError().text());
        m_blockQuery.reset();
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
    // The statement goes back to the connection's kept ones: scrolling on reads the next blocks
    // through it, one round trip each.
    q.finish();
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
    // The user's own move ends a search still waiting for its rows, or answered.
    m_seeking = false;
    m_answered = false;
    moveTo(row);
}

void WindowedSource::moveTo(int row) {
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
    const QVariant key = core::keyFromText(text, fieldType(f));
    if (!key.isValid()) return LocateResult::Incompatible;
    m_seekKey = key;
    m_seeking = true;
    m_answered = false;
    // Most keys fall among the rows read, or near them: the reading goes on here a moment for
    // them. Further on, the search is left to the background reading, the current row following
    // the rows read, so that the next keystroke is not held up.
    QElapsedTimer clock;
    clock.start();
    m_slice->stop();
    for (;;) {
        const LocateResult result = settleSeek();
        if (result != LocateResult::Pending) {
            m_seeking = false;
            if (m_open && !m_complete && (m_scan || m_joined)) m_slice->start();
            return result;
        }
        const qint64 left = m_seekWaitMs - clock.elapsed();
        if (left <= 0) break;
        if (!m_scan && !m_joined) {
            // Nothing more is being read (a failure stopped it): the rows there are are the answer.
            m_seeking = false;
            return m_shown == 0 ? LocateResult::Empty : LocateResult::PastEnd;
        }
        if (!advance(kSliceRows, int(left))) {
            m_seeking = false;
            return m_shown == 0 ? LocateResult::Empty : LocateResult::PastEnd;
        }
    }
    publish(true);
    if (m_open && !m_complete && (m_scan || m_joined)) m_slice->start();
    return LocateResult::Pending;
}

// The answer of the search waiting for its rows, the current row moved to it, once the rows read
// hold it; LocateResult::Pending until then.
LocateResult WindowedSource::settleSeek() {
    const int f = sortFieldIndex();
    const FieldType type = fieldType(f);
    const QVariant& key = m_seekKey;
    if (m_joined) {
        // The first place whose name is not below the key (a blank key: the first row): its first
        // row, or the next row read after it when it has none.
        const Ranks& r = m_ranks;
        int place = 0;
        if (!core::isBlank(key)) {
            int lo = 1, hi = r.count();
            const QString text = key.toString();
            while (lo < hi) {
                const int mid = (lo + hi) / 2;
                if (core::compareText(r.name(mid), text) < 0)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            place = lo;
        }
        int row = int(m_keys.size());
        if (place < r.count()) {
            const bool read = r.next > place && r.firstRow[place] < int(m_keys.size());
            if (!m_complete && !read) return LocateResult::Pending;
            if (read) row = r.firstRow[place];
        } else if (!m_complete) {
            // Every name known so far is below the key: more may come, or the rows after them.
            return LocateResult::Pending;
        }
        m_seeking = false;
        m_answered = true;
        publish(true);
        if (m_shown == 0) return LocateResult::Empty;
        if (row >= m_shown) {
            moveTo(m_shown - 1);
            return LocateResult::PastEnd;
        }
        moveTo(row);
        return LocateResult::Found;
    }
    // An ordered scan answers once it has read past the key; an order built here once it is whole.
    if (!m_complete && (m_orderHere || m_blankEnd < 0 || core::compareValues(m_lastValue, key, type) < 0))
        return LocateResult::Pending;
    m_seeking = false;
    m_answered = true;
    publish(true);
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
                moveTo((j - 1) * kBlockRows + i);
                return LocateResult::Found;
            }
        }
    }
    const int row = j * kBlockRows;
    if (row >= m_shown) {
        moveTo(m_shown - 1);
        return LocateResult::PastEnd;
    }
    moveTo(row);
    return LocateResult::Found;
}

} // namespace forms
