#include "reports/engine/exports.h"
#include "reports/engine/preview.h"
#include "tests/reports/pdftools.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>

#include <memory>

using namespace reports;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kWhite(255, 255, 255);

// A small table report: header with page number, two columns, a running count in the summary,
// alternating line colours.
std::unique_ptr<Report> tableReport(const QList<QVariantList>& rows) {
    auto r = std::make_unique<Report>(QStringLiteral("Relatório de Teste"));
    r->page.orientation = QPageLayout::Portrait;
    r->pageHeader.height = 12;
    r->pageHeader.addLabel(QStringLiteral("Titulo"), QRectF(0, 0, 190, 6), QStringLiteral("Título"),
                           TextStyle(12, true).centred());
    r->pageHeader.addPageNumber(QRectF(150, 6, 40, 5), QStringLiteral("Página : "),
                                TextStyle(9, true).right());
    r->columnHeader.height = 7;
    r->columnHeader.addHLine(0.3, 0, 190);
    r->columnHeader.addHLine(6.7, 0, 190);
    r->detail.height = 5.5;
    r->addColumns({{QStringLiteral("Código"), {QStringLiteral("COD")}, 25, Qt::AlignHCenter},
                   {QStringLiteral("Nome"), {QStringLiteral("NOME")}, 60},
                   {QStringLiteral("Cidade"), {QStringLiteral("CIDADE"), QStringLiteral("UF")}, 105}},
                  1, 5, TextStyle(10, true), TextStyle(10));
    r->summary.height = 8;
    r->summary.addHLine(0.3, 0, 190);
    r->summary.addLabel(QStringLiteral("Registros"), QRectF(1, 1.5, 100, 5.5), QStringLiteral("Registros"),
                        TextStyle(10, true));
    r->data.setColumns(
        {QStringLiteral("COD"), QStringLiteral("NOME"), QStringLiteral("CIDADE"), QStringLiteral("UF")});
    for (const QVariantList& row : rows)
        r->data.addRow(row);
    auto count = std::make_shared<int>(0);
    r->onStart = [count](RunContext&) { *count = 0; };
    r->beforeDetail = [count](RunContext& ctx) {
        ctx.setBackground(*count % 2 == 0 ? kSilver : kWhite);
        ++*count;
        ctx.setLabel(QStringLiteral("Registros"),
                     QStringLiteral("Total : %1").arg(*count, 4, 10, QLatin1Char('0')));
    };
    return r;
}

QList<QVariantList> numberedRows(int n) {
    QList<QVariantList> rows;
    for (int i = 1; i <= n; ++i)
        rows << QVariantList{QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                             QStringLiteral("NOME %1").arg(i), QStringLiteral("MACEIÓ"),
                             QStringLiteral("AL")};
    return rows;
}

QVector<const PlacedBand*> bandsOf(const PreparedReport& p, BandKind kind) {
    QVector<const PlacedBand*> out;
    for (const PreparedPage& page : p.pages)
        for (const PlacedBand& b : page.bands)
            if (b.kind == kind) out << &b;
    return out;
}

// Rows handed over a batch at a time, as a listing reads them from the server; with failAt the
// read after that many rows fails, as when the connection is lost part of the way.
class ListReader : public RowReader {
public:
    ListReader(const QList<QVariantList>& rows, int failAt = -1)
        : m_rows(rows)
        , m_failAt(failAt) {}
    QStringList columns() const override {
        return {QStringLiteral("COD"), QStringLiteral("NOME"), QStringLiteral("CIDADE"),
                QStringLiteral("UF")};
    }
    bool atEnd() const override { return m_next >= m_rows.size(); }
    bool read(int count, QVector<QVector<QVariant>>& rows, QString* errorText) override {
        ++reads;
        for (int i = 0; i < count && m_next < m_rows.size(); ++i) {
            if (m_next == m_failAt) {
                *errorText = QStringLiteral("conexão perdida");
                return false;
            }
            const QVariantList& r = m_rows.at(m_next++);
            rows.append(QVector<QVariant>(r.begin(), r.end()));
        }
        return true;
    }
    int reads = 0;

private:
    QList<QVariantList> m_rows;
    int m_failAt;
    int m_next = 0;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT
private slots:
    void arialResolvesToAnInstalledMetricTwin();
    void dataReadsWithBoundValuesAndOrdersByCollation();
    void headerAndColumnHeaderOnEveryPage();
    void detailBandGrowsWithLongText();
    void bandTallerThanPageContinuesBetweenLines();
    void hooksStartAfreshWithEveryPreparation();
    void emptyReportPrintsFrameAndDesignTexts();
    void pdfEmbedsFontsAndKeepsAccents();
    void csvHoldsOneRecordPerLine();
    void textHoldsOneRecordPerLine();
    void htmlHoldsOneTableRowPerRecord();
    void previewDrawsPagesLazily();
    void longPreparationShowsProgressAndCanBeCancelled();
    void laterPagesAreLaidOutBehindTheFirst();
    void openPreviewOwnsItsReportAndIsNotModal();
    void saveAsPreselectsPdfAndAddsExtension();
    void saveFailureIsReported();
    void printHonoursPageRange();
    void pulledRowsPrintAsLoadedRows_data();
    void pulledRowsPrintAsLoadedRows();
    void readFailurePartWayIsShownAndNeverSaved();
    void fittedTextKeepsToItsBox_data();
    void fittedTextKeepsToItsBox();
    void linesUnderAGrowingTextMoveDown();
};

