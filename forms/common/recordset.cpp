#include "forms/common/recordset.h"

#include "core/connection.h"

#include <QDate>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <algorithm>
#include <limits>

namespace forms {

RecordSet::RecordSet(QObject* parent)
    : RowSource(parent)
    , m_connectionName(QString::fromLatin1(core::kMainConnection)) {}

RecordSet::~RecordSet() = default;

void RecordSet::setConnectionName(const QString& name) {
    m_connectionName = name.isEmpty() ? QString::fromLatin1(core::kMainConnection) : name;
}

QSqlDatabase RecordSet::database() const {
    return QSqlDatabase::database(m_connectionName, false);
}

void RecordSet::setParameter(const QString& name, const QVariant& value) {
    const QString bare = name.startsWith(QLatin1Char(':')) ? name.mid(1) : name;
    for (auto& p : m_params) {
        if (p.first.compare(bare, Qt::CaseInsensitive) == 0) {
            p.second = value;
            return;
        }
    }
    m_params.append({bare, value});
}

void RecordSet::setFields(const QList<FieldDef>& fields) {
    m_fields = fields;
    m_fieldsFromQuery = false;
}

const FieldDef* RecordSet::field(const QString& name) const {
    const int i = fieldIndex(name);
    return i < 0 ? nullptr : &m_fields.at(i);
}

QString RecordSet::fieldName(int field) const {
    return field >= 0 && field < m_fields.size() ? m_fields.at(field).name : QString();
}

int RecordSet::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

FieldType RecordSet::fieldType(int field) const {
    return field >= 0 && field < m_fields.size() ? m_fields.at(field).type : FieldType::Text;
}

int RecordSet::fieldWidth(int field) const {
    return field >= 0 && field < m_fields.size() ? m_fields.at(field).width : 0;
}

QVariant RecordSet::valueAt(int row, int field) const {
    if (row < 0 || row >= m_rows.size() || field < 0 || field >= m_fields.size()) return {};
    return m_rows.at(row).values.at(field);
}

// --- reading ---------------------------------------------------------------------------------

static FieldType typeOfColumn(const QSqlField& f) {
    switch (f.metaType().id()) {
    case QMetaType::QDate:
        return FieldType::Date;
    case QMetaType::QTime:
        return FieldType::Time;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return FieldType::Integer;
    case QMetaType::QByteArray:
        return FieldType::Blob;
    default:
        return FieldType::Text;
    }
}

// The driver hands every blob over as bytes; a text blob (a dispatch, a reason) is text to the
// program: shown, ordered and searched as text, and kept as a string of its own length.
static bool isTextBlob(const QSqlDatabase& db, const QSqlField& f) {
    if (f.tableName().isEmpty()) return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT F.RDB$FIELD_SUB_TYPE FROM RDB$RELATION_FIELDS RF "
                             "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
                             "WHERE RF.RDB$RELATION_NAME = ? AND RF.RDB$FIELD_NAME = ?"));
    q.addBindValue(f.tableName().trimmed());
    q.addBindValue(f.name().trimmed());
    return q.exec() && q.next() && q.value(0).toInt() == 1;
}

QVariant RecordSet::convert(const QVariant& value, FieldType type) const {
    return core::valueFromDatabase(value, type);
}

