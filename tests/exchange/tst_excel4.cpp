#include "app/wiring.h"
#include "core/appvalues.h"
#include "core/menucommands.h"
#include "exchange/excel4.h"
#include "exchange/spreadsheet.h"
#include "exchange/unittypeimport.h"
#include "exchange/unittypesample.h"
#include "exchange/xlswriter.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using testsupport::child;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

const QString kSuccess = QStringLiteral("Importação realizada com sucesso!");
const QString kCannotRead = QStringLiteral("Versão do Ms-ExcelIncompatível");

QString sheetPath(const TestDatabase& db) {
    return db.folder() + QStringLiteral("/A/IDUnidades.xls");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool writeSheet(const TestDatabase& db, const QList<QVariantList>& rows) {
    return writeBytes(sheetPath(db), exchange::xlsWorkbook(QStringLiteral("Plan1"), rows));
}

// The sample's twelve types as the table holds them after an import.
QList<QVariantList> sampleTable() {
    QList<QVariantList> rows;
    const QList<QVariantList> sheet = exchange::unitTypeSampleRows();
    for (int i = 1; i < sheet.size(); ++i)
        rows.append({QStringLiteral("%1").arg(sheet[i][0].toInt(), 2, 10, QLatin1Char('0')), sheet[i][1]});
    return rows;
}

} // namespace

class TestExcel4 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowAndMenuEntry();
    void replacesThirtyTypesByTheTwelveOfTheSheet();
    void secondImportGivesTheSameTable();
    void codesAsNumbersOrTexts_data();
    void codesAsNumbersOrTexts();
    void unreadableFileLeavesTheTable_data();
    void unreadableFileLeavesTheTable();
    void refusedRowsAreSkippedOnce();
    void shippedSampleIsTheProgramsOwn();
    void readerCanBeReplaced();

private:
    // Presses the import button with the dialogs expected; returns the window's progress bar state.
    void transfer(const QString& expectedBox, bool warning);
    QList<QVariantList> table() { return m_db->rows("SELECT IDTIPO, TIPO FROM TIPOUNIDADE ORDER BY IDTIPO"); }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<exchange::TFrm_Excel4> m_window;
};

void TestExcel4::initTestCase() {
    core::initialiseAppValues(0);
}

void TestExcel4::init() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    core::appValues().workingFolder = m_db->folder();
    m_window = std::make_unique<exchange::TFrm_Excel4>(nullptr, QStringLiteral("Tipos de Unidades"));
}

void TestExcel4::cleanup() {
    m_window.reset();
    m_db.reset();
    exchange::setSpreadsheetFactory({});
}

void TestExcel4::transfer(const QString& expectedBox, bool warning) {
    ScriptedDialogs dialogs;
    if (warning)
        dialogs.expectWarning(expectedBox);
    else
        dialogs.expectMessage(expectedBox);
    auto* transfere = child<QPushButton>(m_window.get(), QStringLiteral("Botao_Transfere"));
    auto* fechar = child<QPushButton>(m_window.get(), QStringLiteral("Botao_Fechar"));
    auto* progress = child<QProgressBar>(m_window.get(), QStringLiteral("ProgressBar1"));
    bool disabledWhileRunning = true;
    QMetaObject::Connection watch = connect(progress, &QProgressBar::valueChanged, this, [&] {
        disabledWhileRunning = disabledWhileRunning && !transfere->isEnabled() && !fechar->isEnabled();
    });
    transfere->click();
    disconnect(watch);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.lastMessageTitle(), warning ? QStringLiteral("Erro") : QString());
    QVERIFY(disabledWhileRunning);
    QVERIFY(transfere->isEnabled());
    QVERIFY(fechar->isEnabled());
}