void TestReportEngine::arialResolvesToAnInstalledMetricTwin() {
    const QFont f = reportFont(TextStyle(10));
    const QString family = QFontInfo(f).family();
    QVERIFY2(family == QLatin1String("Arial") || family == QLatin1String("Liberation Sans"),
             qPrintable(family));
    QCOMPARE(resolvedReportFamily(), family);
    // 10 points at the layout resolution.
    QCOMPARE(f.pixelSize(), qRound(10 * kLayoutDpi / 72));
}

void TestReportEngine::dataReadsWithBoundValuesAndOrdersByCollation() {
    testsupport::TestDatabase db;
    QVERIFY_DB(db);
    const QStringList names{QStringLiteral("AZUL"), QStringLiteral("ÁGUA BRANCA"), QStringLiteral("ABACAXI"),
                            QStringLiteral("BELÉM"), QStringLiteral("ÉDEN")};
    for (int i = 0; i < names.size(); ++i)
        QVERIFY(db.exec(QStringLiteral("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES (?, ?)"),
                        {QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')), names.at(i)}));
    ReportData data;
    QString error;
    QVERIFY2(data.load(QStringLiteral("SELECT IDUNIDADE, UNIDADE FROM UNIDADES WHERE IDUNIDADE >= :DE"),
                       {{QStringLiteral("DE"), QStringLiteral("0002")}}, &error),
             qPrintable(error));
    QCOMPARE(data.columns(), (QStringList{QStringLiteral("IDUNIDADE"), QStringLiteral("UNIDADE")}));
    QCOMPARE(data.rowCount(), 4);
    data.sortBy(QStringLiteral("unidade"));
    QStringList sorted;
    for (int r = 0; r < data.rowCount(); ++r)
        sorted << data.text(r, QStringLiteral("UNIDADE"));
    QCOMPARE(sorted, (QStringList{QStringLiteral("ABACAXI"), QStringLiteral("ÁGUA BRANCA"),
                                  QStringLiteral("BELÉM"), QStringLiteral("ÉDEN")}));
    // A statement the database refuses reports the driver's text.
    QVERIFY(!data.load(QStringLiteral("SELECT NADA FROM UNIDADES"), {}, &error));
    QVERIFY(!error.isEmpty());
}

void TestReportEngine::headerAndColumnHeaderOnEveryPage() {
    auto r = tableReport(numberedRows(120));
    r->setLabel(QStringLiteral("Titulo"), QStringLiteral("Cadastro de Teste"));
    const PreparedReport p = prepare(*r);
    QVERIFY(p.pageCount() >= 3);
    const QRectF content = r->contentRectMm();
    int details = 0;
    for (int i = 0; i < p.pageCount(); ++i) {
        const auto& bands = p.pages.at(i).bands;
        QVERIFY(bands.size() >= 3);
        QCOMPARE(bands.at(0).kind, BandKind::PageHeader);
        QCOMPARE(bands.at(1).kind, BandKind::ColumnHeader);
        for (const PlacedBand& b : bands) {
            QVERIFY(b.top + b.height <= content.height() + 1e-6);
            details += b.kind == BandKind::Detail;
        }
    }
    QCOMPARE(details, 120);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    QString error;
    QVERIFY2(exportPdf(*r, p, pdf, &error), qPrintable(error));
    QCOMPARE(pdftools::pageCount(pdf), p.pageCount());
    for (int i = 1; i <= p.pageCount(); ++i) {
        const QString text = pdftools::text(pdf, i, i);
        QVERIFY2(text.contains(QStringLiteral("Cadastro de Teste")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Página : %1").arg(i)));
        QVERIFY(text.contains(QStringLiteral("Código")));
    }
    QVERIFY(pdftools::text(pdf, p.pageCount(), p.pageCount()).contains(QStringLiteral("Total : 0120")));
}

void TestReportEngine::detailBandGrowsWithLongText() {
    QString longName;
    for (int i = 1; i <= 30; ++i)
        longName += QStringLiteral("palavra%1 ").arg(i);
    auto r = tableReport(
        {{QStringLiteral("0001"), QStringLiteral("CURTO"), QStringLiteral("PILAR"), QStringLiteral("AL")},
         {QStringLiteral("0002"), longName.trimmed(), QStringLiteral("SATUBA"), QStringLiteral("AL")},
         {QStringLiteral("0003"), QStringLiteral("DEPOIS"), QStringLiteral("ATALAIA"),
          QStringLiteral("AL")}});
    const PreparedReport p = prepare(*r);
    const auto details = bandsOf(p, BandKind::Detail);
    QCOMPARE(details.size(), 3);
    const double lineHeight = QFontMetricsF(reportFont(TextStyle(10))).lineSpacing() * 25.4 / kLayoutDpi;
    QCOMPARE(details[0]->height, 5.5);
    // The name column is 58 mm wide: thirty words need several lines, one line height each.
    const double grown = details[1]->height;
    QVERIFY2(grown > 5.5 + 2 * lineHeight, qPrintable(QString::number(grown)));
    const double lines = (grown - 5.5) / lineHeight + 1;
    QVERIFY(std::abs(lines - std::round(lines)) < 1e-6);
    QCOMPARE(details[2]->top, details[1]->top + grown);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    QVERIFY(exportPdf(*r, p, pdf));
    const QString text = pdftools::text(pdf).simplified();
    for (int i = 1; i <= 30; ++i)
        QVERIFY2(text.contains(QStringLiteral("palavra%1").arg(i)), qPrintable(text));
    // The second line is white and the third silver again: the white band reaches down to where
    // the third begins.
    const int dpi = 100;
    const QImage page = pdftools::pageImage(pdf, 1, dpi);
    QVERIFY(!page.isNull());
    const double x = 10 + 150; // right part of the city column, free of text
    const double topOfContent = 10;
    QCOMPARE(pdftools::colourAtMm(page, dpi, x, topOfContent + details[0]->top + 2.5), kSilver);
    QCOMPARE(pdftools::colourAtMm(page, dpi, x, topOfContent + details[1]->top + grown - 1), kWhite);
    QCOMPARE(pdftools::colourAtMm(page, dpi, x, topOfContent + details[2]->top + 1), kSilver);
}

void TestReportEngine::bandTallerThanPageContinuesBetweenLines() {
    Report r(QStringLiteral("Despacho"));
    r.pageHeader.height = 8;
    r.pageHeader.addText(QRectF(0, 0, 190, 6), QStringLiteral("CABEÇALHO"), TextStyle(12, true));
    r.detail.height = 6;
    const TextStyle style = TextStyle(10).valigned(Qt::AlignTop);
    r.detail.addField(QRectF(0, 0, 190, 6), QStringLiteral("TEXTO"), style).wrapped();
    r.detail.addVLine(0, 0, 6).following();
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines << QStringLiteral("Linha %1 do despacho").arg(i, 3, 10, QLatin1Char('0'));
    r.data.setColumns({QStringLiteral("TEXTO")});
    r.data.addRow({lines.join(QLatin1Char('\n'))});
    const PreparedReport p = prepare(r);
    QVERIFY(p.pageCount() >= 3);
    const auto slices = bandsOf(p, BandKind::Detail);
    QCOMPARE(slices.size(), p.pageCount());
    const double lineHeight = QFontMetricsF(reportFont(style)).lineSpacing() * 25.4 / kLayoutDpi;
    double covered = 0;
    for (const PlacedBand* s : slices) {
        QCOMPARE(s->sliceTop, covered);
        // Every cut falls between two lines of text.
        const double linesAbove = s->sliceTop / lineHeight;
        QVERIFY2(std::abs(linesAbove - std::round(linesAbove)) < 1e-6,
                 qPrintable(QString::number(linesAbove)));
        covered += s->height;
    }
    QCOMPARE(covered, slices.first()->fullHeight);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("d.pdf"));
    QVERIFY(exportPdf(r, p, pdf));
    const QString text = pdftools::text(pdf);
    for (const QString& line : lines)
        QCOMPARE(text.count(line), 1);
    QCOMPARE(text.count(QStringLiteral("CABEÇALHO")), p.pageCount());
}

void TestReportEngine::hooksStartAfreshWithEveryPreparation() {
    auto r = tableReport(numberedRows(7));
    for (int run = 0; run < 2; ++run) {
        const PreparedReport p = prepare(*r);
        const auto details = bandsOf(p, BandKind::Detail);
        QCOMPARE(details.size(), 7);
        QCOMPARE(details[0]->background, kSilver);
        QCOMPARE(details[1]->background, kWhite);
        QCOMPARE(details[6]->background, kSilver);
        QCOMPARE(details[0]->labels.value(QStringLiteral("Registros")), QStringLiteral("Total : 0001"));
        QCOMPARE(bandsOf(p, BandKind::Summary).first()->labels.value(QStringLiteral("Registros")),
                 QStringLiteral("Total : 0007"));
    }
}

void TestReportEngine::emptyReportPrintsFrameAndDesignTexts() {
    auto r = tableReport({});
    const PreparedReport p = prepare(*r);
    QCOMPARE(p.pageCount(), 1);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("e.pdf"));
    QVERIFY(exportPdf(*r, p, pdf));
    const QString text = pdftools::text(pdf);
    QVERIFY(text.contains(QStringLiteral("Título")));
    QVERIFY(text.contains(QStringLiteral("Código")));
    QVERIFY(text.contains(QStringLiteral("Registros")));
    QVERIFY(!text.contains(QStringLiteral("Total :")));
}

void TestReportEngine::pdfEmbedsFontsAndKeepsAccents() {
    auto r = tableReport({{QStringLiteral("0001"), QStringLiteral("AÇÃO SOCIAL ÀS MÃES"),
                           QStringLiteral("MACEIÓ"), QStringLiteral("AL")}});
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("a.pdf"));
    QVERIFY(exportPdf(*r, prepare(*r), pdf));
    QVERIFY(readAll(pdf).startsWith("%PDF"));
    QVERIFY(pdftools::text(pdf).contains(QStringLiteral("AÇÃO SOCIAL ÀS MÃES")));
    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {pdf});
    fonts.waitForFinished();
    const QStringList rows = QString::fromUtf8(fonts.readAllStandardOutput()).split(QLatin1Char('\n')).mid(2);
    int fontRows = 0;
    for (const QString& row : rows) {
        if (row.trimmed().isEmpty()) continue;
        ++fontRows;
        const QStringList cols = row.simplified().split(QLatin1Char(' '));
        QVERIFY2(row.contains(QStringLiteral("Arial")) || row.contains(QStringLiteral("LiberationSans")),
                 qPrintable(row));
        QCOMPARE(cols.at(cols.size() - 5), QStringLiteral("yes")); // embedded
        QCOMPARE(cols.at(cols.size() - 3), QStringLiteral("yes")); // text can be extracted
    }
    QCOMPARE(fontRows, 2); // regular and bold
}

void TestReportEngine::csvHoldsOneRecordPerLine() {
    auto r = tableReport(
        {{QStringLiteral("0001"), QStringLiteral("JOSÉ; FILHO"), QStringLiteral("SÃO MIGUEL"), QString()},
         {QStringLiteral("0002"), QStringLiteral("ANA \"NINA\""), QStringLiteral("PENEDO"),
          QStringLiteral("AL")},
         {QStringLiteral("0003"), QStringLiteral("CONCEIÇÃO"), QString(), QStringLiteral("AL")}});
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    QString error;
    QVERIFY2(exportCsv(*r, prepare(*r), csv, &error), qPrintable(error));
    const QByteArray bytes = readAll(csv);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines =
        QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0).split(QLatin1Char(';')),
             (QStringList{QStringLiteral("Código"), QStringLiteral("Nome"), QStringLiteral("Cidade")}));
    QCOMPARE(lines.at(1), QStringLiteral("0001;\"JOSÉ; FILHO\";SÃO MIGUEL"));
    QCOMPARE(lines.at(2), QStringLiteral("0002;\"ANA \"\"NINA\"\"\";PENEDO AL"));
    QCOMPARE(lines.at(3).split(QLatin1Char(';')),
             (QStringList{QStringLiteral("0003"), QStringLiteral("CONCEIÇÃO"), QStringLiteral("AL")}));
}

