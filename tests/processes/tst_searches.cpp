// The process search and the dispatch search as a clerk uses them: the year list, the reading
// time, the blinking hint, column choice and padded search, the pick by double click, the
// right-click menu, and a server failure while scrolling.
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/menucommands.h"
#include "forms/common/formwindow.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/lookupresult.h"
#include "forms/processes/pesqdespacho.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/processes/searches.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/paperrecorder.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSqlQuery>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>

using namespace processes;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

QString code(int n, int width) {
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

// Processes of 2017 to 2019 typed by two users, numbers 1 to 60 in each year but 42, and
// movements of some of them (the process number 7 in two years).
void fill(TestDatabase& db) {
    // One transaction: a commit per row would wait for the disk every time.
    QSqlDatabase connection = db.connection();
    connection.transaction();
    auto commit = qScopeGuard([&connection] { connection.commit(); });
    db.exec(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO) VALUES ('00000001', 'ANA')"));
    db.exec(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO) VALUES ('00000002', 'BRUNO')"));
    db.exec(QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR) VALUES ('000001', 'Protocolo')"));
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO, COD_USUARIO) "
                             "VALUES (?, ?, ?, ?, ?)"));
    for (int year = 2017; year <= 2019; ++year) {
        for (int n = 1; n <= 60; ++n) {
            if (n == 42) continue;
            q.addBindValue(code(n, 8));
            q.addBindValue(QString::number(year));
            q.addBindValue(QDate(year, 1 + n % 12, 1 + n % 28));
            q.addBindValue(QStringLiteral("ASSUNTO %1 DE %2").arg(n).arg(year));
            q.addBindValue(code(1 + n % 2, 8));
            QVERIFY(q.exec());
        }
    }
}

void fillMovements(TestDatabase& db, int count) {
    // One transaction: a commit per row would wait for the disk every time.
    QSqlDatabase connection = db.connection();
    connection.transaction();
    auto commit = qScopeGuard([&connection] { connection.commit(); });
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral(
        "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDSETOR, COD_USUARIO_DESTINO, "
        "DATA, DESPACHO, COD_USUARIO) VALUES (?, ?, ?, '000001', '00000002', ?, ?, '00000001')"));
    for (int r = 1; r <= count; ++r) {
        const int number = 1 + (r * 13) % 60;
        q.addBindValue(code(r, 8));
        q.addBindValue(code(number == 42 ? 43 : number, 8));
        q.addBindValue(QString::number(2017 + r % 3));
        q.addBindValue(QDate(2019, 1, 1).addDays(r % 300));
        q.addBindValue(QStringLiteral("Despacho %1").arg(r));
        QVERIFY(q.exec());
    }
}

void chooseYear(TFrm_PesqProcesso& w, const QString& entry) {
    QComboBox* years = w.exercicios();
    const int i = years->findText(entry);
    QVERIFY(i >= 0);
    years->setCurrentIndex(i);
    emit years->activated(i);
    QTRY_VERIFY(w.records()->isComplete());
}

QString cell(const SearchWindow& w, int row, const QString& field) {
    const forms::RowSource* s = w.records();
    const int f = s->fieldIndex(field);
    return forms::GridModel::displayText(s->valueAt(row, f), s->fieldType(f));
}

void clickTitle(SearchWindow& w, const QString& title) {
    for (int c = 0; c < w.gridModel()->columnCount(); ++c) {
        if (w.gridModel()->columns().at(c).title == title) {
            emit w.grid()->horizontalHeader()->sectionClicked(c);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("Sem coluna %1").arg(title)));
}

} // namespace

