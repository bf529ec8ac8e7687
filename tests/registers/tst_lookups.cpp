#include "core/routines.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupdialog.h"
#include "forms/common/lookupresult.h"
#include "forms/registers/lookups.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <functional>

using forms::LookupDialog;
using forms::RecordSet;
using testsupport::child;
using testsupport::dblClickRow;
using testsupport::TestDatabase;

namespace {

struct Lookup {
    QString tag;
    std::function<bool(QWidget*, RecordSet*, const QString&)> open;
    std::function<bool()> referenceSet;
    QString formName;
    QString caption;
    QString table;
    int width;
    QString nameTitle;
};

const QList<Lookup>& lookups() {
    static const QList<Lookup> list{
        {"PesqTipoUnidade", &registers::pesquisaTipoUnidade,
         [] { return !registers::Frm_PesqTipoUnidade.isNull(); }, "Frm_PesqTipoUnidade",
         "Pesquisa Tipo Unidade", "TIPOUNIDADE", 2, "Tipo Unidade"},
        {"PesqTipoProcesso", &registers::pesquisaTipoProcesso,
         [] { return !registers::Frm_PesqTipoProcesso.isNull(); }, "Frm_PesqTipoProcesso",
         "Pesquisa Tipo Processo", "TIPOPROCESSO", 4, "Tipo Processo"},
    };
    return list;
}

void addLookupRows() {
    QTest::addColumn<int>("lookup");
    for (int i = 0; i < lookups().size(); ++i)
        QTest::newRow(qPrintable(lookups().at(i).tag)) << i;
}

QString code(const Lookup& l, int n) {
    return QString::number(n).rightJustified(l.width, '0');
}

// A caller's record set with a code field that pads itself, as the callers' change handlers do.
struct Caller {
    RecordSet records;
    explicit Caller(int width) {
        records.setQuery("SELECT A.IDUNIDADE, A.TIPO_UNIDADE FROM UNIDADES A");
        records.setFields({forms::keyField("IDUNIDADE", 4), forms::textField("TIPO_UNIDADE", width)});
        records.addFieldChange("TIPO_UNIDADE", [this, width] {
            records.setValue("TIPO_UNIDADE", routines::zeroFill(records.text("TIPO_UNIDADE"), width));
        });
    }
};

// Acts on the lookup when it opens; whatever happens, the dialog is closed afterwards.
void onLookup(std::function<void(LookupDialog*)> action) {
    testsupport::onNextModal([action](QWidget* w) {
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        auto* d = qobject_cast<LookupDialog*>(w);
        QVERIFY(d);
        action(d);
    });
}

} // namespace

class TestLookups : public QObject {
    Q_OBJECT
private slots:
    void windowAndPickWhileInserting_data() { addLookupRows(); }
    void windowAndPickWhileInserting();
    void pickWhileBrowsingIsDiscarded_data() { addLookupRows(); }
    void pickWhileBrowsingIsDiscarded();
    void fecharLeavesTheFieldUnchanged_data() { addLookupRows(); }
    void fecharLeavesTheFieldUnchanged();
    void doubleClickOnEmptyListWritesAnEmptyCode_data() { addLookupRows(); }
    void doubleClickOnEmptyListWritesAnEmptyCode();
    void searchInTheList();
    void keyboardPick_data();
    void keyboardPick();
    void emptiedSearchBoxGoesBackToTheFirstRow();
};

void TestLookups::windowAndPickWhileInserting() {
    QFETCH(int, lookup);
    const Lookup& l = lookups().at(lookup);
    TestDatabase db;
    QVERIFY_DB(db);
    for (int i = 1; i <= 5; ++i)
        db.insert(l.table, {{"IDTIPO", code(l, i)}, {"TIPO", QStringLiteral("TIPO %1").arg(i)}});
    Caller caller(l.width);
    QVERIFY(caller.records.open());
    QVERIFY(caller.records.append());
    forms::lookupResult().selected = true; // a stale pick from an earlier lookup
    forms::lookupResult().code = "99";
    bool opened = false;
    onLookup([&](LookupDialog* d) {
        opened = true;
        QCOMPARE(d->objectName(), l.formName);
        QCOMPARE(d->windowTitle(), l.caption);
        QVERIFY(l.referenceSet());
        QVERIFY(!forms::lookupResult().selected); // reset before showing
        QCOMPARE(d->focusWidget(), child<QLineEdit>(d, "PROCURA"));
        QCOMPARE(child<QLabel>(d, "LProcura")->text(), QStringLiteral("Informe"));
        QCOMPARE(child<QLabel>(d, "Label1")->text(),
                 QStringLiteral("Clique no título da coluna que pretende pesquisar"));
        QCOMPARE(child<QLabel>(d, "Label2")->text(),
                 QStringLiteral("Clique duas vezes no Registro escolhido."));
        QCOMPARE(child<QPushButton>(d, "Botao_Fechar")->text(), QStringLiteral("&Fechar"));
        auto* grid = child<QTableView>(d, "DBGrid1");
        QCOMPARE(grid->focusPolicy(), Qt::ClickFocus);
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Código"));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), l.nameTitle);
        QCOMPARE(grid->model()->rowCount(), 5);
        if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
            QDir().mkpath(dir);
            grid->horizontalHeader()->sectionClicked(1);
            QTest::keyClicks(child<QLineEdit>(d, "PROCURA"), "TIPO 3");
            d->grab().save(dir + "/" + l.formName + ".png");
        }
        dblClickRow(grid, 3);
    });
    QVERIFY(l.open(nullptr, &caller.records, "TIPO_UNIDADE"));
    QVERIFY(opened);
    QVERIFY(!l.referenceSet());
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(forms::lookupResult().code, code(l, 4));
    QCOMPARE(forms::lookupResult().name, QStringLiteral("TIPO 4"));
    QCOMPARE(caller.records.text("TIPO_UNIDADE"), code(l, 4));
}

