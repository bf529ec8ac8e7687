#pragma once

#include "db/update.h"

#include <QDialog>
#include <QPointer>

class QProgressBar;
class QPushButton;

namespace app {

// The database update ("Apoio" > "Atualiza Banco de Dados"): runs the update statements on the
// program's connection, showing their progress, and reports how it ended.
class TFrm_AtualizaBancoDados : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_AtualizaBancoDados(QWidget* parent = nullptr);

    void Botao_AtualizarClick();
    void Botao_FecharClick();

    // How the last run ended (for the caller and the tests).
    const db::UpdateOutcome& lastOutcome() const { return m_outcome; }

private:
    void setButtonsEnabled(bool enabled);

    QProgressBar* m_progress;
    QPushButton* m_atualizar;
    QPushButton* m_fechar;
    db::UpdateOutcome m_outcome;
};

inline QPointer<TFrm_AtualizaBancoDados> Frm_AtualizaBancoDados;

void openAtualizaBancoDados(QWidget* owner);

// Registers the update under its menu title.
void registerDatabaseUpdateCommand();

} // namespace app