bool RecordSet::open() {
    if (isOpen()) return true;
    m_lastError.clear();
    m_connectionLost = false;
    QSqlDatabase db = database();
    if (!core::ensureConnection(db)) {
        m_connectionLost = true;
        m_lastError = core::lostConnectionMessage();
        return false;
    }
    if (!db.isOpen()) {
        m_lastError = QStringLiteral("A conexão com o banco de dados não está aberta.");
        return false;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(m_sql)) {
        m_lastError = q.lastError().text();
        return false;
    }
    for (const auto& p : m_params) {
        const QString mark = QLatin1Char(':') + p.first;
        if (m_sql.contains(mark, Qt::CaseInsensitive)) q.bindValue(mark, p.second);
    }
    if (!q.exec()) {
        m_lastError = q.lastError().text();
        m_connectionLost = core::noteConnectionFailure(db);
        return false;
    }
    const QSqlRecord rec = q.record();
    if (m_fields.isEmpty() || m_fieldsFromQuery) {
        m_fields.clear();
        for (int i = 0; i < rec.count(); ++i) {
            const QSqlField f = rec.field(i);
            FieldDef def;
            def.name = f.name();
            def.type = typeOfColumn(f);
            // The driver reports byte lengths in the connection's UTF-8: four per character.
            def.width = def.type == FieldType::Text && f.length() > 0 ? f.length() / 4 : 0;
            if (def.type == FieldType::Blob && isTextBlob(db, f)) def.type = FieldType::Memo;
            m_fields << def;
        }
        m_fieldsFromQuery = true;
    }
    QList<int> columnOf;
    for (const FieldDef& f : m_fields) {
        const int c = rec.indexOf(f.name);
        if (c < 0) {
            m_lastError = QStringLiteral("Campo %1 não encontrado na consulta.").arg(f.name);
            return false;
        }
        columnOf << c;
    }
    QList<Row> rows;
    quint64 order = 0;
    while (q.next()) {
        Row r;
        r.id = m_nextId++;
        r.loadOrder = order++;
        r.values.reserve(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i)
            r.values << convert(q.value(columnOf.at(i)), m_fields.at(i).type);
        r.original = r.values;
        rows << r;
    }
    if (q.lastError().isValid()) {
        m_lastError = q.lastError().text();
        return false;
    }
    m_rows = rows;
    m_deleted.clear();
    m_sortField.clear();
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_insertUnposted = false;
    setState(State::Browse);
    emit rowsReset();
    emit currentRowChanged(m_current);
    emit recordChanged();
    return true;
}

void RecordSet::close() {
    const bool wasOpen = isOpen();
    m_rows.clear();
    m_deleted.clear();
    m_sortField.clear();
    m_current = -1;
    m_insertUnposted = false;
    m_handlersRunning.clear();
    if (!wasOpen) return;
    setState(State::Closed);
    emit rowsReset();
    emit currentRowChanged(-1);
    emit recordChanged();
}

bool RecordSet::reopen() {
    close();
    return open();
}

void RecordSet::setState(State state) {
    if (m_state == state) return;
    m_state = state;
    emit stateChanged(state);
}

// --- navigation ------------------------------------------------------------------------------

void RecordSet::moveTo(int row, bool force) {
    if (m_rows.isEmpty())
        row = -1;
    else
        row = std::clamp(row, 0, int(m_rows.size()) - 1);
    if (row == m_current && !force) return;
    m_current = row;
    emit currentRowChanged(row);
    emit recordChanged();
}

void RecordSet::setCurrentRow(int row) {
    // A record being inserted or altered keeps the cursor.
    if (isEditing() || !isOpen()) return;
    moveTo(row);
}

bool RecordSet::first() {
    setCurrentRow(0);
    return !m_rows.isEmpty();
}

bool RecordSet::last() {
    setCurrentRow(m_rows.size() - 1);
    return !m_rows.isEmpty();
}

bool RecordSet::next() {
    if (m_current + 1 >= m_rows.size()) return false;
    setCurrentRow(m_current + 1);
    return true;
}

bool RecordSet::prior() {
    if (m_current <= 0) return false;
    setCurrentRow(m_current - 1);
    return true;
}

QVariant RecordSet::value(const QString& field) const {
    return valueAt(m_current, fieldIndex(field));
}

QString RecordSet::text(const QString& field) const {
    const int f = fieldIndex(field);
    const QVariant v = valueAt(m_current, f);
    if (v.isNull()) return {};
    switch (fieldType(f)) {
    case FieldType::Date:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case FieldType::Time:
        return v.toTime().toString(QStringLiteral("hh:mm:ss"));
    case FieldType::Blob:
        return QString::fromLatin1(v.toByteArray().toHex());
    default:
        return v.toString();
    }
}

