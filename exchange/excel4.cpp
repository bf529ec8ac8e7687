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
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>

namespace exchange {

TFrm_Excel4::TFrm_Excel4(QWidget* parent, const QString& entryTitle)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_Excel4"));
    setWindowTitle(QStringLiteral("    ") + routines::withoutAccelerator(entryTitle));
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(silver);

    const forms::ProgressWindowParts parts = forms::buildProgressWindow(
        this, QColor(Qt::darkBlue), QStringLiteral("Botao_Transfere"),
        QStringLiteral("&Transfere para o Banco de Dados  "), QStringLiteral("&Fechar"), QSize(440, 110));
    m_progress = parts.progress;
    m_transfere = parts.action;
    m_fechar = parts.fechar;
    connect(m_transfere, &QPushButton::clicked, this, &TFrm_Excel4::Botao_TransfereClick);
    connect(m_fechar, &QPushButton::clicked, this, &TFrm_Excel4::Botao_FecharClick);
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

    // The whole sheet is read and checked before the table is touched: a file that cannot be
    // read, or a sheet with a row the table cannot take, leaves the table as it was.
    QList<UnitTypeRow> rows;
    const std::unique_ptr<Spreadsheet> sheet = createSpreadsheet();
    if (!readUnitTypeSheet(*sheet, unitTypeSheetPath(core::appValues().workingFolder), &rows, &error)) {
        core::dialogs().warning(this, QStringLiteral("Versão do Ms-ExcelIncompatível"),
                                QStringLiteral("Erro"));
        setButtonsEnabled(true);
        return;
    }
    const UnitTypeSheet checked = checkUnitTypeSheet(rows);
    if (!checked.usable()) {
        core::dialogs().message(this, checked.refusal);
        setButtonsEnabled(true);
        return;
    }
    const ReplaceResult result = replaceUnitTypes(connection, checked.types, [this] {
        m_progress->setValue(qMin(m_progress->value() + 1, m_progress->maximum()));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    if (result.committed) {
        // The blank rows were read too: the bar ends full.
        m_progress->setValue(m_progress->maximum());
        core::dialogs().message(this, unitTypeImportedMessage(result.inserted, checked.blankRows));
    } else if (!result.refusal.isEmpty()) {
        core::dialogs().message(this, result.refusal);
    } else if (!core::noteConnectionFailure(connection, this)) {
        core::dialogs().message(this, unitTypeFailedMessage(result.errorText));
    }
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
