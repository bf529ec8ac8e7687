#include "core/appvalues.h"
#include "core/processpapers.h"
#include "core/session.h"
#include "forms/processes/pesqdespacho.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/processes/searches.h"
#include "gui/colours.h"
#include "reports/engine/exports.h"
#include "reports/engine/preview.h"
#include "reports/processes/processreports.h"
#include "reports/reports.h"
#include "tests/reports/pdftools.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QTest>
#include <QTime>

using namespace reports;
using testsupport::TestDatabase;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kWhite(255, 255, 255);

QString code(int n, int width) {
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

// Registers every process paper names: a person and a legal person, a type, two units, two
// sectors and two users.
void fillRegisters(TestDatabase& db) {
    db.insert(QStringLiteral("INTERESSADOS"), {{"IDINTERESSADO", "000001"},
                                               {"INTERESSADO", QStringLiteral("JOSÉ DA CONCEIÇÃO")},
                                               {"TIPO", "1 - Pessoa Física"},
                                               {"CPF", "111.444.777-35"}});
    db.insert(QStringLiteral("INTERESSADOS"), {{"IDINTERESSADO", "000002"},
                                               {"INTERESSADO", QStringLiteral("ASSOCIAÇÃO COMUNITÁRIA")},
                                               {"TIPO", QStringLiteral("2 - Pessoa Jurídica")},
                                               {"CNPJ", "11.222.333/0001-81"}});
    db.insert(QStringLiteral("TIPOPROCESSO"), {{"IDTIPO", "0001"}, {"TIPO", QStringLiteral("REQUERIMENTO")}});
    db.insert(QStringLiteral("UNIDADES"),
              {{"IDUNIDADE", "0001"}, {"UNIDADE", QStringLiteral("SECRETARIA DE SAÚDE")}});
    db.insert(QStringLiteral("UNIDADES"),
              {{"IDUNIDADE", "0002"}, {"UNIDADE", QStringLiteral("GABINETE DO PREFEITO")}});
    db.insert(QStringLiteral("SETORES"),
              {{"IDSETOR", "000001"}, {"SETOR", QStringLiteral("Almoxarifado")}, {"IDUNIDADE", "0001"}});
    db.insert(QStringLiteral("SETORES"),
              {{"IDSETOR", "000002"}, {"SETOR", QStringLiteral("Contabilidade")}, {"IDUNIDADE", "0002"}});
    db.insert(QStringLiteral("USUARIOS"), {{"COD_USUARIO", "00000001"},
                                           {"USUARIO", QStringLiteral("ADMINISTRADOR")},
                                           {"CPF", "529.982.247-25"}});
    db.insert(
        QStringLiteral("USUARIOS"),
        {{"COD_USUARIO", "00000002"}, {"USUARIO", QStringLiteral("MARIA JOSÉ")}, {"CPF", "111.444.777-35"}});
}

void addProcess(TestDatabase& db, const QString& number, const QString& year, const QString& subject,
                const QString& instruction = QStringLiteral("Pede licença para reforma da calçada."),
                const QStringList& flags = {"X", "N", "X", "N"}) {
    QVERIFY(db.insert(QStringLiteral("PROCESSOS"),
                      {{"IDPROCESSO", number},
                       {"ANO", year},
                       {"DATA", QDate(2019, 3, 4)},
                       {"HORA", QTime(8, 15, 0)},
                       {"IDTITULAR", "000002"},
                       {"IDREQUERENTE", "000001"},
                       {"ASSUNTO", subject},
                       {"PROCESSO", instruction},
                       {"RG", flags.at(0)},
                       {"CPF", flags.at(1)},
                       {"COMPROVANTE_RESIDENCIA", flags.at(2)},
                       {"CARTEIRA_PROFISSIONAL", flags.at(3)},
                       {"IDTIPOPROCESSO", "0001"},
                       {"COD_USUARIO", "00000001"},
                       {"DOCUMENTOS_ANEXADOS", QStringLiteral("Planta baixa e ART")}}));
}

// A movement sent at 2019-03-05 plus `day` days, at 09:07:03; `extra` overrides columns.
void addMovement(TestDatabase& db, int registro, const QString& number, const QString& year, int day,
                 const QVariantMap& extra = {}) {
    QVariantMap m{{"REGISTRO", code(registro, 8)},
                  {"IDPROCESSO", number},
                  {"ANO", year},
                  {"IDSETOR", "000001"},
                  {"COD_USUARIO_DESTINO", "00000002"},
                  {"DATA", QDate(2019, 3, 5).addDays(day)},
                  {"HORA", QTime(9, 7, 3)},
                  {"DESPACHO", QStringLiteral("Encaminho para análise nº %1.").arg(registro)},
                  {"COD_USUARIO", "00000001"},
                  {"IDUNIDADE", "0002"},
                  {"ARQUIVADO", "NAO"}};
    for (auto it = extra.constBegin(); it != extra.constEnd(); ++it)
        m.insert(it.key(), it.value());
    QVERIFY(db.insert(QStringLiteral("TRAMITACAO"), m));
}

QString pdfOf(const Report& report, const PreparedReport& prepared, const QTemporaryDir& dir,
              const QString& name) {
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    QString error;
    if (!exportPdf(report, prepared, pdf, &error)) qWarning("%s", qPrintable(error));
    return pdf;
}

// The running values the history placed with each block, and the summary.
struct HistoryBlocks {
    QStringList registros;
    QStringList originSectors;
    QVector<QColor> backgrounds;
    QString count, situation, reason;
};

HistoryBlocks blocksOf(const PreparedReport& p) {
    HistoryBlocks h;
    for (const PreparedPage& page : p.pages)
        for (const PlacedBand& b : page.bands) {
            if (b.kind == BandKind::Detail && b.isFirstSlice()) {
                h.originSectors << b.labels.value(QStringLiteral("L_Setor"));
                h.backgrounds << b.background;
            }
            if (b.kind == BandKind::Summary) {
                h.count = b.labels.value(QStringLiteral("Registros"));
                h.situation = b.labels.value(QStringLiteral("L_Situacao"));
                h.reason = b.labels.value(QStringLiteral("L_Motivo"));
            }
        }
    return h;
}

ProcessLabels testLabels() {
    ProcessLabels l;
    l.estado = QStringLiteral("Estado de Alagoas");
    l.empresa = QStringLiteral("Prefeitura Municipal de Satuba");
    l.endereco = QStringLiteral("Praça Padre Cícero, 10");
    l.setor = QStringLiteral("Setor de Protocolo");
    l.cnpj = QStringLiteral("CNPJ   12.200.291/0001-44");
    l.usuario = QStringLiteral("JOÃO ESCRIVÃO");
    return l;
}

int countOf(const QString& text, const QString& what) {
    return text.count(what);
}

} // namespace

