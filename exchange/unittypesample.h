#pragma once

#include <QList>
#include <QVariant>

namespace exchange {

// The sample of the audit court's unit-type sheet shipped with the program: a heading row and
// twelve types, codes as numbers as the court's sheet holds them.
QList<QVariantList> unitTypeSampleRows();

// The name of the sample's sheet.
QString unitTypeSampleSheetName();

} // namespace exchange
