#include "forms/common/gridmodel.h"

#include <QDate>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTime>

namespace forms {

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

    const int avg = view->fontMetrics().averageCharWidth();
    for (int c = 0; c < model->columnCount(); ++c) {
        view->setColumnWidth(c, model->columnWidth(c, avg));
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
        sel->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->scrollTo(target);
    };
    QObject::connect(source, &RowSource::currentRowChanged, link, showCurrent);
    QObject::connect(model, &QAbstractItemModel::modelReset, link, showCurrent);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, link,
                     [source](const QModelIndex& current) {
                         if (current.isValid() && current.row() != source->currentRow())
                             source->setCurrentRow(current.row());
                     });
    showCurrent();
}

} // namespace forms
