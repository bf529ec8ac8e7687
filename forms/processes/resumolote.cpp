#include "forms/processes/resumolote.h"

#include "core/appvalues.h"
#include "core/dialogs.h"
#include "forms/common/formwindow.h"

#include <QClipboard>
#include <QDateTime>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QVBoxLayout>

namespace processes {

QPointer<TFrm_ResumoLote> Frm_ResumoLote;

TFrm_ResumoLote::TFrm_ResumoLote(const core::batch::Summary& summary, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_ResumoLote"));
    forms::prepareWindow(this, QSize(820, 420));
    m_heading = QStringLiteral("Resumo do Lote - %1").arg(core::batch::actionName(summary.action));
    setWindowTitle(m_heading);
    m_text = core::batch::summaryText(summary);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    auto* heading = new QLabel(m_heading, this);
    heading->setObjectName(QStringLiteral("Titulo"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSize(headingFont.pointSize() + 2);
    heading->setFont(headingFont);
    layout->addWidget(heading);

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("MemoResumo"));
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setPlainText(m_text);
    layout->addWidget(m_memo, 1);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto button = [&](const char* name, const QString& caption, void (TFrm_ResumoLote::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumHeight(30);
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
        return b;
    };
    button("Botao_Imprimir", QStringLiteral("&Imprimir"), &TFrm_ResumoLote::Botao_ImprimirClick);
    button("Botao_Copiar", QStringLiteral("&Copiar"), &TFrm_ResumoLote::Botao_CopiarClick);
    buttons->addStretch(1);
    QPushButton* fechar =
        button("Botao_Fechar", QStringLiteral("&Fechar"), &TFrm_ResumoLote::Botao_FecharClick);
    fechar->setAutoDefault(true);
    fechar->setDefault(true);
}

void TFrm_ResumoLote::Botao_ImprimirClick() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!printTo(printer))
        core::dialogs().error(this, QStringLiteral("Não foi possível imprimir o resumo do lote."));
}

bool TFrm_ResumoLote::printTo(QPrinter& printer) const {
    // A document of its own, so the printed page does not depend on the window's size: the heading,
    // the moment of printing and the summary's lines in a fixed-width face that keeps the
    // registers in columns.
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat title;
    title.setFontWeight(QFont::Bold);
    title.setFontPointSize(13);
    cursor.insertText(core::appValues().systemName + QStringLiteral(" - ") + m_heading, title);
    QTextCharFormat small;
    small.setFontPointSize(9);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("Impresso em %1")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))),
                      small);
    cursor.insertBlock();
    QTextCharFormat body;
    body.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    body.setFontPointSize(9);
    for (const QString& line : m_text.split(QLatin1Char('\n'))) {
        cursor.insertBlock();
        cursor.insertText(line, body);
    }
    if (!printer.isValid()) return false;
    doc.print(&printer);
    return true;
}

void TFrm_ResumoLote::Botao_CopiarClick() {
    QGuiApplication::clipboard()->setText(m_text);
}

void TFrm_ResumoLote::Botao_FecharClick() {
    forms::closeWindow(this);
}

void showBatchSummary(const core::batch::Summary& summary, QWidget* owner) {
    Frm_ResumoLote = new TFrm_ResumoLote(summary, owner);
    Frm_ResumoLote->exec();
    delete Frm_ResumoLote.data();
    Frm_ResumoLote = nullptr;
}

} // namespace processes
