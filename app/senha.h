#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace app {

// The login window: the user types a code and a password; a match fills the current-user
// globals and closes the window, "Cancelar" (or Escape) ends the program.
class TFrm_Senha : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Senha(QWidget* parent = nullptr);
    ~TFrm_Senha() override;

    // Leaving the code field: pad it to eight characters and look the user up.
    void Campo1Exit();
    void Botao_EntrarClick();
    void Botao_CancelarClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_campo1;
    QLineEdit* m_campoE4;
    QLineEdit* m_campo2;
    QLineEdit* m_campoE5;
    QLineEdit* m_campoE6;
    QLineEdit* m_senhaCriptografada;
    QPushButton* m_entrar;
    QPushButton* m_cancelar;
    // The code whose user the displays hold, and whether such a user exists.
    QString m_lookedUpCode;
    bool m_hasLookup = false;
    bool m_userFound = false;
    bool m_closing = false;
};

inline TFrm_Senha* Frm_Senha = nullptr;

// Shows the login modally (step 5 of the start-up); false when the user cancelled.
bool runLogin(QWidget* parent);

} // namespace app
