#include "app/atualizabancodados.h"

#include "core/connection.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "forms/common/formwindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

TFrm_AtualizaBancoDados::TFrm_AtualizaBancoDados(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_AtualizaBancoDados"));
    setWindowTitle(QStringLiteral("Atualizar Banco de Dados"));

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(true);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    // The filled part in the window's colour; the percentage is drawn in white over it and in
    // black beside it, so it stays readable as the bar fills.
    QPalette bar = m_progress->palette();
    bar.setColor(QPalette::Highlight, QColor(0, 128, 0));
    bar.setColor(QPalette::HighlightedText, Qt::white);
    bar.setColor(QPalette::Base, Qt::white);
    m_progress->setPalette(bar);

    m_atualizar = new QPushButton(QStringLiteral("&Atualizar      "), this);
    m_atualizar->setObjectName(QStringLiteral("Botao_Atualizar"));
    m_fechar = new QPushButton(QStringLiteral("&Fechar     "), this);
    m_fechar->setObjectName(QStringLiteral("Botao_Fechar"));
    connect(m_atualizar, &QPushButton::clicked, this, &TFrm_AtualizaBancoDados::Botao_AtualizarClick);
    connect(m_fechar, &QPushButton::clicked, this, &TFrm_AtualizaBancoDados::Botao_FecharClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_atualizar);
    buttons->addStretch();
    buttons->addWidget(m_fechar);
    layout->addLayout(buttons);
    forms::prepareWindow(this, QSize(420, 110));
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