void TestReportEngine::textHoldsOneRecordPerLine() {
    auto r = tableReport(numberedRows(40));
    r->setLabel(QStringLiteral("Titulo"), QStringLiteral("Cadastro de Teste"));
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("r.txt"));
    QVERIFY(exportText(*r, prepare(*r), txt));
    const QByteArray bytes = readAll(txt);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.count(QStringLiteral("Cadastro de Teste")), 1); // header once, not per page
    int records = 0;
    int lastCode = 0;
    for (const QString& line : lines) {
        const QStringList cells = line.simplified().split(QLatin1Char(' '));
        if (cells.size() == 5 && cells.at(1) == QLatin1String("NOME")) {
            ++records;
            QCOMPARE(cells.at(0).toInt(), lastCode + 1);
            lastCode = cells.at(0).toInt();
            QCOMPARE(cells.at(2), QString::number(lastCode));
            QCOMPARE(cells.mid(3), (QStringList{QStringLiteral("MACEIÓ"), QStringLiteral("AL")}));
            // Columns line up: the name always starts at the same place.
            QCOMPARE(line.indexOf(QStringLiteral("NOME")),
                     lines.at(lines.indexOf(QRegularExpression(QStringLiteral("^ *Código.*"))))
                         .indexOf(QStringLiteral("Nome")));
        }
    }
    QCOMPARE(records, 40);
    QVERIFY(lines.contains(QStringLiteral("Total : 0040")));
}

