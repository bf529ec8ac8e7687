#include "core/appvalues.h"
#include "core/connection.h"
#include "core/menucommands.h"
#include "db/update.h"
#include "reports/engine/exports.h"
#include "reports/engine/layout.h"
#include "reports/engine/preview.h"
#include "reports/listings/listings.h"
#include "reports/reports.h"
#include "tests/reports/pdftools.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QFile>
#include <QFontMetricsF>
#include <QPrinter>
#include <QSqlQuery>
#include <QTest>
#include <QXmlStreamReader>

using namespace reports;
using testsupport::TestDatabase;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kWhite(255, 255, 255);

QString code(int n, int width) {
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

// Twelve budget units whose names, read in code order, are not in alphabetical order.
const QStringList kUnitNames{
    QStringLiteral("SECRETARIA DE SAÚDE"),
    QStringLiteral("GABINETE DO PREFEITO"),
    QStringLiteral("ÁGUA E ESGOTO"),
    QStringLiteral("SECRETARIA DE EDUCAÇÃO"),
    QStringLiteral("CÂMARA DE VEREADORES"),
    QStringLiteral("ASSISTÊNCIA SOCIAL"),
    QStringLiteral("OBRAS E URBANISMO"),
    QStringLiteral("FAZENDA MUNICIPAL"),
    QStringLiteral("ZELADORIA"),
    QStringLiteral("CULTURA E TURISMO"),
    QStringLiteral("BIBLIOTECA MUNICIPAL"),
    QStringLiteral("ADMINISTRAÇÃO"),
};

void fillRegisters(TestDatabase& db) {
    for (int i = 0; i < kUnitNames.size(); ++i)
        db.exec(QStringLiteral("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES (?, ?)"),
                {code(i + 1, 4), kUnitNames.at(i)});
    db.exec(QStringLiteral("INSERT INTO TIPOUNIDADE (IDTIPO, TIPO) VALUES (?, ?)"),
            {QStringLiteral("02"), QStringLiteral("PREFEITURA")});
    db.exec(QStringLiteral("INSERT INTO TIPOUNIDADE (IDTIPO, TIPO) VALUES (?, ?)"),
            {QStringLiteral("01"), QStringLiteral("CÂMARA")});
    db.exec(QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES (?, ?)"),
            {QStringLiteral("0002"), QStringLiteral("ALVARÁ")});
    db.exec(QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES (?, ?)"),
            {QStringLiteral("0001"), QStringLiteral("REQUERIMENTO")});
    db.exec(QStringLiteral("INSERT INTO EMPRESA (IDEMPRESA, EMPRESA, CNPJ, DDD, TELEFONE, EMAIL, SITE) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("01"), QStringLiteral("PREFEITURA MUNICIPAL DE SATUBA"),
             QStringLiteral("12.200.291/0001-44"), QStringLiteral("82"), QStringLiteral("3261-1000"),
             QStringLiteral("gabinete@satuba.al.gov.br"), QStringLiteral("www.satuba.al.gov.br")});
    // The third sector points at a unit that no longer exists: it is still listed.
    db.exec(QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR, IDUNIDADE) VALUES (?, ?, ?)"),
            {QStringLiteral("000002"), QStringLiteral("Protocolo Geral"), QStringLiteral("0002")});
    db.exec(QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR, IDUNIDADE) VALUES (?, ?, ?)"),
            {QStringLiteral("000001"), QStringLiteral("Almoxarifado"), QStringLiteral("0001")});
    db.exec(QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR, IDUNIDADE) VALUES (?, ?, ?)"),
            {QStringLiteral("000003"), QStringLiteral("Arquivo"), QStringLiteral("0099")});
    db.exec(
        QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO, TIPO, CPF, CNPJ, DDD_TELEFONE, "
                       "TELEFONE, EMAIL, SITE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {QStringLiteral("000002"), QStringLiteral("JOSÉ DA SILVA"), QStringLiteral("1 - Pessoa Física"),
         QStringLiteral("111.444.777-35"), QString(), QStringLiteral("82"), QStringLiteral("99999-1234"),
         QStringLiteral("jose@exemplo.com.br"), QString()});
    db.exec(
        QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO, TIPO, CPF, CNPJ, DDD_TELEFONE, "
                       "TELEFONE, EMAIL, SITE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {QStringLiteral("000001"), QStringLiteral("ASSOCIAÇÃO COMUNITÁRIA"),
         QStringLiteral("2 - Pessoa Jurídica"), QString(), QStringLiteral("11.222.333/0001-81"), QString(),
         QStringLiteral("3221-0000"), QStringLiteral("assoc@exemplo.org"), QStringLiteral("www.assoc.org")});
    db.exec(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, CPF) VALUES (?, ?, ?)"),
            {QStringLiteral("00000002"), QStringLiteral("MARIA JOSÉ"), QStringLiteral("111.444.777-35")});
    db.exec(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, CPF) VALUES (?, ?, ?)"),
            {QStringLiteral("00000001"), QStringLiteral("ADMINISTRADOR"), QStringLiteral("529.982.247-25")});
}

