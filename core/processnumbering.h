#pragma once

#include <QDate>
#include <QSqlDatabase>
#include <QString>

namespace core {

// The two ways an installation numbers its processes; the profile number chooses.
enum class NumberingScheme {
    // 00000001, 00000002, ... starting again every year (profile 1).
    YearSequence,
    // Month and day of the registration date followed by a 4-digit sequence of that day-month,
    // which continues from the highest number of the same day-month of any earlier year, so a
    // number is never given twice (every other profile).
    MonthDay
};

NumberingScheme numberingSchemeFor(int profileNumber);

// The outcome of drawing a protocol number.
struct ProcessNumber {
    enum class Outcome {
        Assigned, // `number` holds the eight digits
        Refused,  // no number can be given: `message` is the text for the clerk
        Failed    // the database failed: `message` is its own text
    };
    Outcome outcome = Outcome::Failed;
    QString number;
    QString message;
    bool assigned() const { return outcome == Outcome::Assigned; }
};

// The number of a new process registered on `date` in `year`: the highest stored number of the
// scheme plus one, highest by value (a year's numbers stored unpadded by an older program count
// by what they are worth; numbers with other characters are left out). Stored numbers are never
// rewritten. Nothing is reserved: two workstations drawing at the same moment get the same
// number, and the key (IDPROCESSO, ANO) of PROCESSOS refuses the second save. A scheme whose
// numbers ran out (sequence 9999 of a day-month, 99999999 of a year) is refused rather than
// giving a number of another day or a ninth digit.
ProcessNumber nextProcessNumber(const QSqlDatabase& db, NumberingScheme scheme, const QDate& date,
                                const QString& year);

// The earliest year that has processes (four digits), or empty when there is none or the
// database cannot say: the bottom of the year lists.
QString earliestProcessYear(const QSqlDatabase& db);

} // namespace core
