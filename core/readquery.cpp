#include "core/readquery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlDriver>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

namespace core {

bool firebirdAttachment(const QSqlDatabase& db, isc_db_handle* handle) {
    if (!db.isValid() || !db.driver() || db.driverName() != QLatin1String("QIBASE")) return false;
    const QVariant v = db.driver()->handle();
    // The Firebird driver hands out its attachment handle (an integer handle type).
    if (!v.isValid() || v.metaType().sizeOf() != int(sizeof(isc_db_handle))) return false;
    *handle = *static_cast<const isc_db_handle*>(v.constData());
    return *handle != 0;
}

QString firebirdStatusText(const ISC_STATUS* status) {
    QString text;
    char buffer[512];
    const ISC_STATUS* p = status;
    while (fb_interpret(buffer, sizeof buffer, &p)) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QString::fromUtf8(buffer);
    }
    return text;
}

namespace {

// The attachment itself is gone (the server stopped, the link dropped): nothing of it can be
// freed any more, only forgotten.
bool connectionGone(const ISC_STATUS* status) {
    for (const ISC_STATUS* p = status; p[0] != isc_arg_end;) {
        if (p[0] == isc_arg_gds) {
            switch (p[1]) {
            case isc_network_error:
            case isc_net_read_err:
            case isc_net_write_err:
            case isc_lost_db_connection:
            case isc_att_shutdown:
            case isc_shutdown:
            case isc_bad_db_handle:
                return true;
            default:
                break;
            }
        }
        // Every argument but a cstring with its length is one kind and one value.
        p += (p[0] == isc_arg_cstring) ? 3 : 2;
    }
    return false;
}

XSQLDA* newDescriptor(int columns) {
    const int n = columns < 1 ? 1 : columns;
    auto* da = static_cast<XSQLDA*>(::operator new(XSQLDA_LENGTH(n)));
    std::memset(da, 0, XSQLDA_LENGTH(n));
    da->version = SQLDA_VERSION1;
    da->sqln = short(n);
    return da;
}

struct DescriptorDeleter {
    void operator()(XSQLDA* da) const { ::operator delete(da); }
};
using Descriptor = std::unique_ptr<XSQLDA, DescriptorDeleter>;

} // namespace

// A prepared statement of a connection, with the buffers its rows arrive in.
struct Statement {
    isc_stmt_handle handle = 0;
    QString sql;
    Descriptor in;
    Descriptor out;
    std::vector<char> row;    // the output columns' data, one after another
    std::vector<short> nulls; // their null indicators
    bool ready = false;       // prepared and described: it may be kept
};