void TestLookups::pickWhileBrowsingIsDiscarded() {
    QFETCH(int, lookup);
    const Lookup& l = lookups().at(lookup);
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert(l.table, {{"IDTIPO", code(l, 1)}, {"TIPO", "UM"}});
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"TIPO_UNIDADE", "77"}});
    Caller caller(l.width);
    QVERIFY(caller.records.open());
    onLookup([&](LookupDialog* d) { dblClickRow(child<QTableView>(d, "DBGrid1"), 0); });
    QVERIFY(!l.open(nullptr, &caller.records, "TIPO_UNIDADE"));
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(caller.records.text("TIPO_UNIDADE"), QStringLiteral("77"));
    QVERIFY(!caller.records.hasPendingChanges());
    QVERIFY(!l.referenceSet());
}

void TestLookups::fecharLeavesTheFieldUnchanged() {
    QFETCH(int, lookup);
    const Lookup& l = lookups().at(lookup);
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert(l.table, {{"IDTIPO", code(l, 1)}, {"TIPO", "UM"}});
    Caller caller(l.width);
    QVERIFY(caller.records.open());
    QVERIFY(caller.records.append());
    caller.records.setValue("TIPO_UNIDADE", "03");
    onLookup([&](LookupDialog* d) {
        child<QTableView>(d, "DBGrid1")->selectRow(0);
        QTest::mouseClick(child<QPushButton>(d, "Botao_Fechar"), Qt::LeftButton);
    });
    QVERIFY(!l.open(nullptr, &caller.records, "TIPO_UNIDADE"));
    QVERIFY(!forms::lookupResult().selected);
    QCOMPARE(caller.records.text("TIPO_UNIDADE"), routines::zeroFill("03", l.width));
}

void TestLookups::doubleClickOnEmptyListWritesAnEmptyCode() {
    QFETCH(int, lookup);
    const Lookup& l = lookups().at(lookup);
    TestDatabase db;
    QVERIFY_DB(db);
    Caller caller(l.width);
    QVERIFY(caller.records.open());
    QVERIFY(caller.records.append());
    caller.records.setValue("TIPO_UNIDADE", "5");
    onLookup([&](LookupDialog* d) {
        auto* grid = child<QTableView>(d, "DBGrid1");
        QCOMPARE(grid->model()->rowCount(), 0);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
    });
    QVERIFY(l.open(nullptr, &caller.records, "TIPO_UNIDADE"));
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(forms::lookupResult().code, QString());
    // Written empty, then padded to zeros by the caller's own change handler.
    QCOMPARE(caller.records.text("TIPO_UNIDADE"), QString(l.width, '0'));
}

