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

#include "core/connection.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

using testsupport::child;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

const QString kSuccess = QStringLiteral("Importação realizada com sucesso! 12 tipos importados.");
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

// A refusal of the whole sheet: the table is left as it was.
QString refusal(const QString& reason) {
    return QStringLiteral("Atenção,\rimportação cancelada, %1 Nenhum tipo de unidade foi alterado.")
        .arg(reason);
}

QString rowRefusal(int row, const QString& reason) {
    return refusal(QStringLiteral("linha %1 da planilha: %2.").arg(row).arg(reason));
}

// A sheet given by a test as rows of cells (row 1 the heading), read through the spreadsheet
// interface; afterRead runs when the import lets go of it, before anything is written.
class RowsSheet : public exchange::Spreadsheet {
public:
    RowsSheet(QList<QStringList> rows, std::function<void()> afterRead)
        : m_rows(std::move(rows))
        , m_afterRead(std::move(afterRead)) {}
    bool open(const QString&, QString*) override { return true; }
    QString cell(int row, const QString& column) const override {
        return m_rows.value(row - 1).value(exchange::columnIndex(column));
    }
    void quit() override {
        if (m_afterRead) m_afterRead();
    }

private:
    QList<QStringList> m_rows;
    std::function<void()> m_afterRead;
};

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
    void badSheetLeavesTheTable_data();
    void badSheetLeavesTheTable();
    void blankRowsAreCounted();
    void typeInUseKeptBySheet();
    void databaseRefusalRollsBackEverything();
    void unitSavedWhileTheSheetIsRead();
    void unitSavedDuringTheImportWaitsAndIsRefused();
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
    // The eleven empty rows are left out, and said so.
    transfer(
        QStringLiteral("Importação realizada com sucesso! 1 tipo importado; 11 linhas em branco ignoradas."),
        false);
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

void TestExcel4::badSheetLeavesTheTable_data() {
    QTest::addColumn<QList<QVariantList>>("sheet");
    QTest::addColumn<QString>("message");
    const QList<QVariantList> sample = exchange::unitTypeSampleRows();
    const QString noType = refusal(QStringLiteral(
        "a planilha não tem nenhum tipo de unidade nas linhas 2 a 13 (código na coluna A, nome na "
        "coluna B)."));
    QTest::newRow("heading only") << QList<QVariantList>{sample.first()} << noType;
    QTest::newRow("empty sheet") << QList<QVariantList>{} << noType;
    QTest::newRow("types below row 13 only")
        << QList<QVariantList>(14, QVariantList{}) + QList<QVariantList>{{1, "PREFEITURA"}} << noType;
    QList<QVariantList> swapped;
    for (const QVariantList& row : sample)
        swapped.append({row.value(1), row.value(0)});
    QTest::newRow("names in A, codes in B")
        << swapped
        << rowRefusal(2,
                      QStringLiteral("código \"PREFEITURA MUNICIPAL\" inválido, o código tem 1 ou 2 dígitos "
                                     "(coluna A)"));
    QList<QVariantList> longName = sample;
    longName[4][1] = QString(101, QLatin1Char('X'));
    QTest::newRow("name of 101 characters")
        << longName
        << rowRefusal(5, QStringLiteral("nome do tipo com 101 caracteres, o máximo é 100 (coluna B)"));
    QList<QVariantList> threeDigits = sample;
    threeDigits[12][0] = QStringLiteral("123");
    QTest::newRow("code of three digits")
        << threeDigits
        << rowRefusal(13, QStringLiteral("código \"123\" inválido, o código tem 1 ou 2 dígitos (coluna A)"));
    QList<QVariantList> fraction = sample;
    fraction[3][0] = 7.5;
    QTest::newRow("code 7.5") << fraction
                              << rowRefusal(
                                     4, QStringLiteral("código \"7.5\" inválido, o código tem 1 ou 2 dígitos "
                                                       "(coluna A)"));
    QList<QVariantList> negative = sample;
    negative[3][0] = -1;
    QTest::newRow("code -1") << negative
                             << rowRefusal(
                                    4, QStringLiteral("código \"-1\" inválido, o código tem 1 ou 2 dígitos "
                                                      "(coluna A)"));
    QList<QVariantList> noCode = sample;
    noCode[6][0] = QVariant();
    QTest::newRow("name without code")
        << noCode << rowRefusal(7, QStringLiteral("código do tipo não informado (coluna A)"));
    QList<QVariantList> noName = sample;
    noName[8][1] = QStringLiteral("   ");
    QTest::newRow("code without name")
        << noName << rowRefusal(9, QStringLiteral("nome do tipo não informado (coluna B)"));
    QList<QVariantList> repeated = sample;
    repeated[10][0] = QStringLiteral("03");
    QTest::newRow("code 3 twice")
        << repeated
        << rowRefusal(11, QStringLiteral("código 03 repetido, já informado na linha 4 (coluna A)"));
    QList<QVariantList> chinese = sample;
    chinese[2][1] = QStringLiteral("CÂMARA \u5E02");
    QTest::newRow("name WIN1252 cannot store")
        << chinese
        << rowRefusal(
               3, QStringLiteral("o nome do tipo tem o caractere \"\u5E02\" (U+5E02), que o banco de dados "
                                 "não aceita (coluna B)"));
    QList<QVariantList> lineBreak = sample;
    lineBreak[2][1] = QStringLiteral("CÂMARA\nMUNICIPAL");
    QTest::newRow("line break in a name")
        << lineBreak
        << rowRefusal(3,
                      QStringLiteral("o nome do tipo tem o caractere U+000A, que o banco de dados não aceita "
                                     "(coluna B)"));
    // The table holds 01 to 03; the unit 0001 uses 02 and the units 0002 and 0003 use 03.
    QTest::newRow("type of a unit left out")
        << QList<QVariantList>{sample[0], sample[1], sample[3]}
        << refusal(QStringLiteral("o tipo 02 - ANTIGO 2 não está na planilha e ainda é usado pela unidade "
                                  "orçamentária 0001 - PREFEITURA."));
    QTest::newRow("type of two units left out")
        << QList<QVariantList>{sample[0], sample[1], sample[2]}
        << refusal(QStringLiteral("o tipo 03 - ANTIGO 3 não está na planilha e ainda é usado por 2 unidades "
                                  "orçamentárias (a primeira: 0002 - CÂMARA)."));
}