void TestReportEngine::htmlHoldsOneTableRowPerRecord() {
    auto r = tableReport(
        {{QStringLiteral("0001"), QStringLiteral("<JOSÉ & CIA>"), QStringLiteral("PILAR"),
          QStringLiteral("AL")},
         {QStringLiteral("0002"), QStringLiteral("MARIA"), QStringLiteral("PENEDO"), QStringLiteral("AL")}});
    QTemporaryDir dir;
    const QString html = dir.filePath(QStringLiteral("r.html"));
    QVERIFY(exportHtml(*r, prepare(*r), html));
    QByteArray bytes = readAll(html);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QXmlStreamReader xml(bytes.mid(3));
    QStringList captions;
    QList<QStringList> rows;
    QStringList backgrounds;
    bool inBody = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("tbody"))
            inBody = true;
        else if (xml.isStartElement() && xml.name() == QLatin1String("th"))
            captions << xml.readElementText();
        else if (inBody && xml.isStartElement() && xml.name() == QLatin1String("tr")) {
            rows << QStringList();
            backgrounds << xml.attributes().value(QLatin1String("style")).toString();
        } else if (inBody && xml.isStartElement() && xml.name() == QLatin1String("td"))
            rows.last() << xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(captions,
             (QStringList{QStringLiteral("Código"), QStringLiteral("Nome"), QStringLiteral("Cidade")}));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0), (QStringList{QStringLiteral("0001"), QStringLiteral("<JOSÉ & CIA>"),
                                      QStringLiteral("PILAR AL")}));
    QCOMPARE(rows.at(1),
             (QStringList{QStringLiteral("0002"), QStringLiteral("MARIA"), QStringLiteral("PENEDO AL")}));
    QVERIFY(backgrounds.at(0).contains(QStringLiteral("#c0c0c0")));
    QVERIFY(backgrounds.at(1).contains(QStringLiteral("#ffffff")));
    QVERIFY(QString::fromUtf8(bytes).contains(QStringLiteral("Total : 0002")));
}