void addUsers(int count) {
    QSqlDatabase db = core::mainConnection();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, CPF) VALUES (?, ?, ?)"));
    for (int i = 1; i <= count; ++i) {
        q.bindValue(0, code(i, 8));
        q.bindValue(1, QStringLiteral("USUÁRIO %1").arg(i));
        q.bindValue(2, QStringLiteral("111.444.777-35"));
        QVERIFY(q.exec());
    }
    QVERIFY(db.commit());
}

// What a test reads from a preview while it is open.
struct Seen {
    bool opened = false;
    bool modal = false;
    bool maximised = false;
    QString windowTitle;
    QHash<QString, QString> labels;
    ExportTable table;
    QVector<QColor> backgrounds;
    QVector<double> detailTops; // mm from the top of the content area, first page
    QStringList firstPageHeader;
};

Seen look(PreviewWindow* preview) {
    Seen s;
    s.opened = true;
    s.modal = preview->isModal();
    s.maximised = preview->windowState() & Qt::WindowMaximized;
    s.windowTitle = preview->windowTitle();
    const Report& r = preview->report();
    for (const QString& name :
         {QStringLiteral("Empresa"), QStringLiteral("Sistema"), QStringLiteral("Titulo")})
        s.labels.insert(name, r.label(name));
    s.table = exportTable(r, preview->prepared());
    for (const PlacedBand& b : preview->prepared().pages.first().bands) {
        if (b.kind == BandKind::Detail) {
            s.backgrounds << b.background;
            s.detailTops << b.top;
        }
        if (b.kind == BandKind::PageHeader) {
            EvalContext ctx;
            ctx.data = &r.data;
            ctx.labels = &b.labels;
            ctx.printedAt = preview->prepared().printedAt;
            s.firstPageHeader = bandTextLines(r.pageHeader, ctx, true);
        }
    }
    return s;
}

// Opens a menu entry and looks at its preview, running the extra action before closing it.
Seen openEntry(const QString& title, const std::function<void(PreviewWindow*)>& extra = {}) {
    Seen seen;
    testsupport::onNextModal([&](QWidget* w) {
        auto* preview = qobject_cast<PreviewWindow*>(w);
        if (preview) {
            seen = look(preview);
            if (extra) extra(preview);
        }
        w->close();
    });
    core::menuCommands().open(title, nullptr);
    return seen;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QStringList column(const ExportTable& t, int c) {
    QStringList out;
    for (const QStringList& row : t.rows)
        out << row.value(c);
    return out;
}

} // namespace

class TestListings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyMenuEntryOpensItsListing_data();
    void everyMenuEntryOpensItsListing();
    void hotkeyMarkerIsLeftOutOfTheTitle();
    void ordersByCodeOrByName_data();
    void ordersByCodeOrByName();
    void countText_data();
    void countText();
    void twelveUnitsPrintTheirCount();
    void usersCountGroupsThousandsTheBrazilianWay();
    void emptyRegisterPrintsTheFrame_data();
    void emptyRegisterPrintsTheFrame();
    void printAfterPreviewCountsFromZero();
    void usersListingHeaderAndColours();
    void savedFilesHoldTheRecords_data();
    void savedFilesHoldTheRecords();
    void readFailureShowsTheErrorBox();
    void organisationRecordKeepsToOneLine();
    void applicantsInNameOrderWithAndWithoutTheIndex();
    void columnTitlesNeverBreakInsideAWord_data();
    void columnTitlesNeverBreakInsideAWord();
};

void TestListings::initTestCase() {
    core::initialiseAppValues(0);
    reports::registerMenuCommands();
}