bool RecordSet::setValue(const QString& field, const QVariant& value) {
    const int f = fieldIndex(field);
    if (f < 0) {
        m_lastError = QStringLiteral("Campo %1 não existe.").arg(field);
        return false;
    }
    if (!isEditing() || m_current < 0) {
        m_lastError = QStringLiteral("O registro não está em inclusão ou alteração.");
        return false;
    }
    m_rows[m_current].values[f] = convert(value, m_fields.at(f).type);
    emit rowValuesChanged(m_current);
    emit fieldChanged(m_fields.at(f).name);
    if (m_handlersRunning.contains(f)) return true;
    const auto handlers = m_fieldHandlers.value(m_fields.at(f).name.toUpper());
    if (handlers.isEmpty()) return true;
    m_handlersRunning.insert(f);
    for (const auto& h : handlers) {
        if (!isEditing()) break;
        h();
    }
    m_handlersRunning.remove(f);
    return true;
}

void RecordSet::addFieldChange(const QString& field, std::function<void()> handler) {
    m_fieldHandlers[field.toUpper()] << std::move(handler);
}

// --- changes ---------------------------------------------------------------------------------

bool RecordSet::append() {
    if (!isOpen()) {
        m_lastError = QStringLiteral("O conjunto de registros está fechado.");
        return false;
    }
    if (isEditing() && !post()) return false;
    Row r;
    r.id = m_nextId++;
    r.loadOrder = std::numeric_limits<quint64>::max();
    for (int i = 0; i < m_fields.size(); ++i)
        r.values << QVariant();
    r.original = r.values;
    r.status = RowStatus::Inserted;
    m_rows.append(r);
    m_insertUnposted = true;
    m_current = m_rows.size() - 1;
    emit rowInserted(m_current);
    setState(State::Insert);
    emit currentRowChanged(m_current);
    emit recordChanged();
    for (const auto& hook : m_afterInsert) {
        if (m_state != State::Insert) break;
        hook();
    }
    return m_state == State::Insert;
}

bool RecordSet::edit() {
    if (m_state == State::Edit || m_state == State::Insert) return true;
    if (m_state != State::Browse || m_current < 0) {
        m_lastError = QStringLiteral("Não há registro para alterar.");
        return false;
    }
    m_savedValues = m_rows.at(m_current).values;
    m_savedStatus = m_rows.at(m_current).status;
    m_insertUnposted = false;
    setState(State::Edit);
    return true;
}

bool RecordSet::post() {
    if (!isEditing()) return true;
    emit aboutToPost();
    if (!isEditing()) return true;
    const Row& row = m_rows.at(m_current);
    for (int i = 0; i < m_fields.size(); ++i) {
        const FieldDef& f = m_fields.at(i);
        const QVariant& v = row.values.at(i);
        if (f.required && (v.isNull() || v.toString().isEmpty())) {
            m_lastError = QStringLiteral("O campo %1 precisa de um valor.").arg(f.name);
            return false;
        }
        if (f.width > 0 && (f.type == FieldType::Text) && v.toString().size() > f.width) {
            m_lastError =
                QStringLiteral("O valor do campo %1 excede %2 caracteres.").arg(f.name).arg(f.width);
            return false;
        }
    }
    Row& r = m_rows[m_current];
    if (r.status != RowStatus::Inserted)
        r.status = sameValues(r.values, r.original) ? RowStatus::Unchanged : RowStatus::Modified;
    m_insertUnposted = false;
    m_savedValues.clear();
    setState(State::Browse);
    if (!m_sortField.isEmpty()) resort();
    return true;
}

