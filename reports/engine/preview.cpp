#include "reports/engine/preview.h"

#include "core/appvalues.h"
#include "core/dialogs.h"
#include "gui/windows.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

namespace reports {

namespace {

PrintSetup& installedPrintSetup() {
    static PrintSetup setup;
    return setup;
}

constexpr int kPageMargin = 12; // grey border around the page on screen, in pixels
constexpr int kCachedPages = 3;
constexpr int kLayoutSlice = 256; // records laid out between two looks at the clock
// Layout done before the first page is shown: a short report is whole by then, a long one shows
// its first page without keeping the user waiting for more.
constexpr int kFirstPagesMs = 50;
constexpr int kLayoutSliceMs = 40; // layout done between two turns of the event loop

// A progress window that appears only when the work lasts, so short reports never flash one.
class ProgressUi {
public:
    ProgressUi(QWidget* parent, const QString& label)
        : m_parent(parent)
        , m_label(label) {
        m_clock.start();
    }
    ~ProgressUi() { delete m_dialog; }

    bool cancelled() const { return m_dialog && m_dialog->wasCanceled(); }

    ProgressFunction function() {
        return [this](int done, int total) { return step(done, total); };
    }

private:
    bool step(int done, int total) {
        // A total not yet known (rows still being read) shows a busy bar.
        const bool known = total >= 0;
        if (!m_dialog) {
            if (m_clock.elapsed() < 400 || (known && done >= total)) return true;
            m_dialog =
                new QProgressDialog(m_label, QStringLiteral("Cancelar"), 0, std::max(0, total), m_parent);
            m_dialog->setWindowTitle(core::appValues().systemName);
            m_dialog->setWindowModality(Qt::WindowModal);
            m_dialog->setMinimumDuration(0);
            m_dialog->setAutoClose(false);
            m_dialog->setAutoReset(false);
            m_dialog->show();
            m_update.start();
        } else if (m_update.elapsed() < 50 && (!known || done < total)) {
            return !m_dialog->wasCanceled();
        }
        m_update.restart();
        m_dialog->setMaximum(std::max(0, total));
        m_dialog->setValue(known ? done : 0);
        QCoreApplication::processEvents();
        return !m_dialog->wasCanceled();
    }

    QWidget* m_parent;
    QString m_label;
    QElapsedTimer m_clock;
    QElapsedTimer m_update;
    QPointer<QProgressDialog> m_dialog;
};

QString safeFileName(const QString& title) {
    QString name = title.trimmed();
    for (QChar& c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c)) c = QLatin1Char('-');
    return name.isEmpty() ? QStringLiteral("Relatorio") : name;
}

} // namespace

void setPrintSetup(PrintSetup setup) {
    installedPrintSetup() = std::move(setup);
}