void TestListings::everyMenuEntryOpensItsListing_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QStringList>("firstRow");
    QTest::addColumn<int>("rows");

    const QStringList units{QStringLiteral("Código"), QStringLiteral("Unidade")};
    const QStringList types{QStringLiteral("Código"), QStringLiteral("Tipo Unidade")};
    const QStringList processTypes{QStringLiteral("Código"), QStringLiteral("Tipo Processo")};
    const QStringList sectors{QStringLiteral("Código"), QStringLiteral("Setor"),
                              QStringLiteral("Unidade Orçamentária")};
    const QStringList applicants{QStringLiteral("Código"),   QStringLiteral("Requerente / Titular"),
                                 QStringLiteral("C N P J"),  QStringLiteral("C P F"),
                                 QStringLiteral("Telefone"), QStringLiteral("EMail"),
                                 QStringLiteral("Site")};
    const QStringList users{QStringLiteral("Código"), QStringLiteral("Usuário"), QStringLiteral("C P F")};

    QTest::newRow("unidades numérica") << "Relatório das Unidades Orçamentárias - Ordem Numérica" << units
                                       << QStringList{"0001", "SECRETARIA DE SAÚDE"} << 12;
    QTest::newRow("unidades alfabética") << "Relatório das Unidades Orçamentárias - Ordem Alfabética" << units
                                         << QStringList{"0012", "ADMINISTRAÇÃO"} << 12;
    QTest::newRow("tipos de unidades numérica")
        << "Relatório Tipos de Unidades - Ordem Numérica" << types << QStringList{"01", "CÂMARA"} << 2;
    QTest::newRow("tipos de unidades alfabética")
        << "Relatório Tipos de Unidades - Ordem Alfabética" << types << QStringList{"01", "CÂMARA"} << 2;
    QTest::newRow("empresa")
        << "Relatório da Empresa" << QStringList{"Código", "Empresa", "C N P J", "Telefone", "EMail", "Site"}
        << QStringList{"01",           "PREFEITURA MUNICIPAL DE SATUBA", "12.200.291/0001-44",
                       "82 3261-1000", "gabinete@satuba.al.gov.br",      "www.satuba.al.gov.br"}
        << 1;
    QTest::newRow("tipos de processos numérica") << "Relatório dos Tipos de Processos - Ordem Numérica"
                                                 << processTypes << QStringList{"0001", "REQUERIMENTO"} << 2;
    QTest::newRow("tipos de processos alfabética") << "Relatório dos Tipos de Processos - Ordem Alfabética"
                                                   << processTypes << QStringList{"0002", "ALVARÁ"} << 2;
    QTest::newRow("setores numérica")
        << "Relatório dos Setores - Ordem Numérica" << sectors
        << QStringList{"000001", "Almoxarifado", "0001 SECRETARIA DE SAÚDE"} << 3;
    QTest::newRow("setores alfabética")
        << "Relatório dos Setores - Ordem Alfabética" << sectors
        << QStringList{"000001", "Almoxarifado", "0001 SECRETARIA DE SAÚDE"} << 3;
    QTest::newRow("requerentes numérica")
        << "Relatório dos Requerentes/Titulares - Ordem Numérica" << applicants
        << QStringList{"000001",    "ASSOCIAÇÃO COMUNITÁRIA", "11.222.333/0001-81", "",
                       "3221-0000", "assoc@exemplo.org",      "www.assoc.org"}
        << 2;
    QTest::newRow("requerentes alfabética")
        << "Relatório dos Requerentes/Titulares - Ordem Alfabética" << applicants
        << QStringList{"000001",    "ASSOCIAÇÃO COMUNITÁRIA", "11.222.333/0001-81", "",
                       "3221-0000", "assoc@exemplo.org",      "www.assoc.org"}
        << 2;
    QTest::newRow("usuários numérica") << "Relatório dos Usuários - Ordem Numérica" << users
                                       << QStringList{"00000001", "ADMINISTRADOR", "529.982.247-25"} << 2;
    QTest::newRow("usuários alfabética") << "Relatório dos Usuários - Ordem Alfabética" << users
                                         << QStringList{"00000001", "ADMINISTRADOR", "529.982.247-25"} << 2;
}

void TestListings::everyMenuEntryOpensItsListing() {
    QFETCH(QString, title);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, firstRow);
    QFETCH(int, rows);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    testsupport::ScriptedDialogs dialogs;

    QVERIFY(core::menuCommands().contains(title));
    const Seen seen = openEntry(title);
    QVERIFY(seen.opened);
    QVERIFY(seen.modal);
    QVERIFY(seen.maximised);
    QCOMPARE(seen.windowTitle, title);
    QCOMPARE(seen.labels.value(QStringLiteral("Empresa")), core::appValues().profile.organisationName);
    QCOMPARE(seen.labels.value(QStringLiteral("Sistema")), QStringLiteral("Protocolo-Korvalis"));
    QCOMPARE(seen.labels.value(QStringLiteral("Titulo")), title);
    QCOMPARE(seen.table.captions, captions);
    QCOMPARE(seen.table.rows.size(), rows);
    QCOMPARE(seen.table.rows.first(), firstRow);
    QCOMPARE(seen.backgrounds.first(), kSilver);
    if (rows > 1) QCOMPARE(seen.backgrounds.at(1), kWhite);
    QVERIFY(seen.table.summaryLines.join(QLatin1Char(' ')).contains(QStringLiteral("Total de Registros : ")));
    VERIFY_DIALOGS(dialogs);
}