void TestExcel4::badSheetLeavesTheTable() {
    QFETCH(QList<QVariantList>, sheet);
    QFETCH(QString, message);
    for (int i = 1; i <= 3; ++i)
        QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", QStringLiteral("0%1").arg(i)},
                                             {"TIPO", QStringLiteral("ANTIGO %1").arg(i)}}));
    QVERIFY(
        m_db->insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "PREFEITURA"}, {"TIPO_UNIDADE", "02"}}));
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0002"}, {"UNIDADE", "CÂMARA"}, {"TIPO_UNIDADE", "03"}}));
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0003"}, {"UNIDADE", "SAAE"}, {"TIPO_UNIDADE", "03"}}));
    const QList<QVariantList> before = table();
    QVERIFY(writeSheet(*m_db, sheet));
    transfer(message, false);
    QCOMPARE(table(), before);
}

void TestExcel4::blankRowsAreCounted() {
    QList<QVariantList> rows = exchange::unitTypeSampleRows();
    rows[3] = {};                                          // row 4
    rows[9] = {QStringLiteral("  "), QStringLiteral(" ")}; // row 10: blanks only
    rows[6][1] = QStringLiteral("  FUNDAÇÃO MUNICIPAL  "); // kept without its surrounding blanks
    QVERIFY(writeSheet(*m_db, rows));
    transfer(QStringLiteral(
                 "Importação realizada com sucesso! 10 tipos importados; 2 linhas em branco ignoradas."),
             false);
    QList<QVariantList> expected = sampleTable();
    expected.removeAt(8);
    expected.removeAt(2);
    QCOMPARE(table(), expected);
    QCOMPARE(child<QProgressBar>(m_window.get(), QStringLiteral("ProgressBar1"))->value(), 12);
}

void TestExcel4::typeInUseKeptBySheet() {
    // A unit's type that the sheet gives again (under a new name) keeps the unit valid.
    QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", "05"}, {"TIPO", "ANTIGO"}}));
    QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", "40"}, {"TIPO", "SEM UNIDADE"}}));
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "SAAE"}, {"TIPO_UNIDADE", "05"}}));
    // A unit that already pointed at no type does not stop the import.
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0002"}, {"UNIDADE", "ANTIGA"}, {"TIPO_UNIDADE", "77"}}));
    QVERIFY(writeSheet(*m_db, exchange::unitTypeSampleRows()));
    transfer(kSuccess, false);
    QCOMPARE(table(), sampleTable());
    QCOMPARE(m_db->scalar("SELECT B.TIPO FROM UNIDADES A JOIN TIPOUNIDADE B ON B.IDTIPO = A.TIPO_UNIDADE")
                 .toString(),
             QStringLiteral("AUTARQUIA MUNICIPAL"));
}

