#include "exchange/excel4.h"

#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/routines.h"
#include "exchange/spreadsheet.h"
#include "exchange/unittypeimport.h"
#include "forms/common/formwindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace exchange {

TFrm_Excel4::TFrm_Excel4(QWidget* parent, const QString& entryTitle)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_Excel4"));
    setWindowTitle(QStringLiteral("    ") + routines::withoutAccelerator(entryTitle));
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(silver);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(true);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    // The filled part in the window's colour; the percentage is drawn in white over it and in
    // black beside it, so it stays readable as the bar fills.
    QPalette bar = m_progress->palette();
    bar.setColor(QPalette::Highlight, Qt::darkBlue);
    bar.setColor(QPalette::HighlightedText, Qt::white);
    bar.setColor(QPalette::Base, Qt::white);
    m_progress->setPalette(bar);

    m_transfere = new QPushButton(QStringLiteral("&Transfere para o Banco de Dados  "), this);
    m_transfere->setObjectName(QStringLiteral("Botao_Transfere"));
    m_fechar = new QPushButton(QStringLiteral("&Fechar"), this);
    m_fechar->setObjectName(QStringLiteral("Botao_Fechar"));
    connect(m_transfere, &QPushButton::clicked, this, &TFrm_Excel4::Botao_TransfereClick);
    connect(m_fechar, &QPushButton::clicked, this, &TFrm_Excel4::Botao_FecharClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_transfere);
    buttons->addStretch();
    buttons->addWidget(m_fechar);
    layout->addLayout(buttons);
    forms::prepareWindow(this, QSize(440, 110));
}

void TFrm_Excel4::setButtonsEnabled(bool enabled) {
    m_transfere->setEnabled(enabled);
    m_fechar->setEnabled(enabled);
}

void TFrm_Excel4::Botao_TransfereClick() {
    setButtonsEnabled(false);
    QSqlDatabase connection = core::mainConnection();
    QString error;
    const QStringList stored = unitTypeCodes(connection, &error);
    if (!error.isEmpty()) {
        core::dialogs().error(this, error);
        setButtonsEnabled(true);
        return;
    }
    m_progress->setRange(0, int(stored.size()) + kUnitTypeRows);
    m_progress->setValue(0);

    // The sheet is read before anything is deleted: a file that cannot be read leaves the
    // table as it was.
    QList<UnitTypeRow> rows;
    const std::unique_ptr<Spreadsheet> sheet = createSpreadsheet();
    if (!readUnitTypeSheet(*sheet, unitTypeSheetPath(core::appValues().workingFolder), &rows, &error)) {
        core::dialogs().warning(this, QStringLiteral("Versão do Ms-ExcelIncompatível"),
                                QStringLiteral("Erro"));
        setButtonsEnabled(true);
        return;
    }
    const ReplaceResult result = replaceUnitTypes(connection, stored, rows, [this] {
        m_progress->setValue(m_progress->value() + 1);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    if (result.committed)
        core::dialogs().message(this, QStringLiteral("Importação realizada com sucesso!"));
    else
        core::dialogs().error(this, result.errorText);
    setButtonsEnabled(true);
}

void TFrm_Excel4::Botao_FecharClick() {
    forms::closeWindow(this);
}

void openExcel4(QWidget* owner, const QString& entryTitle) {
    if (!Frm_Excel4) Frm_Excel4 = new TFrm_Excel4(owner, entryTitle);
    forms::openModal<TFrm_Excel4>(Frm_Excel4, owner, {});
}

void registerMenuCommands() {
    core::menuCommands().add(QStringLiteral("Tipos de Unidades"), &openExcel4);
}

} // namespace exchange