void TestLookups::searchInTheList() {
    const Lookup& l = lookups().at(1);
    TestDatabase db;
    QVERIFY_DB(db);
    for (const auto& [c, n] : QList<std::pair<QString, QString>>{
             {"0001", "BAIXA"}, {"0002", "CERTIDAO"}, {"0010", "ALVARA"}, {"0011", "CERTIFICADO"}})
        db.insert(l.table, {{"IDTIPO", c}, {"TIPO", n}});
    Caller caller(4);
    QVERIFY(caller.records.open());
    QVERIFY(caller.records.append());
    testsupport::ScriptedDialogs dialogs;
    onLookup([&](LookupDialog* d) {
        auto* procura = child<QLineEdit>(d, "PROCURA");
        auto* grid = child<QTableView>(d, "DBGrid1");
        dialogs.expectMessage("Tipo de Informação incompatível com campo selecionado");
        QTest::keyClicks(procura, "c");
        QCOMPARE(procura->text(), QString());
        grid->horizontalHeader()->sectionClicked(1);
        QCOMPARE(child<QLabel>(d, "LProcura")->text(), QStringLiteral("Informe Tipo Processo"));
        QCOMPARE(grid->model()->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), forms::whiteColour());
        QCOMPARE(grid->model()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), forms::silverColour());
        QTest::keyClicks(procura, "certif");
        QCOMPARE(procura->text(), QStringLiteral("CERTIF"));
        QCOMPARE(d->records()->text("IDTIPO"), QStringLiteral("0011"));
        // The code column is searched with the text unchanged: 1 lies after every 0... code.
        grid->horizontalHeader()->sectionClicked(0);
        QTest::keyClicks(procura, "001");
        QCOMPARE(d->records()->text("IDTIPO"), QStringLiteral("0010"));
        dblClickRow(grid, grid->currentIndex().row());
    });
    QVERIFY(l.open(nullptr, &caller.records, "TIPO_UNIDADE"));
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(caller.records.text("TIPO_UNIDADE"), QStringLiteral("0010"));
}

void TestLookups::keyboardPick_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("picked");
    QTest::newRow("Down to the grid, Enter on the row") << "grid" << true;
    QTest::newRow("Enter in the search box") << "search" << true;
    QTest::newRow("Enter on a focused Fechar") << "fechar" << false;
}

void TestLookups::keyboardPick() {
    // Typing finds the row; Enter picks it as a double click does, from the search box or from the
    // grid; Enter on a focused button presses it.
    QFETCH(QString, way);
    QFETCH(bool, picked);
    const Lookup& l = lookups().at(1);
    TestDatabase db;
    QVERIFY_DB(db);
    for (const auto& [c, n] :
         QList<std::pair<QString, QString>>{{"0001", "BAIXA"}, {"0002", "CERTIDAO"}, {"0003", "ALVARA"}})
        db.insert(l.table, {{"IDTIPO", c}, {"TIPO", n}});
    Caller caller(4);
    QVERIFY(caller.records.open());
    QVERIFY(caller.records.append());
    onLookup([&](LookupDialog* d) {
        auto* procura = child<QLineEdit>(d, "PROCURA");
        auto* grid = child<QTableView>(d, "DBGrid1");
        grid->horizontalHeader()->sectionClicked(1);
        QTest::keyClicks(procura, "ce");
        QWidget* target = procura;
        if (way == QLatin1String("grid")) {
            QTest::keyClick(procura, Qt::Key_Down);
            QCOMPARE(d->focusWidget(), grid);
            target = grid;
        } else if (way == QLatin1String("fechar")) {
            target = child<QPushButton>(d, "Botao_Fechar");
            target->setFocus();
        }
        QVERIFY(d->isVisible());
        QTest::keyClick(target, Qt::Key_Return);
        QVERIFY(!d->isVisible());
    });
    QCOMPARE(l.open(nullptr, &caller.records, "TIPO_UNIDADE"), picked);
    QCOMPARE(forms::lookupResult().selected, picked);
    QCOMPARE(caller.records.text("TIPO_UNIDADE"), picked ? QStringLiteral("0002") : QString());
    if (picked) QCOMPARE(forms::lookupResult().name, QStringLiteral("CERTIDAO"));
}

void TestLookups::emptiedSearchBoxGoesBackToTheFirstRow() {
    const Lookup& l = lookups().at(1);
    TestDatabase db;
    QVERIFY_DB(db);
    for (const auto& [c, n] :
         QList<std::pair<QString, QString>>{{"0001", "BAIXA"}, {"0002", "CERTIDAO"}, {"0003", "ALVARA"}})
        db.insert(l.table, {{"IDTIPO", c}, {"TIPO", n}});
    Caller caller(4);
    QVERIFY(caller.records.open());
    onLookup([&](LookupDialog* d) {
        auto* procura = child<QLineEdit>(d, "PROCURA");
        child<QTableView>(d, "DBGrid1")->horizontalHeader()->sectionClicked(1);
        QTest::keyClicks(procura, "ce");
        QCOMPARE(d->records()->text("TIPO"), QStringLiteral("CERTIDAO"));
        // Erased by hand: the search runs on the empty text, the first row of the order.
        QTest::keyClick(procura, Qt::Key_Backspace);
        QCOMPARE(d->records()->text("TIPO"), QStringLiteral("CERTIDAO"));
        QTest::keyClick(procura, Qt::Key_Backspace);
        QCOMPARE(procura->text(), QString());
        QCOMPARE(d->records()->text("TIPO"), QStringLiteral("ALVARA"));
    });
    QVERIFY(!l.open(nullptr, &caller.records, "TIPO_UNIDADE"));
}

QTEST_MAIN(TestLookups)
#include "tst_lookups.moc"
