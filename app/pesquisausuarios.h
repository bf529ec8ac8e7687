#pragma once

#include "forms/common/lookupdialog.h"

#include <QPointer>
#include <QStringList>

namespace app {

// The users form's own search, a lookup dialog of every user: searchable by any column, the code
// column padded to eight digits while searching, ordered by the code from the start. Enter
// anywhere, or a double click, confirms the current row, which is handed back directly (not
// through the lookup result); with no row the dialog says so and stays open.
class TFrm_PesquisaUsuarios : public forms::LookupDialog {
    Q_OBJECT
public:
    explicit TFrm_PesquisaUsuarios(QWidget* owner);

    // Reads the users afresh, in code order.
    bool load(QString* error = nullptr);

    // Confirms the current row (Enter anywhere, a double click).
    void DBGrid1DblClick() override;

    // The confirmed row's code, name and CPF; empty when nothing was confirmed.
    QStringList chosen() const { return m_chosen; }

    static QString notSelectedMessage() { return QStringLiteral("Registro não Selecionado !"); }
    static QString notSelectedTitle() { return QStringLiteral("A T E N Ç Ã O"); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStringList m_chosen;
};

extern QPointer<TFrm_PesquisaUsuarios> Frm_PesquisaUsuarios;

// Shows the search modally; true when a user was confirmed, with code, name and CPF in values.
bool pesquisaUsuarios(QWidget* owner, QStringList* values);

} // namespace app