class TestProcessReports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void textHelpers_data();
    void textHelpers();
    void receiptPrintsTheProcess();
    void receiptMarksFollowTheFlags_data();
    void receiptMarksFollowTheFlags();
    void receiptAndCoverFrames();
    void coverTableShowsTheFirstMovement();
    void historyRunningValues_data();
    void historyRunningValues();
    void historyOfFortyMovementsBreaksPages();
    void historyPrintAfterPreviewStartsAgain();
    void dispatchSheet();
    void longDispatchRunsOverPages();
    void noRowStillPrintsThePage_data();
    void noRowStillPrintsThePage();
    void previewsOpenAsTheWindowsNeed();
    void searchEntriesPrintTheCurrentRow_data();
    void searchEntriesPrintTheCurrentRow();
    void everyExportKeepsTheText_data();
    void everyExportKeepsTheText();
    void picturesReplacedByWorkingFolderFiles();
    void longValuesKeepThePaperInShape_data();
    void longValuesKeepThePaperInShape();
};

void TestProcessReports::initTestCase() {
    core::initialiseAppValues(0);
    core::currentUser().name = QStringLiteral("ADMINISTRADOR");
    reports::registerMenuCommands();
}

void TestProcessReports::textHelpers_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("câmara") << "upper" << QStringLiteral("Câmara Municipal de Satuba")
                            << QStringLiteral("CÂMARA MUNICIPAL DE SATUBA");
    QTest::newRow("acentos também") << "upper" << QStringLiteral("Prefeitura de São José da Laje")
                                    << QStringLiteral("PREFEITURA DE SÃO JOSÉ DA LAJE");
    QTest::newRow("demonstração") << "upper" << QStringLiteral("PREFEITURA MUNICIPAL DE DEMONSTRAçãO")
                                  << QStringLiteral("PREFEITURA MUNICIPAL DE DEMONSTRAÇÃO");
    QTest::newRow("março") << "date"
                           << "2019-03-05" << QStringLiteral("05 de março de 2019");
    QTest::newRow("dezembro") << "date"
                              << "2020-12-31" << QStringLiteral("31 de dezembro de 2020");
    QTest::newRow("primeira linha") << "first" << QStringLiteral("Linha um\r\nLinha dois") << "Linha um";
}

void TestProcessReports::textHelpers() {
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    // The month name is Portuguese whatever the workstation's own language is.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QString result;
    if (kind == QLatin1String("upper"))
        result = organisationInCapitals(input);
    else if (kind == QLatin1String("date"))
        result = writtenDate(QDate::fromString(input, Qt::ISODate));
    else
        result = firstLine(input);
    QLocale::setDefault(before);
    QCOMPARE(result, expected);
}

void TestProcessReports::receiptPrintsTheProcess() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000012", "2019", QStringLiteral("REFORMA DE CALÇADA"));
    QString error;
    auto r = buildReceipt("00000012", "2019", testLabels(), &error);
    QVERIFY2(r, qPrintable(error));
    const PreparedReport p = prepare(*r);
    QCOMPARE(p.pageCount(), 1);
    QTemporaryDir dir;
    const QString text = pdftools::text(pdfOf(*r, p, dir, "recibo"), 0, 0, false);
    // Header, heading, parties, instruction, documents, signatures, user: top to bottom.
    const QStringList inOrder{QStringLiteral("Estado de Alagoas"),
                              QStringLiteral("Prefeitura Municipal de Satuba"),
                              QStringLiteral("Setor de Protocolo"),
                              QStringLiteral("Praça Padre Cícero, 10"),
                              QStringLiteral("CNPJ 12.200.291/0001-44"),
                              QStringLiteral("P R O T O C O L O"),
                              QStringLiteral("Protocolo : 00000012"),
                              QStringLiteral("Ano : 2019"),
                              QStringLiteral("Emissão : 04/03/2019"),
                              QStringLiteral("Hora : 08:15:00"),
                              QStringLiteral("T I T U L A R / Ó R G Ã O :"),
                              QStringLiteral("ASSOCIAÇÃO COMUNITÁRIA"),
                              QStringLiteral("R E Q U E R E N T E:"),
                              QStringLiteral("JOSÉ DA CONCEIÇÃO"),
                              QStringLiteral("111.444.777-35"),
                              QStringLiteral("T I P O P R O C E S S O:"),
                              QStringLiteral("REQUERIMENTO"),
                              QStringLiteral("A S S U N T O:"),
                              QStringLiteral("REFORMA DE CALÇADA"),
                              QStringLiteral("O U T R O S D A D O S"),
                              QStringLiteral("Pede licença para reforma da calçada."),
                              QStringLiteral("D O C U M E N T O S A N E X O S"),
                              QStringLiteral("(X) CÓPIA RG"),
                              QStringLiteral("Planta baixa e ART"),
                              QStringLiteral("ASSINATURA DO REQUERENTE"),
                              QStringLiteral("ASSINATURA RECEBIMENTO DE DOCUMENTOS"),
                              QStringLiteral("DATA : __________ / __________ / __________"),
                              QStringLiteral("Nome :"),
                              QStringLiteral("CPF/CI :"),
                              QStringLiteral("JOÃO ESCRIVÃO")};
    const QString flat = text.simplified();
    int from = 0;
    for (const QString& piece : inOrder) {
        const int at = flat.indexOf(piece, from);
        QVERIFY2(
            at >= 0,
            qPrintable(
                QStringLiteral("falta \"%1\" depois da posição %2 em:\n%3").arg(piece).arg(from).arg(flat)));
        from = at + int(piece.size());
    }
    // The holder is a legal person: its CNPJ is never printed, only CPFs are read.
    QVERIFY(!text.contains(QStringLiteral("11.222.333/0001-81")));
}

void TestProcessReports::receiptMarksFollowTheFlags_data() {
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("X N X N") << QStringList{"X", "N", "X", "N"}
                             << QStringList{"(X) CÓPIA RG", "( ) CÓPIA CPF",
                                            "(X) CÓPIA COMPROVANTE DE RESIDÊNCIA",
                                            "( ) CÓPIA CARTEIRA PROFISSIONAL"};
    QTest::newRow("N X N X") << QStringList{"N", "X", "N", "X"}
                             << QStringList{"( ) CÓPIA RG", "(X) CÓPIA CPF",
                                            "( ) CÓPIA COMPROVANTE DE RESIDÊNCIA",
                                            "(X) CÓPIA CARTEIRA PROFISSIONAL"};
    QTest::newRow("vazias") << QStringList{"", "", "", ""}
                            << QStringList{"( ) CÓPIA RG", "( ) CÓPIA CPF",
                                           "( ) CÓPIA COMPROVANTE DE RESIDÊNCIA",
                                           "( ) CÓPIA CARTEIRA PROFISSIONAL"};
}

