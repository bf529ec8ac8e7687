#pragma once

#include "forms/common/registryform.h"

#include <QPointer>

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;

namespace processes {

// The record part's query (`cdsDados`): the current user's processes that have not been routed
// yet, one of them or none (parameters UM, P_ANO, P_PROCESSO).
QString processosRecordQuery();
// The list's query (`cdsDadosP`): the same processes of one year or all, without the two texts
// (parameters UM, P_ANO).
QString processosListQuery();

// Process registration (PROCESSOS) on the registry pattern.
forms::RegistrySpec processosSpec();

// The year choices of the list: the exercise year and every year before it down to the earliest
// year that has processes, then every year.
QStringList exercicios(const QString& exerciseYear, const QString& earliestYear);

class TFrm_Processos : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_Processos(QWidget* owner);

    // Opening: the record part read empty for the current user and exercise year, the list of
    // that year with its cursor on the last row, the state refresh.
    bool prepare(QString* error = nullptr);

    forms::RecordSet* list() const { return m_list; } // `cdsDadosP`
    QComboBox* exerciciosBox() const { return m_exercicios; }
    QMenu* popupMenu() const { return m_popup; }
    // Reads and writes through another connection (a second workstation in the tests).
    void setConnectionName(const QString& name);

    // `DBGrid1DblClick`: reads the process under the list's cursor into the record part.
    void DBGrid1DblClick();
    // `ExerciciosChange`: the list of the chosen year, or of every year.
    void ExerciciosChange();
    // "Protocolo" and "Capa de Processo": the receipt and the cover of the process shown. Nothing
    // is printed while no saved process is shown (empty record part, or one being entered).
    void ProtocoloClick();
    void CapadeProcessoClick();
    // "Tramitar": hands the process shown to routing and reads the record part again afterwards.
    void TramitarClick();

    static QString placeholderNumber() { return QStringLiteral("77777777"); }
    static QString everyYear() { return QStringLiteral("Selecionar tudo"); }
    // A process with a movement belongs to routing: it is no longer altered here.
    static QString routedMessage() {
        return QStringLiteral(
            "Atenção, procedimento cancelado! Processo já tramitado, não pode ser alterado.");
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // "&Alterar" on a process routed since it was read is refused at once.
    bool beforeEdit() override;
    // The form offers no deletion.
    bool beforeDelete() override { return false; }
    // An alteration is written under the lock of the process row, and only while the process
    // has no movement.
    bool writeChanges(QString* message) override;
    void afterSaveFailed() override;
    // The status bar of the main window says what was saved (the save itself stays silent).
    void beforePost() override;
    void afterSave() override;

private:
    // cdsDadosAfterInsert: the defaults of a new process.
    void cdsDadosAfterInsert();
    // cdsDadosIDREQUERENTEChange: while entering, the applicant is also the holder until one is given.
    void cdsDadosIDREQUERENTEChange();
    // The process form's own lines of the state table.
    void applyOwnStates();
    bool readRecordPart(const QString& year, const QVariant& process, QString* error);
    bool readList(const QString& year, QString* error);
    bool m_savingNew = false;
    // The saved process shown in the record part, as the menu entries act on it.
    bool savedProcessShown() const;
    void printPaper(const QString& entry);

    // The process shown was found routed: it leaves the record part.
    void dropRoutedProcess();

    // The citizens' look-up code of the saved process shown (CodigoConsulta).
    void addLookupCode();
    void showLookupCode();

    bool m_routedOnSaving = false;
    QLineEdit* m_lookupCode = nullptr;
    QByteArray m_lookupSecret;
    forms::RecordSet* m_list = nullptr;
    QComboBox* m_exercicios = nullptr;
    QMenu* m_popup = nullptr;
    QAction* m_protocolo = nullptr;
    QAction* m_capa = nullptr;
    QAction* m_tramitar = nullptr;
};

// Set while the window is open.
extern QPointer<TFrm_Processos> Frm_Processos;

// Menu Cadastros, "Processos".
void openProcessos(QWidget* owner);

} // namespace processes