// The page on screen, centred on a grey desk.
class PageView : public QWidget {
public:
    explicit PageView(PreviewWindow* owner)
        : QWidget(owner)
        , m_owner(owner) {
        setObjectName(QStringLiteral("Pagina_Visualizada"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(128, 128, 128));
        if (m_owner->pageCount() == 0) return;
        const int index = m_owner->currentPage();
        const QImage image = m_owner->pageImage(index);
        const QSizeF logical = QSizeF(image.size()) / image.devicePixelRatio();
        const QPointF at((width() - logical.width()) / 2, (height() - logical.height()) / 2);
        const QRectF page(std::max(qreal(kPageMargin), at.x()), std::max(qreal(kPageMargin), at.y()),
                          logical.width(), logical.height());
        p.fillRect(page.translated(3, 3), QColor(60, 60, 60));
        p.drawImage(page.topLeft(), image);
        p.setPen(QColor(40, 40, 40));
        p.drawRect(page.adjusted(-0.5, -0.5, 0.5, 0.5));
        emit m_owner->pageShown(index);
    }

private:
    PreviewWindow* m_owner;
};

PreviewWindow::PreviewWindow(Report& report, QWidget* parent)
    : QDialog(parent)
    , m_report(report) {
    setObjectName(QStringLiteral("Frm_Visualizacao"));
    setWindowTitle(report.title.isEmpty() ? core::appValues().systemName : report.title);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(1000, 700);
    buildUi();
}

PreviewWindow::PreviewWindow(std::unique_ptr<Report> report, QWidget* parent)
    : PreviewWindow(*report, parent) {
    m_owned = std::move(report);
}

PreviewWindow::~PreviewWindow() = default;

QAction* PreviewWindow::addAction(const QString& text, const QString& objectName, int icon,
                                  const QKeySequence& key) {
    auto* a = new QAction(text, this);
    a->setObjectName(objectName);
    if (icon >= 0) a->setIcon(style()->standardIcon(QStyle::StandardPixmap(icon)));
    if (!key.isEmpty()) a->setShortcut(key);
    return a;
}

void PreviewWindow::buildUi() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("Barra_Visualizacao"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    m_first = addAction(QStringLiteral("Primeira"), QStringLiteral("Botao_Primeira"),
                        QStyle::SP_MediaSkipBackward, QKeySequence(Qt::CTRL | Qt::Key_Home));
    m_previous = addAction(QStringLiteral("Anterior"), QStringLiteral("Botao_Anterior"), QStyle::SP_ArrowBack,
                           QKeySequence(Qt::Key_PageUp));
    m_next = addAction(QStringLiteral("Próxima"), QStringLiteral("Botao_Proxima"), QStyle::SP_ArrowForward,
                       QKeySequence(Qt::Key_PageDown));
    m_last = addAction(QStringLiteral("Última"), QStringLiteral("Botao_Ultima"), QStyle::SP_MediaSkipForward,
                       QKeySequence(Qt::CTRL | Qt::Key_End));
    bar->addAction(m_first);
    bar->addAction(m_previous);
    auto* pageCaption = new QLabel(QStringLiteral(" Página "), bar);
    bar->addWidget(pageCaption);
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setObjectName(QStringLiteral("Pagina"));
    m_pageBox->setMinimum(1);
    m_pageBox->setMaximum(1);
    m_pageBox->setKeyboardTracking(false);
    pageCaption->setBuddy(m_pageBox);
    bar->addWidget(m_pageBox);
    m_pageTotal = new QLabel(bar);
    m_pageTotal->setObjectName(QStringLiteral("TotalPaginas"));
    bar->addWidget(m_pageTotal);
    bar->addAction(m_next);
    bar->addAction(m_last);
    bar->addSeparator();

    m_fitPage = addAction(QStringLiteral("Página inteira"), QStringLiteral("Botao_PaginaInteira"), -1, {});
    m_fitWidth =
        addAction(QStringLiteral("Largura da página"), QStringLiteral("Botao_LarguraPagina"), -1, {});
    m_fitPage->setCheckable(true);
    m_fitWidth->setCheckable(true);
    QAction* zoomIn = addAction(QStringLiteral("Ampliar"), QStringLiteral("Botao_Ampliar"), -1,
                                QKeySequence(QKeySequence::ZoomIn));
    QAction* zoomOut = addAction(QStringLiteral("Reduzir"), QStringLiteral("Botao_Reduzir"), -1,
                                 QKeySequence(QKeySequence::ZoomOut));
    bar->addAction(m_fitPage);
    bar->addAction(m_fitWidth);
    bar->addAction(zoomOut);
    bar->addAction(zoomIn);
    m_zoomLabel = new QLabel(bar);
    m_zoomLabel->setObjectName(QStringLiteral("Zoom"));
    m_zoomLabel->setMinimumWidth(48);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    bar->addWidget(m_zoomLabel);
    bar->addSeparator();

    QAction* print = addAction(QStringLiteral("Imprimir..."), QStringLiteral("Botao_Imprimir"),
                               QStyle::SP_FileDialogDetailedView, QKeySequence(QKeySequence::Print));
    QAction* save = addAction(QStringLiteral("Salvar como..."), QStringLiteral("Botao_Salvar"),
                              QStyle::SP_DialogSaveButton, QKeySequence(QKeySequence::Save));
    QAction* close =
        addAction(QStringLiteral("Fechar"), QStringLiteral("Botao_Fechar"), QStyle::SP_DialogCloseButton, {});
    bar->addAction(print);
    bar->addAction(save);
    bar->addAction(close);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("Area_Pagina"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setWidgetResizable(false);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView(this);
    m_scroll->setWidget(m_view);
    m_scroll->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);

    connect(m_first, &QAction::triggered, this, [this] { showPage(0); });
    connect(m_previous, &QAction::triggered, this, [this] { showPage(m_page - 1); });
    connect(m_next, &QAction::triggered, this, [this] { showPage(m_page + 1); });
    connect(m_last, &QAction::triggered, this, [this] { showPage(pageCount() - 1); });
    connect(m_pageBox, qOverload<int>(&QSpinBox::valueChanged), this, [this](int v) { showPage(v - 1); });
    connect(m_fitPage, &QAction::triggered, this, [this] { setZoom(Zoom::FitPage); });
    connect(m_fitWidth, &QAction::triggered, this, [this] { setZoom(Zoom::FitWidth); });
    connect(zoomIn, &QAction::triggered, this, [this] {
        setZoom(Zoom::Percent, std::min(400, int(std::lround(displayDpi() / logicalDpiX() * 100)) + 25));
    });
    connect(zoomOut, &QAction::triggered, this, [this] {
        setZoom(Zoom::Percent, std::max(25, int(std::lround(displayDpi() / logicalDpiX() * 100)) - 25));
    });
    connect(print, &QAction::triggered, this, [this] { printPages(); });
    connect(save, &QAction::triggered, this, [this] { saveAs(); });
    connect(close, &QAction::triggered, this, &QDialog::reject);
    updateControls();
}

const PreparedReport& PreviewWindow::prepared() const {
    return m_preparation ? m_preparation->pages() : m_prepared;
}

bool PreviewWindow::preparePages() {
    m_preparation.reset();
    ProgressUi progress(parentWidget() ? parentWidget() : this, QStringLiteral("Preparando o relatório..."));
    auto preparation = std::make_unique<Preparation>(m_report);
    // A short report is laid out whole here; a long one as soon as its first page is complete
    // and a moment has passed, the rest following between events.
    QElapsedTimer clock;
    clock.start();
    // Small steps here: the first page is shown as soon as it is whole and the moment has passed.
    while (!preparation->step(kLayoutSlice / 4, progress.function()))
        if (preparation->pages().pageCount() > 0 && clock.elapsed() >= kFirstPagesMs) break;
    if (preparation->pages().cancelled) return false;
    if (!preparation->pages().error.isEmpty()) {
        showReadError(preparation->pages().error);
        return false;
    }
    m_ready = true;
    m_cache.clear();
    m_page = 0;
    if (preparation->finished()) {
        m_prepared = std::move(preparation->pages());
    } else {
        m_prepared = PreparedReport();
        m_preparation = std::move(preparation);
        QTimer::singleShot(0, this, &PreviewWindow::continueLayout);
    }
    updateControls();
    relayout();
    return true;
}

void PreviewWindow::continueLayout() {
    // finishPages lets events through its progress window: the slice it is in runs alone.
    if (!m_preparation || m_finishing) return;
    // Short slices keep the window answering the user while the pages are laid out.
    QElapsedTimer clock;
    clock.start();
    while (!m_preparation->step(kLayoutSlice))
        if (clock.elapsed() >= kLayoutSliceMs) break;
    if (m_preparation->finished()) {
        m_prepared = std::move(m_preparation->pages());
        m_preparation.reset();
        // The pages read before the failure stay on screen; the user is told once.
        if (!m_prepared.error.isEmpty()) showReadError(m_prepared.error);
    } else {
        QTimer::singleShot(0, this, &PreviewWindow::continueLayout);
    }
    updateControls();
}

void PreviewWindow::showReadError(const QString& error) {
    core::dialogs().error(this, QStringLiteral("Não foi possível ler os dados do relatório.\n%1").arg(error));
}

bool PreviewWindow::finishPages() {
    if (!m_ready) return preparePages();
    // A report whose rows could not all be read is never printed or saved as if it were whole.
    if (!m_preparation && !m_prepared.error.isEmpty()) {
        showReadError(m_prepared.error);
        return false;
    }
    if (!m_preparation) return true;
    ProgressUi progress(this, QStringLiteral("Preparando o relatório..."));
    m_finishing = true;
    while (!m_preparation->step(kLayoutSlice, progress.function())) {
    }
    m_finishing = false;
    if (m_preparation->pages().cancelled) {
        // Left for later: the layout goes on between events.
        m_preparation->pages().cancelled = false;
        QTimer::singleShot(0, this, &PreviewWindow::continueLayout);
        return false;
    }
    m_prepared = std::move(m_preparation->pages());
    m_preparation.reset();
    updateControls();
    if (!m_prepared.error.isEmpty()) {
        showReadError(m_prepared.error);
        return false;
    }
    return true;
}

void PreviewWindow::showPage(int index) {
    if (!m_ready && !preparePages()) return;
    index = std::clamp(index, 0, std::max(0, pageCount() - 1));
    if (index == m_page && m_pageBox->value() == index + 1) {
        m_view->update();
        return;
    }
    m_page = index;
    updateControls();
    m_scroll->verticalScrollBar()->setValue(0);
    m_view->update();
}

void PreviewWindow::setZoom(Zoom mode, int percent) {
    m_zoom = mode;
    m_percent = std::clamp(percent, 10, 800);
    updateControls();
    relayout();
}

double PreviewWindow::displayDpi() const {
    const QSizeF paper = m_report.paperSizeMm() / 25.4; // inches
    const QSize area = m_scroll->viewport()->size() - QSize(2 * kPageMargin, 2 * kPageMargin);
    const double screenDpi = logicalDpiX();
    switch (m_zoom) {
    case Zoom::FitPage:
        return std::max(10.0, std::min(area.width() / paper.width(), area.height() / paper.height()));
    case Zoom::FitWidth: {
        const int bar = m_scroll->verticalScrollBar()->sizeHint().width();
        return std::max(10.0, (area.width() - bar) / paper.width());
    }
    case Zoom::Percent:
        break;
    }
    return screenDpi * m_percent / 100.0;
}

QImage PreviewWindow::pageImage(int index) {
    if (!m_ready && !preparePages()) return {};
    const qreal ratio = devicePixelRatioF();
    const double dpi = displayDpi() * ratio;
    const int key = int(std::lround(dpi * 100));
    for (int i = 0; i < m_cache.size(); ++i) {
        if (m_cache.at(i).page == index && m_cache.at(i).dpiKey == key) {
            m_cache.move(i, 0);
            return m_cache.first().image;
        }
    }
    QImage image = renderPageImage(m_report, prepared(), index, dpi);
    image.setDevicePixelRatio(ratio);
    m_cache.prepend({index, key, image});
    while (m_cache.size() > kCachedPages)
        m_cache.removeLast();
    return image;
}

void PreviewWindow::relayout() {
    const double dpi = displayDpi();
    const QSizeF paper = m_report.paperSizeMm() / 25.4;
    const QSize page(int(std::lround(paper.width() * dpi)), int(std::lround(paper.height() * dpi)));
    const QSize area = m_scroll->viewport()->size();
    m_view->resize(std::max(area.width(), page.width() + 2 * kPageMargin),
                   std::max(area.height(), page.height() + 2 * kPageMargin));
    m_zoomLabel->setText(QStringLiteral("%1%").arg(std::lround(dpi / logicalDpiX() * 100)));
    m_view->update();
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_zoom != Zoom::Percent)
        relayout();
    return QDialog::eventFilter(watched, event);
}