void TestProcessReports::receiptMarksFollowTheFlags() {
    QFETCH(QStringList, flags);
    QFETCH(QStringList, lines);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000001", "2019", "ASSUNTO", "texto", flags);
    QString error;
    auto r = buildReceipt("00000001", "2019", testLabels(), &error);
    QVERIFY2(r, qPrintable(error));
    const ExportTable t = exportTable(*r, prepare(*r));
    QCOMPARE(t.rows.size(), 1);
    const QString text = t.rows.first().join(QLatin1Char('|'));
    for (const QString& line : lines)
        QVERIFY2(text.contains(line), qPrintable(text));
}

void TestProcessReports::receiptAndCoverFrames() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000001", "2019", "ASSUNTO");
    const QColor sky = gui::colourFromName(core::appValues().highlightColourName);
    QVERIFY(sky != QColor(Qt::black));
    QString error;
    auto receipt = buildReceipt("00000001", "2019", testLabels(), &error);
    auto cover = buildCover("00000001", "2019", testLabels(), &error);
    QVERIFY2(receipt && cover, qPrintable(error));
    QCOMPARE(receipt->paperSizeMm(), QSizeF(210, 297));
    QCOMPARE(receipt->page.marginsMm, QMarginsF(10, 10, 10, 10));
    QCOMPARE(cover->page.marginsMm, QMarginsF(10, 10, 10, 10));
    QTemporaryDir dir;
    const int dpi = 100;
    const QImage r = pdftools::pageImage(pdfOf(*receipt, prepare(*receipt), dir, "recibo"), 1, dpi);
    const QImage c = pdftools::pageImage(pdfOf(*cover, prepare(*cover), dir, "capa"), 1, dpi);
    QVERIFY(!r.isNull() && !c.isNull());
    auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
               std::abs(a.blue() - b.blue()) < 40;
    };
    // Receipt: top and bottom lines only; cover: all four sides.
    QVERIFY(near(pdftools::colourAtMm(r, dpi, 105, 10), sky));
    QVERIFY(near(pdftools::colourAtMm(r, dpi, 105, 287), sky));
    QVERIFY(!near(pdftools::colourAtMm(r, dpi, 10, 150), sky));
    QVERIFY(!near(pdftools::colourAtMm(r, dpi, 200, 150), sky));
    for (const QPointF& at : {QPointF(105, 10), QPointF(105, 287), QPointF(10, 150), QPointF(200, 150)})
        QVERIFY2(near(pdftools::colourAtMm(c, dpi, at.x(), at.y()), sky),
                 qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
}

void TestProcessReports::coverTableShowsTheFirstMovement() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000007", "2019", QStringLiteral("PODA DE ÁRVORE"));
    QTemporaryDir dir;
    QString error;
    auto before = buildCover("00000007", "2019", testLabels(), &error);
    QVERIFY2(before, qPrintable(error));
    const QString empty = pdftools::text(pdfOf(*before, prepare(*before), dir, "antes"), 0, 0, false);
    QVERIFY(empty.contains(QStringLiteral("M O V I M E N T A Ç Ã O")));
    QVERIFY(empty.contains(QStringLiteral("Órgão Destino")));
    QVERIFY(!empty.contains(QStringLiteral("GABINETE DO PREFEITO")));

    // Routed twice: the first movement (by register) fills the first row, the second is left out.
    addMovement(db, 2, "00000007", "2019", 0, {{"DATA_RECEBIMENTO", QDate(2019, 3, 6)}});
    addMovement(db, 3, "00000007", "2019", 3, {{"IDUNIDADE", "0001"}, {"DATA", QDate(2019, 4, 1)}});
    auto after = buildCover("00000007", "2019", testLabels(), &error);
    QVERIFY2(after, qPrintable(error));
    const PreparedReport p = prepare(*after);
    QCOMPARE(p.pageCount(), 1);
    const QString text = pdftools::text(pdfOf(*after, p, dir, "depois"));
    QVERIFY(text.contains(QStringLiteral("05/03/2019")));
    QVERIFY(text.contains(QStringLiteral("GABINETE DO PREFEITO")));
    QVERIFY(text.contains(QStringLiteral("06/03/2019")));
    QVERIFY(!text.contains(QStringLiteral("SECRETARIA DE SAÚDE")));
    QVERIFY(!text.contains(QStringLiteral("01/04/2019")));
    QVERIFY(text.contains(QStringLiteral("Outras Informações")));
    QVERIFY(text.contains(QStringLiteral("REQUERENTE / PROCURADOR :")));

    // The ruled table: 18 rows under the titles, every one ruled across the page.
    const int dpi = 100;
    const QImage page = pdftools::pageImage(dir.filePath(QStringLiteral("depois.pdf")), 1, dpi);
    QVERIFY(!page.isNull());
    int rules = 0;
    bool inRule = false;
    for (int y = 0; y < page.height(); ++y) {
        // A rule crosses both the date and the signature columns at this height.
        const bool dark = page.pixelColor(int(15 / 25.4 * dpi), y).lightness() < 128 &&
                          page.pixelColor(int(190 / 25.4 * dpi), y).lightness() < 128;
        if (dark && !inRule) ++rules;
        inRule = dark;
    }
    // Heading rules (2), the columns split (1), the movement title (2), the table (top, 18 row
    // lines, bottom) and the rule over the user's name: at least 24.
    QVERIFY2(rules >= 24, qPrintable(QString::number(rules)));
}

