#include "app/atualizabancodados.h"

#include "core/connection.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "forms/common/formwindow.h"

#include <QCoreApplication>
#include <QDate>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QStorageInfo>
#include <QThread>

namespace app {

namespace {

// "folder/OLDER.fdb" -> "OLDER.fdb"; works for "\" and "/" and a leading "host:".
QString fileNameOf(const QString& location) {
    const int cut = qMax(location.lastIndexOf(QLatin1Char('/')), location.lastIndexOf(QLatin1Char('\\')));
    return cut >= 0 ? location.mid(cut + 1) : location.mid(location.indexOf(QLatin1Char(':')) + 1);
}

// The database location without its file name (keeps the separator), as the engine sees it.
QString folderOf(const QString& location) {
    return location.left(location.size() - fileNameOf(location).size());
}

} // namespace

QString remoteUpdateQuestion() {
    return QStringLiteral(
        "Atenção,\nO banco de dados está no servidor: esta estação não vê o disco dele e a atualização "
        "não pode conferir o espaço livre nem fazer uma cópia de segurança antes de alterar o banco.\n"
        "Confirme que a cópia de segurança do servidor com o gbak foi feita hoje (README, seção "
        "\"Office server\", passo 6) e que o disco do servidor tem espaço livre.\n\n"
        "Deseja atualizar o banco de dados agora?");
}

QString backupFailedMessage(const QString& reason) {
    return QStringLiteral(
               "Atenção,\nNão foi possível fazer a cópia de segurança do banco de dados; a atualização não "
               "foi feita e o banco de dados não foi alterado.\nMotivo informado: %1")
        .arg(reason);
}

QString backupFileName(const QString& databaseFile, const QDate& day, int attempt) {
    QString base = databaseFile;
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) base.truncate(dot);
    QString name =
        base + QStringLiteral("-antes-da-atualizacao-") + day.toString(QStringLiteral("yyyy-MM-dd"));
    if (attempt > 1) name += QLatin1Char('-') + QString::number(attempt);
    return name + QStringLiteral(".fbk");
}

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

bool TFrm_AtualizaBancoDados::prepare(QSqlDatabase& connection, QString* backupFile) {
    const core::ConnectionTarget target = core::mainConnectionTarget();
    // A server's disk is out of this workstation's sight: the office's own nightly backup stands in
    // for the copy, and the user says whether it is there.
    if (target.mode == core::ConnectionMode::Remote)
        return core::dialogs().question(this, remoteUpdateQuestion(), core::DialogService::DefaultButton::No);

    // Both local modes keep the database in the working folder, which this workstation sees.
    const QString folder = target.workingFolder;
    const qint64 size = db::databaseBytes(connection);
    QStorageInfo storage(folder);
    storage.refresh();
    if (size < 0 || !storage.isValid()) {
        core::dialogs().message(this, QStringLiteral("Atenção,\nNão foi possível saber o tamanho do banco de "
                                                     "dados nem o espaço livre em %1; a atualização não foi "
                                                     "feita.")
                                          .arg(folder));
        return false;
    }
    const qint64 required = db::requiredFreeBytes(size);
    if (storage.bytesAvailable() < required) {
        core::dialogs().message(this, db::notEnoughSpaceMessage(folder, storage.bytesAvailable(), required));
        return false;
    }

    // The copy is written beside the database, by the engine that has it open. A second run the
    // same day gets a name of its own, so the copy taken before the first run is never overwritten.
    const QString databaseFile = fileNameOf(target.database);
    const bool drive =
        folder.contains(QLatin1Char('\\')) || (folder.size() >= 2 && folder.at(1) == QLatin1Char(':'));
    const QString separator = drive ? QStringLiteral("\\") : QStringLiteral("/");
    QString name;
    QString localPath;
    for (int attempt = 1;; ++attempt) {
        name = backupFileName(databaseFile, QDate::currentDate(), attempt);
        localPath = folder + separator + name;
        if (!QFileInfo::exists(localPath)) break;
    }
    QString serviceManager = QStringLiteral("service_mgr");
    QString engineDatabase = target.database;
    if (target.mode == core::ConnectionMode::LocalServer) {
        const int colon = target.database.indexOf(QLatin1Char(':'));
        serviceManager = target.database.left(colon + 1) + serviceManager;
        engineDatabase = target.database.mid(colon + 1);
    }
    const QString engineBackup = folderOf(engineDatabase) + name;
    QString reason;
    // The copy of a large database takes minutes: the engine makes it on a thread of its own while
    // the window goes on drawing itself, its bar busy (the buttons are off until the end).
    bool copied = false;
    const int maximum = m_progress->maximum();
    m_progress->setRange(0, 0);
    QThread* copying = QThread::create([&] {
        copied = db::backupDatabase(serviceManager, engineDatabase, engineBackup, target.userName,
                                    QString::fromLatin1(core::kDbaPassword), &reason);
    });
    QEventLoop waiting;
    connect(copying, &QThread::finished, &waiting, &QEventLoop::quit);
    copying->start();
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    copying->wait();
    delete copying;
    m_progress->setRange(0, maximum);
    if (!copied) {
        core::dialogs().message(this, backupFailedMessage(reason));
        return false;
    }
    if (QFileInfo(localPath).size() <= 0) {
        core::dialogs().message(
            this, backupFailedMessage(
                      QStringLiteral("o arquivo %1 não foi encontrado depois da cópia.").arg(localPath)));
        return false;
    }
    *backupFile = localPath;
    return true;
}

void TFrm_AtualizaBancoDados::Botao_AtualizarClick() {
    setButtonsEnabled(false);
    const QStringList statements = db::updateStatements();
    m_progress->setRange(0, int(statements.size()));
    m_progress->setValue(0);
    QSqlDatabase connection = core::mainConnection();
    QString backupFile;
    // Until it has run, nothing is complete.
    m_outcome = db::UpdateOutcome{};
    m_outcome.complete = false;
    if (!prepare(connection, &backupFile)) {
        setButtonsEnabled(true);
        return;
    }
    m_outcome = db::updateDatabase(connection, [this](int n) {
        m_progress->setValue(n);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    m_outcome.backupFile = backupFile;
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
