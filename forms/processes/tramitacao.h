#pragma once

#include "core/routing.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/recordset.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QToolButton;

namespace processes {

// The routing form: a process is sent on from here. The window shows the movement it was opened
// on (none when the process form opens it), "&Incluir" starts a new movement of the process in the
// routing hand-off, the user picks a budget unit and one of its users and types the dispatch, and
// "&Enviar" writes the movement and closes the window. At most one movement per opening; movements
// are never altered or deleted here.
class TFrm_Tramitacao : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Tramitacao(QWidget* owner);
    ~TFrm_Tramitacao() override;

    forms::RecordSet* records() const { return m_records; } // `cdsDados`
    forms::GridModel* gridModel() const { return m_model; }
    forms::GridSearch* gridSearch() const { return m_search; }

    // Reads the movement `registro` ("00000000": nothing is shown) and runs the state refresh.
    bool reload(const QString& registro, QString* error = nullptr);
    // Clicks the hidden `AtivaDesativaBotoes`.
    void refreshState();

    void Botao_IncluirClick();
    void Botao_SalvarClick(); // "&Enviar"
    void Botao_CancelarClick();
    void Botao_FecharClick();
    void SpeedButton1Click(); // "&1": the process
    void SpeedButton3Click(); // "&3": the budget unit
    void SpeedButton4Click(); // "&4": a user of the unit
    void Campo4Change();      // the unit box's text changed
    void DBGrid1DblClick();
    // The right-click menu: "Histórico do Processo" for the process of the movement shown,
    // "Despacho" for the movement itself. With nothing shown they print empty papers.
    void HistoricodoProcessoClick();
    void DespachoClick();
    QMenu* popupMenu() const { return m_popup; }

    // The register number of the movement written by the last successful "&Enviar".
    QString sentRegister() const { return m_sentRegister; }

    // The batch mode, for several movements of the pending list sent on at once: the window shows
    // how many go, "&Incluir" starts one sending with no process, "&Enviar" checks the destination
    // and the dispatch and closes the window without writing; the list then sends each process
    // with batchSending(). 0 is the usual window.
    void setBatch(int count);
    int batchCount() const { return m_batchCount; }
    // What "&Enviar" accepted in the batch mode (unit, destination and its name, sender, dispatch).
    std::optional<core::routing::Sending> batchSending() const { return m_batchSending; }

    static QString applyErrorMessage() {
        return QStringLiteral("Atenção, dados inconsistentes, confirme informações!");
    }
    // The register number was taken by another workstation meanwhile: the next "&Enviar" takes a
    // fresh one.
    static QString takenRegisterMessage() {
        return QStringLiteral("Atenção, dados inconsistentes, registro já existente!");
    }

protected:
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildRoutingTab();
    void buildListTab();
    void buildStampTab(const QString& caption, const char* pageName, const QStringList& fields,
                       const QStringList& names, const QString& reasonCaption);
    void installFieldHandlers();
    void applyStateTable();
    core::routing::MovementStamps shownStamps() const;
    void lookUp(const QString& sql, const QVariantList& values, const QStringList& into);

    forms::RecordSet* m_records = nullptr;
    forms::FieldBinder* m_binder = nullptr;
    forms::GridModel* m_model = nullptr;
    forms::GridSearch* m_search = nullptr;
    QTabWidget* m_pages = nullptr;
    QLabel* m_title = nullptr;
    QPushButton* m_stateButton = nullptr;
    QPushButton* m_incluir = nullptr;
    QPushButton* m_salvar = nullptr;
    QPushButton* m_alterar = nullptr;
    QPushButton* m_cancelar = nullptr;
    QPushButton* m_excluir = nullptr;
    QPushButton* m_fechar = nullptr;
    QLineEdit* m_campo1 = nullptr;
    QLineEdit* m_campo2 = nullptr;
    QLineEdit* m_campo6 = nullptr;
    QPlainTextEdit* m_campo3 = nullptr;
    QLineEdit* m_campo4 = nullptr;
    QLabel* m_procuraLabel = nullptr;
    QLineEdit* m_procura = nullptr;
    QTableView* m_grid = nullptr;
    QMenu* m_popup = nullptr;
    // The movement shown when the window was read, from which a sending starts.
    core::routing::MovementStamps m_shown;
    // The process the window saw standing on m_shown (or without movements, opened to send it the
    // first time): a sending of that process must find it still there.
    QString m_shownProcess;
    QString m_shownYear;
    // A save the database refused: the next attempt takes a fresh register number.
    bool m_saveFailed = false;
    QString m_sentRegister;
    QLabel* m_batchLabel = nullptr;
    int m_batchCount = 0;
    std::optional<core::routing::Sending> m_batchSending;
};

// Set while the window is open.
extern QPointer<TFrm_Tramitacao> Frm_Tramitacao;

// Opens the routing form on the routing hand-off (core::routingHandOff()): its movement is shown,
// "00000000" shows none.
void openTramitacao(QWidget* owner);

} // namespace processes