void TestProcessReports::historyRunningValues_data() {
    QTest::addColumn<QList<QVariantMap>>("movements");
    QTest::addColumn<QStringList>("origins");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reason");

    const QVariantMap plain;
    const QVariantMap archived{{"DATA_ARQUIVAMENTO", QDate(2019, 3, 10)},
                               {"HORA_ARQUIVAMENTO", QTime(10, 0, 1)},
                               {"MOTIVO_ARQUIVAMENTO", QStringLiteral("Concluído")},
                               {"ARQUIVADO", "SIM"}};
    QVariantMap unarchived = archived;
    unarchived.insert("DATA_DESARQUIVAMENTO", QDate(2019, 3, 12));
    unarchived.insert("HORA_DESARQUIVAMENTO", QTime(11, 30, 0));
    unarchived.insert("MOTIVO_DESARQUIVAMENTO", QStringLiteral("Recurso do requerente"));
    unarchived.insert("ARQUIVADO", "NAO");
    QVariantMap noSector{{"IDSETOR", QVariant(QMetaType::fromType<QString>())}};

    QTest::newRow("nunca arquivado") << QList<QVariantMap>{plain, plain}
                                     << QStringList{"Protocolo", "Almoxarifado"}
                                     << "Total de Registros : 000002"
                                     << "Tramitando"
                                     << "";
    QTest::newRow("arquivado") << QList<QVariantMap>{plain, plain, archived}
                               << QStringList{"Protocolo", "Almoxarifado", "Almoxarifado"}
                               << "Total de Registros : 000003"
                               << "Arquivado em 10/03/2019 as 10:00:01" << QStringLiteral("Concluído");
    QTest::newRow("arquivado e desarquivado")
        << QList<QVariantMap>{plain, unarchived, plain}
        << QStringList{"Protocolo", "Almoxarifado", "Almoxarifado"} << "Total de Registros : 000003"
        << "Desarquivado/Tramitando em 12/03/2019 as 11:30:00"
        << "Recurso do requerente";
    QTest::newRow("sem setor") << QList<QVariantMap>{noSector, noSector, plain}
                               << QStringList{"Protocolo", "", ""} << "Total de Registros : 000003"
                               << "Tramitando"
                               << "";
}

void TestProcessReports::historyRunningValues() {
    QFETCH(QList<QVariantMap>, movements);
    QFETCH(QStringList, origins);
    QFETCH(QString, count);
    QFETCH(QString, situation);
    QFETCH(QString, reason);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000005", "2019", QStringLiteral("LICENÇA 2019"));
    addProcess(db, "00000005", "2018", QStringLiteral("LICENÇA 2018"));
    // Registers in the reverse of the sending order: the history follows the send date and time.
    for (int i = 0; i < movements.size(); ++i)
        addMovement(db, 90 - i, "00000005", "2019", i, movements.at(i));
    // The same number in another year, with a later archiving that must not leak in.
    addMovement(
        db, 10, "00000005", "2018", 30,
        {{"DATA_ARQUIVAMENTO", QDate(2019, 5, 1)}, {"MOTIVO_ARQUIVAMENTO", QStringLiteral("Outro ano")}});

    QString error;
    auto r = buildHistory("00000005", "2019", &error);
    QVERIFY2(r, qPrintable(error));
    const PreparedReport p = prepare(*r);
    const HistoryBlocks h = blocksOf(p);
    QCOMPARE(h.originSectors, origins);
    QVector<QColor> colours;
    for (int i = 0; i < movements.size(); ++i)
        colours << (i % 2 == 0 ? kSilver : kWhite);
    QCOMPARE(h.backgrounds, colours);
    QCOMPARE(h.count, count);
    QCOMPARE(h.situation, situation);
    QCOMPARE(h.reason, reason);

    QTemporaryDir dir;
    const QString text = pdftools::text(pdfOf(*r, p, dir, "historico"));
    QVERIFY(text.contains(count));
    QVERIFY(text.contains(QStringLiteral("Situação : ") + situation));
    QVERIFY(text.contains(QStringLiteral("LICENÇA 2019")));
    QVERIFY(!text.contains(QStringLiteral("LICENÇA 2018")));
    QVERIFY(!text.contains(QStringLiteral("00000010")));
    // Each movement once, in sending order (registers count down).
    int from = 0;
    for (int i = 0; i < movements.size(); ++i) {
        const QString reg = code(90 - i, 8);
        QCOMPARE(countOf(text, reg), 1);
        const int at = text.indexOf(reg);
        QVERIFY(at > from);
        from = at;
    }
}

void TestProcessReports::historyOfFortyMovementsBreaksPages() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00004000", "2019", QStringLiteral("OBRA PÚBLICA"),
               QStringLiteral("Primeira linha da instrução\nsegunda linha que não se imprime"));
    for (int i = 1; i <= 40; ++i) {
        // Every fifth dispatch runs over several lines.
        QString text = QStringLiteral("Despacho %1 de rotina.").arg(i);
        if (i % 5 == 0)
            for (int k = 0; k < 12; ++k)
                text +=
                    QStringLiteral(" Parágrafo %1 com a justificativa detalhada do encaminhamento.").arg(k);
        addMovement(db, i, "00004000", "2019", i, {{"DESPACHO", text}});
    }
    QString error;
    auto r = buildHistory("00004000", "2019", &error);
    QVERIFY2(r, qPrintable(error));
    QCOMPARE(r->paperSizeMm(), QSizeF(297, 210));
    const PreparedReport p = prepare(*r);
    QVERIFY2(p.pageCount() >= 3, qPrintable(QString::number(p.pageCount())));
    // Blocks are whole on their pages (none is cut) and the long ones are taller.
    int blocks = 0;
    double shortest = 1e9, tallest = 0;
    for (const PreparedPage& page : p.pages)
        for (const PlacedBand& b : page.bands)
            if (b.kind == BandKind::Detail) {
                QCOMPARE(b.height, b.fullHeight);
                shortest = std::min(shortest, b.height);
                tallest = std::max(tallest, b.height);
                ++blocks;
            }
    QCOMPARE(blocks, 40);
    QVERIFY(tallest > shortest + 5);

    QTemporaryDir dir;
    const QString pdf = pdfOf(*r, p, dir, "historico40");
    QCOMPARE(pdftools::pageCount(pdf), p.pageCount());
    const QString all = pdftools::text(pdf);
    for (int i = 1; i <= 40; ++i)
        QCOMPARE(countOf(all, code(i, 8)), 1);
    for (int page = 1; page <= p.pageCount(); ++page) {
        const QString text = pdftools::text(pdf, page, page);
        QVERIFY(text.contains(QStringLiteral("Página : %1").arg(page)));
        QVERIFY(text.contains(QStringLiteral("Histórico do Processo")));
        QVERIFY(text.contains(core::appValues().profile.organisationName));
        QVERIFY(text.contains(QStringLiteral("Protocolo-Korvalis")));
        QVERIFY(text.contains(QStringLiteral("Nº Processo : 00004000")));
        QVERIFY(text.contains(QStringLiteral("Primeira linha da instrução")));
        QVERIFY(!text.contains(QStringLiteral("segunda linha")));
        QVERIFY(text.contains(QStringLiteral("Encaminhado para")));
    }
    QVERIFY(pdftools::text(pdf, p.pageCount(), p.pageCount())
                .contains(QStringLiteral("Total de Registros : 000040")));
    QVERIFY(!pdftools::text(pdf, 1, 1).contains(QStringLiteral("Total de Registros")));
    // The last words of a long dispatch are on the page, not cut off.
    QCOMPARE(countOf(all, QStringLiteral("Parágrafo 11 com")), 8);
}

