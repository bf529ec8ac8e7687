#pragma once

#include "forms/common/rowsource.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QPointer>

#include <functional>

class QFontMetrics;
class QTableView;

namespace forms {

// The two colours of every editing window: writable white, read-only silver.
inline QColor whiteColour() {
    return QColor(255, 255, 255);
}
inline QColor silverColour() {
    return QColor(192, 192, 192);
}

// One column of a grid.
struct GridColumn {
    QString title;
    QString field;
    int width = 0; // pixels; 0 = from the field's width
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool hidden = false;
    // A column whose text is worked out from its whole row (how long a movement has waited) instead
    // of being its field as stored; the field still gives the column its order.
    std::function<QString(const RowSource& source, int row)> text = nullptr;
};

// A row that stands out (an overdue movement): its background, and the words a screen reader
// gives with any of its cells, a colour alone saying nothing to it.
struct RowMark {
    QColor background; // invalid: the columns' own colours
    QString spoken;
};

// The model role that answers the mark's background of a row (invalid when the row has none).
inline constexpr int kRowMarkRole = Qt::UserRole + 1;

// Wide columns (names, subjects) in the grids of the registers.
inline constexpr int kWideColumn = 300;

// The read-only model behind every `DBGrid1`: the columns of a row source, the search column
// painted white and the others silver once a column has been chosen.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    GridModel(RowSource* source, const QList<GridColumn>& columns, QObject* parent = nullptr);

    RowSource* source() const { return m_source; }
    const QList<GridColumn>& columns() const { return m_columns; }
    // -1 when the field has no column.
    int columnOfField(const QString& field) const;
    // The column chosen for searching (-1: none yet, every column white).
    void setSearchColumn(int column);
    int searchColumn() const { return m_searchColumn; }
    // Background of a column as painted now.
    QColor columnColour(int column) const;
    // Marks the rows that must stand out; without it every row takes its columns' colours.
    void setRowMark(std::function<RowMark(const RowSource& source, int row)> mark) {
        m_rowMark = std::move(mark);
    }
    RowMark rowMark(int row) const;
    // The colour a marked row keeps while it is the selected row: the navy cursor bar would hide
    // the mark, so the bar of a marked row takes a dark shade of the mark's own hue.
    static QColor selectedMarkColour(const QColor& mark);
    // Default pixel width of a column (its given width or one derived from the field).
    int columnWidth(int column, int averageCharWidth) const;
    // The widest text a column of fixed-width values (dates, times, years, numbers, codes, flags)
    // can show, built from the widest digit (or capital) of the font, so that its width is
    // measured rather than guessed; empty for free text and worked-out columns.
    QString widestValue(int column, const QFontMetrics& metrics) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // How a value is shown in a grid cell.
    static QString displayText(const QVariant& value, FieldType type);

private:
    QPointer<RowSource> m_source;
    QList<GridColumn> m_columns;
    QList<int> m_fieldOfColumn;
    int m_searchColumn = -1;
    std::function<RowMark(const RowSource&, int)> m_rowMark;

    void mapFields();
};

// Prepares a QTableView as a `DBGrid1`: read-only, whole-row cursor that follows the source's
// current row (and moves it when a row is clicked), clickable column titles, skipped by Tab,
// column widths and hidden columns from the model. A column of fixed-width values is never
// narrower than its widest value in the grid's font; moving the cursor (a new order, a search)
// never scrolls the grid sideways, so the chosen column stays in view.
void setupGrid(QTableView* view, GridModel* model);

} // namespace forms