void TestListings::hotkeyMarkerIsLeftOutOfTheTitle() {
    TestDatabase db;
    QVERIFY_DB(db);
    QString error;
    auto report = buildListing(QStringLiteral("&Relatório dos Setores - Ordem Numérica"), &error);
    QVERIFY2(report, qPrintable(error));
    QCOMPARE(report->label(QStringLiteral("Titulo")),
             QStringLiteral("Relatório dos Setores - Ordem Numérica"));
    QCOMPARE(report->title, QStringLiteral("Relatório dos Setores - Ordem Numérica"));
}

void TestListings::ordersByCodeOrByName_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("names");
    const QStringList alphabetical{
        QStringLiteral("ADMINISTRAÇÃO"),        QStringLiteral("ÁGUA E ESGOTO"),
        QStringLiteral("ASSISTÊNCIA SOCIAL"),   QStringLiteral("BIBLIOTECA MUNICIPAL"),
        QStringLiteral("CÂMARA DE VEREADORES"), QStringLiteral("CULTURA E TURISMO"),
        QStringLiteral("FAZENDA MUNICIPAL"),    QStringLiteral("GABINETE DO PREFEITO"),
        QStringLiteral("OBRAS E URBANISMO"),    QStringLiteral("SECRETARIA DE EDUCAÇÃO"),
        QStringLiteral("SECRETARIA DE SAÚDE"),  QStringLiteral("ZELADORIA")};
    QTest::newRow("numérica") << "Relatório das Unidades Orçamentárias - Ordem Numérica" << kUnitNames;
    QTest::newRow("alfabética") << "Relatório das Unidades Orçamentárias - Ordem Alfabética" << alphabetical;
}

void TestListings::ordersByCodeOrByName() {
    QFETCH(QString, title);
    QFETCH(QStringList, names);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    const Seen seen = openEntry(title);
    QCOMPARE(column(seen.table, 1), names);
}

void TestListings::countText_data() {
    QTest::addColumn<int>("listing");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unidades 12") << int(Listing::BudgetUnits) << 12 << "Total de Registros : 000012";
    QTest::newRow("setores 1234") << int(Listing::Sectors) << 1234 << "Total de Registros : 001234";
    QTest::newRow("usuários 1") << int(Listing::Users) << 1 << "Total de Registros : 001";
    QTest::newRow("usuários 12") << int(Listing::Users) << 12 << "Total de Registros : 012";
    QTest::newRow("usuários 999") << int(Listing::Users) << 999 << "Total de Registros : 999";
    QTest::newRow("usuários 1000") << int(Listing::Users) << 1000 << "Total de Registros : 1.000";
    QTest::newRow("usuários 1234") << int(Listing::Users) << 1234 << "Total de Registros : 1.234";
    QTest::newRow("usuários 1234567") << int(Listing::Users) << 1234567 << "Total de Registros : 1.234.567";
}

void TestListings::countText() {
    QFETCH(int, listing);
    QFETCH(int, count);
    QFETCH(QString, expected);
    // The Brazilian grouping holds whatever the workstation's own locale is.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString text = listingCountText(Listing(listing), count);
    QLocale::setDefault(before);
    QCOMPARE(text, expected);
}

