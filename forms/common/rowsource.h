#pragma once

#include "core/collation.h"

#include <QObject>
#include <QString>
#include <QVariant>

namespace forms {

// Field types are the value types of the one rule for showing, ordering and searching values.
using FieldType = core::ValueType;

// Outcome of a nearest-key search in a list.
enum class LocateResult {
    Found,        // the current row is the first whose value is equal to or greater than the key
    PastEnd,      // every value is smaller: the current row is the last one
    Empty,        // no rows
    NoOrder,      // no column has been chosen: there is no order to search in
    Incompatible, // the key cannot be turned into the column's type
    Pending       // the rows of the answer are still being read: the current row moves to it when
                  // they arrive (a list read in windows)
};

// What a grid shows and searches. The client-side record set is one; a list that reads its rows
// from the database in windows (the process and dispatch searches) can be another, behind the
// same grid model and search box.
class RowSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual int rowCount() const = 0;
    virtual int fieldCount() const = 0;
    virtual QString fieldName(int field) const = 0;
    // Case-insensitive; -1 when there is no such field.
    virtual int fieldIndex(const QString& name) const = 0;
    virtual FieldType fieldType(int field) const = 0;
    // Declared width in characters (0 when unknown).
    virtual int fieldWidth(int field) const = 0;
    virtual QVariant valueAt(int row, int field) const = 0;

    // -1 when there are no rows.
    virtual int currentRow() const = 0;
    virtual void setCurrentRow(int row) = 0;

    // Ascending order on one field; false when the field is unknown.
    virtual bool sortBy(const QString& field) = 0;
    // Empty while no order was chosen.
    virtual QString sortField() const = 0;
    // Moves to the first row whose sort-field value is equal to or greater than the key, the key
    // given as typed (dates dd/mm/yyyy, times hh:mm[:ss]).
    virtual LocateResult locateNearest(const QString& key) = 0;

signals:
    // Rows replaced, reordered or emptied: a view reads everything again.
    void rowsReset();
    void rowValuesChanged(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    void currentRowChanged(int row);
};

} // namespace forms
