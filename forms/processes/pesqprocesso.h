#pragma once

#include "forms/processes/searchwindow.h"

#include <QPointer>

class QComboBox;
class QTimer;

namespace processes {

// `Frm_PesqProcesso`: every registered process of a chosen year ("0000" or "Selecionar tudo":
// every year), found by any column; double click hands the process back to the routing form.
class TFrm_PesqProcesso : public SearchWindow {
    Q_OBJECT
public:
    explicit TFrm_PesqProcesso(QWidget* owner);

    QComboBox* exercicios() const { return m_exercicios; }
    QLabel* processando() const { return m_processando; }
    QLabel* escolhaExercicio() const { return m_escolha; }

    // Choosing an entry of `Exercicios`: the list read again for that year, the cursor on the
    // last row once read, and the reading time shown in `LProcessando`.
    void ExerciciosChange();
    // One tick of the one-second timer: the year hint blinks.
    void Timer1Timer();

private:
    void showReadingTime();

    QComboBox* m_exercicios = nullptr;
    QLabel* m_processando = nullptr;
    QLabel* m_escolha = nullptr;
    QTimer* m_timer = nullptr;
    bool m_reading = false;
};

extern QPointer<TFrm_PesqProcesso> Frm_PesqProcesso;

// The right-click menu of the process search: the papers of a process (registerSearchPapers()).
QList<SearchMenuEntry>& processSearchMenu();

// The list's rows and grid columns (the process search and its tests).
forms::WindowedSpec processSearchRows();
QList<forms::GridColumn> processSearchColumns();

// From the menu entry "Pesquisa Processos": the lookup result cleared, the window shown, the result
// not used.
void openPesqProcesso(QWidget* owner);

// The routing form's "&1": the window as a pick list. True with the picked process's number,
// year and subject; false when the window was closed without a pick.
bool pesquisaProcesso(QWidget* caller, QString* numero, QString* ano, QString* assunto = nullptr);

} // namespace processes