void TestProcessReports::historyPrintAfterPreviewStartsAgain() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000003", "2019", "ASSUNTO");
    for (int i = 1; i <= 3; ++i)
        addMovement(db, i, "00000003", "2019", i);
    QTemporaryDir dir;
    const QString printed = dir.filePath(QStringLiteral("impresso.pdf"));
    setPrintSetup([&](QPrinter& printer, QWidget*, int) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    });
    bool modal = false;
    testsupport::onNextModal([&](QWidget* w) {
        auto* preview = qobject_cast<PreviewWindow*>(w);
        QVERIFY(preview);
        modal = preview->isModal();
        preview->findChild<QAction*>(QStringLiteral("Botao_Imprimir"))->trigger();
        w->close();
    });
    openHistory(nullptr, "00000003", "2019");
    setPrintSetup({});
    QVERIFY(modal);
    const QString text = pdftools::text(printed);
    QVERIFY2(text.contains(QStringLiteral("Total de Registros : 000003")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("000006")));
    const int dpi = 100;
    const QImage page = pdftools::pageImage(printed, 1, dpi);
    QVERIFY(page.width() > page.height());
}

void TestProcessReports::dispatchSheet() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000021", "2019", QStringLiteral("ILUMINAÇÃO PÚBLICA"));
    addMovement(db, 31, "00000021", "2019", 0,
                {{"DESPACHO", QStringLiteral("Ao setor de obras para providências.")}});
    addMovement(db, 32, "00000021", "2019", 1, {{"IDSETOR", QVariant(QMetaType::fromType<QString>())}});
    const QString before = core::appValues().profile.organisationName;
    core::appValues().profile.organisationName = QStringLiteral("Câmara Municipal de Satuba");
    QString error;
    auto withSector = buildDispatch("00000031", &error);
    auto withoutSector = buildDispatch("00000032", &error);
    core::appValues().profile.organisationName = before;
    QVERIFY2(withSector && withoutSector, qPrintable(error));
    QCOMPARE(withSector->page.marginsMm, QMarginsF(30, 10, 15, 10));
    QCOMPARE(withSector->paperSizeMm(), QSizeF(210, 297));
    QTemporaryDir dir;
    const PreparedReport p = prepare(*withSector);
    QCOMPARE(p.pageCount(), 1);
    const QString text = pdftools::text(pdfOf(*withSector, p, dir, "despacho"), 0, 0, false).simplified();
    const QStringList inOrder{QStringLiteral("Estado de Alagoas"),
                              QStringLiteral("CÂMARA MUNICIPAL DE SATUBA"),
                              QStringLiteral("Nº Processo : 00000021"),
                              QStringLiteral("Data : 04/03/2019"),
                              QStringLiteral("Hora : 08:15:00"),
                              QStringLiteral("Tipo : 0001 REQUERIMENTO"),
                              QStringLiteral("Assunto : ILUMINAÇÃO PÚBLICA"),
                              QStringLiteral("Requerente : 000001 JOSÉ DA CONCEIÇÃO"),
                              QStringLiteral("Titular Órgão : 000002 ASSOCIAÇÃO COMUNITÁRIA"),
                              QStringLiteral("Para : Almoxarifado"),
                              QStringLiteral("Instrução do Processo : Pede licença para reforma da calçada."),
                              QStringLiteral("D E S P A C H O"),
                              QStringLiteral("Ao setor de obras para providências."),
                              QStringLiteral("Em, 05 de março de 2019 - 09:07:03"),
                              QStringLiteral("ADMINISTRADOR"),
                              QStringLiteral("Assinatura CPF 529.982.247-25")};
    int from = 0;
    for (const QString& piece : inOrder) {
        const int at = text.indexOf(piece, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("falta \"%1\" em:\n%2").arg(piece, text)));
        from = at + int(piece.size());
    }
    QVERIFY(!text.contains(QStringLiteral("Página")));

    const QString noSector =
        pdftools::text(pdfOf(*withoutSector, prepare(*withoutSector), dir, "semsetor"), 0, 0, false);
    QVERIFY(noSector.contains(QStringLiteral("Para :")));
    QVERIFY(!noSector.contains(QStringLiteral("Almoxarifado")));
    QVERIFY(noSector.contains(QStringLiteral("Em, 06 de março de 2019 - 09:07:03")));
}

void TestProcessReports::longDispatchRunsOverPages() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    QString instruction;
    for (int i = 1; i <= 12; ++i)
        instruction += QStringLiteral("Instrução linha %1.\n").arg(i);
    addProcess(db, "00000022", "2019", "ASSUNTO", instruction);
    QString dispatch;
    for (int i = 1; i <= 150; ++i)
        dispatch += QStringLiteral("Linha %1 do despacho, com a fundamentação legal e as providências.\n")
                        .arg(i, 3, 10, QLatin1Char('0'));
    addMovement(db, 40, "00000022", "2019", 0, {{"DESPACHO", dispatch}});
    QString error;
    auto r = buildDispatch("00000040", &error);
    QVERIFY2(r, qPrintable(error));
    const PreparedReport p = prepare(*r);
    QVERIFY2(p.pageCount() >= 3, qPrintable(QString::number(p.pageCount())));
    QTemporaryDir dir;
    const QString pdf = pdfOf(*r, p, dir, "longo");
    const QString all = pdftools::text(pdf, 0, 0, false);
    // Every line once, in order; the closing block after the last line.
    int from = 0;
    for (int i = 1; i <= 150; ++i) {
        const QString line = QStringLiteral("Linha %1 do despacho").arg(i, 3, 10, QLatin1Char('0'));
        QCOMPARE(countOf(all, line), 1);
        const int at = all.indexOf(line);
        QVERIFY(at > from);
        from = at;
    }
    for (int i = 1; i <= 12; ++i)
        QCOMPARE(countOf(all, QStringLiteral("Instrução linha %1.").arg(i)), 1);
    QVERIFY(all.indexOf(QStringLiteral("Assinatura CPF")) > from);
    // The coat of arms and the state head every page; the process block only the first.
    for (int page = 1; page <= p.pageCount(); ++page) {
        const QString text = pdftools::text(pdf, page, page);
        QVERIFY(text.contains(QStringLiteral("Estado de Alagoas")));
        QCOMPARE(text.contains(QStringLiteral("Nº Processo")), page == 1);
    }
}

