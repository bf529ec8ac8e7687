#pragma once

#include "forms/common/fieldbinder.h"
#include "forms/common/recordset.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace app {

// The users and their access rights. The window follows the registry form without its tabs, list
// and search box: one user is shown at a time, chosen through "&Pesquisar". The user row and its
// grant rows (USUARIOS_ACESSOS) are written together in one transaction; the grants are chosen in
// three check lists built from the main menu's window, report and utility entries.
class TFrm_Usuarios : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Usuarios(QWidget* owner);
    ~TFrm_Usuarios() override;

    // `cdsDados`, the user row, and its detail rows (the grants of that user).
    forms::RecordSet* records() const { return m_records; }
    forms::RecordSet* grants() const { return m_grants; }
    forms::FieldBinder* binder() const { return m_binder; }

    // Reads the user of that code afresh, with its grants, and runs the state refresh.
    bool reload(const QString& code, QString* error = nullptr);
    // Clicks the hidden `AtivaDesativaBotoes`.
    void refreshState();

    void Botao_IncluirClick();
    void Botao_SalvarClick();
    void Botao_AlterarClick();
    void Botao_CancelarClick();
    void Botao_PesquisarClick();
    void Botao_ExcluirClick();
    void Botao_FecharClick();
    // "&1": a budget unit from the units lookup; "&2": the budget-unit register.
    void pesquisaUnidadeClick();
    void cadastraUnidadeClick();

    // Whether a save succeeded since the window opened: the rights read at login are then stale.
    bool rightsChanged() const { return m_rightsChanged; }

    // The text of every item of a check list, and of its checked items, in list order.
    static QStringList itemTexts(const QListWidget* list);
    static QStringList checkedTexts(const QListWidget* list);

    static QString cpfInvalidMessage() { return QStringLiteral("CPF Inválido!"); }
    static QString cpfCheckMessage() { return QStringLiteral("Atenção, informe um CPF Válido!"); }
    static QString codeMissingMessage() { return QStringLiteral("Atenção, necessário informar Código"); }
    static QString nameMissingMessage() { return QStringLiteral("Atenção, necessário informar Função"); }
    static QString unitMissingMessage() {
        return QStringLiteral("Atenção, necessário informar Unidade Orçamentária");
    }
    static QString saveErrorMessage() {
        return QStringLiteral("Atenção, dados inconsistentes, confirme informações!");
    }
    // A password is stored shifted; what the column cannot hold is refused before anything is written.
    static QString passwordTooLongMessage(const QString& what);
    static QString passwordCharactersMessage(const QString& what);

signals:
    // A user row and its grants were written.
    void saved();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void applyStateTable();
    void installFieldHandlers();
    void fillCheckLists();
    void checkGrantedItems();
    void clearCheckLists();
    bool loadGrants(const QString& code, QString* error = nullptr);
    void writeGrants();
    void scramblePasswords(bool up);
    bool passwordsStorable();
    void cpfLeft();
    void undoPending();

    forms::RecordSet* m_records = nullptr;
    forms::RecordSet* m_grants = nullptr;
    forms::FieldBinder* m_binder = nullptr;
    QLabel* m_title = nullptr;
    QPushButton* m_incluir = nullptr;
    QPushButton* m_salvar = nullptr;
    QPushButton* m_alterar = nullptr;
    QPushButton* m_cancelar = nullptr;
    QPushButton* m_pesquisar = nullptr;
    QPushButton* m_excluir = nullptr;
    QPushButton* m_fechar = nullptr;
    QPushButton* m_stateButton = nullptr;
    QLineEdit* m_campo1 = nullptr;  // code
    QLineEdit* m_campo2 = nullptr;  // name
    QLineEdit* m_campo3 = nullptr;  // password
    QLineEdit* m_campo4 = nullptr;  // confirmation
    QLineEdit* m_campo6 = nullptr;  // CPF
    QLineEdit* m_campo5 = nullptr;  // unit code
    QLineEdit* m_campoE1 = nullptr; // unit name
    QCheckBox* m_protocolista = nullptr;
    QToolButton* m_pesquisaUnidade = nullptr;
    QToolButton* m_cadastraUnidade = nullptr;
    QListWidget* m_cadastros = nullptr;
    QListWidget* m_relatorios = nullptr;
    QListWidget* m_outros = nullptr;
    bool m_rightsChanged = false;
    bool m_checkingCpf = false;
};

// Set while the window is open.
extern QPointer<TFrm_Usuarios> Frm_Usuarios;

// The user the menu opens the window on.
inline QString firstUserCode() {
    return QStringLiteral("00000001");
}

// "Atenção, o Protocolo-Korvalis será desativado para atualizar acesso dos Usuários".
QString deactivationMessage();

// What ends the program after a change of rights; by default the application's event loop is left.
// A test installs its own to observe it; an empty function restores the default.
void setProgramEnding(std::function<void()> ending);
void endProgram();

// Menu Usuários, "Usuários...": opens the window on the first user; when it closes after a
// successful save, announces the deactivation and ends the program, so that the new rights are
// read at the next login.
void openUsuarios(QWidget* owner);

// Registers "Usuários..." in core::menuCommands().
void registerUserCommands();

} // namespace app