class TestSearches : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void menuEntries();
    void processSearchOpensEmptyAndReadsTheChosenYear_data();
    void processSearchOpensEmptyAndReadsTheChosenYear();
    void processSearchColumnChoiceAndPaddedSearch();
    void searchTextNotFittingTheColumn_data();
    void searchTextNotFittingTheColumn();
    void yearHintBlinksEverySecond();
    void processPickedByDoubleClick();
    void standAloneProcessSearchClearsTheResult();
    void dispatchSearchListsEveryMovement();
    void dispatchSearchByProcessNumberAndPick();
    void rightClickMenuActsOnTheCurrentRow();
    void paperEntriesPrintTheCurrentRow_data();
    void paperEntriesPrintTheCurrentRow();
    void serverFailureWhileScrollingIsShown();
    void dispatchSearchTypedBeforeATitleClick_data();
    void dispatchSearchTypedBeforeATitleClick();
    void fixedWidthValuesFitTheirColumns_data();
    void fixedWidthValuesFitTheirColumns();
    void titleClickKeepsTheColumnInView();
    void enterPicksOrPresses_data();
    void enterPicksOrPresses();
};

void TestSearches::initTestCase() {
    // The year lists run from the exercise year down to the earliest year with processes (2017).
    core::appValues().exerciseYear = QStringLiteral("2020");
}

void TestSearches::menuEntries() {
    registerSearchCommands();
    QVERIFY(core::menuCommands().contains(QStringLiteral("Pesquisa Processos")));
    QVERIFY(core::menuCommands().contains(QStringLiteral("Pesquisa Despachos")));
}

void TestSearches::processSearchOpensEmptyAndReadsTheChosenYear_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lastYear");
    QTest::newRow("2018") << "2018" << 59 << "2018";
    QTest::newRow("0000: every year") << "0000" << 3 * 59 << "2019";
    QTest::newRow("Selecionar tudo: every year") << "Selecionar tudo" << 3 * 59 << "2019";
    QTest::newRow("a year without processes") << "2020" << 0 << "";
}

void TestSearches::processSearchOpensEmptyAndReadsTheChosenYear() {
    QFETCH(QString, entry);
    QFETCH(int, rows);
    QFETCH(QString, lastYear);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    ScriptedDialogs dialogs;
    TFrm_PesqProcesso w(nullptr);
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral("Pesquisa Processo"));
    QStringList entries;
    for (int i = 0; i < w.exercicios()->count(); ++i)
        entries << w.exercicios()->itemText(i);
    // The exercise year (2020 here) down to the earliest year that has processes.
    QCOMPARE(entries, (QStringList{"0000", "2020", "2019", "2018", "2017", "Selecionar tudo"}));
    QCOMPARE(w.exercicios()->currentText(), QStringLiteral("0000"));
    QCOMPARE(w.processando()->text(), QStringLiteral("Buscando dados : "));
    QCOMPARE(w.gridModel()->rowCount(), 0);

    // Another year first, so that the chosen entry really reads again.
    chooseYear(w, QStringLiteral("2017"));
    chooseYear(w, entry);
    QCOMPARE(w.gridModel()->rowCount(), rows);
    QVERIFY(QRegularExpression(QStringLiteral("^Buscando dados : \\d\\d:\\d\\d:\\d\\d$"))
                .match(w.processando()->text())
                .hasMatch());
    if (rows == 0) {
        QCOMPARE(w.records()->currentRow(), -1);
        return;
    }
    // Every process of every user, routed or not, in number order; the cursor on the highest.
    QSet<QString> users;
    for (int r = 0; r < rows; ++r) {
        if (entry == QLatin1String("2018")) QCOMPARE(cell(w, r, "ANO"), QStringLiteral("2018"));
        users << cell(w, r, "USUARIO");
        if (r > 0) QVERIFY(cell(w, r - 1, "IDPROCESSO") <= cell(w, r, "IDPROCESSO"));
    }
    QCOMPARE(users.size(), 2);
    QCOMPARE(w.records()->currentRow(), rows - 1);
    QCOMPARE(cell(w, rows - 1, "IDPROCESSO"), QStringLiteral("00000060"));
    QCOMPARE(cell(w, rows - 1, "ANO"), lastYear);
    QCOMPARE(w.grid()->currentIndex().row(), rows - 1);
}