void TestReportEngine::previewDrawsPagesLazily() {
    auto r = tableReport(numberedRows(400));
    PreviewWindow preview(*r);
    QVERIFY(preview.preparePages());
    QVERIFY(preview.pageCount() >= 8);
    QCOMPARE(preview.cachedPages(), 0); // nothing drawn before it is shown
    preview.resize(900, 700);
    QList<int> shown;
    connect(&preview, &PreviewWindow::pageShown, this, [&](int page) {
        if (shown.isEmpty() || shown.last() != page) shown << page;
    });
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QTRY_COMPARE(shown.value(0, -1), 0);
    auto* next = preview.findChild<QAction*>(QStringLiteral("Botao_Proxima"));
    QVERIFY(next);
    for (int i = 1; i < preview.pageCount(); ++i) {
        next->trigger();
        QTRY_COMPARE(shown.last(), i);
        QVERIFY(preview.cachedPages() <= 3);
    }
    QVERIFY(!next->isEnabled());
    preview.findChild<QAction*>(QStringLiteral("Botao_Primeira"))->trigger();
    QCOMPARE(preview.currentPage(), 0);

    // Fit width draws the page wider than fit page (landscape window, portrait page).
    const int fitPage = preview.pageImage(0).width();
    preview.findChild<QAction*>(QStringLiteral("Botao_LarguraPagina"))->trigger();
    QCOMPARE(preview.zoomMode(), PreviewWindow::Zoom::FitWidth);
    QVERIFY(preview.pageImage(0).width() > fitPage);
    preview.findChild<QAction*>(QStringLiteral("Botao_PaginaInteira"))->trigger();
    QCOMPARE(preview.pageImage(0).width(), fitPage);
    preview.close();
}

