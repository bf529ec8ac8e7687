#include "forms/common/gridsearch.h"

#include "core/dialogs.h"
#include "core/routines.h"
#include "forms/common/gridmodel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTableView>

namespace forms {

GridSearch::GridSearch(QLabel* label, QLineEdit* box, QTableView* grid, GridModel* model,
                       const SearchRules& rules, QObject* parent)
    : QObject(parent)
    , m_label(label)
    , m_box(box)
    , m_grid(grid)
    , m_model(model)
    , m_rules(rules) {
    connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this, &GridSearch::DBGrid1TitleClick);
    // A list without a search box (the pending receipts) still takes the column choice.
    if (box) connect(box, &QLineEdit::textChanged, this, &GridSearch::PROCURAChange);
}

QString GridSearch::postalCodeKey(const QString& text) {
    const QString digits = routines::digitsOnly(text);
    QString out = QStringLiteral("00.000-000");
    int next = 0;
    for (int i = 0; i < out.size() && next < digits.size(); ++i)
        if (out.at(i) == QLatin1Char('0')) out[i] = digits.at(next++);
    return out;
}

QString GridSearch::searchKey(const QString& text, const QString& field, const SearchRules& rules) {
    if (!rules.paddedField.isEmpty() && field.compare(rules.paddedField, Qt::CaseInsensitive) == 0)
        return routines::zeroFill(text, rules.paddedWidth);
    if (!rules.postalCodeField.isEmpty() && field.compare(rules.postalCodeField, Qt::CaseInsensitive) == 0)
        return postalCodeKey(text);
    return text;
}

void GridSearch::DBGrid1TitleClick(int column) {
    if (column < 0 || column >= m_model->columnCount()) return;
    const GridColumn& c = m_model->columns().at(column);
    if (!m_model->source()->sortBy(c.field)) return;
    m_column = column;
    if (m_label) m_label->setText(QStringLiteral("Informe ") + c.title);
    m_model->setSearchColumn(column);
    if (m_box) {
        {
            const QSignalBlocker quiet(m_box);
            m_box->clear();
        }
        m_box->setFocus();
    }
}

void GridSearch::PROCURAChange(const QString& text) {
    // Every change searches, an emptied box too (back to the first row of the order); the box
    // cleared by a column choice or after the message does not reach here.
    RowSource* source = m_model->source();
    LocateResult result = LocateResult::NoOrder;
    // Before any title click the search runs in the order the list already shows (the dispatch
    // search opens ordered by Registro); a list without an order of its own has nothing to search.
    const int column = m_column >= 0 ? m_column : m_model->columnOfField(source->sortField());
    if (column >= 0 && !source->sortField().isEmpty()) {
        const QString field = m_model->columns().at(column).field;
        result = source->locateNearest(searchKey(text, field, m_rules));
    }
    if (result == LocateResult::NoOrder || result == LocateResult::Incompatible) {
        core::dialogs().message(m_box ? m_box->window() : nullptr, kIncompatibleSearch);
        if (m_box) {
            const QSignalBlocker quiet(m_box);
            m_box->clear();
        }
    }
}

} // namespace forms
