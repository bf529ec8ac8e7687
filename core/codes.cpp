#include "core/codes.h"

#include "core/readquery.h"
#include "core/routines.h"

#include <QSqlError>
#include <QSqlQuery>

namespace core {

namespace {

bool allDigits(const QString& text) {
    if (text.isEmpty()) return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

template <typename Query> QString errorOf(const Query& q, const QSqlDatabase& db) {
    QString text = q.lastError().text();
    if (text.trimmed().isEmpty()) text = db.lastError().text();
    return text;
}

} // namespace

bool fetchName(const QSqlDatabase& db, const QString& query, const QString& code, QVariant* name,
               QString* error) {
    // A name is read as a code is typed or a record is shown: through the kept statement, one
    // round trip to a server far away.
    ReadQuery q(db);
    if (!q.prepare(query)) {
        if (error) *error = errorOf(q, db);
        return false;
    }
    q.addBindValue(code);
    if (!q.exec()) {
        if (error) *error = errorOf(q, db);
        return false;
    }
    *name = q.next() ? q.value(0) : QVariant();
    return true;
}

NextCode nextCode(const QSqlDatabase& db, const QString& greatestQuery, int width) {
    NextCode result;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(greatestQuery) || !q.next()) {
        result.detail = errorOf(q, db);
        return result;
    }
    const QString greatest = q.value(0).toString().trimmed();
    // A hand-typed code that is no number cannot be counted on from.
    if (!allDigits(greatest)) {
        result.outcome = NextCode::Outcome::NotNumeric;
        result.detail = greatest;
        return result;
    }
    const QString next = QString::number(greatest.toULongLong() + 1);
    // A code wider than the column would be refused by the database or cut short.
    if (next.size() > width) {
        result.outcome = NextCode::Outcome::TooWide;
        result.detail = next;
        return result;
    }
    result.outcome = NextCode::Outcome::Ready;
    result.code = routines::zeroFill(next, width);
    return result;
}

} // namespace core