void TestListings::twelveUnitsPrintTheirCount() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    QString error;
    auto report =
        buildListing(QStringLiteral("Relatório das Unidades Orçamentárias - Ordem Numérica"), &error);
    QVERIFY2(report, qPrintable(error));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("unidades.pdf"));
    QVERIFY2(exportPdf(*report, prepare(*report), pdf, &error), qPrintable(error));
    const QString text = pdftools::text(pdf);
    QVERIFY2(text.contains(QStringLiteral("Total de Registros : 000012")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Página : 1")));
    QVERIFY(text.contains(QStringLiteral("Relatório das Unidades Orçamentárias - Ordem Numérica")));
    QVERIFY(text.contains(QStringLiteral("SECRETARIA DE EDUCAÇÃO")));
}

void TestListings::usersCountGroupsThousandsTheBrazilianWay() {
    TestDatabase db;
    QVERIFY_DB(db);
    addUsers(1234);
    QString error;
    auto report = buildListing(QStringLiteral("Relatório dos Usuários - Ordem Alfabética"), &error);
    QVERIFY2(report, qPrintable(error));
    const PreparedReport p = prepare(*report);
    const PlacedBand& summary = p.pages.last().bands.last();
    QCOMPARE(summary.kind, BandKind::Summary);
    QCOMPARE(summary.labels.value(QStringLiteral("Registros")), QStringLiteral("Total de Registros : 1.234"));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("usuarios.pdf"));
    QVERIFY(exportPdf(*report, p, pdf));
    QVERIFY(pdftools::text(pdf, p.pageCount(), p.pageCount())
                .contains(QStringLiteral("Total de Registros : 1.234")));
    // Header on every page, with the page number.
    for (int page : {1, p.pageCount() / 2, p.pageCount()}) {
        const QString text = pdftools::text(pdf, page, page);
        QVERIFY(text.contains(QStringLiteral("Relatório dos Usuários - Ordem Alfabética")));
        // The text tool turns the two blanks after "Pág." into one.
        QVERIFY(text.simplified().contains(QStringLiteral("Pág. %1").arg(page)));
    }
}

void TestListings::emptyRegisterPrintsTheFrame_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("countLabel");
    QTest::newRow("unidades") << "Relatório das Unidades Orçamentárias - Ordem Numérica"
                              << "Unidade"
                              << "Registros";
    QTest::newRow("usuários") << "Relatório dos Usuários - Ordem Numérica"
                              << "Usuário"
                              << "T O T A L";
}

void TestListings::emptyRegisterPrintsTheFrame() {
    QFETCH(QString, title);
    QFETCH(QString, caption);
    QFETCH(QString, countLabel);
    TestDatabase db;
    QVERIFY_DB(db);
    QString error;
    auto report = buildListing(title, &error);
    QVERIFY2(report, qPrintable(error));
    const PreparedReport p = prepare(*report);
    QCOMPARE(p.pageCount(), 1);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("vazio.pdf"));
    QVERIFY(exportPdf(*report, p, pdf));
    // Raw order keeps letter-spaced words ("T O T A L") as they were drawn.
    const QString text = pdftools::text(pdf, 0, 0, false);
    QVERIFY(text.contains(core::appValues().profile.organisationName));
    QVERIFY(text.contains(title));
    QVERIFY(text.contains(caption));
    QVERIFY(text.contains(countLabel));
    QVERIFY(!text.contains(QStringLiteral("Total de Registros")));
}

void TestListings::printAfterPreviewCountsFromZero() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    QTemporaryDir dir;
    const QStringList printed{dir.filePath(QStringLiteral("impressao1.pdf")),
                              dir.filePath(QStringLiteral("impressao2.pdf"))};
    int printNumber = 0;
    setPrintSetup([&](QPrinter& printer, QWidget*, int) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed.at(printNumber++));
        return true;
    });
    QString previewSummary;
    const Seen seen =
        openEntry(QStringLiteral("Relatório das Unidades Orçamentárias - Ordem Alfabética"),
                  [&](PreviewWindow* preview) {
                      auto* print = preview->findChild<QAction*>(QStringLiteral("Botao_Imprimir"));
                      print->trigger();
                      print->trigger();
                      previewSummary =
                          exportTable(preview->report(), preview->prepared()).summaryLines.join(' ');
                  });
    setPrintSetup({});
    QCOMPARE(printNumber, 2);
    QCOMPARE(previewSummary, QStringLiteral("Total de Registros : 000012"));
    QVERIFY(seen.detailTops.size() >= 2);
    const int dpi = 100;
    for (const QString& pdf : printed) {
        const QString text = pdftools::text(pdf);
        QVERIFY2(text.contains(QStringLiteral("Total de Registros : 000012")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("000024")));
        // Lines start silver again: look at the right end of the first two lines.
        const QImage page = pdftools::pageImage(pdf, 1, dpi);
        QVERIFY(!page.isNull());
        QVERIFY(page.width() > page.height()); // landscape
        QCOMPARE(pdftools::colourAtMm(page, dpi, 280, 10 + seen.detailTops.at(0) + 1.5), kSilver);
        QCOMPARE(pdftools::colourAtMm(page, dpi, 280, 10 + seen.detailTops.at(1) + 1.5), kWhite);
    }
}

