#pragma once

#include "reports/engine/exports.h"
#include "reports/engine/layout.h"

#include <QDialog>
#include <QImage>
#include <QList>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;

namespace reports {

class PageView;

// Configures the printer before a print from a preview; false when the user cancels. The
// default shows the system's printer dialog. Tests install one that prints to a PDF file.
using PrintSetup = std::function<bool(QPrinter& printer, QWidget* parent, int pageCount)>;
void setPrintSetup(PrintSetup setup); // empty: the printer dialog again

// The screen preview of a report: one page at a time, drawn only when shown (at most three
// drawn pages are kept), with page navigation, zoom, printing and saving to a file.
class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    enum class Zoom { FitPage, FitWidth, Percent };

    explicit PreviewWindow(Report& report, QWidget* parent = nullptr);
    // A preview that owns its report (a preview left open while the user goes on working).
    explicit PreviewWindow(std::unique_ptr<Report> report, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Lays out the pages until the first one is complete (all of them for a short report; a
    // progress window when that takes long). The rest is laid out between events while the
    // first pages are shown. False when cancelled.
    bool preparePages();
    // Lays out what is left (printing and saving need every page). False when cancelled.
    bool finishPages();
    bool layoutFinished() const { return m_ready && !m_preparation; }

    Report& report() { return m_report; }
    // The pages laid out so far: every page once layoutFinished().
    const PreparedReport& prepared() const;
    int pageCount() const { return prepared().pageCount(); }
    int currentPage() const { return m_page; } // 0-based
    void showPage(int index);

    Zoom zoomMode() const { return m_zoom; }
    void setZoom(Zoom mode, int percent = 100);
    // Resolution the page is drawn at on screen, in dots per inch.
    double displayDpi() const;

    // A page as the screen shows it at the current zoom; drawn on demand and cached.
    QImage pageImage(int index);
    int cachedPages() const { return int(m_cache.size()); }

    // "Imprimir": printer set-up, then the pages are prepared afresh and printed.
    bool printPages();
    // "Salvar como": asks for the file (PDF preselected) and writes it.
    bool saveAs();
    // Writes without asking; a failure is shown in the general error box.
    bool saveTo(const QString& fileName, ExportFormat format);

signals:
    void pageShown(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class PageView;
    void buildUi();
    void updateControls();
    void relayout();
    void continueLayout();
    void showReadError(const QString& error);
    QAction* addAction(const QString& text, const QString& objectName, int icon, const QKeySequence& key);

    struct CachedPage {
        int page;
        int dpiKey;
        QImage image;
    };

    std::unique_ptr<Report> m_owned;
    Report& m_report;
    PreparedReport m_prepared;
    std::unique_ptr<Preparation> m_preparation; // while pages are still being laid out
    bool m_ready = false;
    bool m_finishing = false;
    int m_page = 0;
    Zoom m_zoom = Zoom::FitPage;
    int m_percent = 100;
    QList<CachedPage> m_cache;

    QScrollArea* m_scroll = nullptr;
    PageView* m_view = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageTotal = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QAction* m_first = nullptr;
    QAction* m_previous = nullptr;
    QAction* m_next = nullptr;
    QAction* m_last = nullptr;
    QAction* m_fitPage = nullptr;
    QAction* m_fitWidth = nullptr;
};

// The usual way to show a report: a modal, maximised preview, fitted to the page. Returns
// when the user closes it.
void showPreview(Report& report, QWidget* parent);

// A preview that is not modal: it takes the report, opens maximised and deletes itself (and the
// report) when closed. Null when the user cancelled the preparation of the pages.
PreviewWindow* openPreview(std::unique_ptr<Report> report, QWidget* parent);

} // namespace reports
