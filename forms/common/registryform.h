#pragma once

#include "forms/common/fieldbinder.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/recordset.h"

#include <QDialog>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QVBoxLayout;

namespace forms {

// A field padded with "0" on the left to its width whenever it changes; with nameQuery, the
// padded code then fetches a name ("SELECT TIPO FROM TIPOUNIDADE WHERE IDTIPO=?", the code
// bound to the "?") into nameField, which becomes empty when no row has that code.
struct ZeroFill {
    QString field;
    int width = 0;
    QString nameQuery = {};
    QString nameField = {};
};

// One check on saving, run in the member's order: the field's text must not be empty, or, when
// `fails` is given, that condition must not hold. On failure the message is shown, the focus goes
// to the control named in `focus` and the save stops.
struct SaveCheck {
    QString field;
    QString message;
    QString focus;
    std::function<bool(const RecordSet&)> fails = {};
};

// Rows of another table that refer to a record of the register by its code. A record still
// referred to is not deleted: its rows would point at nothing and its name would vanish from
// lists and reports. `query` counts the rows, with the record's code bound to every "?".
struct UsageCheck {
    QString query;    // "SELECT COUNT(*) FROM SETORES WHERE IDUNIDADE = ?"
    QString singular; // "setor"
    QString plural;   // "setores"
};

// "Atenção," + line break (one carriage return) + the rest: the two-piece messages.
inline QString attention(const QString& rest) {
    return QStringLiteral("Atenção,\r") + rest;
}

// Values of the record kept in a table of their own, one row per record keyed by its code (the
// deadline of a process type), so that the register's table and its stored rows stay as they
// are. The select query reads them through a LEFT JOIN, declared as `sideField`s of the same
// names as the columns; saving writes them in the record's own transaction: the row is written
// when any of them holds a value and removed when all are empty. Deleting the record leaves the
// row to the foreign key's ON DELETE CASCADE.
struct SideTable {
    QString table;      // "PRAZOS_TIPOPROCESSO"
    QString keyColumn;  // "IDTIPO": the column that holds the record's code
    QStringList fields; // "DIAS": side fields of the record, stored under the same names
};

// One control of the editing tab, laid out in rows from top to bottom.
struct EditSpec {
    enum Kind { Line, Memo, Combo, Check, Button, Caption, Custom };
    Kind kind = Line;
    QString objectName; // Campo1, Campo2, ... CampoE1 ...; buttons and labels as named
    QString field;      // bound field (Line, Memo, Combo, Check)
    QString caption;    // the caption label above the control (its buddy); button text
    int chars = 0;      // visible width in characters; 0: the field's width (at most 60)
    Entry entry = Entry::Upper;
    QString mask;            // "##.###.###/####-##"
    bool stateDriven = true; // false: always read-only and silver, never takes the focus (CampoE1)
    bool sameRow = false;    // placed to the right of the previous control
    QStringList items;       // drop-down list entries; check box: checked and unchecked values
    QString hint;            // tool tip of a small button ("Pesquisa", "Cadastra")
    QString accessibleName;  // what a screen reader calls a control that has no caption label
    QString rightTitle;      // a button opening another window: the menu entry whose right it needs
    std::function<QWidget*(QWidget* parent)> create = {}; // Custom
};

// Short declarations of the editing tab's controls.
inline EditSpec lineEdit(const QString& name, const QString& field, const QString& caption, int chars = 0,
                         Entry entry = Entry::Upper) {
    EditSpec e;
    e.objectName = name;
    e.field = field;
    e.caption = caption;
    e.chars = chars;
    e.entry = entry;
    return e;
}
inline EditSpec nameDisplay(const QString& name, const QString& field, int chars,
                            const QString& accessibleName) {
    EditSpec e = lineEdit(name, field, QString(), chars);
    e.accessibleName = accessibleName;
    e.stateDriven = false;
    e.sameRow = true;
    return e;
}
inline EditSpec smallButton(const QString& name, const QString& text, const QString& hint,
                            bool sameRow = true) {
    EditSpec e;
    e.kind = EditSpec::Button;
    e.objectName = name;
    e.caption = text;
    e.hint = hint;
    e.sameRow = sameRow;
    return e;
}
// A Cadastra button: opens the register of the menu entry `menuTitle`, and is usable only by a
// user who holds that entry's right (the menu would not let the others open it either).
inline EditSpec cadastraButton(const QString& name, const QString& text, const QString& menuTitle,
                               bool sameRow = true) {
    EditSpec e = smallButton(name, text, QStringLiteral("Cadastra"), sameRow);
    e.rightTitle = menuTitle;
    return e;
}
inline EditSpec captionRow(const QString& name, const QString& text) {
    EditSpec e;
    e.kind = EditSpec::Caption;
    e.objectName = name;
    e.caption = text;
    return e;
}

// The member record of a register: everything that differs between the registry forms.
struct RegistrySpec {
    QString formName; // objectName of the window: "Frm_TiposProcessos"
    QString title;    // `Titulo`: "Tipos de Processos"
    QString editingTabCaption = QStringLiteral("Unidades");
    QString table;         // "TIPOPROCESSO"
    QString codeField;     // "IDTIPO"
    int codeWidth = 0;     // 4
    QString nextCodeQuery; // "SELECT COALESCE(MAX(IDTIPO),'0') FROM TIPOPROCESSO"; empty: typed by the user
    QString selectQuery;   // the rows of the list, ordered by the code
    QList<FieldDef> fields;
    QList<ZeroFill> zeroFills;
    QList<SaveCheck> checks;
    QList<EditSpec> edits; // in tab order; Campo1 is the code edit
    QList<GridColumn> columns;
    SearchRules search;
    // How the refusal of a deletion names the record ("Unidade Orçamentária") and what may
    // still refer to it; checked when the deletion is confirmed.
    QString usageName;
    QList<UsageCheck> usages;
    QList<SideTable> sideTables;
    QSize size = QSize(640, 400);
    // false: one record at a time (the users form), no tabs, list or search box; the record set
    // is read by the form itself.
    bool listTab = true;
    // "&Pesquisar" (`Botao_Pesquisar`) between "&Cancelar" and "&Excluir", on whenever
    // "&Incluir" is; it runs Botao_PesquisarClick().
    bool searchCommand = false;
    QString stateButtonCaption = QStringLiteral("Ativa Desativa Botões");
    // Shown when the record cannot be posted (a key already in the list, a value too long).
    QString postError = QStringLiteral("Atenção, dados inconsistentes, registro já existente!");
    // True: the first state-driven edit is the code, writable only while inserting, and an
    // alteration starts on the second one. False (a code the program draws, never typed): every
    // state-driven edit is writable while inserting and altering, and both start on the first.
    bool firstEditIsCode = true;
    // A code drawn when the record is saved instead of when it is appended (the process number):
    // runs after the checks on saving, before posting, for a record never stored, and again on a
    // retry after the database refused it, so the retry draws a fresh code. False stops the
    // save; the function has told the user why.
    std::function<bool(RecordSet& records, QWidget* window)> codeOnSaving = {};
    // The message when the database refuses the save, when a member words it its own way.
    QString applyErrorMessage = {};
};

// A check box bound to a field, on the line of the control before it: its checked and
// unchecked values.
inline EditSpec checkBox(const QString& name, const QString& field, const QString& caption,
                         const QString& checked = QStringLiteral("SIM"),
                         const QString& unchecked = QStringLiteral("NAO")) {
    EditSpec e;
    e.kind = EditSpec::Check;
    e.objectName = name;
    e.field = field;
    e.caption = caption;
    e.items = QStringList{checked, unchecked};
    e.sameRow = true;
    return e;
}

// The registry form: the window of every register, built from its member record. Inclusion with
// the next code, alteration, saving with the member's checks, cancelling, deletion with
// confirmation, code zero-fill, the state refresh and the list's column choice and incremental
// search all live here; a register adds only its own particulars (lookup buttons, extra checks on
// leaving an edit) through the accessors and signals below.
class RegistryForm : public QDialog {
    Q_OBJECT
public:
    RegistryForm(const RegistrySpec& spec, QWidget* owner);
    ~RegistryForm() override;

