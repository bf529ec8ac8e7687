#include "app/atualizabancodados.h"

#include "core/connection.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "forms/common/formwindow.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>

namespace app {

TFrm_AtualizaBancoDados::TFrm_AtualizaBancoDados(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_AtualizaBancoDados"));
    setWindowTitle(QStringLiteral("Atualizar Banco de Dados"));

    const forms::ProgressWindowParts parts = forms::buildProgressWindow(
        this, QColor(0, 128, 0), QStringLiteral("Botao_Atualizar"), QStringLiteral("&Atualizar      "),
        QStringLiteral("&Fechar     "), QSize(420, 110));
    m_progress = parts.progress;
    m_atualizar = parts.action;
    m_fechar = parts.fechar;
    connect(m_atualizar, &QPushButton::clicked, this, &TFrm_AtualizaBancoDados::Botao_AtualizarClick);
    connect(m_fechar, &QPushButton::clicked, this, &TFrm_AtualizaBancoDados::Botao_FecharClick);
}

void TFrm_AtualizaBancoDados::setButtonsEnabled(bool enabled) {
    m_atualizar->setEnabled(enabled);
    m_fechar->setEnabled(enabled);
}

void TFrm_AtualizaBancoDados::Botao_AtualizarClick() {
    setButtonsEnabled(false);
    const QStringList statements = db::updateStatements();
    m_progress->setRange(0, int(statements.size()));
    m_progress->setValue(0);
    QSqlDatabase connection = core::mainConnection();
    m_outcome = db::updateDatabase(connection, [this](int n) {
        m_progress->setValue(n);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    core::dialogs().message(this, db::updateMessage(m_outcome));
    setButtonsEnabled(true);
}

void TFrm_AtualizaBancoDados::Botao_FecharClick() {
    forms::closeWindow(this);
}

void openAtualizaBancoDados(QWidget* owner) {
    forms::openModal<TFrm_AtualizaBancoDados>(Frm_AtualizaBancoDados, owner, {});
}

void registerDatabaseUpdateCommand() {
    core::menuCommands().add(QStringLiteral("Atualiza Banco de Dados"),
                             [](QWidget* parent, const QString&) { openAtualizaBancoDados(parent); });
}

} // namespace app