void TestProcessReports::noRowStillPrintsThePage_data() {
    QTest::addColumn<QString>("which");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("recibo") << "recibo"
                            << QStringList{"Estado de Alagoas", "P R O T O C O L O",
                                           "Protocolo :", "( ) CÓPIA RG", "ASSINATURA DO REQUERENTE"};
    QTest::newRow("capa") << "capa"
                          << QStringList{"Estado de Alagoas", "P R O T O C O L O", "M O V I M E N T A Ç Ã O",
                                         "Dt.Recebido"};
    QTest::newRow("histórico")
        << "historico"
        << QStringList{"Histórico do Processo", "Página : 1",          "Nº Processo :", "Registro",
                       "Situação : Tramitando", "Motivo : Tramitando", "Registros"};
    QTest::newRow("despacho") << "despacho"
                              << QStringList{"Estado de Alagoas", "Nº Processo :", "Para :",
                                             "D E S P A C H O",   "Em,",           "Assinatura CPF"};
}

void TestProcessReports::noRowStillPrintsThePage() {
    QFETCH(QString, which);
    QFETCH(QStringList, texts);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    QString error;
    std::unique_ptr<Report> r;
    if (which == QLatin1String("recibo")) r = buildReceipt("99999999", "2019", testLabels(), &error);
    if (which == QLatin1String("capa")) r = buildCover("", "", testLabels(), &error);
    if (which == QLatin1String("historico")) r = buildHistory("99999999", "2019", &error);
    if (which == QLatin1String("despacho")) r = buildDispatch("", &error);
    QVERIFY2(r, qPrintable(error));
    const PreparedReport p = prepare(*r);
    QCOMPARE(p.pageCount(), 1);
    QTemporaryDir dir;
    const QString text = pdftools::text(pdfOf(*r, p, dir, which), 0, 0, false).simplified();
    for (const QString& t : texts)
        QVERIFY2(text.contains(t), qPrintable(QStringLiteral("falta \"%1\" em:\n%2").arg(t, text)));
    QVERIFY(!text.contains(QStringLiteral("Total de Registros")));
}

void TestProcessReports::previewsOpenAsTheWindowsNeed() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000001", "2019", "ASSUNTO");
    addMovement(db, 1, "00000001", "2019", 0);
    testsupport::ScriptedDialogs dialogs;
    core::currentUser().name = QStringLiteral("MARIA JOSÉ");

    // Receipt and cover stay open beside the window that opened them.
    for (int i = 0; i < 2; ++i) {
        // As the process windows open them: by the right-click entry's text.
        QVERIFY(
            core::openProcessPaper(i == 0 ? QStringLiteral("Protocolo") : QStringLiteral("Capa de Processo"),
                                   nullptr, "00000001", "2019"));
        PreviewWindow* w = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PreviewWindow*>(top); p && p->isVisible()) w = p;
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(!w->isModal());
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->windowTitle(), i == 0 ? QStringLiteral("Protocolo") : QStringLiteral("Capa de Processo"));
        const Report& r = w->report();
        const core::AppValues& v = core::appValues();
        QCOMPARE(r.label(QStringLiteral("Estado")), v.profile.stateName);
        QCOMPARE(r.label(QStringLiteral("Empresa")), v.profile.organisationName);
        QCOMPARE(r.label(QStringLiteral("Endereco")), v.profile.organisationAddress);
        QCOMPARE(r.label(QStringLiteral("Setor")), QStringLiteral("Setor de Protocolo"));
        QCOMPARE(r.label(QStringLiteral("CNPJ")), QStringLiteral("CNPJ   ") + v.profile.organisationCnpj);
        QCOMPARE(r.label(QStringLiteral("Usuario")), QStringLiteral("MARIA JOSÉ"));
        QPointer<PreviewWindow> guard(w);
        w->close();
        QTRY_VERIFY(guard.isNull());
    }

    // History and dispatch sheet: modal, maximised, fitted to the page.
    for (int i = 0; i < 2; ++i) {
        bool seen = false;
        testsupport::onNextModal([&](QWidget* w) {
            auto* preview = qobject_cast<PreviewWindow*>(w);
            QVERIFY(preview);
            seen = true;
            QVERIFY(preview->isModal());
            QVERIFY(preview->windowState() & Qt::WindowMaximized);
            QCOMPARE(preview->zoomMode(), PreviewWindow::Zoom::FitPage);
            QCOMPARE(preview->windowTitle(),
                     i == 0 ? QStringLiteral("Histórico do Processo") : QStringLiteral("Despacho"));
            if (i == 0) {
                QCOMPARE(preview->report().label(QStringLiteral("Sistema")),
                         QStringLiteral("Protocolo-Korvalis"));
                QCOMPARE(preview->report().label(QStringLiteral("Titulo")),
                         QStringLiteral("Histórico do Processo"));
            }
            w->close();
        });
        if (i == 0)
            QVERIFY(core::openProcessPaper(QStringLiteral("Histórico do &Processo"), nullptr, "00000001",
                                           "2019"));
        else
            QVERIFY(core::openProcessPaper(QStringLiteral("Despacho"), nullptr, "00000001"));
        QVERIFY(seen);
    }
    core::currentUser().name = QStringLiteral("ADMINISTRADOR");
    VERIFY_DIALOGS(dialogs);
}

void TestProcessReports::searchEntriesPrintTheCurrentRow_data() {
    QTest::addColumn<bool>("dispatch");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("notPrinted");
    QTest::newRow("process search: receipt") << false << "Protocolo"
                                             << "Protocolo : 00000002"
                                             << "Protocolo : 00000001";
    QTest::newRow("dispatch search: cover") << true << "Capa de Processo"
                                            << "00000002"
                                            << "00000003";
    QTest::newRow("dispatch search: history")
        << true << QStringLiteral("Histórico do Processo") << QStringLiteral("análise nº 2.")
        << QStringLiteral("análise nº 1.");
    QTest::newRow("dispatch search: dispatch sheet")
        << true << "Despacho" << QStringLiteral("análise nº 2.") << QStringLiteral("análise nº 3.");
}