void TestSearches::processSearchColumnChoiceAndPaddedSearch() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    ScriptedDialogs dialogs;
    TFrm_PesqProcesso w(nullptr);
    w.show();
    chooseYear(w, QStringLiteral("2019"));
    auto* procura = testsupport::edit(&w, "PROCURA");
    auto* label = w.findChild<QLabel*>(QStringLiteral("LProcura"));
    QCOMPARE(label->text(), QStringLiteral("Informe"));
    QCOMPARE(w.gridModel()->columnColour(3), forms::whiteColour());

    clickTitle(w, QStringLiteral("Processo Nº"));
    QCOMPARE(label->text(), QStringLiteral("Informe Processo Nº"));
    QCOMPARE(w.gridModel()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), forms::whiteColour());
    QCOMPARE(w.gridModel()->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), forms::silverColour());
    QTRY_COMPARE(QApplication::focusWidget(), procura);
    // 42 is missing: the next higher number.
    QTest::keyClicks(procura, QStringLiteral("42"));
    QCOMPARE(cell(w, w.records()->currentRow(), "IDPROCESSO"), QStringLiteral("00000043"));
    QCOMPARE(w.grid()->currentIndex().row(), w.records()->currentRow());
    procura->clear();
    QTest::keyClicks(procura, QStringLiteral("7"));
    QCOMPARE(cell(w, w.records()->currentRow(), "IDPROCESSO"), QStringLiteral("00000007"));

    // Another column: its title in the label, the box emptied, the text used as typed.
    clickTitle(w, QStringLiteral("Assunto"));
    QCOMPARE(label->text(), QStringLiteral("Informe Assunto"));
    QCOMPARE(procura->text(), QString());
    QCOMPARE(w.gridModel()->columnColour(0), forms::silverColour());
    QTest::keyClicks(procura, QStringLiteral("ASSUNTO 5"));
    QCOMPARE(cell(w, w.records()->currentRow(), "ASSUNTO"), QStringLiteral("ASSUNTO 5 DE 2019"));
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
}

void TestSearches::searchTextNotFittingTheColumn_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("typed");
    QTest::newRow("before any column") << QString() << "12";
    QTest::newRow("date column, no date") << "Data"
                                          << "ABC";
}

void TestSearches::searchTextNotFittingTheColumn() {
    QFETCH(QString, title);
    QFETCH(QString, typed);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    ScriptedDialogs dialogs;
    TFrm_PesqProcesso w(nullptr);
    w.show();
    chooseYear(w, QStringLiteral("2019"));
    if (!title.isEmpty()) clickTitle(w, title);
    dialogs.expectMessage(forms::kIncompatibleSearch);
    QTest::keyClicks(testsupport::edit(&w, "PROCURA"), typed.left(1));
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    QCOMPARE(testsupport::edit(&w, "PROCURA")->text(), QString());
}

void TestSearches::yearHintBlinksEverySecond() {
    TestDatabase db;
    QVERIFY_DB(db);
    TFrm_PesqProcesso w(nullptr);
    w.show();
    QLabel* hint = w.escolhaExercicio();
    QCOMPARE(hint->text(), QStringLiteral("Escolha Exercício ----------->"));
    const QColor background = w.palette().color(QPalette::Window);
    QSet<QRgb> seen;
    for (int i = 0; i < 2; ++i) {
        w.Timer1Timer();
        seen << hint->palette().color(QPalette::WindowText).rgb();
    }
    QCOMPARE(seen, (QSet<QRgb>{QColor(Qt::white).rgb(), background.rgb()}));
    // The window's own timer drives it once a second.
    const QRgb now = hint->palette().color(QPalette::WindowText).rgb();
    QTRY_VERIFY_WITH_TIMEOUT(hint->palette().color(QPalette::WindowText).rgb() != now, 2500);
}

void TestSearches::processPickedByDoubleClick() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    ScriptedDialogs dialogs;
    testsupport::onNextModal([](QWidget* modal) {
        auto* w = qobject_cast<TFrm_PesqProcesso*>(modal);
        QVERIFY(w);
        // The list is empty until a year is chosen.
        QCOMPARE(w->gridModel()->rowCount(), 0);
        chooseYear(*w, QStringLiteral("2018"));
        testsupport::dblClickRow(w->grid(), 9);
    });
    QString numero, ano, assunto;
    QVERIFY(pesquisaProcesso(nullptr, &numero, &ano, &assunto));
    QCOMPARE(numero, QStringLiteral("00000010"));
    QCOMPARE(ano, QStringLiteral("2018"));
    QCOMPARE(assunto, QStringLiteral("ASSUNTO 10 DE 2018"));
    QVERIFY(!Frm_PesqProcesso);
    // Closed without a pick.
    testsupport::onNextModal([](QWidget* modal) { testsupport::click(modal, "Botao_Fechar"); });
    QVERIFY(!pesquisaProcesso(nullptr, &numero, &ano));
}