namespace {

// What a connection keeps: its read transaction and its idle statements by text.
struct Reads {
    isc_db_handle db = 0;
    isc_tr_handle transaction = 0;
    quint64 generation = 0;
    QMultiHash<QString, Statement*> idle;
    QThread* thread = nullptr; // the thread the connection reads in
    int busy = 0;              // queries holding a statement of it
    qint64 lastUse = 0;        // when the last of them let go (ms of the monotonic clock)
};

qint64 now() {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock.elapsed();
}

int& idleReleaseMs() {
    static int ms = 60000;
    return ms;
}

QMutex& registryLock() {
    static QMutex lock;
    return lock;
}

QHash<QString, Reads>& registry() {
    static QHash<QString, Reads> reads;
    return reads;
}

quint64 nextGeneration() {
    static quint64 generation = 0;
    return ++generation;
}

// Ends a read transaction: there is nothing of it to keep, and a commit that fails (the link
// gone) leaves the rollback to try.
void endTransaction(isc_tr_handle* transaction) {
    if (!*transaction) return;
    ISC_STATUS_ARRAY status{};
    if (isc_commit_transaction(status, transaction)) isc_rollback_transaction(status, transaction);
    *transaction = 0;
}

void freeStatement(Statement* s, bool release) {
    if (release && s->handle) {
        ISC_STATUS_ARRAY status{};
        isc_dsql_free_statement(status, &s->handle, DSQL_drop);
    }
    delete s;
}

// Forgets (gone) or frees (release) what a connection keeps. The caller holds the lock.
void dropReads(Reads& r, bool release) {
    for (Statement* s : std::as_const(r.idle))
        freeStatement(s, release);
    r.idle.clear();
    if (release) endTransaction(&r.transaction);
    r.transaction = 0;
    r.db = 0;
    r.busy = 0;
    r.generation = nextGeneration();
}

// A connection nobody has read through for a while lets its statements and its transaction go:
// a prepared statement holds the tables and indices it reads, and a workstation left signed in
// must not keep the database update from changing them. The next read prepares again.
void releaseIdle() {
    QMutexLocker lock(&registryLock());
    for (auto it = registry().begin(); it != registry().end();) {
        Reads& r = it.value();
        // A connection of another thread is that thread's to end.
        if (r.thread != QThread::currentThread() || r.busy > 0 || now() - r.lastUse < idleReleaseMs()) {
            ++it;
            continue;
        }
        isc_db_handle current = 0;
        const QSqlDatabase db = QSqlDatabase::database(it.key(), false);
        dropReads(r, db.isOpen() && firebirdAttachment(db, &current) && current == r.db);
        it = registry().erase(it);
    }
}

QTimer*& idleTimer() {
    static QTimer* timer = nullptr;
    return timer;
}

int idleCheckMs() {
    return std::min(10000, std::max(idleReleaseMs() / 2, 10));
}

// Started by the first read of the program's main thread.
void watchIdle() {
    QTimer*& timer = idleTimer();
    if (timer || !QCoreApplication::instance() ||
        QThread::currentThread() != QCoreApplication::instance()->thread())
        return;
    timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(idleCheckMs());
    QObject::connect(timer, &QTimer::timeout, timer, &releaseIdle);
    timer->start();
}

// The connection's entry, renewed when its attachment is another than the one it was made for (the
// connection was opened again: the old handles died with the old attachment).
Reads& readsOf(const QString& connection, isc_db_handle db) {
    Reads& r = registry()[connection];
    if (r.db != db) {
        dropReads(r, false);
        r.db = db;
        r.thread = QThread::currentThread();
    }
    return r;
}

void allocateRow(Statement& s) {
    XSQLDA* out = s.out.get();
    size_t size = 0;
    std::vector<size_t> offsets(size_t(out->sqld));
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR& v = out->sqlvar[i];
        size_t len = size_t(v.sqllen);
        if ((v.sqltype & ~1) == SQL_VARYING) len += sizeof(short);
        size = (size + 7) & ~size_t(7);
        offsets[size_t(i)] = size;
        size += len;
    }
    s.row.assign(size + 8, 0);
    s.nulls.assign(size_t(out->sqld), 0);
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR& v = out->sqlvar[i];
        v.sqldata = s.row.data() + offsets[size_t(i)];
        v.sqlind = &s.nulls[size_t(i)];
        v.sqltype |= 1; // every column reports its nulls
    }
}