void TestExcel4::databaseRefusalRollsBackEverything() {
    // A rule of the test's own makes the server refuse the ninth type, after the deletions and
    // eight insertions: nothing of it stays.
    QVERIFY(m_db->exec("ALTER TABLE TIPOUNIDADE ADD CONSTRAINT CK_TESTE CHECK (IDTIPO <> '09')"));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", QStringLiteral("2%1").arg(i)},
                                             {"TIPO", QStringLiteral("ANTIGO %1").arg(i)}}));
    const QList<QVariantList> before = table();
    QString serverText;
    {
        // The server's own words for that refusal, as the import meets them.
        QSqlDatabase conn = m_db->connection();
        QSqlQuery q(conn);
        q.prepare(QStringLiteral("INSERT INTO TIPOUNIDADE (IDTIPO, TIPO) VALUES (?, ?)"));
        q.addBindValue(QStringLiteral("09"));
        q.addBindValue(QStringLiteral("X"));
        QVERIFY(!q.exec());
        serverText = q.lastError().text();
    }
    QVERIFY(writeSheet(*m_db, exchange::unitTypeSampleRows()));
    transfer(exchange::unitTypeFailedMessage(serverText), false);
    QVERIFY(exchange::unitTypeFailedMessage(serverText).contains(QStringLiteral("CK_TESTE")));
    QCOMPARE(table(), before);
}

void TestExcel4::unitSavedWhileTheSheetIsRead() {
    // Another desk saves a unit of type 02 after the sheet was checked and before the import
    // writes: the check in the writing transaction sees it.
    for (int i = 1; i <= 2; ++i)
        QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", QStringLiteral("0%1").arg(i)},
                                             {"TIPO", QStringLiteral("ANTIGO %1").arg(i)}}));
    QSqlDatabase other = m_db->openSecondConnection(QStringLiteral("outra_mesa"));
    QVERIFY(other.isOpen());
    const QList<QVariantList> before = table();
    exchange::setSpreadsheetFactory([&other] {
        return std::make_unique<RowsSheet>(
            QList<QStringList>{{"Código", "Tipo"}, {"1", "PREFEITURA"}}, [&other] {
                QSqlQuery q(other);
                q.exec(
                    QStringLiteral("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE, TIPO_UNIDADE) VALUES ('0009', "
                                   "'SAAE', '02')"));
            });
    });
    transfer(refusal(QStringLiteral("o tipo 02 - ANTIGO 2 não está na planilha e ainda é usado pela unidade "
                                    "orçamentária 0009 - SAAE.")),
             false);
    QCOMPARE(table(), before);
}

void TestExcel4::unitSavedDuringTheImportWaitsAndIsRefused() {
    // The budget-unit form of another desk saves a unit of type 02 while the import holds the
    // lock of the types: its save waits for the import, then finds the type gone and refuses
    // (the form's own test drives the window; here its statements run on a second thread).
    for (int i = 1; i <= 2; ++i)
        QVERIFY(m_db->insert("TIPOUNIDADE", {{"IDTIPO", QStringLiteral("0%1").arg(i)},
                                             {"TIPO", QStringLiteral("ANTIGO %1").arg(i)}}));
    const QString path = m_db->path();
    QSemaphore importLocked;
    QString lockError;
    bool unitWritten = false;
    std::unique_ptr<QThread> desk(QThread::create([&] {
        importLocked.acquire();
        QString error;
        {
            QSqlDatabase db = core::openNamedConnection(QStringLiteral("mesa_unidades"), path, &error);
            if (db.isOpen() && db.transaction()) {
                QSqlQuery q(db);
                q.prepare(QStringLiteral("SELECT IDTIPO FROM TIPOUNIDADE WHERE IDTIPO = ? WITH LOCK"));
                q.addBindValue(QStringLiteral("02"));
                if (q.exec() && q.next()) {
                    QSqlQuery insert(db);
                    unitWritten =
                        insert.exec(QStringLiteral("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE, TIPO_UNIDADE) "
                                                   "VALUES ('0009', 'SAAE', '02')"));
                } else {
                    lockError = q.lastError().isValid() ? q.lastError().text() : QStringLiteral("sem linha");
                }
                q.finish();
                if (unitWritten)
                    db.commit();
                else
                    db.rollback();
            } else {
                lockError = error;
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("mesa_unidades"));
    }));
    desk->start();
    bool waited = false;
    exchange::setSpreadsheetFactory([] {
        return std::make_unique<RowsSheet>(QList<QStringList>{{"Código", "Tipo"}, {"1", "PREFEITURA"}},
                                           nullptr);
    });
    // The first deletion runs with the types locked: the other desk starts its save there and
    // is still waiting a second later.
    connect(child<QProgressBar>(m_window.get(), QStringLiteral("ProgressBar1")), &QProgressBar::valueChanged,
            this, [&](int value) {
                if (value != 1) return;
                importLocked.release();
                waited = !desk->wait(1000);
            });
    transfer(
        QStringLiteral("Importação realizada com sucesso! 1 tipo importado; 11 linhas em branco ignoradas."),
        false);
    QVERIFY(desk->wait(30000));
    QVERIFY(waited);
    QVERIFY(!unitWritten);
    QVERIFY2(!lockError.isEmpty(), "the unit's save must be refused");
    QCOMPARE(table(), (QList<QVariantList>{{"01", "PREFEITURA"}}));
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM UNIDADES").toInt(), 0);
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