void TestSearches::standAloneProcessSearchClearsTheResult() {
    TestDatabase db;
    QVERIFY_DB(db);
    registerSearchCommands();
    forms::lookupResult().selected = true;
    forms::lookupResult().code = QStringLiteral("00000001");
    bool wasCleared = false;
    testsupport::onNextModal([&](QWidget* modal) {
        QCOMPARE(modal->objectName(), QStringLiteral("Frm_PesqProcesso"));
        wasCleared = !forms::lookupResult().selected && forms::lookupResult().code.isEmpty();
        testsupport::click(modal, "Botao_Fechar");
    });
    core::menuCommands().open(QStringLiteral("Pesquisa Processos"), nullptr);
    QVERIFY(wasCleared);
    QVERIFY(!Frm_PesqProcesso);
}

void TestSearches::dispatchSearchListsEveryMovement() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    fillMovements(db, 150);
    ScriptedDialogs dialogs;
    TFrm_PesqDespacho w(nullptr);
    QString error;
    QVERIFY2(w.reload(&error), qPrintable(error));
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral("Pesquisa Despacho"));
    QCOMPARE(w.size(), QSize(963, 354));
    QTRY_VERIFY(w.records()->isComplete());
    QCOMPARE(w.gridModel()->rowCount(), 150);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("LProcura"))->text(), QStringLiteral("Informe"));
    QCOMPARE(w.gridModel()->columnColour(1), forms::whiteColour());
    QVERIFY(w.grid()->isColumnHidden(6));
    QVERIFY(w.grid()->isColumnHidden(17));
    for (int r = 0; r < 150; ++r) {
        QCOMPARE(cell(w, r, "REGISTRO"), code(r + 1, 8));
        // Each movement with the subject of its own year's process.
        QCOMPARE(
            cell(w, r, "ASSUNTO"),
            QStringLiteral("ASSUNTO %1 DE %2").arg(cell(w, r, "IDPROCESSO").toInt()).arg(cell(w, r, "ANO")));
        QCOMPARE(cell(w, r, "USUARIO_DESTINO"), QStringLiteral("BRUNO"));
        QCOMPARE(cell(w, r, "SETOR"), QStringLiteral("Protocolo"));
    }
}

void TestSearches::dispatchSearchByProcessNumberAndPick() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    fillMovements(db, 150);
    ScriptedDialogs dialogs;
    registerSearchCommands();
    forms::lookupResult().reset();
    testsupport::onNextModal([](QWidget* modal) {
        auto* w = qobject_cast<TFrm_PesqDespacho*>(modal);
        QVERIFY(w);
        QTRY_VERIFY(w->records()->isComplete());
        clickTitle(*w, QStringLiteral("Cód.Processo"));
        QTest::keyClicks(testsupport::edit(w, "PROCURA"), QStringLiteral("7"));
        const int row = w->records()->currentRow();
        QCOMPARE(cell(*w, row, "IDPROCESSO"), QStringLiteral("00000007"));
        // The first movement of that process.
        QCOMPARE(cell(*w, row - 1, "IDPROCESSO"), QStringLiteral("00000006"));
        testsupport::dblClickRow(w->grid(), row);
    });
    core::menuCommands().open(QStringLiteral("Pesquisa Despachos"), nullptr);
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(forms::lookupResult().code, QStringLiteral("00000007"));
    QVERIFY(forms::lookupResult().name.startsWith(QStringLiteral("ASSUNTO 7 DE ")));
    QVERIFY(!Frm_PesqDespacho);
}

