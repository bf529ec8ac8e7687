#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace exchange {

class Spreadsheet;

// One unit type as the audit court's sheet gives it, with the sheet row it came from.
struct UnitTypeRow {
    QString code;
    QString name;
    int sheetRow = 0;
};

// The sheet rows read: row 1 is the heading, the twelve types are rows 2 to 13.
inline constexpr int kFirstUnitTypeRow = 2;
inline constexpr int kLastUnitTypeRow = 13;
inline constexpr int kUnitTypeRows = kLastUnitTypeRow - kFirstUnitTypeRow + 1;
// Widths of TIPOUNIDADE.IDTIPO and TIPOUNIDADE.TIPO.
inline constexpr int kUnitTypeCodeWidth = 2;
inline constexpr int kUnitTypeNameWidth = 100;

// "A/IDUnidades.xls" under the working folder (at the root when the folder is empty).
QString unitTypeSheetPath(const QString& workingFolder);

// Opens the workbook and reads columns A (code) and B (name) of rows 2 to 13 of its first
// sheet, as the cells' text, then closes it. False, with the reader's reason, when it cannot be
// opened.
bool readUnitTypeSheet(Spreadsheet& sheet, const QString& path, QList<UnitTypeRow>* rows, QString* errorText);

// The sheet as the import will write it, or why it will not.
struct UnitTypeSheet {
    QList<UnitTypeRow> types; // the rows to store: code zero-filled to two digits, name trimmed
    int blankRows = 0;        // rows of 2 to 13 with both cells empty, left out on purpose
    QString refusal;          // empty when the sheet can replace the table; else the clerk's message
    bool usable() const { return refusal.isEmpty(); }
};

// Checks every row read before anything is written: a wholly blank row is left out and counted;
// any other row must give a code of one or two digits (zero-filled to two, not repeated) and a
// name of 1 to 100 characters that WIN1252 can store. The first row that breaks a rule refuses
// the whole sheet, and so does a sheet without a single type.
UnitTypeSheet checkUnitTypeSheet(const QList<UnitTypeRow>& rows);

// The codes stored in TIPOUNIDADE.
QStringList unitTypeCodes(QSqlDatabase& connection, QString* errorText);

struct ReplaceResult {
    bool committed = false;
    int deleted = 0;
    int inserted = 0;
    QString refusal;   // a type left out of the sheet is still used by a budget unit
    QString errorText; // the database's own text when it failed
};

// Replaces TIPOUNIDADE by the checked types in one transaction. The stored types are first
// read with their rows locked, and a type the sheet leaves out is refused while a budget unit
// still uses it: checked in this transaction, after the locks, so that a unit saved by another
// desk before the commit cannot be left pointing at a deleted type. Then every stored type is
// deleted and the sheet's are inserted. Any refusal or failure rolls everything back: the table
// is either the sheet's or as it was. step() is called once per deletion and once per type.
ReplaceResult replaceUnitTypes(QSqlDatabase& connection, const QList<UnitTypeRow>& types,
                               const std::function<void()>& step = {});

// The clerk's messages.
QString unitTypeImportedMessage(int imported, int blankRows);
QString unitTypeFailedMessage(const QString& databaseText);

} // namespace exchange
