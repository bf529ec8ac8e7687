#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace exchange {

// What the import needs of a spreadsheet program: open a workbook, read cells of its first
// sheet as text, and let go of it. The program ships a reader of .xls files; another reader
// (another format, another library) replaces it through setSpreadsheetFactory().
class Spreadsheet {
public:
    virtual ~Spreadsheet() = default;
    // Opens the workbook at path; false with the reason when it cannot be read as a spreadsheet.
    virtual bool open(const QString& path, QString* errorText) = 0;
    // The value of a cell of the first sheet as text (empty when the cell is empty or absent);
    // row counted from 1, column as its letter ("A", "B", ... "AA").
    virtual QString cell(int row, const QString& column) const = 0;
    // Closes the workbook; nothing is saved.
    virtual void quit() = 0;
};

using SpreadsheetFactory = std::function<std::unique_ptr<Spreadsheet>()>;

// A new spreadsheet from the factory in use (the .xls reader unless replaced).
std::unique_ptr<Spreadsheet> createSpreadsheet();
// Replaces the reader; an empty factory goes back to the .xls reader.
void setSpreadsheetFactory(SpreadsheetFactory factory);

// The .xls (Excel 97-2003, BIFF) reader.
std::unique_ptr<Spreadsheet> createXlsSpreadsheet();

// 0 for "A", 1 for "B", 26 for "AA"; -1 for anything that is not a column letter.
int columnIndex(const QString& letters);

} // namespace exchange