void RecordSet::cancel() {
    if (m_state == State::Insert && m_insertUnposted) {
        const int gone = m_current;
        m_rows.removeAt(gone);
        m_insertUnposted = false;
        emit rowRemoved(gone);
        m_current = -1;
        setState(State::Browse);
        moveTo(std::min(gone, int(m_rows.size()) - 1), true);
        return;
    }
    if (isEditing()) {
        if (m_state == State::Edit && m_current >= 0 && !m_savedValues.isEmpty()) {
            m_rows[m_current].values = m_savedValues;
            m_rows[m_current].status = m_savedStatus;
        }
        m_savedValues.clear();
        setState(State::Browse);
        emit rowValuesChanged(m_current);
        emit recordChanged();
    }
}

bool RecordSet::deleteCurrent() {
    if (isEditing()) cancel();
    if (m_state != State::Browse || m_current < 0) {
        m_lastError = QStringLiteral("Não há registro para excluir.");
        return false;
    }
    const int gone = m_current;
    Row r = m_rows.takeAt(gone);
    if (r.status != RowStatus::Inserted) m_deleted << r;
    emit rowRemoved(gone);
    m_current = -1;
    moveTo(std::min(gone, int(m_rows.size()) - 1), true);
    return true;
}

bool RecordSet::currentIsNew() const {
    return m_current >= 0 && m_rows.at(m_current).status == RowStatus::Inserted;
}

bool RecordSet::hasPendingChanges() const {
    if (!m_deleted.isEmpty()) return true;
    for (const Row& r : m_rows)
        if (r.status != RowStatus::Unchanged) return true;
    return false;
}

QList<int> RecordSet::pendingRows() const {
    QList<int> rows;
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).status != RowStatus::Unchanged) rows << i;
    return rows;
}

bool RecordSet::sameValues(const QVariantList& a, const QVariantList& b) const {
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).joined && !m_fields.at(i).side) continue;
        if (compareValues(a.at(i), b.at(i), m_fields.at(i).type) != 0) return false;
        if (a.at(i).isNull() != b.at(i).isNull()) return false;
    }
    return true;
}

static QVariant bindable(const QVariant& v, FieldType type) {
    if (!v.isNull()) return v;
    // A typed null, so the driver binds NULL of the column's kind.
    switch (type) {
    case FieldType::Integer:
        return QVariant(QMetaType(QMetaType::LongLong));
    case FieldType::Date:
        return QVariant(QMetaType(QMetaType::QDate));
    case FieldType::Time:
        return QVariant(QMetaType(QMetaType::QTime));
    case FieldType::Blob:
        return QVariant(QMetaType(QMetaType::QByteArray));
    default:
        return QVariant(QMetaType(QMetaType::QString));
    }
}

// kind: 'D' delete, 'U' update, 'I' insert.
bool RecordSet::writeRow(QSqlDatabase& db, const Row& row, char kind, QString* error) const {
    QStringList keyTerms;
    QVariantList keyValues;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (!m_fields.at(i).key) continue;
        keyTerms << m_fields.at(i).name + QStringLiteral(" = ?");
        keyValues << bindable(row.original.at(i), m_fields.at(i).type);
    }
    if (kind != 'I' && keyTerms.isEmpty()) {
        *error = QStringLiteral("Tabela %1 sem campo chave declarado.").arg(m_table);
        return false;
    }
    QString sql;
    QVariantList values;
    if (kind == 'D') {
        sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_table, keyTerms.join(QStringLiteral(" AND ")));
        values = keyValues;
    } else if (kind == 'U') {
        QStringList sets;
        for (int i = 0; i < m_fields.size(); ++i) {
            const FieldDef& f = m_fields.at(i);
            if (f.joined) continue;
            const QVariant& now = row.values.at(i);
            const QVariant& was = row.original.at(i);
            if (compareValues(now, was, f.type) == 0 && now.isNull() == was.isNull()) continue;
            sets << f.name + QStringLiteral(" = ?");
            values << bindable(now, f.type);
        }
        if (sets.isEmpty()) return true;
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                  .arg(m_table, sets.join(QStringLiteral(", ")), keyTerms.join(QStringLiteral(" AND ")));
        values << keyValues;
    } else {
        QStringList names, marks;
        for (int i = 0; i < m_fields.size(); ++i) {
            const FieldDef& f = m_fields.at(i);
            if (f.joined) continue;
            names << f.name;
            marks << QStringLiteral("?");
            values << bindable(row.values.at(i), f.type);
        }
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(m_table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }
    QSqlQuery q(db);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    // A row that another workstation removed or re-keyed meanwhile is not silently skipped.
    if (kind != 'I' && q.numRowsAffected() == 0) {
        *error = QStringLiteral("Registro não encontrado ou alterado por outro usuário.");
        return false;
    }
    return true;
}

