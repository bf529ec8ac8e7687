#pragma once

#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/windowedsource.h"

#include <QDialog>
#include <QList>
#include <QVariantMap>
#include <functional>

class QLabel;
class QLineEdit;
class QMenu;
class QTableView;
class QVBoxLayout;

namespace processes {

// An entry of a search window's right-click menu: it acts on the current row, given as its
// values by field name (empty on an empty list). The document entries (receipt, cover, history,
// dispatch sheet) are put in by registerSearchPapers() and reach the reports through
// core::openProcessPaper.
struct SearchMenuEntry {
    QString title;
    std::function<void(QWidget* window, const QVariantMap& row)> run;
};

// What differs between the process search and the dispatch search.
struct SearchWindowSpec {
    QString formName;
    QString caption;
    QSize size;
    forms::WindowedSpec rows;
    QList<forms::GridColumn> columns;
    forms::SearchRules search;
    QString rowHint; // "Clique com o botão direito no Processo escolhido"
    // The lookup result a double click hands back: code, name and third value fields.
    QString codeField, nameField, thirdField;
    const QList<SearchMenuEntry>* menu = nullptr;
};

// The window of both searches: `LProcura` and `PROCURA`, the two hints, the read-only `DBGrid1`
// over a list read from the server in windows, its right-click menu and `Botao_Fechar`. A
// failure of the server while the list is read or scrolled is shown in the general error box.
class SearchWindow : public QDialog {
    Q_OBJECT
public:
    SearchWindow(const SearchWindowSpec& spec, QWidget* owner);

    forms::WindowedSource* records() const { return m_rows; }
    forms::GridModel* gridModel() const { return m_model; }
    forms::GridSearch* gridSearch() const { return m_search; }
    QTableView* grid() const { return m_grid; }
    // The current row's values by field name (empty when there is none).
    QVariantMap currentRow() const;
    // The right-click menu as it would open now (the caller owns it).
    QMenu* buildContextMenu(QWidget* parent) const;

    void DBGrid1DblClick();
    void Botao_FecharClick();

protected:
    // The row of controls above the grid, for a window's own parts.
    QVBoxLayout* pageLayout() const { return m_layout; }
    QLabel* searchLabel() const { return m_label; }
    QLineEdit* searchBox() const { return m_procura; }
    QLabel* hint(int i) const { return i == 0 ? m_hint1 : m_hint2; }
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void cdsDadosFailed(const QString& text);

    SearchWindowSpec m_spec;
    forms::WindowedSource* m_rows = nullptr;
    forms::GridModel* m_model = nullptr;
    forms::GridSearch* m_search = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QLabel* m_label = nullptr;
    QLabel* m_hint1 = nullptr;
    QLabel* m_hint2 = nullptr;
    QLineEdit* m_procura = nullptr;
    QTableView* m_grid = nullptr;
};

} // namespace processes
