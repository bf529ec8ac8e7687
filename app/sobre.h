#pragma once

#include <QDialog>

class QLabel;

namespace app {

// The about box ("Sobre", "Ajuda"): six centred labels filled from the application values.
class TFrm_Sobre : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Sobre(QWidget* parent = nullptr);
    ~TFrm_Sobre() override;

    // Fills the labels; done by the menu before the box is shown.
    void fill();

private:
    QLabel* m_sistema;
    QLabel* m_versao;
    QLabel* m_desenvolvedor;
    QLabel* m_telefone;
    QLabel* m_email;
    QLabel* m_site;
};

inline TFrm_Sobre* Frm_Sobre = nullptr;

// Creates the about box, fills it, shows it modally and destroys it.
void showAboutBox(QWidget* parent);

} // namespace app