// Wired as the program wires them: the searches' entries reach the real papers, for the row under
// the cursor.
void TestProcessReports::searchEntriesPrintTheCurrentRow() {
    QFETCH(bool, dispatch);
    QFETCH(QString, entry);
    QFETCH(QString, printed);
    QFETCH(QString, notPrinted);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    for (int n = 1; n <= 3; ++n) {
        addProcess(db, code(n, 8), "2019", QStringLiteral("ASSUNTO %1").arg(n));
        addMovement(db, n, code(n, 8), "2019", n);
    }
    testsupport::ScriptedDialogs dialogs;
    processes::registerSearchCommands();
    reports::registerMenuCommands();
    std::unique_ptr<processes::SearchWindow> w;
    if (dispatch) {
        auto* d = new processes::TFrm_PesqDespacho(nullptr);
        w.reset(d);
        QVERIFY(d->reload(nullptr));
    } else {
        auto* p = new processes::TFrm_PesqProcesso(nullptr);
        w.reset(p);
        const int year = p->exercicios()->findText(QStringLiteral("2019"));
        QVERIFY(year >= 0);
        p->exercicios()->setCurrentIndex(year);
        emit p->exercicios()->activated(year);
    }
    w->show();
    QTRY_VERIFY(w->records()->isComplete());
    w->records()->setCurrentRow(1);
    std::unique_ptr<QMenu> menu(w->buildContextMenu(w.get()));
    QVERIFY(menu);
    QAction* action = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == entry) action = a;
    QVERIFY(action);

    QTemporaryDir dir;
    QString text;
    auto read = [&](PreviewWindow* preview) {
        text = pdftools::text(pdfOf(preview->report(), preview->prepared(), dir, "papel"), 0, 0, false)
                   .simplified();
        preview->close();
    };
    const bool modal = entry == QLatin1String("Despacho") || entry.startsWith(QLatin1String("Hist"));
    if (modal) {
        testsupport::onNextModal([&](QWidget* m) {
            auto* preview = qobject_cast<PreviewWindow*>(m);
            QVERIFY(preview);
            read(preview);
        });
        action->trigger();
    } else {
        action->trigger();
        PreviewWindow* preview = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PreviewWindow*>(top); p && p->isVisible()) preview = p;
        QVERIFY(preview);
        QCOMPARE(preview->windowTitle(), entry);
        QPointer<PreviewWindow> guard(preview);
        read(preview);
        QTRY_VERIFY(guard.isNull());
    }
    QVERIFY2(text.contains(printed), qPrintable(text));
    QVERIFY2(!text.contains(notPrinted), qPrintable(text));
    VERIFY_DIALOGS(dialogs);
}

void TestProcessReports::everyExportKeepsTheText_data() {
    QTest::addColumn<QString>("which");
    for (const char* which : {"recibo", "capa", "historico", "despacho"})
        QTest::newRow(which) << QString::fromLatin1(which);
}

void TestProcessReports::everyExportKeepsTheText() {
    QFETCH(QString, which);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    addProcess(db, "00000009", "2019", QStringLiteral("CONCESSÃO DE ÁGUA"));
    addMovement(db, 9, "00000009", "2019", 0,
                {{"DESPACHO", QStringLiteral("Análise técnica é necessária.")}});
    QString error;
    std::unique_ptr<Report> r;
    if (which == QLatin1String("recibo")) r = buildReceipt("00000009", "2019", testLabels(), &error);
    if (which == QLatin1String("capa")) r = buildCover("00000009", "2019", testLabels(), &error);
    if (which == QLatin1String("historico")) r = buildHistory("00000009", "2019", &error);
    if (which == QLatin1String("despacho")) r = buildDispatch("00000009", &error);
    QVERIFY2(r, qPrintable(error));
    const bool movementShown = which == QLatin1String("historico") || which == QLatin1String("despacho");
    testsupport::ScriptedDialogs dialogs;
    PreviewWindow preview(*r);
    QVERIFY(preview.preparePages());
    QTemporaryDir dir;
    for (const QString& ext :
         {QStringLiteral("pdf"), QStringLiteral("txt"), QStringLiteral("csv"), QStringLiteral("html")}) {
        const QString file = dir.filePath(QStringLiteral("saida.") + ext);
        QVERIFY(preview.saveTo(file, *formatForFileName(file)));
        QString text;
        if (ext == QLatin1String("pdf")) {
            text = pdftools::text(file);
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            text = QString::fromUtf8(f.readAll());
        }
        // The history's CSV holds its movements; the process block heads its pages only.
        if (which != QLatin1String("historico") || ext != QLatin1String("csv")) {
            QVERIFY2(text.contains(QStringLiteral("CONCESSÃO DE ÁGUA")),
                     qPrintable(ext + QLatin1Char('\n') + text));
            QVERIFY(text.contains(QStringLiteral("JOSÉ DA CONCEIÇÃO")));
        }
        if (movementShown)
            QVERIFY2(text.contains(QStringLiteral("Análise técnica é necessária.")),
                     qPrintable(ext + QLatin1Char('\n') + text));
    }
    VERIFY_DIALOGS(dialogs);
}

