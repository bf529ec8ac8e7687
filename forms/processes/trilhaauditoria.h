#pragma once

#include "forms/common/gridmodel.h"
#include "forms/common/windowedsource.h"

#include <QDate>
#include <QDialog>
#include <QPointer>
#include <QVariantMap>
#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;

namespace processes {

// What the trail window lists: a period, and optionally a user, a table, a record key, an action
// or a process (that process and its movements). Newest first unless `oldestFirst`.
struct TrailFilter {
    QDate from, to;
    QString user, table, key, action, process;
    bool oldestFirst = false;
};

// The rows of the trail for a filter, read in windows from the server: the condition holds only
// the filters in use, so each one can take its index.
forms::WindowedSpec trailRows(const TrailFilter& filter);
QList<forms::GridColumn> trailColumns();
// The same rows for the report (SQL with named parameters).
QString trailReportQuery(const TrailFilter& filter, QVariantMap* params);

// `Frm_TrilhaAuditoria` ("Trilha de Auditoria"): the audit trail with its filters, the changes of
// the current row column by column, a record's whole history, the chain check with its progress,
// and the listing through the report engine.
class TFrm_TrilhaAuditoria : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_TrilhaAuditoria(QWidget* owner);

    // Reads the list for the filter (the filter fields show it).
    void applyFilter(const TrailFilter& filter);
    TrailFilter filterFromFields() const;
    forms::WindowedSource* records() const { return m_rows; }
    QTableView* grid() const { return m_grid; }

    void Botao_FiltrarClick();
    void Botao_HistoricoClick();
    void Botao_VerificarClick();
    void Botao_ImprimirClick();

private:
    void showChanges();

    forms::WindowedSource* m_rows = nullptr;
    forms::GridModel* m_model = nullptr;
    TrailFilter m_filter;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QLineEdit* m_user = nullptr;
    QComboBox* m_table = nullptr;
    QLineEdit* m_key = nullptr;
    QComboBox* m_action = nullptr;
    QLineEdit* m_anchor = nullptr;
    QTableView* m_grid = nullptr;
    QTableWidget* m_changes = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_result = nullptr;
    QLabel* m_reading = nullptr;
    QPushButton* m_verificar = nullptr;
};

extern QPointer<TFrm_TrilhaAuditoria> Frm_TrilhaAuditoria;

// The menu entry "Trilha de Auditoria": the last 30 days, newest first.
void openTrilhaAuditoria(QWidget* owner);
// The process search's right-click entry, "Trilha de Auditoria do Processo"
inline QString trailEntryTitle() {
    return QStringLiteral("Trilha de Auditoria do Processo");
}
// The process search's right-click entry: the trail of a process and its movements, oldest first.
void openTrilhaProcesso(QWidget* owner, const QString& process, const QString& year);

// The report of a filter (registered by the reports library, which the searches do not link).
using TrailReportOpener =
    std::function<void(QWidget* parent, const QString& sql, const QVariantMap& params, const QString& title)>;
void registerTrailReport(TrailReportOpener opener);

} // namespace processes
