#pragma once

#include "core/batchrouting.h"

#include <QDialog>
#include <QPointer>

class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace processes {

// The end of a batch of the pending list: what was done and, for each refusal, the process and the
// reason, as one text the clerk can read, print and copy (to an e-mail or a note to the colleague
// who moved a process meanwhile).
class TFrm_ResumoLote : public QDialog {
    Q_OBJECT
public:
    TFrm_ResumoLote(const core::batch::Summary& summary, QWidget* owner);

    QString text() const { return m_text; }

    void Botao_ImprimirClick(); // the printer dialog, then printTo()
    void Botao_CopiarClick();   // the whole text to the clipboard
    void Botao_FecharClick();
    // Prints the summary on the printer given (a PDF file in the tests): a heading with the date and
    // the lines of the text, page after page.
    bool printTo(QPrinter& printer) const;

private:
    QString m_text;
    QString m_heading;
    QPlainTextEdit* m_memo = nullptr;
};

// Set while the window is open.
extern QPointer<TFrm_ResumoLote> Frm_ResumoLote;

// Shows the summary modally and destroys it when it closes.
void showBatchSummary(const core::batch::Summary& summary, QWidget* owner);

} // namespace processes