void TestListings::usersListingHeaderAndColours() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    const QStringList before = core::appValues().rowColourNames;
    core::appValues().rowColourNames = {QStringLiteral("clSkyBlue"), QStringLiteral("clWhite")};
    const QDateTime opened = QDateTime::currentDateTime();
    const Seen seen = openEntry(QStringLiteral("Relatório dos Usuários - Ordem Alfabética"));
    core::appValues().rowColourNames = before;
    QCOMPARE(seen.backgrounds.size(), 2);
    QCOMPARE(seen.backgrounds.at(0), QColor(166, 202, 240));
    QCOMPARE(seen.backgrounds.at(1), kWhite);
    QVERIFY2(seen.firstPageHeader.join('|').contains(QStringLiteral("Pág.  1")),
             qPrintable(seen.firstPageHeader.join('|')));
    QVERIFY(seen.firstPageHeader.join('|').contains(opened.date().toString(QStringLiteral("dd/MM/yyyy"))));
    QVERIFY(seen.firstPageHeader.join('|').contains(
        QRegularExpression(QStringLiteral("\\b\\d\\d:\\d\\d:\\d\\d\\b"))));
    QCOMPARE(seen.table.summaryLines, QStringList{QStringLiteral("Total de Registros : 002")});
    // The summary of the users listing has a rule above and below the count.
    auto report = createListing(Listing::Users);
    int rules = 0;
    for (const Element& e : report->summary.elements)
        rules += e.kind == ElementKind::Line;
    QCOMPARE(rules, 2);
}

void TestListings::savedFilesHoldTheRecords_data() {
    QTest::addColumn<QString>("fileName");
    QTest::newRow("pdf") << "setores.pdf";
    QTest::newRow("texto") << "setores.txt";
    QTest::newRow("csv") << "setores.csv";
    QTest::newRow("html") << "setores.html";
}

void TestListings::savedFilesHoldTheRecords() {
    QFETCH(QString, fileName);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectSaveFile(path);
    openEntry(QStringLiteral("Relatório dos Setores - Ordem Alfabética"), [](PreviewWindow* preview) {
        preview->findChild<QAction*>(QStringLiteral("Botao_Salvar"))->trigger();
    });
    VERIFY_DIALOGS(dialogs);
    QVERIFY(dialogs.lastPreselectedFilter().contains(QStringLiteral("*.pdf")));

    // Alphabetical order of the sector names; the sector of a vanished unit keeps its code.
    const QList<QStringList> expected{{"000001", "Almoxarifado", "0001 SECRETARIA DE SAÚDE"},
                                      {"000003", "Arquivo", "0099"},
                                      {"000002", "Protocolo Geral", "0002 GABINETE DO PREFEITO"}};
    const QByteArray bytes = readAll(path);
    QVERIFY(!bytes.isEmpty());
    if (fileName.endsWith(QStringLiteral(".pdf"))) {
        QVERIFY(bytes.startsWith("%PDF"));
        const QStringList lines = pdftools::text(path).split(QLatin1Char('\n'));
        int at = 0;
        for (const QStringList& row : expected) {
            while (at < lines.size() && !lines.at(at).trimmed().startsWith(row.first()))
                ++at;
            QVERIFY2(at < lines.size(), qPrintable(row.first()));
            QCOMPARE(lines.at(at).simplified(), row.join(QLatin1Char(' ')));
        }
        QVERIFY(pdftools::text(path).contains(QStringLiteral("Total de Registros : 000003")));
        return;
    }
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes.mid(3));
    if (fileName.endsWith(QStringLiteral(".csv"))) {
        const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0).split(';'), (QStringList{"Código", "Setor", "Unidade Orçamentária"}));
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(lines.at(i + 1).split(';'), expected.at(i));
    } else if (fileName.endsWith(QStringLiteral(".txt"))) {
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QVERIFY(lines.contains(QStringLiteral("Relatório dos Setores - Ordem Alfabética")));
        const int header =
            lines.indexOf(QRegularExpression(QStringLiteral("^Código +Setor +Unidade Orçamentária$")));
        QVERIFY2(header >= 0, qPrintable(text));
        for (int i = 0; i < expected.size(); ++i) {
            const QString& line = lines.at(header + 2 + i);
            QCOMPARE(line.simplified(), expected.at(i).join(' '));
            QCOMPARE(line.indexOf(expected.at(i).at(1)), lines.at(header).indexOf(QStringLiteral("Setor")));
        }
        QVERIFY(lines.contains(QStringLiteral("Total de Registros : 000003")));
    } else {
        QXmlStreamReader xml(text);
        QList<QStringList> rows;
        bool inBody = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("tbody"))
                inBody = true;
            else if (inBody && xml.isStartElement() && xml.name() == QLatin1String("tr"))
                rows << QStringList();
            else if (inBody && xml.isStartElement() && xml.name() == QLatin1String("td"))
                rows.last() << xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(rows, expected);
        QVERIFY(text.contains(QStringLiteral("Total de Registros : 000003")));
    }
}