void TestProcessReports::picturesReplacedByWorkingFolderFiles() {
    const QString before = core::appValues().workingFolder;
    QTemporaryDir folder;
    core::appValues().workingFolder = folder.path();
    // Without files: the drawn pictures, which are not blank.
    const QImage emblem = emblemPicture();
    const QImage arms = coatOfArmsPicture();
    QCOMPARE(emblem, builtInEmblem());
    QCOMPARE(arms, builtInCoatOfArms());
    for (const QImage& image : {emblem, arms}) {
        int coloured = 0;
        for (int y = 0; y < image.height(); y += 10)
            for (int x = 0; x < image.width(); x += 10)
                if (image.pixelColor(x, y) != QColor(Qt::white)) ++coloured;
        QVERIFY(coloured > 100);
    }

    // A red emblem and a green coat of arms in the working folder take their places on the page.
    QImage red(200, 200, QImage::Format_RGB32);
    red.fill(QColor(220, 0, 0));
    QVERIFY(red.save(QDir(folder.path()).filePath(emblemFileName()), "JPG"));
    QImage green(200, 200, QImage::Format_RGB32);
    green.fill(QColor(0, 160, 0));
    QVERIFY(green.save(QDir(folder.path()).filePath(coatOfArmsFileName()), "JPG"));
    // A file that is no picture is ignored.
    QFile broken(QDir(folder.path()).filePath(QStringLiteral("X.JPG")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();

    auto receipt = createReceipt();
    auto dispatch = createDispatch();
    core::appValues().workingFolder = before;
    const int dpi = 100;
    const QImage r = renderPageImage(*receipt, prepare(*receipt), 0, dpi);
    const QImage d = renderPageImage(*dispatch, prepare(*dispatch), 0, dpi);
    // Emblem at the top left of the receipt; coat of arms centred at the top of the sheet.
    const QColor onReceipt = pdftools::colourAtMm(r, dpi, 10 + 14, 10 + 14);
    QVERIFY2(onReceipt.red() > 180 && onReceipt.green() < 60, qPrintable(onReceipt.name()));
    const QColor onSheet = pdftools::colourAtMm(d, dpi, 30 + 165.0 / 2, 10 + 11.5);
    QVERIFY2(onSheet.green() > 120 && onSheet.red() < 60, qPrintable(onSheet.name()));
}

void TestProcessReports::longValuesKeepThePaperInShape_data() {
    // paper, pages it must keep to (0: as many as it needs), texts page 1 must show whole
    QTest::addColumn<QString>("paper");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QStringList>("onFirstPage");
    const QString unit =
        QStringLiteral("SECRETARIA MUNICIPAL DE INFRAESTRUTURA, OBRAS PÚBLICAS, SERVIÇOS URBANOS E "
                       "HABITAÇÃO POPULAR");
    const QString type = QStringLiteral("REQUERIMENTO DE REVISÃO DE LANÇAMENTO TRIBUTÁRIO COM PEDIDO DE "
                                        "RESTITUIÇÃO E COMPENSAÇÃO");
    const QString user = QStringLiteral("MARIA APARECIDA DOS SANTOS NASCIMENTO DE ALBUQUERQUE FILHA");
    QTest::newRow("protocolo") << "receipt" << 1
                               << QStringList{QStringLiteral("D O C U M E N T O S"),
                                              QStringLiteral("ASSINATURA DO REQUERENTE"),
                                              QStringLiteral("CPF/CI :"), QStringLiteral("JOÃO ESCRIVÃO")};
    QTest::newRow("capa") << "cover" << 1
                          << QStringList{QStringLiteral("M O V I M E N T A Ç Ã O"),
                                         QStringLiteral("Dt.Recebido"), QStringLiteral("Assinatura"),
                                         QStringLiteral("07/03/2019"), QStringLiteral("JOÃO ESCRIVÃO")};
    QTest::newRow("histórico") << "history" << 1
                               << QStringList{unit, QStringLiteral("0002 ") + type, user,
                                              QStringLiteral("Total de Registros : 000001")};
    QTest::newRow("despacho") << "dispatch" << 0 << QStringList{QStringLiteral("0002 ") + type};
}

void TestProcessReports::longValuesKeepThePaperInShape() {
    QFETCH(QString, paper);
    QFETCH(int, pages);
    QFETCH(QStringList, onFirstPage);
    TestDatabase db;
    QVERIFY_DB(db);
    fillRegisters(db);
    QVERIFY(
        db.insert(QStringLiteral("TIPOPROCESSO"),
                  {{"IDTIPO", "0002"},
                   {"TIPO", QStringLiteral("REQUERIMENTO DE REVISÃO DE LANÇAMENTO TRIBUTÁRIO COM PEDIDO DE "
                                           "RESTITUIÇÃO E COMPENSAÇÃO")}}));
    QVERIFY(db.insert(
        QStringLiteral("UNIDADES"),
        {{"IDUNIDADE", "0003"},
         {"UNIDADE", QStringLiteral("SECRETARIA MUNICIPAL DE INFRAESTRUTURA, OBRAS PÚBLICAS, SERVIÇOS "
                                    "URBANOS E HABITAÇÃO POPULAR")}}));
    QVERIFY(
        db.insert(QStringLiteral("USUARIOS"),
                  {{"COD_USUARIO", "00000003"},
                   {"USUARIO", QStringLiteral("MARIA APARECIDA DOS SANTOS NASCIMENTO DE ALBUQUERQUE FILHA")},
                   {"CPF", "111.444.777-35"}}));
    // The longest subject the column holds, an instruction of several pages' worth of text and a
    // long list of documents.
    QString subject =
        QStringLiteral("REVISÃO DO LANÇAMENTO DO IPTU DOS EXERCÍCIOS ANTERIORES COM RESTITUIÇÃO ");
    while (subject.size() < 255)
        subject += QStringLiteral("E COMPENSAÇÃO DOS VALORES PAGOS ");
    subject = subject.left(255);
    QString instruction;
    for (int i = 1; i <= 40; ++i)
        instruction += QStringLiteral("Parágrafo %1 da instrução, com a história do imóvel e dos pagamentos "
                                      "feitos ao longo dos anos pelo requerente.\n")
                           .arg(i);
    addProcess(db, "00000077", "2019", subject, instruction);
    QVERIFY(db.exec(QStringLiteral("UPDATE PROCESSOS SET IDTIPOPROCESSO = '0002', DOCUMENTOS_ANEXADOS = ? "
                                   "WHERE IDPROCESSO = '00000077'"),
                    {QStringLiteral("Escritura, certidão de ônus reais, planta, ART, ").repeated(12)}));
    addMovement(db, 5, "00000077", "2019", 2,
                {{"IDUNIDADE", "0003"},
                 {"COD_USUARIO_DESTINO", "00000003"},
                 {"COD_USUARIO", "00000002"},
                 {"IDSETOR", QVariant(QMetaType::fromType<QString>())}});

    QString error;
    std::unique_ptr<Report> r;
    if (paper == QLatin1String("receipt"))
        r = buildReceipt("00000077", "2019", testLabels(), &error);
    else if (paper == QLatin1String("cover"))
        r = buildCover("00000077", "2019", testLabels(), &error);
    else if (paper == QLatin1String("history"))
        r = buildHistory("00000077", "2019", &error);
    else
        r = buildDispatch("00000005", &error);
    QVERIFY2(r, qPrintable(error));
    const PreparedReport p = prepare(*r);
    QTemporaryDir dir;
    const QString pdf = pdfOf(*r, p, dir, paper);
    if (pages > 0) {
        QCOMPARE(p.pageCount(), pages);
        QCOMPARE(pdftools::pageCount(pdf), pages);
    }
    const QString first = pdftools::text(pdf, 1, 1, false).simplified();
    for (const QString& whole : onFirstPage)
        QVERIFY2(first.contains(whole), qPrintable(whole + QStringLiteral("\n---\n") + first));
    if (paper == QLatin1String("receipt") || paper == QLatin1String("cover")) {
        // The subject and the instruction begin as typed and end cut where their box ends.
        QVERIFY(first.contains(subject.left(40)));
        QVERIFY(first.contains(QStringLiteral("Parágrafo 1 da instrução")));
        QVERIFY(!first.contains(QStringLiteral("Parágrafo 40 ")));
        QVERIFY(first.contains(QStringLiteral("\u2026")));
    }
    const QString keep = qEnvironmentVariable("PROTOCOLO_KEEP_PAPERS");
    if (!keep.isEmpty()) QFile::copy(pdf, QDir(keep).filePath(paper + QStringLiteral(".pdf")));
}

QTEST_MAIN(TestProcessReports)
#include "tst_processreports.moc"
