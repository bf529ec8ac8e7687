#pragma once

#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/recordset.h"

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace forms {

// What differs between the lookup dialogs.
struct LookupSpec {
    QString formName;            // objectName of the dialog: "Frm_PesqTipoUnidade"
    QString caption;             // "Pesquisa Tipo Unidade"
    QString selectQuery;         // may take named parameters (:UM), set by the caller before reading
    QList<FieldDef> fields = {}; // empty: taken from the query's columns
    QList<GridColumn> columns;
    QString codeField;       // handed back as the code
    QString nameField;       // handed back as the name
    QString thirdField = {}; // handed back as the third value (the process search)
    SearchRules search = {};
    bool background = true;
    bool hints = true; // the two instruction labels beside the search box
    QSize size = QSize(640, 420);
};

// A modal pick list: `LProcura`, `PROCURA`, two instruction labels, `DBGrid1` and `Botao_Fechar`.
// The column choice and incremental search are those of the registry form; a double click
// anywhere in the grid (also on an empty list) puts the current row into forms::lookupResult()
// and closes the dialog. The dialog never writes to the database.
class LookupDialog : public QDialog {
    Q_OBJECT
public:
    LookupDialog(const LookupSpec& spec, QWidget* owner);

    const LookupSpec& spec() const { return m_spec; }
    RecordSet* records() const { return m_records; }
    GridModel* gridModel() const { return m_model; }
    GridSearch* gridSearch() const { return m_search; }
    QLabel* searchLabel() const { return m_label; }
    QTableView* grid() const { return m_grid; }

    // Picks the current row; a dialog that hands its row back in another way (the user search)
    // does its own.
    virtual void DBGrid1DblClick();
    void Botao_FecharClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    LookupSpec m_spec;
    RecordSet* m_records = nullptr;
    GridModel* m_model = nullptr;
    GridSearch* m_search = nullptr;
    QLabel* m_label = nullptr;
    QLineEdit* m_procura = nullptr;
    QTableView* m_grid = nullptr;
};

// The caller side of every lookup (a Pesquisa button): creates the dialog in its global reference,
// reads its rows afresh (setParameters first gives the query its parameters), resets the lookup
// result, shows the dialog modally, and, when a row was picked and the target record set is
// inserting or editing, writes the code (and, when named, the name and the third value) into
// the target's fields, which runs their change handlers. A pick made while the target only
// browses is discarded. The dialog is destroyed and the reference cleared in every case.
// Returns true when the target's field was written.
bool pickInto(QPointer<LookupDialog>& reference, const LookupSpec& spec, QWidget* caller, RecordSet* target,
              const QString& codeField, const QString& nameField = QString(),
              const QString& thirdField = QString(),
              const std::function<void(RecordSet*)>& setParameters = {});

} // namespace forms