void TestListings::readFailureShowsTheErrorBox() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.exec(QStringLiteral("DROP TABLE SETORES"));
    testsupport::ScriptedDialogs dialogs;
    dialogs.expectError(QStringLiteral("SETORES"));
    QWidget* before = QApplication::activeModalWidget();
    core::menuCommands().open(QStringLiteral("Relatório dos Setores - Ordem Numérica"), nullptr);
    QCOMPARE(QApplication::activeModalWidget(), before);
    VERIFY_DIALOGS(dialogs);
}

void TestListings::organisationRecordKeepsToOneLine() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QString name =
        QStringLiteral("PREFEITURA MUNICIPAL DE SÃO MIGUEL DOS MILAGRES - ADMINISTRAÇÃO DIRETA "
                       "E INDIRETA DO MUNICÍPIO");
    const QString mail = QStringLiteral("gabinete.do.prefeito@demonstracao.saomigueldosmilagres.al.gov.br");
    const QString site = QStringLiteral("www.transparencia.saomigueldosmilagres.al.gov.br/prefeitura");
    db.exec(QStringLiteral("INSERT INTO EMPRESA (IDEMPRESA, EMPRESA, CNPJ, DDD, TELEFONE, EMAIL, SITE) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("01"), name, QStringLiteral("12.200.291/0001-44"), QStringLiteral("82"),
             QStringLiteral("3261-1000"), mail, site});
    QString error;
    auto report = buildListing(QStringLiteral("Relatório da Empresa"), &error);
    QVERIFY2(report, qPrintable(error));
    const PreparedReport p = prepare(*report);
    // One line: the detail band keeps its design height.
    for (const PlacedBand& b : p.pages.first().bands)
        if (b.kind == BandKind::Detail) QCOMPARE(b.height, report->detail.height);
    // The columns fill the page width.
    const Element& last = report->detail.elements.at(report->exportColumns.last().element);
    QCOMPARE(last.rect.right() + 1, 277.0);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("empresa.pdf"));
    QVERIFY(exportPdf(*report, p, pdf));
    const QStringList lines = pdftools::text(pdf).split(QLatin1Char('\n'));
    int record = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (lines.at(i).contains(QStringLiteral("12.200.291/0001-44"))) record = i;
    QVERIFY(record >= 0);
    const QString line = lines.at(record);
    QVERIFY2(line.trimmed().startsWith(QStringLiteral("01 ")), qPrintable(line));
    for (const QString& start :
         {QStringLiteral("PREFEITURA MUNICIPAL DE SÃO MIGUEL"), QStringLiteral("82 3261-1000"),
          QStringLiteral("gabinete.do.prefeito@"), QStringLiteral("www.transparencia.")})
        QVERIFY2(line.contains(start), qPrintable(line));
    // What did not fit is cut with an ellipsis, never carried to a second line.
    QVERIFY2(line.contains(QChar(0x2026)), qPrintable(line));
    for (int i = record + 1; i < lines.size() && !lines.at(i).contains(QStringLiteral("Total de Registros"));
         ++i)
        QVERIFY2(lines.at(i).trimmed().isEmpty(), qPrintable(lines.at(i)));
    // The exports keep the whole values.
    const ExportTable t = exportTable(*report, p);
    QCOMPARE(t.rows.first().at(1), name);
    QCOMPARE(t.rows.first().at(4), mail);
    // The page header's three lines are black.
    for (const Element& e : report->pageHeader.elements)
        if (e.kind == ElementKind::Text) QCOMPARE(e.style.colour, QColor(Qt::black));
}

namespace {

// Names the one order holds equal (case, accents, trailing blanks; blanks and nulls) in groups of
// their rank, so that the expected order is written here rather than taken from the program.
const QList<QPair<int, QVariant>> kRankedNames{
    {0, QVariant()},
    {0, QStringLiteral("")},
    {0, QStringLiteral("   ")},
    {1, QStringLiteral("abacaxi")},
    {2, QStringLiteral("água")},
    {2, QStringLiteral("AGUA")},
    {2, QStringLiteral("Água")},
    {2, QStringLiteral("ÁGUA")},
    {3, QStringLiteral("Orgao")},
    {3, QStringLiteral("ÓRGÃO")},
    {3, QStringLiteral("órgão")},
    {4, QStringLiteral("SECRETARIA")},
    {4, QStringLiteral("secretaria  ")},
    {5, QStringLiteral("ZEBRA")},
};

QString pdfOf(Report& report, const QString& path) {
    const PreparedReport p = prepare(report);
    return p.error.isEmpty() && exportPdf(report, p, path) ? pdftools::text(path) : QString();
}

} // namespace

