#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// Codes of the registers: the name that belongs to a code and the next code of a table.
namespace core {

// Runs a query of one bound code ("SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE=?") and gives the
// first column of its first row, null when no row has that code. False with the error on failure.
bool fetchName(const QSqlDatabase& db, const QString& query, const QString& code, QVariant* name,
               QString* error);

// The next code of a table from the query giving its greatest stored code
// ("SELECT COALESCE(MAX(IDTIPO),'0') FROM TIPOPROCESSO"), padded with "0" to the width.
struct NextCode {
    enum class Outcome {
        Ready,      // `code` holds it
        Failed,     // the query failed; `detail` holds the database's text
        NotNumeric, // the greatest stored code is no number (typed by hand); `detail` holds it
        TooWide     // one more than the greatest does not fit the width; `detail` holds it
    };
    Outcome outcome = Outcome::Failed;
    QString code;
    QString detail;
};
NextCode nextCode(const QSqlDatabase& db, const QString& greatestQuery, int width);

} // namespace core
