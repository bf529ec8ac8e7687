#include "app/pesquisausuarios.h"

#include "core/dialogs.h"
#include "forms/common/formwindow.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"

#include <QKeyEvent>
#include <QLabel>

namespace app {

using namespace forms;

QPointer<TFrm_PesquisaUsuarios> Frm_PesquisaUsuarios;

namespace {

LookupSpec pesquisaUsuariosSpec() {
    LookupSpec s;
    s.formName = QStringLiteral("Frm_PesquisaUsuarios");
    s.caption = QStringLiteral("Pesquisa");
    s.selectQuery = QStringLiteral("SELECT COD_USUARIO, USUARIO, CPF FROM USUARIOS");
    s.fields = {keyField(QStringLiteral("COD_USUARIO"), 8), textField(QStringLiteral("USUARIO"), 100),
                textField(QStringLiteral("CPF"), 14)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("COD_USUARIO"), 90},
                 {QStringLiteral("Usuário"), QStringLiteral("USUARIO"), kWideColumn},
                 {QStringLiteral("C P F"), QStringLiteral("CPF"), 120}};
    s.codeField = QStringLiteral("COD_USUARIO");
    s.nameField = QStringLiteral("USUARIO");
    s.search.paddedField = QStringLiteral("COD_USUARIO");
    s.search.paddedWidth = 8;
    s.search.postalCodeField.clear();
    s.hints = false;
    s.size = QSize(600, 420);
    return s;
}

} // namespace

TFrm_PesquisaUsuarios::TFrm_PesquisaUsuarios(QWidget* owner)
    : LookupDialog(pesquisaUsuariosSpec(), owner) {
    // Installed after the window frame's filter, so it sees Enter first.
    installEventFilter(this);
}

bool TFrm_PesquisaUsuarios::load(QString* error) {
    if (!records()->reopen()) {
        if (error) *error = records()->lastError();
        return false;
    }
    // Ordered by the code from the start, so typing a code searches at once.
    gridSearch()->DBGrid1TitleClick(0);
    gridModel()->setSearchColumn(-1);
    searchLabel()->setText(QStringLiteral("Informe Conta"));
    records()->first();
    return true;
}

bool TFrm_PesquisaUsuarios::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            DBGrid1DblClick();
            return true;
        }
    }
    return LookupDialog::eventFilter(watched, event);
}

void TFrm_PesquisaUsuarios::DBGrid1DblClick() {
    if (records()->currentRow() < 0) {
        core::dialogs().message(this, notSelectedMessage(), notSelectedTitle());
        return;
    }
    m_chosen = {records()->text(QStringLiteral("COD_USUARIO")), records()->text(QStringLiteral("USUARIO")),
                records()->text(QStringLiteral("CPF"))};
    closeWindow(this, QDialog::Accepted);
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