// The applicants' alphabetical listing reads its rows as the pages are laid out, through the
// name's index; a database the update has not yet given that index reads them first and orders
// them here. Both print the one order (equal names by code) and the same pages.
void TestListings::applicantsInNameOrderWithAndWithoutTheIndex() {
    TestDatabase db;
    QVERIFY_DB(db);
    // More rows than one trip to the server reads, codes scattered over the names, stored last
    // code first: the index holds equal names in the order they were stored, not by code.
    const int rows = 1400;
    QSqlDatabase conn = core::mainConnection();
    QVERIFY(conn.transaction());
    QSqlQuery insert(conn);
    QVERIFY(insert.prepare(
        QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES (?, ?)")));
    QList<QPair<int, QString>> expected; // rank, code
    for (int i = rows; i >= 1; --i) {
        const auto& [rank, name] = kRankedNames.at((i * 5) % kRankedNames.size());
        insert.bindValue(0, code(i, 6));
        insert.bindValue(1, name);
        QVERIFY(insert.exec());
        expected.append({rank, code(i, 6)});
    }
    QVERIFY(conn.commit());
    std::sort(expected.begin(), expected.end());
    QStringList codes;
    for (const auto& e : expected)
        codes << e.second;

    const QString title = QStringLiteral("Relatório dos Requerentes/Titulares - Ordem Alfabética");
    QTemporaryDir dir;
    QString error;
    QString streamedPdf;
    for (const bool indexed : {true, false}) {
        if (!indexed) QVERIFY(db.exec(QStringLiteral("DROP INDEX INTERESSADOS_O_NOME")));
        auto report = buildListing(title, &error);
        QVERIFY2(report, qPrintable(error));
        // Through the index only the first rows are read before the pages are laid out.
        QCOMPARE(report->data.complete(), !indexed);
        QVERIFY(report->data.rowCount() < rows || !indexed);
        const PreparedReport p = prepare(*report);
        QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
        QCOMPARE(column(exportTable(*report, p), 0), codes);
        const QString text = pdfOf(
            *report, dir.filePath(indexed ? QStringLiteral("indice.pdf") : QStringLiteral("sem-indice.pdf")));
        QVERIFY(text.contains(QStringLiteral("Total de Registros : 001400")));
        if (indexed)
            streamedPdf = text;
        else
            QCOMPARE(text, streamedPdf);
    }
    // The database update gives an older database the index again.
    QVERIFY(db::createMissingIndices(conn, &error).contains(QStringLiteral("INTERESSADOS_O_NOME")));
    auto report = buildListing(title, &error);
    QVERIFY2(report, qPrintable(error));
    QVERIFY(!report->data.complete());
    QCOMPARE(pdfOf(*report, dir.filePath(QStringLiteral("atualizada.pdf"))), streamedPdf);
}

void TestListings::columnTitlesNeverBreakInsideAWord_data() {
    QTest::addColumn<int>("listing");
    const QList<QPair<const char*, Listing>> all{
        {"unidades", Listing::BudgetUnits}, {"tipos de unidades", Listing::UnitTypes},
        {"empresa", Listing::Organisation}, {"tipos de processos", Listing::ProcessTypes},
        {"setores", Listing::Sectors},      {"requerentes", Listing::Applicants},
        {"usuários", Listing::Users}};
    for (const auto& [name, listing] : all)
        QTest::newRow(name) << int(listing);
}

void TestListings::columnTitlesNeverBreakInsideAWord() {
    // Titles wrap between words only, so each word has to fit its column in the type it is
    // printed in ("Códig" / "o" was the organisation listing's first column).
    QFETCH(int, listing);
    const std::unique_ptr<Report> r = createListing(Listing(listing));
    int titles = 0;
    for (const Element& e : r->columnHeader.elements) {
        if (e.kind != ElementKind::Text || e.source != TextSource::Static || e.text.trimmed().isEmpty())
            continue;
        QVERIFY2(e.keepWords, qPrintable(e.text));
        const QFontMetricsF metrics(reportFont(e.style));
        for (const QString& word : e.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            QVERIFY2(metrics.horizontalAdvance(word) <= mmToUnits(e.rect.width()),
                     qPrintable(word + QStringLiteral(" in ") + QString::number(e.rect.width()) + " mm"));
        ++titles;
    }
    QVERIFY(titles >= 2);
}

QTEST_MAIN(TestListings)
#include "tst_listings.moc"