void TestExcel4::windowAndMenuEntry() {
    QCOMPARE(m_window->objectName(), QStringLiteral("Frm_Excel4"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("    Tipos de Unidades"));
    QCOMPARE(exchange::TFrm_Excel4(nullptr, QStringLiteral("&Tipos de Unidades")).windowTitle(),
             QStringLiteral("    Tipos de Unidades"));
    QCOMPARE(child<QPushButton>(m_window.get(), QStringLiteral("Botao_Transfere"))->text(),
             QStringLiteral("&Transfere para o Banco de Dados  "));
    QCOMPARE(child<QPushButton>(m_window.get(), QStringLiteral("Botao_Fechar"))->text(),
             QStringLiteral("&Fechar"));
    auto* progress = child<QProgressBar>(m_window.get(), QStringLiteral("ProgressBar1"));
    QVERIFY(progress->isTextVisible());
    QCOMPARE(progress->palette().color(QPalette::Highlight), QColor(0, 0, 128)); // navy
    QCOMPARE(m_window->palette().color(QPalette::Window), QColor(192, 192, 192));
    QVERIFY(!(m_window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    // Both entries of "Apoio" open their windows, which close by Fechar.
    app::wireMenuCommands();
    const QList<QPair<QString, QString>> entries{{"Tipos de Unidades", "Frm_Excel4"},
                                                 {"Atualiza Banco de Dados", "Frm_AtualizaBancoDados"}};
    for (const auto& [title, formName] : entries) {
        QString opened;
        testsupport::onNextModal([&](QWidget* w) {
            opened = w->objectName() + QLatin1Char('|') + w->windowTitle();
            child<QPushButton>(w, QStringLiteral("Botao_Fechar"))->click();
        });
        QVERIFY(core::menuCommands().open(title, nullptr));
        QVERIFY2(opened.startsWith(formName + QLatin1Char('|')), qPrintable(opened));
    }
    QVERIFY(!exchange::Frm_Excel4);
}

void TestExcel4::replacesThirtyTypesByTheTwelveOfTheSheet() {
    for (int i = 1; i <= 30; ++i)
        QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", QString::number(i).rightJustified(2, '0')},
                                             {"TIPO", QStringLiteral("ANTIGO %1").arg(i)}}));
    // A row below the twelve is never read.
    QList<QVariantList> rows = exchange::unitTypeSampleRows();
    rows.append({99, QStringLiteral("ALÉM DA LINHA 13")});
    QVERIFY(writeSheet(*m_db, rows));
    transfer(kSuccess, false);
    auto* progress = child<QProgressBar>(m_window.get(), QStringLiteral("ProgressBar1"));
    QCOMPARE(progress->maximum(), 42);
    QCOMPARE(progress->value(), 42);
    QCOMPARE(progress->text(), QStringLiteral("100%"));
    QCOMPARE(table(), sampleTable());
}

void TestExcel4::secondImportGivesTheSameTable() {
    QVERIFY(writeSheet(*m_db, exchange::unitTypeSampleRows()));
    transfer(kSuccess, false);
    const QList<QVariantList> first = table();
    QCOMPARE(first.size(), 12);
    transfer(kSuccess, false);
    QCOMPARE(child<QProgressBar>(m_window.get(), QStringLiteral("ProgressBar1"))->maximum(), 24);
    QCOMPARE(table(), first);
}

void TestExcel4::codesAsNumbersOrTexts_data() {
    QTest::addColumn<QVariant>("code");
    QTest::addColumn<QVariant>("name");
    QTest::addColumn<QString>("storedCode");
    QTest::addColumn<QString>("storedName");
    QTest::newRow("number 7") << QVariant(7) << QVariant("CÂMARA") << "07"
                              << "CÂMARA";
    QTest::newRow("number 10") << QVariant(10.0) << QVariant("FUNDO") << "10"
                               << "FUNDO";
    QTest::newRow("text 10") << QVariant("10") << QVariant("FUNDO") << "10"
                             << "FUNDO";
    QTest::newRow("text 3") << QVariant("3") << QVariant("AUTARQUIA") << "03"
                            << "AUTARQUIA";
    QTest::newRow("name that is a number") << QVariant("05") << QVariant(2019) << "05"
                                           << "2019";
}

void TestExcel4::codesAsNumbersOrTexts() {
    QFETCH(QVariant, code);
    QFETCH(QVariant, name);
    QFETCH(QString, storedCode);
    QFETCH(QString, storedName);
    QVERIFY(writeSheet(*m_db, {{"Código", "Tipo"}, {code, name}}));
    transfer(kSuccess, false);
    // The eleven empty rows have no code and are skipped.
    QCOMPARE(table(), (QList<QVariantList>{{storedCode, storedName}}));
}

