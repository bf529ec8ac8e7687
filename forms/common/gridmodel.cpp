#include "forms/common/gridmodel.h"

#include <QDate>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTime>

namespace forms {

namespace {

// The character of a set that is widest in the font: digits are not equally wide in every font.
QChar widest(const QFontMetrics& metrics, QStringView characters) {
    QChar best = characters.front();
    for (QChar c : characters)
        if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(best)) best = c;
    return best;
}

// Paints a selected marked row in the mark's own dark shade instead of the navy bar.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->state & QStyle::State_Selected)) return;
        const QVariant mark = index.data(kRowMarkRole);
        if (!mark.isValid()) return;
        const QColor bar = GridModel::selectedMarkColour(mark.value<QColor>());
        option->palette.setColor(QPalette::Active, QPalette::Highlight, bar);
        option->palette.setColor(QPalette::Inactive, QPalette::Highlight, bar);
    }
};

// Room a cell gives its text beside the text itself: the item margins on both sides and the
// grid line.
int cellMargins(const QTableView* view) {
    return 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 2;
}

} // namespace

GridModel::GridModel(RowSource* source, const QList<GridColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_source(source)
    , m_columns(columns) {
    mapFields();
    connect(source, &RowSource::rowsReset, this, [this] {
        beginResetModel();
        mapFields();
        endResetModel();
    });
    connect(source, &RowSource::rowValuesChanged, this, [this](int row) {
        if (row >= 0 && !m_columns.isEmpty())
            emit dataChanged(index(row, 0), index(row, m_columns.size() - 1));
    });
    // Single-row changes are rare (one insertion or deletion at a time): a reset keeps the
    // view and the source trivially in step.
    connect(source, &RowSource::rowInserted, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(source, &RowSource::rowRemoved, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

void GridModel::mapFields() {
    m_fieldOfColumn.clear();
    for (const GridColumn& c : m_columns)
        m_fieldOfColumn << (m_source ? m_source->fieldIndex(c.field) : -1);
}

int GridModel::columnOfField(const QString& field) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).field.compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void GridModel::setSearchColumn(int column) {
    m_searchColumn = column;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

QColor GridModel::columnColour(int column) const {
    if (m_searchColumn < 0 || column == m_searchColumn) return whiteColour();
    return silverColour();
}

RowMark GridModel::rowMark(int row) const {
    if (!m_rowMark || !m_source || row < 0 || row >= m_source->rowCount()) return {};
    return m_rowMark(*m_source, row);
}

QColor GridModel::selectedMarkColour(const QColor& mark) {
    // Dark enough for the white text of the cursor bar, of the mark's hue so that it still reads
    // as the mark (a dark red bar on an overdue row).
    return QColor::fromHsv(std::max(0, mark.hsvHue()), 255, 150);
}

QString GridModel::widestValue(int column, const QFontMetrics& metrics) const {
    const GridColumn& c = m_columns.at(column);
    const int f = m_fieldOfColumn.value(column, -1);
    if (c.text || !m_source || f < 0) return {};
    const QChar digit = widest(metrics, u"0123456789");
    switch (m_source->fieldType(f)) {
    case FieldType::Date:
        return QString(2, digit) + u'/' + QString(2, digit) + u'/' + QString(4, digit);
    case FieldType::Time:
        return QString(2, digit) + u':' + QString(2, digit) + u':' + QString(2, digit);
    case FieldType::Integer:
        return QString(std::clamp(m_source->fieldWidth(f), 1, 18), digit);
    case FieldType::Text: {
        // Short texts are codes, years and numbers (digits) or flags ("X", "SIM"); longer ones
        // are names and subjects, whose widths are the columns' own.
        const int width = m_source->fieldWidth(f);
        if (width <= 0 || width > 8) return {};
        if (width <= 3) return QString(width, widest(metrics, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"));
        return QString(width, digit);
    }
    default:
        return {};
    }
}

int GridModel::columnWidth(int column, int averageCharWidth) const {
    const GridColumn& c = m_columns.at(column);
    if (c.width > 0) return c.width;
    const int f = m_fieldOfColumn.value(column, -1);
    int chars = m_source && f >= 0 ? m_source->fieldWidth(f) : 0;
    if (m_source && f >= 0) {
        switch (m_source->fieldType(f)) {
        case FieldType::Date:
            chars = 10;
            break;
        case FieldType::Time:
            chars = 8;
            break;
        default:
            break;
        }
    }
    chars = std::clamp(std::max(chars, int(c.title.size())), 4, 40);
    return chars * averageCharWidth + 16;
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_source ? 0 : m_source->rowCount();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns.size();
}

QString GridModel::displayText(const QVariant& value, FieldType type) {
    return core::valueText(value, type);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_source) return {};
    const int f = m_fieldOfColumn.value(index.column(), -1);
    switch (role) {
    case Qt::DisplayRole: {
        const GridColumn& c = m_columns.at(index.column());
        if (c.text) return c.text(*m_source, index.row());
        return f < 0 ? QVariant()
                     : QVariant(displayText(m_source->valueAt(index.row(), f), m_source->fieldType(f)));
    }
    case Qt::BackgroundRole: {
        const QColor marked = rowMark(index.row()).background;
        return marked.isValid() ? marked : columnColour(index.column());
    }
    case kRowMarkRole: {
        const QColor marked = rowMark(index.row()).background;
        return marked.isValid() ? QVariant(marked) : QVariant();
    }
    case Qt::AccessibleDescriptionRole: {
        const QString spoken = rowMark(index.row()).spoken;
        return spoken.isEmpty() ? QVariant() : QVariant(spoken);
    }
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    case Qt::TextAlignmentRole:
        return int(m_columns.at(index.column()).alignment);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns.at(section).title;
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QString(); // the row indicator column carries no numbers
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void setupGrid(QTableView* view, GridModel* model) {
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setFocusPolicy(Qt::ClickFocus); // skipped by the Tab key
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->setAlternatingRowColors(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setFixedWidth(14); // the row indicator column
    view->horizontalHeader()->setSectionsClickable(true);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setStretchLastSection(false);
    view->setSortingEnabled(false);

    // Selected rows keep the grid's own colours readable: a dark cursor bar with white text.
    QPalette pal = view->palette();
    pal.setColor(QPalette::Highlight, QColor(0, 0, 128));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0, 0, 128));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    view->setPalette(pal);

    if (!dynamic_cast<GridDelegate*>(view->itemDelegate())) view->setItemDelegate(new GridDelegate(view));

    const QFontMetrics metrics = view->fontMetrics();
    const int avg = metrics.averageCharWidth();
    for (int c = 0; c < model->columnCount(); ++c) {
        int width = model->columnWidth(c, avg);
        const QString widestText = model->widestValue(c, metrics);
        if (!widestText.isEmpty())
            width = std::max(width, metrics.horizontalAdvance(widestText) + cellMargins(view));
        view->setColumnWidth(c, width);
        view->setColumnHidden(c, model->columns().at(c).hidden);
    }

    // The links between view and source live in one object, so that giving the view another
    // model (another list) drops the old links with it.
    delete view->findChild<QObject*>(QStringLiteral("forms_gridLink"), Qt::FindDirectChildrenOnly);
    auto* link = new QObject(view);
    link->setObjectName(QStringLiteral("forms_gridLink"));

    RowSource* source = model->source();
    auto showCurrent = [view, model, source] {
        const int row = source->currentRow();
        QItemSelectionModel* sel = view->selectionModel();
        if (!sel) return;
        if (row < 0 || row >= model->rowCount()) {
            sel->clearSelection();
            return;
        }
        const QModelIndex current = sel->currentIndex();
        // A grid that selects several rows lets Ctrl and Shift decide what is selected: the
        // cursor row alone is not forced into the selection.
        if (current.isValid() && current.row() == row &&
            (sel->isRowSelected(row) || view->selectionMode() != QAbstractItemView::SingleSelection))
            return;
        int column = current.isValid() ? current.column() : 0;
        while (column < model->columnCount() && view->isColumnHidden(column))
            ++column;
        const QModelIndex target = model->index(row, std::min(column, model->columnCount() - 1));
        // Only up and down: the columns in view stay where the user put them (a title clicked
        // far to the right stays in view when the list is ordered by it). Making the cell
        // current scrolls to it as well.
        QScrollBar* across = view->horizontalScrollBar();
        const int left = across->value();
        sel->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->scrollTo(target);
        across->setValue(left);
    };
    QObject::connect(source, &RowSource::currentRowChanged, link, showCurrent);
    // A new order replaces every row: the view would go back to its first column, taking the
    // clicked title out of view. It keeps its sideways position instead.
    QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, link, [view, link] {
        link->setProperty("left", view->horizontalScrollBar()->value());
    });
    QObject::connect(model, &QAbstractItemModel::modelReset, link, [view, link, showCurrent] {
        showCurrent();
        const QVariant left = link->property("left");
        if (!left.isValid()) return;
        view->horizontalScrollBar()->setValue(left.toInt());
        link->setProperty("left", QVariant());
    });
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, link,
                     [source](const QModelIndex& current) {
                         if (current.isValid() && current.row() != source->currentRow())
                             source->setCurrentRow(current.row());
                     });
    showCurrent();
}

} // namespace forms
