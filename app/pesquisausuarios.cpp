#include "app/pesquisausuarios.h"

#include "core/dialogs.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/formwindow.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace app {

using namespace forms;

QPointer<TFrm_PesquisaUsuarios> Frm_PesquisaUsuarios;

TFrm_PesquisaUsuarios::TFrm_PesquisaUsuarios(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_PesquisaUsuarios"));
    prepareWindow(this, QSize(600, 420));
    setWindowTitle(QStringLiteral("Pesquisa"));
    paintBackground(this);

    m_records = new RecordSet(this);
    m_records->setObjectName(QStringLiteral("cdsDados"));
    m_records->setQuery(QStringLiteral("SELECT COD_USUARIO, USUARIO, CPF FROM USUARIOS"));
    m_records->setFields({keyField(QStringLiteral("COD_USUARIO"), 8),
                          textField(QStringLiteral("USUARIO"), 100), textField(QStringLiteral("CPF"), 14)});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(4);
    m_label = new QLabel(QStringLiteral("Informe"), this);
    m_label->setObjectName(QStringLiteral("LProcura"));
    styleCaption(m_label);
    m_procura = new QLineEdit(this);
    m_procura->setObjectName(QStringLiteral("PROCURA"));
    m_procura->setFixedWidth(240);
    setEntry(m_procura, Entry::Upper);
    m_label->setBuddy(m_procura);
    layout->addWidget(m_label);
    layout->addWidget(m_procura);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(m_grid, 1);
    const QList<GridColumn> columns{{QStringLiteral("Código"), QStringLiteral("COD_USUARIO"), 90},
                                    {QStringLiteral("Usuário"), QStringLiteral("USUARIO"), kWideColumn},
                                    {QStringLiteral("C P F"), QStringLiteral("CPF"), 120}};
    m_model = new GridModel(m_records, columns, this);
    setupGrid(m_grid, m_model);
    SearchRules rules;
    rules.paddedField = QStringLiteral("COD_USUARIO");
    rules.paddedWidth = 8;
    rules.postalCodeField.clear();
    m_search = new GridSearch(m_label, m_procura, m_grid, m_model, rules, this);
    connect(m_grid, &QTableView::doubleClicked, this, &TFrm_PesquisaUsuarios::DBGrid1DblClick);

    auto* fechar = new QPushButton(QStringLiteral("&Fechar"), this);
    fechar->setObjectName(QStringLiteral("Botao_Fechar"));
    // Enter confirms the row even with the focus here; only a click or Space closes.
    fechar->setAutoDefault(false);
    layout->addWidget(fechar, 0, Qt::AlignRight);
    connect(fechar, &QPushButton::clicked, this, &TFrm_PesquisaUsuarios::Botao_FecharClick);
    QWidget::setTabOrder(m_procura, fechar);

    // Installed after the window frame's filter, so it sees Enter first.
    installEventFilter(this);
    m_procura->installEventFilter(this);
}

bool TFrm_PesquisaUsuarios::load(QString* error) {
    if (!m_records->reopen()) {
        if (error) *error = m_records->lastError();
        return false;
    }
    // Ordered by the code from the start, so typing a code searches at once.
    m_search->DBGrid1TitleClick(0);
    m_model->setSearchColumn(-1);
    m_label->setText(QStringLiteral("Informe Conta"));
    m_records->first();
    return true;
}

void TFrm_PesquisaUsuarios::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_procura->setFocus();
}

bool TFrm_PesquisaUsuarios::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == this && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            DBGrid1DblClick();
            return true;
        }
        if (watched == m_procura && key->key() == Qt::Key_Down) {
            m_grid->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrm_PesquisaUsuarios::DBGrid1DblClick() {
    if (m_records->currentRow() < 0) {
        core::dialogs().message(this, notSelectedMessage(), notSelectedTitle());
        return;
    }
    m_chosen = {m_records->text(QStringLiteral("COD_USUARIO")), m_records->text(QStringLiteral("USUARIO")),
                m_records->text(QStringLiteral("CPF"))};
    closeWindow(this, QDialog::Accepted);
}

void TFrm_PesquisaUsuarios::Botao_FecharClick() {
    m_chosen.clear();
    closeWindow(this, QDialog::Rejected);
}

bool pesquisaUsuarios(QWidget* owner, QStringList* values) {
    bool confirmed = false;
    openModal<TFrm_PesquisaUsuarios>(Frm_PesquisaUsuarios, owner,
                                     [&](TFrm_PesquisaUsuarios* dialog, QString* error) {
                                         if (!dialog->load(error)) return false;
                                         QObject::connect(dialog, &QDialog::finished, dialog, [&, dialog] {
                                             confirmed = !dialog->chosen().isEmpty();
                                             if (values) *values = dialog->chosen();
                                         });
                                         return true;
                                     });
    return confirmed;
}

} // namespace app