void TestReportEngine::longPreparationShowsProgressAndCanBeCancelled() {
    auto r = tableReport(numberedRows(3000));
    // A slow record: preparing the pages takes a few seconds instead of milliseconds. The records
    // laid out are counted, so the checks below do not depend on how busy the machine is.
    const auto count = r->beforeDetail;
    auto laidOut = std::make_shared<int>(0);
    r->beforeDetail = [count, laidOut](RunContext& ctx) {
        count(ctx);
        ++*laidOut;
        QThread::usleep(1000);
    };
    PreviewWindow preview(*r);
    QString label;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* progress = preview.findChild<QProgressDialog*>();
        if (progress && progress->isVisible() && label.isEmpty()) {
            label = progress->labelText();
            progress->cancel();
        }
    });
    poll.start(20);
    // The first page is shown without waiting for the others.
    QVERIFY(preview.preparePages());
    QVERIFY(preview.pageCount() >= 1);
    QVERIFY(!preview.layoutFinished());
    QVERIFY2(*laidOut < 3000, qPrintable(QString::number(*laidOut)));
    // Saving or printing needs the rest: the progress window shows, and cancelling it stops.
    QVERIFY(!preview.finishPages());
    QCOMPARE(label, QStringLiteral("Preparando o relatório..."));
    QVERIFY2(*laidOut < 3000, qPrintable(QString::number(*laidOut))); // stopped before the last record
    QVERIFY(!preview.layoutFinished());
}

void TestReportEngine::laterPagesAreLaidOutBehindTheFirst() {
    auto r = tableReport(numberedRows(3000));
    const int pages = prepare(*r).pageCount();
    const auto count = r->beforeDetail;
    r->beforeDetail = [count](RunContext& ctx) {
        count(ctx);
        QThread::usleep(500);
    };
    PreviewWindow preview(*r);
    QVERIFY(preview.preparePages());
    QVERIFY(!preview.layoutFinished());
    const int first = preview.pageCount();
    QVERIFY(first >= 1 && first < pages);
    // The pages shown so far are whole: the last of them is followed by more.
    QCOMPARE(preview.prepared().pages.last().bands.last().kind, BandKind::Detail);
    QTRY_VERIFY_WITH_TIMEOUT(preview.layoutFinished(), 20000);
    QCOMPARE(preview.pageCount(), pages);
    const PlacedBand& summary = preview.prepared().pages.last().bands.last();
    QCOMPARE(summary.kind, BandKind::Summary);
    QCOMPARE(summary.labels.value(QStringLiteral("Registros")), QStringLiteral("Total : 3000"));
    // A print started afterwards counts from one again.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("atras.pdf"));
    QVERIFY(preview.saveTo(pdf, ExportFormat::Pdf));
    QCOMPARE(pdftools::pageCount(pdf), pages);
    QVERIFY(pdftools::text(pdf, pages, pages).contains(QStringLiteral("Total : 3000")));
}

void TestReportEngine::openPreviewOwnsItsReportAndIsNotModal() {
    QPointer<PreviewWindow> preview = openPreview(tableReport(numberedRows(5)), nullptr);
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QVERIFY(!preview->isModal());
    QVERIFY(preview->windowState() & Qt::WindowMaximized);
    QCOMPARE(preview->report().data.rowCount(), 5);
    preview->close();
    QTRY_VERIFY(preview.isNull());
}

void TestReportEngine::saveAsPreselectsPdfAndAddsExtension() {
    auto r = tableReport(numberedRows(3));
    PreviewWindow preview(*r);
    QVERIFY(preview.preparePages());
    QTemporaryDir dir;
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectSaveFile(dir.filePath(QStringLiteral("listagem")));
    dialogs.expectSaveFile(dir.filePath(QStringLiteral("listagem2")),
                           QStringLiteral("Arquivo texto (*.txt)"));
    preview.findChild<QAction*>(QStringLiteral("Botao_Salvar"))->trigger();
    QVERIFY(dialogs.lastPreselectedFilter().startsWith(QStringLiteral("Arquivo PDF")));
    QVERIFY(dialogs.lastFilter().startsWith(QStringLiteral("Arquivo PDF (*.pdf)")));
    QVERIFY(readAll(dir.filePath(QStringLiteral("listagem.pdf"))).startsWith("%PDF"));
    preview.findChild<QAction*>(QStringLiteral("Botao_Salvar"))->trigger();
    QVERIFY(QString::fromUtf8(readAll(dir.filePath(QStringLiteral("listagem2.txt"))))
                .contains(QStringLiteral("NOME 3")));
    VERIFY_DIALOGS(dialogs);
}

void TestReportEngine::saveFailureIsReported() {
    auto r = tableReport(numberedRows(3));
    PreviewWindow preview(*r);
    QVERIFY(preview.preparePages());
    const QString path = QStringLiteral("/nonexistent-folder/listagem.csv");
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectSaveFile(path);
    dialogs.expectError(QStringLiteral("Não foi possível gravar o arquivo \"%1\"").arg(path));
    preview.findChild<QAction*>(QStringLiteral("Botao_Salvar"))->trigger();
    VERIFY_DIALOGS(dialogs);
}