QVariant nullOf(int type) {
    switch (type) {
    case SQL_SHORT:
    case SQL_LONG:
        return QVariant(QMetaType::fromType<int>());
    case SQL_INT64:
        return QVariant(QMetaType::fromType<qlonglong>());
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return QVariant(QMetaType::fromType<double>());
    case SQL_TYPE_DATE:
        return QVariant(QMetaType::fromType<QDate>());
    case SQL_TYPE_TIME:
        return QVariant(QMetaType::fromType<QTime>());
    case SQL_TIMESTAMP:
        return QVariant(QMetaType::fromType<QDateTime>());
    case SQL_BLOB:
        return QVariant(QMetaType::fromType<QByteArray>());
    case SQL_BOOLEAN:
        return QVariant(QMetaType::fromType<bool>());
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

QVariant scaled(qlonglong value, int scale, int type) {
    if (scale >= 0) return type == SQL_INT64 ? QVariant(value) : QVariant(int(value));
    double d = double(value);
    for (int i = 0; i < -scale; ++i)
        d /= 10.0;
    return d;
}

QTime timeOf(ISC_TIME t) {
    // Units of a ten-thousandth of a second since midnight.
    return QTime::fromMSecsSinceStartOfDay(int(t / 10));
}

QDate dateOf(ISC_DATE d) {
    struct tm tm {};
    isc_decode_sql_date(&d, &tm);
    return QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

ISC_DATE encodeDate(const QDate& date) {
    struct tm tm {};
    tm.tm_year = date.year() - 1900;
    tm.tm_mon = date.month() - 1;
    tm.tm_mday = date.day();
    ISC_DATE d = 0;
    isc_encode_sql_date(&tm, &d);
    return d;
}

ISC_TIME encodeTime(const QTime& time) {
    return ISC_TIME(time.msecsSinceStartOfDay()) * 10;
}

template <typename T> QByteArray bytesOf(const T& value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

// A parameter's value in its own type (the server converts it to the parameter's): the
// descriptor's type set, the bytes in *bytes. A null keeps the described type and room for it.
bool encodeParameter(const QVariant& v, XSQLVAR* p, QByteArray* bytes) {
    p->sqltype = short(p->sqltype | 1);
    if (v.isNull()) {
        *bytes = QByteArray(p->sqllen + int(sizeof(short)), '\0');
        return true;
    }
    p->sqlscale = 0;
    switch (v.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
        *bytes = v.metaType().id() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
        p->sqltype = SQL_TEXT | 1;
        p->sqlsubtype = 4; // UTF8, the connection's character set
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        *bytes = bytesOf(v.toDouble());
        p->sqltype = SQL_DOUBLE | 1;
        break;
    case QMetaType::QDate:
        *bytes = bytesOf(encodeDate(v.toDate()));
        p->sqltype = SQL_TYPE_DATE | 1;
        break;
    case QMetaType::QTime:
        *bytes = bytesOf(encodeTime(v.toTime()));
        p->sqltype = SQL_TYPE_TIME | 1;
        break;
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        *bytes = bytesOf(ISC_TIMESTAMP{encodeDate(dt.date()), encodeTime(dt.time())});
        p->sqltype = SQL_TIMESTAMP | 1;
        break;
    }
    default: {
        if (v.metaType().id() == QMetaType::Bool && (p->sqltype & ~1) == SQL_BOOLEAN) {
            *bytes = QByteArray(1, v.toBool() ? '\1' : '\0');
            break;
        }
        bool ok = false;
        const ISC_INT64 n = v.toLongLong(&ok);
        if (!ok) return false;
        *bytes = bytesOf(n);
        p->sqltype = SQL_INT64 | 1;
        break;
    }
    }
    p->sqllen = short(bytes->size());
    return true;
}

} // namespace

struct ReadQuery::Cursor {
    QString connection;
    quint64 generation = 0;
    isc_db_handle db = 0;
    isc_tr_handle* transaction = nullptr;
    isc_tr_handle own = 0; // a snapshot read's own transaction
    std::unique_ptr<Statement> statement;
    bool counted = false; // one of its connection's busy queries
    std::vector<char> input;
    std::vector<short> inputNulls;
    QVector<QVariant> current;
    bool open = false;      // executed, its cursor not closed yet
    bool lookahead = false; // the first row is fetched and waits for next()
    bool onRow = false;
};

ReadQuery::ReadQuery(const QSqlDatabase& db, Consistency consistency)
    : m_db(db)
    , m_consistency(consistency) {}

ReadQuery::~ReadQuery() {
    finish();
}

bool ReadQuery::prepare(const QString& sql) {
    finish();
    m_sql.clear();
    m_positions.clear();
    int position = 0;
    // Named placeholders become positional ones, as Qt's driver makes them; quoted text is left
    // as it is.
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar ch = sql.at(i);
        if (!quote.isNull()) {
            if (ch == quote) quote = QChar();
        } else if (ch == QLatin1Char('\'') || ch == QLatin1Char('"')) {
            quote = ch;
        } else if (ch == QLatin1Char(':') && i + 1 < sql.size() &&
                   (sql.at(i + 1).isLetter() || sql.at(i + 1) == QLatin1Char('_'))) {
            int end = i + 1;
            while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
                ++end;
            m_positions[sql.mid(i, end - i).toUpper()].append(position++);
            m_sql += QLatin1Char('?');
            i = end - 1;
            continue;
        } else if (ch == QLatin1Char('?')) {
            ++position;
        }
        m_sql += ch;
    }
    m_values.clear();
    m_error = QSqlError();
    return true;
}

void ReadQuery::addBindValue(const QVariant& value) {
    m_values.append(value);
}

void ReadQuery::bindValue(int position, const QVariant& value) {
    if (position >= m_values.size()) m_values.resize(position + 1);
    m_values[position] = value;
}

void ReadQuery::bindValue(const QString& placeholder, const QVariant& value) {
    const auto it = m_positions.constFind(placeholder.toUpper());
    if (it == m_positions.constEnd()) return;
    for (const int position : *it)
        bindValue(position, value);
}

bool ReadQuery::exec(const QString& sql) {
    prepare(sql);
    return exec();
}

bool ReadQuery::fail(const ISC_STATUS* status, const QString& what) {
    const QString text = status ? firebirdStatusText(status) : QString();
    m_error =
        QSqlError(what, text,
                  status && connectionGone(status) ? QSqlError::ConnectionError : QSqlError::StatementError);
    if (status && connectionGone(status) && m_cursor) {
        QMutexLocker lock(&registryLock());
        auto it = registry().find(m_cursor->connection);
        if (it != registry().end() && it->generation == m_cursor->generation) dropReads(*it, false);
        if (m_cursor->statement) m_cursor->statement->handle = 0; // died with the attachment
        m_cursor->own = 0;
    }
    return false;
}

void ReadQuery::finish() {
    if (!m_cursor) return;
    std::unique_ptr<Cursor> c = std::move(m_cursor);
    QMutexLocker lock(&registryLock());
    auto it = registry().find(c->connection);
    const bool live = it != registry().end() && it->generation == c->generation;
    if (live && c->counted) {
        --it->busy;
        it->lastUse = now();
    }
    if (c->own) {
        if (live) {
            if (c->open && c->statement && c->statement->handle) {
                ISC_STATUS_ARRAY status{};
                isc_dsql_free_statement(status, &c->statement->handle, DSQL_close);
                c->open = false;
            }
            endTransaction(&c->own);
        }
        c->own = 0;
    }
    if (!c->statement) return;
    const bool same = live && c->statement->handle;
    if (!c->statement->ready) {
        freeStatement(c->statement.release(), same);
        return;
    }
    if (c->open && same) {
        ISC_STATUS_ARRAY status{};
        // Travels with the next exchange: it costs no round trip of its own.
        if (isc_dsql_free_statement(status, &c->statement->handle, DSQL_close)) {
            freeStatement(c->statement.release(), !connectionGone(status));
            return;
        }
    }
    if (same) {
        Statement* s = c->statement.release();
        it->idle.insert(s->sql, s);
    } else {
        freeStatement(c->statement.release(), false);
    }
}

bool ReadQuery::prepareStatement(ISC_STATUS* status) {
    Cursor& cur = *m_cursor;
    auto s = std::make_unique<Statement>();
    s->sql = m_sql;
    s->out.reset(newDescriptor(8));
    if (isc_dsql_allocate_statement(status, &cur.db, &s->handle)) return false;
    cur.statement = std::move(s);
    Statement& st = *cur.statement;
    const QByteArray text = m_sql.toUtf8();
    if (isc_dsql_prepare(status, cur.transaction, &st.handle, 0, text.constData(), SQL_DIALECT_V6,
                         st.out.get()))
        return false;
    if (st.out->sqld > st.out->sqln) {
        st.out.reset(newDescriptor(st.out->sqld));
        if (isc_dsql_describe(status, &st.handle, SQL_DIALECT_V6, st.out.get())) return false;
    }
    st.in.reset(newDescriptor(8));
    if (isc_dsql_describe_bind(status, &st.handle, SQL_DIALECT_V6, st.in.get())) return false;
    if (st.in->sqld > st.in->sqln) {
        st.in.reset(newDescriptor(st.in->sqld));
        if (isc_dsql_describe_bind(status, &st.handle, SQL_DIALECT_V6, st.in.get())) return false;
    }
    allocateRow(st);
    st.ready = true;
    return true;
}

ISC_STATUS ReadQuery::fetchRow(ISC_STATUS* status) {
    Cursor& c = *m_cursor;
    Statement& st = *c.statement;
    const ISC_STATUS fetched = isc_dsql_fetch(status, &st.handle, SQL_DIALECT_V6, st.out.get());
    if (fetched == 100) {
        c.open = false;
        ISC_STATUS_ARRAY ignored{};
        isc_dsql_free_statement(ignored, &st.handle, DSQL_close);
    }
    return fetched;
}

bool ReadQuery::bindInput() {
    Cursor& cur = *m_cursor;
    XSQLDA* in = cur.statement->in.get();
    if (m_values.size() != in->sqld)
        return fail(
            nullptr,
            QStringLiteral("A leitura espera %1 valores e recebeu %2.").arg(in->sqld).arg(m_values.size()));
    // Each value is handed over in its own type: the server converts it to the parameter's.
    std::vector<QByteArray> bytes(size_t(in->sqld));
    std::vector<size_t> offsets(size_t(in->sqld));
    size_t size = 0;
    for (int i = 0; i < in->sqld; ++i) {
        const QVariant& v = m_values[i];
        if (!encodeParameter(v, &in->sqlvar[i], &bytes[size_t(i)]))
            return fail(nullptr, QStringLiteral("Valor de tipo %1 não aceito numa leitura.")
                                     .arg(QString::fromLatin1(v.typeName())));
        size = (size + 7) & ~size_t(7);
        offsets[size_t(i)] = size;
        size += size_t(bytes[size_t(i)].size());
    }
    cur.input.assign(size + 8, 0);
    cur.inputNulls.assign(size_t(in->sqld), 0);
    for (int i = 0; i < in->sqld; ++i) {
        XSQLVAR& p = in->sqlvar[i];
        p.sqldata = cur.input.data() + offsets[size_t(i)];
        p.sqlind = &cur.inputNulls[size_t(i)];
        std::memcpy(p.sqldata, bytes[size_t(i)].constData(), size_t(bytes[size_t(i)].size()));
        if (m_values[i].isNull()) cur.inputNulls[size_t(i)] = -1;
    }
    return true;
}

bool ReadQuery::exec() {
    finish();
    watchIdle();
    m_error = QSqlError();
    isc_db_handle db = 0;
    if (!m_db.isOpen() || !firebirdAttachment(m_db, &db))
        return fail(nullptr, QStringLiteral("A conexão com o banco de dados não está aberta."));

    for (int attempt = 0; attempt < 2; ++attempt) {
        auto c = std::make_unique<Cursor>();
        c->connection = m_db.connectionName();
        c->db = db;
        ISC_STATUS_ARRAY status{};
        bool startFailed = false;
        {
            QMutexLocker lock(&registryLock());
            Reads& r = readsOf(c->connection, db);
            c->generation = r.generation;
            c->counted = true;
            ++r.busy;
            if (!r.transaction) {
                // Read only and read committed: each statement sees what is committed when it
                // starts, and the server keeps no old versions alive for it.
                static char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                                     isc_tpb_rec_version, isc_tpb_wait};
                startFailed =
                    isc_start_transaction(status, &r.transaction, 1, &r.db, short(sizeof tpb), tpb) != 0;
            }
            c->transaction = &r.transaction;
            if (m_consistency == Consistency::Snapshot) {
                static char snapshot[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_concurrency, isc_tpb_wait};
                if (!startFailed)
                    startFailed = isc_start_transaction(status, &c->own, 1, &r.db, short(sizeof snapshot),
                                                        snapshot) != 0;
                c->transaction = &c->own;
            }
            auto idle = startFailed ? r.idle.end() : r.idle.find(m_sql);
            if (idle != r.idle.end()) {
                c->statement.reset(idle.value());
                r.idle.erase(idle);
            }
        }
        m_cursor = std::move(c);
        // Told outside the lock: a connection found gone is forgotten under it.
        if (startFailed) return fail(status, QStringLiteral("Não foi possível iniciar a leitura."));
        Cursor& cur = *m_cursor;

        if (!cur.statement && !prepareStatement(status))
            return fail(status, QStringLiteral("Não foi possível preparar a leitura."));

        if (!bindInput()) return false;
        Statement& st = *cur.statement;

        bool failed = isc_dsql_execute(status, cur.transaction, &st.handle, SQL_DIALECT_V6, st.in.get()) != 0;
        if (!failed) {
            cur.open = true;
            const ISC_STATUS fetched = fetchRow(status);
            failed = fetched != 0 && fetched != 100;
            cur.lookahead = fetched == 0;
        }
        if (!failed) return true;
        if (connectionGone(status) || attempt == 1)
            return fail(status, QStringLiteral("Não foi possível ler do banco de dados."));
        // A kept statement the server no longer accepts (the structure it was prepared against
        // changed): prepared again, once, in a fresh transaction.
        {
            QMutexLocker lock(&registryLock());
            Reads& r = readsOf(cur.connection, db);
            if (r.generation == cur.generation) endTransaction(&r.transaction);
        }
        endTransaction(&cur.own);
        freeStatement(cur.statement.release(), true);
        finish();
    }
    return false;
}