    const RegistrySpec& spec() const { return m_spec; }
    RecordSet* records() const { return m_records; } // `cdsDados`
    FieldBinder* binder() const { return m_binder; }
    GridModel* gridModel() const { return m_model; }
    GridSearch* gridSearch() const { return m_search; }
    QTabWidget* pages() const { return m_pages; }
    // A control of the window by objectName (nullptr when none).
    QWidget* control(const QString& name) const;
    // The page of the edits, and a part of a form's own put below them that takes the rest of
    // the height (the users form's check lists).
    QWidget* editingPage() const { return m_editingTab; }
    void setLowerPart(QWidget* part);

    // The list tab shows another row source (the process form's list read by year) with the
    // member's columns; column choice and search then act on that source.
    void setListSource(RowSource* source);

    // Step 2 and 3 of the opening sequence: reads every row afresh and runs the state refresh.
    bool reload(QString* error = nullptr);
    // Clicks the hidden `AtivaDesativaBotoes`.
    void refreshState();

    // The handlers, public so that a register's particulars and the tests can drive them.
    void Botao_IncluirClick();
    void Botao_AlterarClick();
    void Botao_SalvarClick();
    void Botao_CancelarClick();
    void Botao_ExcluirClick();
    void Botao_FecharClick();
    virtual void Botao_PesquisarClick() {} // only with `searchCommand`

