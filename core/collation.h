#pragma once

#include <QString>
#include <QVariant>

// One rule for how values are shown, compared and searched, shared by the record set, the
// grids and their search boxes, the lookups, the windowed lists and the printed listings, so
// that screen, paper and the database server put the same rows in the same order.
//
// Text follows the Brazilian collation the database server indexes the searched columns with
// (WIN_PTBR): case and accents do not separate words, so "água", "AGUA" and "ÁGUA" stand together
// beside the other words beginning with A (never after "SECRETARIA" as by character code), and
// equal words keep the order of their record keys. Trailing blanks do not count, and a text of
// blanks is no value at all: it sorts with the nulls, first.
namespace core {

enum class ValueType { Text, Integer, Date, Time, Memo, Blob };

// Order of two texts: negative, 0 or positive. Equal texts (ignoring case, accents and
// trailing blanks) compare 0.
int compareText(const QString& a, const QString& b);
// True for a null value or a text of blanks only.
bool isBlank(const QVariant& value);
// Order of two values of one type, blanks and nulls first.
int compareValues(const QVariant& a, const QVariant& b, ValueType type);
// A value as the database driver hands it over, in the type the program keeps: text (null when
// empty), qlonglong, QDate, QTime, bytes. Text blobs arrive as UTF-8 bytes.
QVariant valueFromDatabase(const QVariant& value, ValueType type);
// A typed search key in the column's type (dates dd/mm/yyyy, times hh:mm[:ss]); invalid when it
// cannot be turned into it.
QVariant keyFromText(const QString& text, ValueType type);
// How a value is shown in a grid cell: dates dd/MM/yyyy, times hh:mm:ss, the first line of a
// memo, "(BLOB)" for pictures, "" for null.
QString valueText(const QVariant& value, ValueType type);

} // namespace core
