#pragma once

#include "forms/common/recordset.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QLabel;
class QLineEdit;
class QTableView;

namespace forms {
class GridModel;
class GridSearch;
} // namespace forms

namespace app {

// The users form's own search: every user, searchable by any column, the code column padded to
// eight digits while searching. Enter anywhere or a double click confirms the current row, which is
// handed back directly (not through the lookup result).
class TFrm_PesquisaUsuarios : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_PesquisaUsuarios(QWidget* owner);

    // Reads the users afresh, in code order.
    bool load(QString* error = nullptr);

    forms::RecordSet* records() const { return m_records; }
    forms::GridModel* gridModel() const { return m_model; }
    forms::GridSearch* gridSearch() const { return m_search; }

    // Confirms the current row; with no row the dialog says so and stays open.
    void DBGrid1DblClick();
    void Botao_FecharClick();

    // The confirmed row's code, name and CPF; empty when nothing was confirmed.
    QStringList chosen() const { return m_chosen; }

    static QString notSelectedMessage() { return QStringLiteral("Registro não Selecionado !"); }
    static QString notSelectedTitle() { return QStringLiteral("A T E N Ç Ã O"); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    forms::RecordSet* m_records = nullptr;
    forms::GridModel* m_model = nullptr;
    forms::GridSearch* m_search = nullptr;
    QLabel* m_label = nullptr;
    QLineEdit* m_procura = nullptr;
    QTableView* m_grid = nullptr;
    QStringList m_chosen;
};

extern QPointer<TFrm_PesquisaUsuarios> Frm_PesquisaUsuarios;

// Shows the search modally; true when a user was confirmed, with code, name and CPF in values.
bool pesquisaUsuarios(QWidget* owner, QStringList* values);

} // namespace app
