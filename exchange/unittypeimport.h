#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace exchange {

class Spreadsheet;

// One unit type as the audit court's sheet gives it.
struct UnitTypeRow {
    QString code;
    QString name;
};

// The sheet rows read: row 1 is the heading, the twelve types are rows 2 to 13.
inline constexpr int kFirstUnitTypeRow = 2;
inline constexpr int kLastUnitTypeRow = 13;
inline constexpr int kUnitTypeRows = kLastUnitTypeRow - kFirstUnitTypeRow + 1;

// "A/IDUnidades.xls" under the working folder (at the root when the folder is empty).
QString unitTypeSheetPath(const QString& workingFolder);

// Opens the workbook and reads columns A (code) and B (name) of rows 2 to 13 of its first
// sheet, then closes it. False, with the reader's reason, when it cannot be opened.
bool readUnitTypeSheet(Spreadsheet& sheet, const QString& path, QList<UnitTypeRow>* rows, QString* errorText);

// The codes stored in TIPOUNIDADE.
QStringList unitTypeCodes(QSqlDatabase& connection, QString* errorText);

struct ReplaceResult {
    bool committed = false;
    int deleted = 0;
    int inserted = 0;
    int refused = 0; // deletions and insertions the database refused, each tried once
    QString errorText;
};

// Replaces TIPOUNIDADE in one transaction: deletes each stored code, then inserts each sheet row
// with its code padded to two digits ("7" is stored as "07"). A row the database refuses (or one
// without a code) is skipped and the rest go on; step() is called once per deletion and once
// per sheet row. Nothing changes when the transaction cannot be committed.
ReplaceResult replaceUnitTypes(QSqlDatabase& connection, const QStringList& storedCodes,
                               const QList<UnitTypeRow>& rows, const std::function<void()>& step = {});

} // namespace exchange