namespace {

// A column's value of type T at `data` (the row buffer keeps no alignment for it).
template <typename T> T scalarAt(const char* data) {
    T value{};
    std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

bool ReadQuery::readColumn(int column, QVariant* value) {
    Cursor& c = *m_cursor;
    const XSQLVAR& v = c.statement->out->sqlvar[column];
    const int type = v.sqltype & ~1;
    if (*v.sqlind < 0) {
        *value = nullOf(type);
        return true;
    }
    const char* d = v.sqldata;
    switch (type) {
    case SQL_VARYING:
        *value = QString::fromUtf8(d + sizeof(short), scalarAt<short>(d));
        return true;
    case SQL_TEXT:
        // Padded as the server hands it over, as Qt's driver reads it.
        *value = QString::fromUtf8(d, v.sqllen);
        return true;
    case SQL_SHORT:
        *value = scaled(scalarAt<short>(d), v.sqlscale, type);
        return true;
    case SQL_LONG:
        *value = scaled(scalarAt<ISC_LONG>(d), v.sqlscale, type);
        return true;
    case SQL_INT64:
        *value = scaled(scalarAt<ISC_INT64>(d), v.sqlscale, type);
        return true;
    case SQL_FLOAT:
        *value = double(scalarAt<float>(d));
        return true;
    case SQL_DOUBLE:
        *value = scalarAt<double>(d);
        return true;
    case SQL_TYPE_DATE:
        *value = dateOf(scalarAt<ISC_DATE>(d));
        return true;
    case SQL_TYPE_TIME:
        *value = timeOf(scalarAt<ISC_TIME>(d));
        return true;
    case SQL_TIMESTAMP: {
        const auto ts = scalarAt<ISC_TIMESTAMP>(d);
        *value = QDateTime(dateOf(ts.timestamp_date), timeOf(ts.timestamp_time));
        return true;
    }
    case SQL_BOOLEAN:
        *value = d[0] != 0;
        return true;
    case SQL_BLOB: {
        ISC_QUAD id = scalarAt<ISC_QUAD>(d);
        isc_blob_handle blob = 0;
        ISC_STATUS_ARRAY status{};
        if (isc_open_blob2(status, &c.db, c.transaction, &blob, &id, 0, nullptr))
            return fail(status, QStringLiteral("Não foi possível ler do banco de dados."));
        QByteArray bytes;
        char chunk[16384];
        for (;;) {
            unsigned short got = 0;
            const ISC_STATUS s = isc_get_segment(status, &blob, &got, sizeof chunk, chunk);
            if (s != 0 && s != isc_segment) break;
            bytes.append(chunk, got);
        }
        const bool broken = status[1] != 0 && status[1] != isc_segstr_eof && status[1] != isc_segment;
        ISC_STATUS_ARRAY closing{};
        isc_close_blob(closing, &blob);
        if (broken) return fail(status, QStringLiteral("Não foi possível ler do banco de dados."));
        *value = bytes;
        return true;
    }
    default:
        *value = QVariant();
        return true;
    }
}

bool ReadQuery::next() {
    if (!m_cursor || !m_cursor->statement) return false;
    Cursor& c = *m_cursor;
    c.onRow = false;
    Statement& st = *c.statement;
    if (c.lookahead) {
        c.lookahead = false;
    } else {
        if (!c.open) return false;
        ISC_STATUS_ARRAY status{};
        const ISC_STATUS fetched = fetchRow(status);
        if (fetched == 100) return false;
        if (fetched != 0) {
            fail(status, QStringLiteral("Não foi possível ler do banco de dados."));
            c.open = false;
            return false;
        }
    }
    const int columns = st.out->sqld;
    c.current.resize(columns);
    for (int i = 0; i < columns; ++i)
        if (!readColumn(i, &c.current[i])) return false;
    c.onRow = true;
    return true;
}

QVariant ReadQuery::value(int column) const {
    if (!m_cursor || !m_cursor->onRow || column < 0 || column >= m_cursor->current.size()) return {};
    return m_cursor->current.at(column);
}

bool ReadQuery::isNull(int column) const {
    return value(column).isNull();
}

int ReadQuery::columnCount() const {
    return m_cursor && m_cursor->statement ? m_cursor->statement->out->sqld : 0;
}

bool ReadQuery::isActive() const {
    return m_cursor && m_cursor->statement && m_error.type() == QSqlError::NoError;
}

void setIdleRelease(int ms) {
    idleReleaseMs() = ms;
    if (idleTimer()) idleTimer()->setInterval(idleCheckMs());
}

void releaseReads(const QSqlDatabase& db) {
    QMutexLocker lock(&registryLock());
    auto it = registry().find(db.connectionName());
    if (it == registry().end()) return;
    isc_db_handle current = 0;
    // Freed only on the attachment they were made on; a closed or reopened connection's are
    // forgotten.
    const bool live = db.isOpen() && firebirdAttachment(db, &current) && current == it->db;
    dropReads(*it, live);
    registry().erase(it);
}

} // namespace core