void TestExcel4::unreadableFileLeavesTheTable_data() {
    QTest::addColumn<QByteArray>("file"); // empty: no file at all
    const QByteArray sample = exchange::xlsWorkbook(QStringLiteral("Plan1"), exchange::unitTypeSampleRows());
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("truncated file") << sample.left(sample.size() / 2);
    QTest::newRow("text renamed .xls") << QByteArray("Código;Tipo\r\n1;PREFEITURA MUNICIPAL\r\n");
}

void TestExcel4::unreadableFileLeavesTheTable() {
    QFETCH(QByteArray, file);
    if (!file.isEmpty()) QVERIFY(writeBytes(sheetPath(*m_db), file));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", QStringLiteral("0%1").arg(i)},
                                             {"TIPO", QStringLiteral("ANTIGO %1").arg(i)}}));
    const QList<QVariantList> before = table();
    transfer(kCannotRead, true);
    QCOMPARE(table(), before);
}

void TestExcel4::refusedRowsAreSkippedOnce() {
    QList<QVariantList> rows = exchange::unitTypeSampleRows();
    rows[4][0] = QStringLiteral("123"); // longer than the code column
    rows[7][0] = 1;                     // the code of row 2 again
    QVERIFY(writeSheet(*m_db, rows));
    transfer(kSuccess, false);
    QList<QVariantList> expected = sampleTable();
    expected.removeAt(6);
    expected.removeAt(3);
    QCOMPARE(table(), expected);
    QCOMPARE(child<QProgressBar>(m_window.get(), QStringLiteral("ProgressBar1"))->value(), 12);

    // The same through the routine itself: each refused row is counted once, the rest go in.
    QSqlDatabase conn = m_db->connection();
    QString error;
    const exchange::ReplaceResult result = exchange::replaceUnitTypes(
        conn, exchange::unitTypeCodes(conn, &error), {{"1", "A"}, {"123", "B"}, {"1", "C"}, {"2", "D"}});
    QVERIFY(result.committed);
    QCOMPARE(result.deleted, 10);
    QCOMPARE(result.inserted, 2);
    QCOMPARE(result.refused, 2);
    QCOMPARE(table(), (QList<QVariantList>{{"01", "A"}, {"02", "D"}}));
}

void TestExcel4::shippedSampleIsTheProgramsOwn() {
    QFile shipped(QStringLiteral(PROTOCOLO_SAMPLE_SHEET));
    QVERIFY2(shipped.open(QIODevice::ReadOnly), qPrintable(shipped.fileName()));
    QCOMPARE(shipped.readAll(),
             exchange::xlsWorkbook(exchange::unitTypeSampleSheetName(), exchange::unitTypeSampleRows()));
    QList<exchange::UnitTypeRow> rows;
    QString error;
    const std::unique_ptr<exchange::Spreadsheet> sheet = exchange::createSpreadsheet();
    QVERIFY2(exchange::readUnitTypeSheet(*sheet, shipped.fileName(), &rows, &error), qPrintable(error));
    QCOMPARE(rows.size(), 12);
    QCOMPARE(rows[6].code, QStringLiteral("7"));
    QCOMPARE(rows[6].name, QStringLiteral("INSTITUTO DE PREVIDÊNCIA"));
    QVERIFY(sheet->open(shipped.fileName(), &error));
    QCOMPARE(sheet->cell(1, QStringLiteral("A")), QStringLiteral("Código"));
    QCOMPARE(sheet->cell(1, QStringLiteral("C")), QString());
    QCOMPARE(sheet->cell(40, QStringLiteral("A")), QString());
    sheet->quit();
}

void TestExcel4::readerCanBeReplaced() {
    // Another reader (another format, another library) only has to answer the three calls.
    class FixedSheet : public exchange::Spreadsheet {
    public:
        bool open(const QString&, QString*) override { return true; }
        QString cell(int row, const QString& column) const override {
            return column == QLatin1String("A") ? QString::number(row + 20)
                                                : QStringLiteral("TIPO %1").arg(row);
        }
        void quit() override {}
    };
    exchange::setSpreadsheetFactory([] { return std::make_unique<FixedSheet>(); });
    transfer(kSuccess, false);
    const QList<QVariantList> rows = table();
    QCOMPARE(rows.size(), 12);
    QCOMPARE(rows.first(), (QVariantList{"22", "TIPO 2"}));
    QCOMPARE(rows.last(), (QVariantList{"33", "TIPO 13"}));
}

QTEST_MAIN(TestExcel4)
#include "tst_excel4.moc"
