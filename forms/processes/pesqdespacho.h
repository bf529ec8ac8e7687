#pragma once

#include "forms/processes/searchwindow.h"

#include <QPointer>

namespace processes {

// `Frm_PesqDespacho`: every movement ever recorded, of every process and user, found by any column.
class TFrm_PesqDespacho : public SearchWindow {
    Q_OBJECT
public:
    explicit TFrm_PesqDespacho(QWidget* owner);

    // The opening read: the list in register-number order, no column chosen yet.
    bool reload(QString* errorText);
};

extern QPointer<TFrm_PesqDespacho> Frm_PesqDespacho;

// The right-click menu of the dispatch search: the papers of a movement or of its process
// (registerSearchPapers()).
QList<SearchMenuEntry>& dispatchSearchMenu();

forms::WindowedSpec dispatchSearchRows();
QList<forms::GridColumn> dispatchSearchColumns();

// From the menu entry "Pesquisa Despachos".
void openPesqDespacho(QWidget* owner);

} // namespace processes
