#include "forms/processes/searchwindow.h"

#include "core/dialogs.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupresult.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace processes {

using namespace forms;

SearchWindow::SearchWindow(const SearchWindowSpec& spec, QWidget* owner)
    : QDialog(owner)
    , m_spec(spec) {
    setObjectName(spec.formName);
    prepareWindow(this, spec.size);
    setWindowTitle(spec.caption);

    m_rows = new WindowedSource(spec.rows, this);
    m_rows->setObjectName(QStringLiteral("cdsDados"));
    connect(m_rows, &WindowedSource::failed, this, &SearchWindow::cdsDadosFailed);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(10, 10, 10, 10);
    m_layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->setSpacing(24);
    auto* searchColumn = new QVBoxLayout;
    searchColumn->setSpacing(2);
    m_label = new QLabel(QStringLiteral("Informe"), this);
    m_label->setObjectName(QStringLiteral("LProcura"));
    m_procura = new QLineEdit(this);
    m_procura->setObjectName(QStringLiteral("PROCURA"));
    m_procura->setFixedWidth(240);
    setEntry(m_procura, Entry::Upper);
    paintEditable(m_procura, false);
    m_label->setBuddy(m_procura);
    searchColumn->addWidget(m_label);
    searchColumn->addWidget(m_procura);
    top->addLayout(searchColumn);

    auto* hints = new QVBoxLayout;
    hints->setSpacing(2);
    m_hint1 = new QLabel(QStringLiteral("Clique no título da coluna que pretende pesquisar"), this);
    m_hint1->setObjectName(QStringLiteral("Label1"));
    m_hint2 = new QLabel(spec.rowHint, this);
    m_hint2->setObjectName(QStringLiteral("Label2"));
    hints->addWidget(m_hint1);
    hints->addWidget(m_hint2);
    top->addLayout(hints);
    top->addStretch(1);
    m_layout->addLayout(top);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_model = new GridModel(m_rows, spec.columns, this);
    setupGrid(m_grid, m_model);
    m_search = new GridSearch(m_label, m_procura, m_grid, m_model, spec.search, this);
    m_grid->viewport()->installEventFilter(this);
    m_procura->installEventFilter(this);
    m_grid->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_layout->addWidget(m_grid, 1);

    auto* fechar = new QPushButton(QStringLiteral("&Fechar"), this);
    fechar->setObjectName(QStringLiteral("Botao_Fechar"));
    fechar->setAutoDefault(false);
    m_layout->addWidget(fechar);
    connect(fechar, &QPushButton::clicked, this, &SearchWindow::Botao_FecharClick);
    QWidget::setTabOrder(m_procura, fechar);
}

QVariantMap SearchWindow::currentRow() const {
    QVariantMap row;
    const int r = m_rows->currentRow();
    if (r < 0) return row;
    for (int f = 0; f < m_rows->fieldCount(); ++f)
        row.insert(m_rows->fieldName(f), m_rows->valueAt(r, f));
    return row;
}

QMenu* SearchWindow::buildContextMenu(QWidget* parent) const {
    if (!m_spec.menu || m_spec.menu->isEmpty()) return nullptr;
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    for (const SearchMenuEntry& entry : *m_spec.menu) {
        QAction* action = menu->addAction(entry.title);
        auto* self = const_cast<SearchWindow*>(this);
        const auto run = entry.run;
        connect(action, &QAction::triggered, self, [self, run] { run(self, self->currentRow()); });
    }
    return menu;
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_procura && event->type() == QEvent::KeyPress) {
        // Enter after typing picks the row the search landed on, as a double click would.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_rows->currentRow() >= 0) {
            DBGrid1DblClick();
            return true;
        }
    }
    if (watched == m_grid->viewport()) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            // The first click of the double click has already put the cursor on the row.
            if (m_rows->currentRow() >= 0) DBGrid1DblClick();
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            auto* e = static_cast<QContextMenuEvent*>(event);
            const QModelIndex at = m_grid->indexAt(e->pos());
            if (at.isValid()) m_rows->setCurrentRow(at.row());
            if (QMenu* menu = buildContextMenu(this)) {
                menu->exec(e->globalPos());
                delete menu;
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SearchWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_procura->setFocus();
}

void SearchWindow::DBGrid1DblClick() {
    const QVariantMap row = currentRow();
    LookupResult& result = lookupResult();
    result.selected = true;
    result.code = row.value(m_spec.codeField).toString();
    result.name = row.value(m_spec.nameField).toString();
    if (!m_spec.thirdField.isEmpty()) result.third = row.value(m_spec.thirdField).toString();
    closeWindow(this, QDialog::Accepted);
}

void SearchWindow::Botao_FecharClick() {
    closeWindow(this, QDialog::Rejected);
}

void SearchWindow::cdsDadosFailed(const QString& text) {
    core::dialogs().error(this, text);
}

} // namespace processes