void TestReportEngine::printHonoursPageRange() {
    auto r = tableReport(numberedRows(200));
    const int pages = prepare(*r).pageCount();
    QVERIFY(pages >= 4);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("impresso.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    QString error;
    QVERIFY2(printReport(*r, printer, &error), qPrintable(error));
    QCOMPARE(pdftools::pageCount(pdf), 2);
    QVERIFY(pdftools::text(pdf, 1, 1).contains(QStringLiteral("Página : 2")));
    QVERIFY(pdftools::text(pdf, 2, 2).contains(QStringLiteral("Página : 3")));
}

void TestReportEngine::pulledRowsPrintAsLoadedRows_data() {
    QTest::addColumn<int>("residentRows");
    QTest::newRow("todas em memória") << 100000;
    QTest::newRow("antigas no arquivo temporário") << 1024;
}

// Rows pulled while the pages are laid out give the pages, texts and file of the same rows read
// at once, also when most of them wait in the temporary file and are read back for drawing.
void TestReportEngine::pulledRowsPrintAsLoadedRows() {
    QFETCH(int, residentRows);
    const QList<QVariantList> rows = numberedRows(3000);
    auto loaded = tableReport(rows);
    auto pulled = tableReport({});
    auto* reader = new ListReader(rows);
    pulled->data.setReader(std::unique_ptr<RowReader>(reader));
    pulled->data.setResidentRows(residentRows);
    QVERIFY(!pulled->data.complete());
    QCOMPARE(pulled->data.rowCount(), 0);

    const PreparedReport a = prepare(*loaded);
    const PreparedReport b = prepare(*pulled);
    QVERIFY(b.error.isEmpty());
    QVERIFY(pulled->data.complete());
    QVERIFY(reader->reads > 10); // a batch at a time, not all at once
    QCOMPARE(pulled->data.rowCount(), 3000);
    QCOMPARE(b.pageCount(), a.pageCount());
    // Rows far behind the last one read come back whole, in any order.
    for (int row : {0, 2999, 1, 1500, 513, 0})
        QCOMPARE(pulled->data.text(row, QStringLiteral("NOME")), QStringLiteral("NOME %1").arg(row + 1));
    const ExportTable ta = exportTable(*loaded, a);
    const ExportTable tb = exportTable(*pulled, b);
    QCOMPARE(tb.rows, ta.rows);
    QCOMPARE(tb.summaryLines, ta.summaryLines);
    QTemporaryDir dir;
    const QString pa = dir.filePath(QStringLiteral("lidas.pdf"));
    const QString pb = dir.filePath(QStringLiteral("puxadas.pdf"));
    QVERIFY(exportPdf(*loaded, a, pa));
    QVERIFY(exportPdf(*pulled, b, pb));
    QCOMPARE(pdftools::pageCount(pb), a.pageCount());
    const QString text = pdftools::text(pb);
    QCOMPARE(text, pdftools::text(pa));
    QVERIFY(text.contains(QStringLiteral("Total : 3000")));
    // A second preparation (a print after the preview) reads nothing again.
    const int reads = reader->reads;
    QCOMPARE(prepare(*pulled).pageCount(), a.pageCount());
    QCOMPARE(reader->reads, reads);
}

// The connection lost while the later pages are laid out: the pages read before stay on screen,
// the user is told, and the report is never printed or saved as if it were whole.
void TestReportEngine::readFailurePartWayIsShownAndNeverSaved() {
    auto r = tableReport({});
    r->data.setReader(std::make_unique<ListReader>(numberedRows(3000), 2000));
    const auto count = r->beforeDetail;
    r->beforeDetail = [count](RunContext& ctx) {
        count(ctx);
        QThread::usleep(300);
    };
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectError(QStringLiteral("Não foi possível ler os dados do relatório.\nconexão perdida"));
    PreviewWindow preview(*r);
    QVERIFY(preview.preparePages());
    QVERIFY(!preview.layoutFinished());
    QTRY_VERIFY_WITH_TIMEOUT(preview.layoutFinished(), 20000);
    VERIFY_DIALOGS(dialogs);
    QVERIFY(preview.pageCount() > 1);
    QCOMPARE(preview.prepared().error, QStringLiteral("conexão perdida"));
    QCOMPARE(preview.prepared().pages.last().bands.last().kind, BandKind::Detail); // no summary

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("parcial.pdf"));
    testsupport::ScriptedDialogs again;
    again.expectError(QStringLiteral("conexão perdida"));
    QVERIFY(!preview.saveTo(pdf, ExportFormat::Pdf));
    VERIFY_DIALOGS(again);
    QVERIFY(!QFile::exists(pdf));
}

void TestReportEngine::fittedTextKeepsToItsBox_data() {
    // words of the text, whether it is printed whole, whether the type had to be smaller
    QTest::addColumn<int>("words");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("smaller");
    QTest::newRow("fits as designed") << 8 << true << false;
    QTest::newRow("fits in smaller type") << 40 << true << true;
    QTest::newRow("cut at the smallest type") << 400 << false << true;
}