void TestSearches::rightClickMenuActsOnTheCurrentRow() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    fillMovements(db, 10);
    ScriptedDialogs dialogs;
    // Only this test's own entry: the papers' entries are tested on their own.
    processSearchMenu().clear();
    dispatchSearchMenu().clear();
    QVariantMap seen;
    bool ran = false;
    dispatchSearchMenu().append({QStringLiteral("Despacho"), [&](QWidget*, const QVariantMap& row) {
                                     ran = true;
                                     seen = row;
                                 }});
    auto cleanup = qScopeGuard([] { registerSearchPapers(); });
    TFrm_PesqDespacho w(nullptr);
    QVERIFY(w.reload(nullptr));
    w.show();
    QTRY_VERIFY(w.records()->isComplete());
    w.records()->setCurrentRow(4);
    std::unique_ptr<QMenu> menu(w.buildContextMenu(&w));
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Despacho"));
    menu->actions().at(0)->trigger();
    QVERIFY(ran);
    QCOMPARE(seen.value(QStringLiteral("REGISTRO")).toString(), code(5, 8));
    // The process search has no entries yet: no menu.
    TFrm_PesqProcesso p(nullptr);
    QVERIFY(!p.buildContextMenu(&p));
}

void TestSearches::serverFailureWhileScrollingIsShown() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    fillMovements(db, 2000);
    ScriptedDialogs dialogs;
    TFrm_PesqDespacho w(nullptr);
    QVERIFY(w.reload(nullptr));
    w.show();
    QTRY_VERIFY(w.records()->isComplete());
    QCOMPARE(cell(w, 0, "REGISTRO"), code(1, 8));
    // The server goes away; the user drags the scrollbar to the end.
    QSqlDatabase connection = core::mainConnection();
    connection.close();
    dialogs.expectError(QString());
    w.grid()->scrollToBottom();
    QCOMPARE(cell(w, 1999, "REGISTRO"), QString());
    QTRY_COMPARE(dialogs.pending(), 0);
    QVERIFY(!w.records()->lastError().isEmpty());
    // The rows already read stay on screen.
    QCOMPARE(w.gridModel()->rowCount(), 2000);
    QCOMPARE(cell(w, 0, "REGISTRO"), code(1, 8));
    connection.open();
}

void TestSearches::paperEntriesPrintTheCurrentRow_data() {
    QTest::addColumn<bool>("dispatch");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("keyField");
    QTest::addColumn<QString>("yearField");
    for (const char* paper : {"Protocolo", "Capa de Processo", "Histórico do Processo"}) {
        QTest::addRow("process search: %s", paper) << false << QString::fromUtf8(paper) << "IDPROCESSO"
                                                   << "ANO";
        QTest::addRow("dispatch search: %s", paper) << true << QString::fromUtf8(paper) << "IDPROCESSO"
                                                    << "ANO";
    }
    QTest::newRow("dispatch search: Despacho") << true << QStringLiteral("Despacho") << "REGISTRO"
                                               << "";
}

void TestSearches::paperEntriesPrintTheCurrentRow() {
    QFETCH(bool, dispatch);
    QFETCH(QString, entry);
    QFETCH(QString, keyField);
    QFETCH(QString, yearField);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    fillMovements(db, 10);
    ScriptedDialogs dialogs;
    registerSearchCommands();
    registerSearchCommands(); // twice, as a second opening of the main window would
    testsupport::PaperRecorder papers;
    std::unique_ptr<SearchWindow> w;
    if (dispatch) {
        auto* d = new TFrm_PesqDespacho(nullptr);
        w.reset(d);
        QVERIFY(d->reload(nullptr));
        d->show();
        QTRY_VERIFY(d->records()->isComplete());
    } else {
        auto* p = new TFrm_PesqProcesso(nullptr);
        w.reset(p);
        p->show();
        chooseYear(*p, QStringLiteral("2018"));
    }
    w->records()->setCurrentRow(4);
    std::unique_ptr<QMenu> menu(w->buildContextMenu(w.get()));
    QVERIFY(menu);
    QStringList entries;
    for (QAction* a : menu->actions())
        entries << a->text();
    QStringList expected = testsupport::PaperRecorder::papers();
    // The process search adds the trail of the process (with its own right) to the papers.
    if (!dispatch) expected.last() = QStringLiteral("Trilha de Auditoria do Processo");
    QCOMPARE(entries, expected);
    menu->actions().at(entries.indexOf(entry))->trigger();
    const QString key = cell(*w, 4, keyField);
    const QString year = yearField.isEmpty() ? QString() : cell(*w, 4, yearField);
    QVERIFY(!key.isEmpty());
    QCOMPARE(papers.opened, QStringList{entry + QLatin1Char(' ') + key + QLatin1Char('/') + year});
    QCOMPARE(papers.parent, w.get());
    VERIFY_DIALOGS(dialogs);
}