    // Fixed messages of the pattern.
    static QString applyErrorMessage() {
        return QStringLiteral("Atenção, dados inconsistentes, confirme informações!");
    }
    static QString postErrorMessage() { // the default of RegistrySpec::postError
        return QStringLiteral("Atenção, dados inconsistentes, registro já existente!");
    }
    static QString nothingToDeleteMessage() {
        return QStringLiteral("Atenção, não existe registro para exclusão");
    }
    static QString confirmDeleteQuestion() { return QStringLiteral("Confirma a Exclusão ?"); }
    // "Atenção, procedimento cancelado! Unidade Orçamentária em uso por 2 usuários e 3 setores."
    static QString inUseMessage(const QString& usageName, const QStringList& uses);

    // What still refers to the current record, counted now ("2 usuários", "3 setores"); empty
    // when nothing does. False (with the database's text) when a count could not be read.
    bool currentUses(QStringList* uses, QString* error) const;

signals:
    // End of every state refresh (`AtivaDesativaBotoesClick`): particulars adjust their controls.
    void stateRefreshed();

protected:
    void showEvent(QShowEvent* event) override;

    // The steps a form with a detail of its own (the users form and its grants) adds around the
    // pattern's handlers; by default they do nothing.
    virtual bool beforeInsert() { return true; } // false: nothing is appended
    virtual void afterInsert() {}                // after the focus went to the code
    virtual bool beforeEdit() { return true; }   // false: the record is not put in editing
    virtual void afterEdit() {}
    virtual void beforePost() {}      // after the checks passed
    virtual void afterSaveFailed() {} // the record is back in editing
    virtual void afterSave() {}
    virtual void afterCancel() {}
    virtual bool beforeDelete() { return true; } // before the confirmation; false: nothing asked or deleted
    // Writes the pending changes of the record (and of anything the form keeps with it) in one
    // transaction. False when nothing was written; `message` then says why when the form has a
    // reason of its own, otherwise it stays empty and the pattern's message is used.
    virtual bool writeChanges(QString* message);

private:
    void buildEditingTab();
    void buildListTab();
    void AtivaDesativaBotoesClick();
    void installNextCode();
    void installZeroFills();
    void setTabOrder();

    RegistrySpec m_spec;
    RecordSet* m_records = nullptr;
    FieldBinder* m_binder = nullptr;
    GridModel* m_model = nullptr;
    GridSearch* m_search = nullptr;
    QTabWidget* m_pages = nullptr;
    QWidget* m_editingTab = nullptr;
    QWidget* m_listTab = nullptr;
    QLabel* m_title = nullptr;
    QPushButton* m_incluir = nullptr;
    QPushButton* m_salvar = nullptr;
    QPushButton* m_alterar = nullptr;
    QPushButton* m_cancelar = nullptr;
    QPushButton* m_excluir = nullptr;
    QPushButton* m_fechar = nullptr;
    QPushButton* m_pesquisar = nullptr;
    QPushButton* m_stateButton = nullptr;
    QLabel* m_procuraLabel = nullptr;
    QLineEdit* m_procura = nullptr;
    QTableView* m_grid = nullptr;
    QVBoxLayout* m_fieldsColumn = nullptr;
    QList<QWidget*> m_stateDriven; // Campo1 first
    QList<QWidget*> m_focusOrder;
};

} // namespace forms