void TestReportEngine::fittedTextKeepsToItsBox() {
    QFETCH(int, words);
    QFETCH(bool, whole);
    QFETCH(bool, smaller);
    QString text;
    for (int i = 1; i <= words; ++i)
        text += QStringLiteral("termo%1 ").arg(i);
    Report r(QStringLiteral("Capa"));
    r.detail.height = 20;
    // A box of 100 x 12 mm: three lines of 10 points.
    r.detail.addField(QRectF(0, 2, 100, 12), QStringLiteral("T"), TextStyle(10).valigned(Qt::AlignTop))
        .fitted(7);
    r.detail.addText(QRectF(0, 15, 100, 5), QStringLiteral("DEPOIS"), TextStyle(10));
    r.data.setColumns({QStringLiteral("T")});
    r.data.addRow({text.trimmed()});
    const PreparedReport p = prepare(r);
    QCOMPARE(p.pageCount(), 1);
    QCOMPARE(bandsOf(p, BandKind::Detail).first()->height, 20.0); // the box never grows
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("f.pdf"));
    QVERIFY(exportPdf(r, p, pdf));
    const QString read = pdftools::text(pdf, 0, 0, false).simplified();
    QVERIFY(read.contains(QStringLiteral("termo1 ")));
    QCOMPARE(read.contains(QStringLiteral("termo%1").arg(words)), whole);
    QCOMPARE(read.contains(QStringLiteral("\u2026")), !whole);
    QVERIFY(read.endsWith(QStringLiteral("DEPOIS")));
    // The type size shows in the height of the text's ink: a smaller size leaves the first line
    // lower than 10 points would.
    const int dpi = 150;
    const QImage page = pdftools::pageImage(pdf, 1, dpi);
    int inkRows = 0;
    for (int y = int((10 + 2) / 25.4 * dpi); y < int((10 + 2 + 3.6) / 25.4 * dpi); ++y)
        for (int x = int(10 / 25.4 * dpi); x < int(60 / 25.4 * dpi); ++x)
            if (page.pixelColor(x, y).lightness() < 128) {
                ++inkRows;
                break;
            }
    const double capitalMm = double(inkRows) / dpi * 25.4;
    QVERIFY2(smaller ? capitalMm < 2.3 : capitalMm > 2.3, qPrintable(QString::number(capitalMm)));
}

void TestReportEngine::linesUnderAGrowingTextMoveDown() {
    Report r(QStringLiteral("Histórico"));
    Band& d = r.detail;
    d.height = 8;
    d.addField(QRectF(0, 0, 40, 4), QStringLiteral("UNIDADE"), TextStyle(8).valigned(Qt::AlignTop)).wrapped();
    const int unit = d.lastIndex();
    d.addField(QRectF(0, 4, 40, 4), QStringLiteral("USUARIO"), TextStyle(8).valigned(Qt::AlignTop))
        .under(unit);
    d.addField(QRectF(50, 4, 40, 4), QStringLiteral("OUTRA"), TextStyle(8).valigned(Qt::AlignTop));
    r.data.setColumns({QStringLiteral("UNIDADE"), QStringLiteral("USUARIO"), QStringLiteral("OUTRA")});
    r.data.addRow({QStringLiteral("SECRETARIA"), QStringLiteral("MARIA"), QStringLiteral("FIXA")});
    r.data.addRow({QStringLiteral("SECRETARIA MUNICIPAL DE INFRAESTRUTURA, OBRAS PÚBLICAS E HABITAÇÃO"),
                   QStringLiteral("JOSÉ"), QStringLiteral("FIXA")});
    const PreparedReport p = prepare(r);
    const auto details = bandsOf(p, BandKind::Detail);
    QCOMPARE(details[0]->height, 8.0);
    const double lineHeight = QFontMetricsF(reportFont(TextStyle(8))).lineSpacing() * 25.4 / kLayoutDpi;
    QVERIFY2(details[1]->height > 8 + lineHeight, qPrintable(QString::number(details[1]->height)));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("u.pdf"));
    QVERIFY(exportPdf(r, p, pdf));
    // Laid out as on the page: the user comes on the line after the unit's last, the other
    // column stays on the band's second line.
    const QStringList lines = pdftools::text(pdf).split(QLatin1Char('\n'));
    int lastUnitLine = -1, userLine = -1, otherLine = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].contains(QStringLiteral("HABITAÇÃO"))) lastUnitLine = i;
        if (lines[i].contains(QStringLiteral("JOSÉ"))) userLine = i;
        if (lines[i].contains(QStringLiteral("FIXA"))) otherLine = i; // the second record's
    }
    QVERIFY(lastUnitLine >= 0 && userLine > lastUnitLine);
    QVERIFY(otherLine >= 0 && otherLine < userLine);
}

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