QTEST_MAIN(TestSearches)
#include "tst_searches.moc"

void TestSearches::dispatchSearchTypedBeforeATitleClick_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("registro");
    QTest::newRow("a whole number") << "00000042"
                                    << "00000042";
    QTest::newRow("its beginning") << "000001"
                                   << "00000100";
    QTest::newRow("beyond the last") << "9"
                                     << "00000150";
}

void TestSearches::dispatchSearchTypedBeforeATitleClick() {
    // The list opens in Registro order: typing searches that order, no column chosen.
    QFETCH(QString, typed);
    QFETCH(QString, registro);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    fillMovements(db, 150);
    ScriptedDialogs dialogs; // any message fails the test
    TFrm_PesqDespacho w(nullptr);
    QString error;
    QVERIFY2(w.reload(&error), qPrintable(error));
    w.show();
    QTRY_VERIFY(w.records()->isComplete());
    QTest::keyClicks(testsupport::edit(&w, "PROCURA"), typed);
    QTRY_VERIFY(!w.records()->isSeeking());
    QCOMPARE(testsupport::edit(&w, "PROCURA")->text(), typed);
    QCOMPARE(cell(w, w.records()->currentRow(), "REGISTRO"), registro);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("LProcura"))->text(), QStringLiteral("Informe"));
}

void TestSearches::fixedWidthValuesFitTheirColumns_data() {
    QTest::addColumn<bool>("dispatches");
    QTest::newRow("Pesquisa Processo") << false;
    QTest::newRow("Pesquisa Despacho") << true;
}

void TestSearches::fixedWidthValuesFitTheirColumns() {
    // Years, dates, times and codes are shown whole: each column of such values is at least as
    // wide as the item delegate needs for every value it shows, in the grid's own font.
    QFETCH(bool, dispatches);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    fillMovements(db, 60);
    // Stamps on every movement, so that every date and time column has values to measure.
    db.exec(QStringLiteral("UPDATE TRAMITACAO SET HORA = '23:58:59', DATA_RECEBIMENTO = DATA, "
                           "HORA_RECEBIMENTO = '20:48:08', DATA_RECEBIMENTO_FISICO = DATA, "
                           "HORA_RECEBIMENTO_FISICO = '18:08:38', DATA_ARQUIVAMENTO = DATA, "
                           "HORA_ARQUIVAMENTO = '08:08:08', DATA_DESARQUIVAMENTO = DATA, "
                           "HORA_DESARQUIVAMENTO = '00:00:01'"));
    db.exec(QStringLiteral("UPDATE PROCESSOS SET HORA = '22:48:58', IDTITULAR = '000008', "
                           "IDREQUERENTE = '080808', IDTIPOPROCESSO = '0808', RG = 'X', CPF = 'N'"));
    ScriptedDialogs dialogs;
    std::unique_ptr<SearchWindow> w;
    if (dispatches) {
        auto* d = new TFrm_PesqDespacho(nullptr);
        w.reset(d);
        QString error;
        QVERIFY2(d->reload(&error), qPrintable(error));
    } else {
        auto* p = new TFrm_PesqProcesso(nullptr);
        w.reset(p);
        chooseYear(*p, QStringLiteral("Selecionar tudo"));
    }
    w->show();
    QTRY_VERIFY(w->records()->isComplete());
    QTableView* grid = w->grid();
    forms::GridModel* model = w->gridModel();
    QStyleOptionViewItem option;
    option.initFrom(grid);
    option.font = grid->font();
    option.fontMetrics = grid->fontMetrics();
    int measured = 0;
    for (int c = 0; c < model->columnCount(); ++c) {
        if (grid->isColumnHidden(c) || model->widestValue(c, grid->fontMetrics()).isEmpty()) continue;
        ++measured;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex index = model->index(r, c);
            const int needed = grid->itemDelegateForIndex(index)->sizeHint(option, index).width();
            QVERIFY2(needed <= grid->columnWidth(c),
                     qPrintable(QStringLiteral("%1 \"%2\": %3 px, coluna %4 px")
                                    .arg(model->columns().at(c).title, index.data().toString())
                                    .arg(needed)
                                    .arg(grid->columnWidth(c))));
        }
    }
    // Year, date, time and the codes (the process search); the stamps too (the dispatches).
    QVERIFY(measured >= (dispatches ? 14 : 10));
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        w->grab().save(dir + "/" + w->objectName() + ".png");
    }
}

