#pragma once

#include "db/update.h"

#include <QDate>
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
    // Before anything changes: in the local modes, enough free space and a backup (its path in
    // backupFile); in remote mode, the user's word that the server's backup is there. False when
    // the update must not run (the user has been told why).
    bool prepare(QSqlDatabase& connection, QString* backupFile);

    QProgressBar* m_progress;
    QPushButton* m_atualizar;
    QPushButton* m_fechar;
    db::UpdateOutcome m_outcome;
};

// The question asked in remote mode before the update runs.
QString remoteUpdateQuestion();
// The refusal when the backup taken first failed.
QString backupFailedMessage(const QString& reason);
// Name of the backup taken before an update of databaseFile on a day; attempt 2, 3, ... for the
// further runs of that day.
QString backupFileName(const QString& databaseFile, const QDate& day, int attempt);

inline QPointer<TFrm_AtualizaBancoDados> Frm_AtualizaBancoDados;

void openAtualizaBancoDados(QWidget* owner);

// Registers the update under its menu title.
void registerDatabaseUpdateCommand();

} // namespace app
