#pragma once

#include "core/batchrouting.h"
#include "core/routing.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/windowedsource.h"

#include <QDialog>
#include <QPointer>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;

namespace processes {

// The user's in-tray: the movements waiting for the current user, with a right-click menu to
// receive a process electronically, record the arrival of its paper file, send it on, archive it
// and unarchive it. The list is read again after every change made here and after the routing form
// closes. A busy desk holds thousands of movements: the list is read from the server in windows,
// newest receipt first, so the first screen shows before the rest has been read; beside the
// movement's own columns it shows how long each has waited and where it stands against the
// deadline of its process type.
class TFrm_RecebimentoPendencia : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_RecebimentoPendencia(QWidget* owner);
    ~TFrm_RecebimentoPendencia() override;

    forms::WindowedSource* records() const { return m_records; } // `cdsDados`
    forms::GridModel* gridModel() const { return m_model; }
    QMenu* popupMenu() const { return m_menu; }

    // Reads the list of the user `user` (the parameter UM); the cursor goes to the first row of the
    // current order, which a title click may have chosen.
    bool reload(const QString& user, QString* error = nullptr);

    // The five entries of the right-click menu, acting on the current row.
    void RecebeProcessoEletronicoClick();
    void RecebeProcessoFisicoClick();
    void TramitarClick();
    void ArquivarProcessoClick();
    void DesarquivarProcessoClick();
    void Botao_FecharClick();

    static QString receiveQuestion() { return QStringLiteral("Deseja Receber Processo Eletrônico ?"); }
    static QString receiveBeforeSendingQuestion() {
        return QStringLiteral(
            "Para tramitar processo é necessário recebê-lo, deseja receber Processo Eletrônico ?");
    }
    // Rows selected in the grid (Shift and Ctrl with click and arrows, Ctrl+A), in list order. With
    // more than one the entries act on all of them at once (unarchiving included); with one or none
    // they act on the current row as always.
    QList<int> selectedRows() const;

    static QString archiveQuestion() { return QStringLiteral("Deseja Arquivar Processo Eletrônico ?"); }
    static QString unarchiveQuestion() { return QStringLiteral("Deseja Desarquivar Processo Eletrônico ?"); }
    static QString archiveReasonPrompt() { return QStringLiteral("Informe motivo do arquivamento"); }
    static QString unarchiveReasonPrompt() { return QStringLiteral("Informe motivo do desarquivamento"); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Before an action: after a lost connection, opens it again and reads the list anew on the
    // movement chosen; false when the action cannot go on (the user has been told why).
    bool readyAfterOutage();
    core::routing::MovementStamps currentStamps() const;
    // The question (Yes default), the reason for the archiving pair, then the stamp itself; the list
    // is read again when something was written, or when another workstation had stamped first.
    void runStamp(core::routing::Stamp stamp, const QString& question);
    bool reread();
    // The same entry on several rows: one question naming the count (and one reason, or one
    // destination and dispatch through the routing form), each movement in its own transaction with
    // a progress window that can be cancelled, the list read once at the end keeping the selection
    // of what is still in it, and the summary.
    void runBatch(core::batch::Action action, const QList<int>& rows);
    void showSelectionCount();

    QVariant current(const char* field) const;
    QString currentText(const char* field) const;

    forms::WindowedSource* m_records = nullptr;
    forms::GridModel* m_model = nullptr;
    forms::GridSearch* m_search = nullptr;
    QTableView* m_grid = nullptr;
    QMenu* m_menu = nullptr;
    QPushButton* m_fechar = nullptr;
    QLabel* m_selectionCount = nullptr;
    QString m_user;
};

// Set while the window is open.
extern QPointer<TFrm_RecebimentoPendencia> Frm_RecebimentoPendencia;

// After the login and from the menu "Pendências": the current user's pending movements.
void openRecebimentoPendencia(QWidget* owner);

// What the list reads: the movements of the user :UM the pending rule keeps, newest receipt
// first, with the names of the process, sector and users, the sending day (ESPERA) and the day
// its process type's deadline falls due (PRAZO, empty without a deadline).
forms::WindowedSpec pendingRows();

} // namespace processes