void TestSearches::titleClickKeepsTheColumnInView() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    ScriptedDialogs dialogs;
    TFrm_PesqProcesso w(nullptr);
    w.show();
    chooseYear(w, QStringLiteral("2019"));
    QScrollBar* across = w.grid()->horizontalScrollBar();
    across->setValue(across->maximum());
    const int shown = across->value();
    QVERIFY(shown > 0);
    // A column in view only at the right end of the grid.
    const int c = w.gridModel()->columnOfField(QStringLiteral("USUARIO"));
    QVERIFY(w.grid()->columnViewportPosition(c) >= 0);
    clickTitle(w, QStringLiteral("Usuário"));
    QTRY_VERIFY(w.records()->isComplete());
    QCOMPARE(w.gridSearch()->chosenColumn(), c);
    QCOMPARE(across->value(), shown);
    const int x = w.grid()->columnViewportPosition(c);
    QVERIFY(x >= 0 && x < w.grid()->viewport()->width());
    // A search in that column moves up and down only.
    QTest::keyClicks(testsupport::edit(&w, "PROCURA"), QStringLiteral("B"));
    QTRY_VERIFY(!w.records()->isSeeking());
    QCOMPARE(cell(w, w.records()->currentRow(), "USUARIO"), QStringLiteral("BRUNO"));
    QCOMPARE(across->value(), shown);
}

void TestSearches::enterPicksOrPresses_data() {
    QTest::addColumn<bool>("onFechar");
    QTest::addColumn<bool>("picked");
    QTest::newRow("Enter in the search box picks the row found") << false << true;
    QTest::newRow("Enter on a focused Fechar presses it") << true << false;
}

void TestSearches::enterPicksOrPresses() {
    QFETCH(bool, onFechar);
    QFETCH(bool, picked);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    ScriptedDialogs dialogs;
    bool closed = false;
    testsupport::onNextModal([&](QWidget* modal) {
        auto* w = qobject_cast<TFrm_PesqProcesso*>(modal);
        QVERIFY(w);
        // Whatever goes wrong below, the window is not left open for the test to wait on.
        auto closeAnyway = qScopeGuard([w] {
            if (w->isVisible()) forms::closeWindow(w);
        });
        chooseYear(*w, QStringLiteral("2018"));
        clickTitle(*w, QStringLiteral("Processo Nº"));
        QLineEdit* box = testsupport::edit(w, "PROCURA");
        QTest::keyClicks(box, QStringLiteral("42")); // no 42: lands on 00000043
        QTRY_VERIFY(!w->records()->isSeeking());
        QWidget* target = box;
        if (onFechar) {
            target = w->findChild<QWidget*>(QStringLiteral("Botao_Fechar"));
            target->setFocus();
            QCOMPARE(w->focusWidget(), target);
        }
        QTest::keyClick(target, Qt::Key_Return);
        closed = !w->isVisible();
    });
    QString numero, ano, assunto;
    QCOMPARE(pesquisaProcesso(nullptr, &numero, &ano, &assunto), picked);
    QVERIFY(closed);
    if (picked) {
        QCOMPARE(numero, QStringLiteral("00000043"));
        QCOMPARE(ano, QStringLiteral("2018"));
    }
}
