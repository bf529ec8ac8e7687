#include "forms/common/lookupdialog.h"

#include "core/dialogs.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupresult.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace forms {

LookupDialog::LookupDialog(const LookupSpec& spec, QWidget* owner)
    : QDialog(owner)
    , m_spec(spec) {
    setObjectName(spec.formName);
    prepareWindow(this, spec.size);
    setWindowTitle(spec.caption);
    if (spec.background) paintBackground(this);

    m_records = new RecordSet(this);
    m_records->setObjectName(QStringLiteral("cdsDados"));
    m_records->setQuery(spec.selectQuery);
    m_records->setFields(spec.fields);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->setSpacing(24);
    auto* searchBox = new QVBoxLayout;
    searchBox->setSpacing(2);
    auto* label = m_label = new QLabel(QStringLiteral("Informe"), this);
    label->setObjectName(QStringLiteral("LProcura"));
    m_procura = new QLineEdit(this);
    m_procura->setObjectName(QStringLiteral("PROCURA"));
    m_procura->setFixedWidth(240);
    setEntry(m_procura, Entry::Upper);
    paintEditable(m_procura, false);
    label->setBuddy(m_procura);
    searchBox->addWidget(label);
    searchBox->addWidget(m_procura);
    top->addLayout(searchBox);

    if (spec.background) styleCaption(label);
    if (spec.hints) {
        auto* hints = new QVBoxLayout;
        hints->setSpacing(2);
        auto* hint1 = new QLabel(QStringLiteral("Clique no título da coluna que pretende pesquisar"), this);
        hint1->setObjectName(QStringLiteral("Label1"));
        auto* hint2 = new QLabel(QStringLiteral("Clique duas vezes no Registro escolhido."), this);
        hint2->setObjectName(QStringLiteral("Label2"));
        hints->addWidget(hint1);
        hints->addWidget(hint2);
        top->addLayout(hints);
        if (spec.background) {
            styleCaption(hint1);
            styleCaption(hint2);
        }
    }
    top->addStretch(1);
    layout->addLayout(top);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(m_grid, 1);
    m_model = new GridModel(m_records, spec.columns, this);
    setupGrid(m_grid, m_model);
    m_search = new GridSearch(label, m_procura, m_grid, m_model, spec.search, this);
    // The viewport sees a double click also where no row is (an empty list).
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
    m_procura->installEventFilter(this);

    auto* fechar = new QPushButton(QStringLiteral("&Fechar"), this);
    fechar->setObjectName(QStringLiteral("Botao_Fechar"));
    fechar->setAutoDefault(false);
    layout->addWidget(fechar);
    connect(fechar, &QPushButton::clicked, this, &LookupDialog::Botao_FecharClick);

    QWidget::setTabOrder(m_procura, fechar);
}

bool LookupDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // The first click of the double click has already put the cursor on the row.
        DBGrid1DblClick();
        return false;
    }
    if (watched == m_procura && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down) {
            // The grid is skipped by Tab; the Down arrow takes the keyboard from the search to the rows.
            m_grid->setFocus();
            return true;
        }
        // Enter after typing picks the row the search landed on, as a double click would.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_records->currentRow() >= 0) {
            DBGrid1DblClick();
            return true;
        }
    }
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        // Enter on a row picks it as a double click does: the keyboard's way to choose.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            DBGrid1DblClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LookupDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_procura->setFocus();
}

void LookupDialog::DBGrid1DblClick() {
    LookupResult& result = lookupResult();
    result.selected = true;
    result.code = m_records->text(m_spec.codeField);
    result.name = m_records->text(m_spec.nameField);
    if (!m_spec.thirdField.isEmpty()) result.third = m_records->text(m_spec.thirdField);
    closeWindow(this, QDialog::Accepted);
}

void LookupDialog::Botao_FecharClick() {
    closeWindow(this, QDialog::Rejected);
}

bool pickInto(QPointer<LookupDialog>& reference, const LookupSpec& spec, QWidget* caller, RecordSet* target,
              const QString& codeField, const QString& nameField, const QString& thirdField,
              const std::function<void(RecordSet*)>& setParameters) {
    if (!reference) reference = new LookupDialog(spec, caller);
    RecordSet* rows = reference->records();
    rows->close();
    if (setParameters) setParameters(rows);
    bool wrote = false;
    if (rows->open()) {
        lookupResult().reset();
        reference->exec();
        const LookupResult result = lookupResult();
        if (result.selected && target && target->isEditing()) {
            target->setValue(codeField, result.code);
            if (!nameField.isEmpty()) target->setValue(nameField, result.name);
            if (!thirdField.isEmpty()) target->setValue(thirdField, result.third);
            wrote = true;
        }
    } else {
        core::dialogs().error(caller, rows->lastError());
    }
    delete reference.data();
    reference = nullptr;
    return wrote;
}

} // namespace forms