int RecordSet::applyUpdates() {
    QString error;
    const int errors = applyUpdates({this}, &error);
    m_lastError = error;
    return errors;
}

int RecordSet::applyUpdates(const QList<RecordSet*>& sets, QString* errorText) {
    return applyUpdates(sets, errorText, {}, {});
}

int RecordSet::applyUpdates(const QList<RecordSet*>& sets, QString* errorText, const TransactionStep& before,
                            const TransactionStep& after) {
    QString error;
    bool lost = false;
    auto fail = [&](const QString& text) {
        error = text;
        if (errorText) *errorText = text;
        for (RecordSet* s : sets) {
            s->m_lastError = text;
            s->m_connectionLost = lost;
        }
        return 1;
    };
    for (RecordSet* s : sets)
        s->m_connectionLost = false;
    if (sets.isEmpty()) return 0;
    for (RecordSet* s : sets) {
        if (s->isEditing() && !s->post()) return fail(s->m_lastError);
        if (s->connectionName() != sets.first()->connectionName())
            return fail(QStringLiteral("Os conjuntos de registros usam conexões diferentes."));
        if (s->hasPendingChanges() && s->m_table.isEmpty())
            return fail(QStringLiteral("Conjunto de registros sem tabela de gravação."));
    }
    bool any = false;
    for (RecordSet* s : sets)
        any = any || s->hasPendingChanges();
    if (!any && !before && !after) return 0;
    QSqlDatabase db = sets.first()->database();
    // A connection lost earlier is opened again first: the changes are still pending here.
    if (!core::ensureConnection(db)) {
        lost = true;
        return fail(core::lostConnectionMessage());
    }
    if (!db.isOpen()) return fail(QStringLiteral("A conexão com o banco de dados não está aberta."));
    // A lock another workstation held is met by doing the whole write again once it is free: the
    // changes are still pending here, and the steps check what the other desk wrote.
    for (int attempt = 1;; ++attempt) {
        if (!db.transaction()) {
            const QString text = db.lastError().text();
            lost = core::noteConnectionFailure(db);
            return fail(text);
        }
        error.clear();
        bool ok = !before || before(db, &error);
        for (int i = sets.size() - 1; ok && i >= 0; --i)
            for (const Row& r : std::as_const(sets.at(i)->m_deleted))
                if (!(ok = sets.at(i)->writeRow(db, r, 'D', &error))) break;
        for (RecordSet* s : sets)
            for (int i = 0; ok && i < s->m_rows.size(); ++i)
                if (s->m_rows.at(i).status == RowStatus::Modified)
                    ok = s->writeRow(db, s->m_rows.at(i), 'U', &error);
        for (RecordSet* s : sets)
            for (int i = 0; ok && i < s->m_rows.size(); ++i)
                if (s->m_rows.at(i).status == RowStatus::Inserted)
                    ok = s->writeRow(db, s->m_rows.at(i), 'I', &error);
        if (ok && after) ok = after(db, &error);
        if (ok && !db.commit()) {
            ok = false;
            error = db.lastError().text();
        }
        if (ok) break;
        db.rollback();
        if (attempt < core::kLockAttempts && core::isLockConflict(error)) continue;
        lost = core::noteConnectionFailure(db);
        return fail(error);
    }
    for (RecordSet* s : sets) {
        s->acceptApplied();
        s->m_lastError.clear();
    }
    if (errorText) errorText->clear();
    return 0;
}