void PreviewWindow::updateControls() {
    const int count = std::max(1, pageCount());
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setMaximum(count);
    m_pageBox->setValue(m_page + 1);
    // "+" while the later pages are still being laid out.
    m_pageTotal->setText(
        QStringLiteral(" de %1%2 ").arg(count).arg(m_preparation ? QStringLiteral("+") : QString()));
    m_first->setEnabled(m_page > 0);
    m_previous->setEnabled(m_page > 0);
    m_next->setEnabled(m_page < count - 1);
    m_last->setEnabled(m_page < count - 1);
    m_fitPage->setChecked(m_zoom == Zoom::FitPage);
    m_fitWidth->setChecked(m_zoom == Zoom::FitWidth);
}

bool PreviewWindow::printPages() {
    // The page range offered is the whole report, and the print's own preparation must not
    // run beside the one still laying out the preview (they share the running values).
    if (!finishPages()) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(m_report.pageLayout());
    printer.setFullPage(true);
    printer.setDocName(m_report.title);
    const PrintSetup& setup = installedPrintSetup();
    bool go;
    if (setup) {
        go = setup(printer, this, pageCount());
    } else {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("Imprimir"));
        dialog.setMinMax(1, std::max(1, pageCount()));
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                          QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
        go = dialog.exec() == QDialog::Accepted;
    }
    if (!go) return false;
    ProgressUi preparing(this, QStringLiteral("Preparando as páginas..."));
    ProgressUi printing(this, QStringLiteral("Imprimindo..."));
    QString error;
    if (!reports::printReport(m_report, printer, &error, preparing.function(), printing.function())) {
        if (!preparing.cancelled() && !printing.cancelled())
            core::dialogs().error(this,
                                  QStringLiteral("Não foi possível imprimir o relatório.\n%1").arg(error));
        return false;
    }
    return true;
}

