#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

namespace exchange {

// Writes a one-sheet Excel 97-2003 workbook (.xls, BIFF8 in a compound file). Enough for the
// unit-type sheet the program ships and for the files the tests read: numbers and texts, no
// formatting. rows[0] is row 1, rows[0][0] cell A1; a number (int, double) becomes a numeric
// cell, anything else its text, and a null or empty value leaves the cell empty.
QByteArray xlsWorkbook(const QString& sheetName, const QList<QVariantList>& rows);

// Writes xlsWorkbook() to a file; false with the reason on failure.
bool writeXlsWorkbook(const QString& path, const QString& sheetName, const QList<QVariantList>& rows,
                      QString* errorText = nullptr);

} // namespace exchange