void RecordSet::acceptApplied() {
    m_deleted.clear();
    for (Row& r : m_rows) {
        if (r.status == RowStatus::Unchanged) continue;
        r.original = r.values;
        r.status = RowStatus::Unchanged;
    }
}

void RecordSet::cancelUpdates() {
    if (!isOpen()) return;
    if (isEditing()) cancel();
    // A deletion that comes back shows its record again.
    const quint64 currentId =
        !m_deleted.isEmpty() ? m_deleted.last().id : (m_current >= 0 ? m_rows.at(m_current).id : 0);
    QList<Row> rows;
    for (const Row& r : std::as_const(m_rows)) {
        if (r.status == RowStatus::Inserted) continue;
        Row back = r;
        back.values = back.original;
        back.status = RowStatus::Unchanged;
        rows << back;
    }
    for (const Row& r : std::as_const(m_deleted)) {
        Row back = r;
        back.values = back.original;
        back.status = RowStatus::Unchanged;
        rows << back;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.loadOrder < b.loadOrder; });
    m_rows = rows;
    m_deleted.clear();
    if (!m_sortField.isEmpty()) {
        const int f = fieldIndex(m_sortField);
        const FieldType t = fieldType(f);
        std::stable_sort(m_rows.begin(), m_rows.end(), [f, t](const Row& a, const Row& b) {
            return compareValues(a.values.at(f), b.values.at(f), t) < 0;
        });
    }
    int at = rowIndexOfId(currentId);
    if (at < 0) at = std::min(std::max(m_current, 0), int(m_rows.size()) - 1);
    m_current = m_rows.isEmpty() ? -1 : at;
    emit rowsReset();
    emit currentRowChanged(m_current);
    emit recordChanged();
}

// --- order and search ------------------------------------------------------------------------

int RecordSet::compareValues(const QVariant& a, const QVariant& b, FieldType type) {
    return core::compareValues(a, b, type);
}

QVariant RecordSet::keyFromText(const QString& text, FieldType type) {
    return core::keyFromText(text, type);
}

int RecordSet::rowIndexOfId(quint64 id) const {
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).id == id) return i;
    return -1;
}

void RecordSet::resort() {
    const int f = fieldIndex(m_sortField);
    if (f < 0) return;
    const quint64 currentId = m_current >= 0 ? m_rows.at(m_current).id : 0;
    const FieldType t = fieldType(f);
    std::stable_sort(m_rows.begin(), m_rows.end(), [f, t](const Row& a, const Row& b) {
        return compareValues(a.values.at(f), b.values.at(f), t) < 0;
    });
    m_current = rowIndexOfId(currentId);
    if (m_current < 0 && !m_rows.isEmpty()) m_current = 0;
    emit rowsReset();
    emit currentRowChanged(m_current);
}

bool RecordSet::sortBy(const QString& field) {
    const int f = fieldIndex(field);
    if (f < 0) return false;
    if (isEditing()) return false;
    m_sortField = m_fields.at(f).name;
    resort();
    return true;
}

LocateResult RecordSet::locateNearest(const QString& key) {
    if (m_sortField.isEmpty()) return LocateResult::NoOrder;
    const int f = fieldIndex(m_sortField);
    const FieldType t = fieldType(f);
    const QVariant k = keyFromText(key, t);
    if (!k.isValid()) return LocateResult::Incompatible;
    if (m_rows.isEmpty()) return LocateResult::Empty;
    const auto it =
        std::lower_bound(m_rows.cbegin(), m_rows.cend(), k, [f, t](const Row& r, const QVariant& key) {
            return compareValues(r.values.at(f), key, t) < 0;
        });
    if (it == m_rows.cend()) {
        setCurrentRow(m_rows.size() - 1);
        return LocateResult::PastEnd;
    }
    setCurrentRow(int(it - m_rows.cbegin()));
    return LocateResult::Found;
}

} // namespace forms
