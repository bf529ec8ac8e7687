#pragma once

#include "core/users.h"
#include "forms/common/registryform.h"

#include <QPointer>
#include <QString>
#include <functional>

class QListWidget;

namespace app {

// The users and their access rights, a registry form without list tab: one user is shown at a
// time, chosen through "&Pesquisar". The grants are chosen in three check lists built from the
// menu tree's window, report and utility entries, and written with the user row in one
// transaction, as a whole. A save is refused when another workstation changed the user or his
// rights since this form read them, and neither a save nor a deletion may leave nobody able to
// manage users.
class TFrm_Usuarios : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_Usuarios(QWidget* owner);
    ~TFrm_Usuarios() override;

    // `cdsAcessos`: the grants of the user shown, as read (they are written as a whole).
    forms::RecordSet* grants() const { return m_grants; }

    // Reads the user of that code afresh, with its grants, and runs the state refresh.
    bool reload(const QString& code, QString* error = nullptr);

    void Botao_PesquisarClick() override;
    // "&1": a budget unit from the units lookup; "&2": the budget-unit register.
    void Botao_PesquisaUnidadeClick();
    void Botao_CadastraUnidadeClick();

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
    // Nobody could manage users any more.
    static QString selfDeletionMessage();
    static QString lastManagerMessage();

signals:
    // A user row and its grants were written.
    void saved();

protected:
    bool beforeInsert() override;
    void afterInsert() override;
    bool beforeEdit() override;
    void afterEdit() override;
    void beforePost() override;
    void afterSaveFailed() override;
    void afterSave() override;
    void afterCancel() override;
    bool beforeDelete() override;
    bool writeChanges(QString* message) override;

private:
    QWidget* buildCheckLists(QWidget* page);
    void fillCheckLists();
    void checkGrantedItems();
    void clearCheckLists();
    QStringList chosenTitles() const;
    bool loadGrants(const QString& code, QString* error = nullptr);
    void scramblePasswords(bool up);
    void CAMPO6Exit();

    forms::RecordSet* m_grants = nullptr;
    QListWidget* m_cadastros = nullptr;
    QListWidget* m_relatorios = nullptr;
    QListWidget* m_outros = nullptr;
    // The user and his rights as this form last read them; a save compares them with the stored ones.
    core::UserSnapshot m_read;
    QString m_deleting; // the code of the user whose deletion is being written
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