bool PreviewWindow::saveAs() {
    const QString pdf = QStringLiteral("Arquivo PDF (*.pdf)");
    const QString text = QStringLiteral("Arquivo texto (*.txt)");
    const QString csv = QStringLiteral("Arquivo CSV separado por ponto e vírgula (*.csv)");
    const QString html = QStringLiteral("Página HTML (*.html *.htm)");
    QString chosen = pdf;
    QString suggested = safeFileName(m_report.title) + QStringLiteral(".pdf");
    if (!core::appValues().workingFolder.isEmpty())
        suggested = QDir(core::appValues().workingFolder).filePath(suggested);
    QString fileName = core::dialogs().saveFileName(
        this, QStringLiteral("Salvar relatório como"),
        QStringList{pdf, text, csv, html}.join(QStringLiteral(";;")), suggested, &chosen);
    if (fileName.isEmpty()) return false;
    std::optional<ExportFormat> format = formatForFileName(fileName);
    if (!format) {
        format = chosen == text   ? ExportFormat::Text
                 : chosen == csv  ? ExportFormat::Csv
                 : chosen == html ? ExportFormat::Html
                                  : ExportFormat::Pdf;
        fileName += QLatin1Char('.') + extensionFor(*format);
    }
    return saveTo(fileName, *format);
}

bool PreviewWindow::saveTo(const QString& fileName, ExportFormat format) {
    if (!finishPages()) return false;
    ProgressUi progress(this, QStringLiteral("Gravando o arquivo..."));
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = exportReport(m_report, prepared(), format, fileName, &error, progress.function());
    QApplication::restoreOverrideCursor();
    if (!ok && !progress.cancelled())
        core::dialogs().error(
            this, QStringLiteral("Não foi possível gravar o arquivo \"%1\".\n%2").arg(fileName, error));
    return ok;
}

void showPreview(Report& report, QWidget* parent) {
    PreviewWindow window(report, parent);
    if (!window.preparePages()) return;
    gui::setMaximisedOnScreen(&window);
    window.exec();
}

PreviewWindow* openPreview(std::unique_ptr<Report> report, QWidget* parent) {
    auto* window = new PreviewWindow(std::move(report), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->preparePages()) {
        delete window;
        return nullptr;
    }
    window->setWindowModality(Qt::NonModal);
    gui::setMaximisedOnScreen(window);
    window->show();
    return window;
}

} // namespace reports
