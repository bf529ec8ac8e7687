#include "core/processnumbering.h"

#include "core/readquery.h"

#include <QSqlError>

namespace core {

namespace {

bool allDigits(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

QString padded(qulonglong value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

ProcessNumber refused(const QString& rest) {
    return {ProcessNumber::Outcome::Refused, QString(), QStringLiteral("Atenção,\r") + rest};
}

// The single value of a one-row query with bound values; false with the driver's text.
// Read through the kept statement in the connection's read-committed transaction: the greatest
// number another desk has committed, at the cost of one round trip (the draw is made again, read
// the same way, when that desk's number turns out to be taken).
bool readOne(const QSqlDatabase& db, const QString& sql, const QString& bound, QString* value,
             QString* error) {
    ReadQuery q(db);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    q.addBindValue(bound);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    *value = q.next() ? q.value(0).toString().trimmed() : QString();
    return true;
}

} // namespace

NumberingScheme numberingSchemeFor(int profileNumber) {
    return profileNumber == 1 ? NumberingScheme::YearSequence : NumberingScheme::MonthDay;
}

ProcessNumber nextProcessNumber(const QSqlDatabase& db, NumberingScheme scheme, const QDate& date,
                                const QString& year) {
    QString greatest;
    QString error;
    if (scheme == NumberingScheme::YearSequence) {
        // The greatest number by value, not by text: a number stored unpadded by an older program
        // ("9") sorts after "00000010" as text, and taking it would draw 00000010 again and again.
        // Numbers that are not all digits (typed by hand) take no part: no drawn number can be
        // equal to them. The year is found through its index; only that year's numbers are read.
        if (!readOne(db,
                     QStringLiteral("SELECT MAX(CAST(IDPROCESSO AS BIGINT)) FROM PROCESSOS WHERE ANO = ? AND "
                                    "IDPROCESSO SIMILAR TO '[0-9]{1,8}'"),
                     year, &greatest, &error))
            return {ProcessNumber::Outcome::Failed, QString(), error};
        const qulonglong next = greatest.toULongLong() + 1; // no number yet: 1
        if (next > 99999999ULL)
            return refused(
                QStringLiteral(
                    "procedimento cancelado, a numeração de processos de %1 está esgotada (99999999)!")
                    .arg(year));
        return {ProcessNumber::Outcome::Assigned, padded(next, 8), QString()};
    }

    if (!date.isValid())
        return refused(QStringLiteral("procedimento cancelado, data do processo não informada!"));
    // MMDD: the highest number of the day-month in any year, found through the index on
    // IDPROCESSO (a prefix search instead of comparing substrings of every row). Only numbers of
    // the full eight characters count: among them the text order is the order of the sequence,
    // and a shorter one stored by an older program ("01049") can never equal a drawn number.
    const QString monthDay = padded(date.month(), 2) + padded(date.day(), 2);
    if (!readOne(db,
                 QStringLiteral("SELECT MAX(IDPROCESSO) FROM PROCESSOS WHERE IDPROCESSO STARTING WITH ? AND "
                                "CHAR_LENGTH(IDPROCESSO) = 8"),
                 monthDay, &greatest, &error))
        return {ProcessNumber::Outcome::Failed, QString(), error};
    const QString sequence = greatest.mid(4, 4);
    if (!allDigits(sequence))
        return refused(
            QStringLiteral("procedimento cancelado, o maior número de processo do dia %1/%2 (%3) não "
                           "é numérico!")
                .arg(monthDay.mid(2, 2), monthDay.left(2), greatest));
    const qulonglong next = sequence.toULongLong() + 1;
    // A fifth digit would make a number of nine characters, or of another day once cut.
    if (next > 9999)
        return refused(
            QStringLiteral("procedimento cancelado, a numeração de processos do dia %1/%2 está esgotada "
                           "(sequência 9999)!")
                .arg(monthDay.mid(2, 2), monthDay.left(2)));
    return {ProcessNumber::Outcome::Assigned, monthDay + padded(next, 4), QString()};
}

QString earliestProcessYear(const QSqlDatabase& db) {
    // Read at every opening of the process form and search: through the kept statement.
    ReadQuery q(db);
    // Years are four digits; anything else an older program may have stored is no year.
    if (!q.exec(QStringLiteral("SELECT MIN(ANO) FROM PROCESSOS WHERE ANO BETWEEN '1000' AND '9999'")) ||
        !q.next() || q.isNull(0))
        return {};
    return q.value(0).toString().trimmed();
}

} // namespace core
