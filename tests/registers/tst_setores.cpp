// The sector register and the budget-unit lookup: the unit code typed or picked with its name,
// the checks on saving (the unit first), the sector name kept as typed, the padded unit search,
// and the lookup's caller side from the sector form.
#include "core/session.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupdialog.h"
#include "forms/common/lookupresult.h"
#include "forms/registers/lookups.h"
#include "forms/registers/setores.h"
#include "forms/registers/unidades.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"
#include "tests/support/typing.h"

#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <memory>

using forms::LookupDialog;
using forms::RecordSet;
using registers::TFrm_Setores;
using testsupport::child;
using testsupport::click;
using testsupport::dblClickRow;
using testsupport::edit;
using testsupport::nextTabStop;
using testsupport::onModalDialog;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::typeAndLeave;

namespace {

const QString kUnitMessage = QStringLiteral("Atenção,\rprocedimento cancelado, Unidade não informada!");
const QString kSectorMessage = QStringLiteral("Atenção,\rprocedimento cancelado, Setor não informado!");

std::unique_ptr<TFrm_Setores> openForm() {
    auto f = std::make_unique<TFrm_Setores>(nullptr);
    QString error;
    if (!f->reload(&error)) qWarning("reload: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

void insertUnits(TestDatabase& db) {
    db.insert("TIPOUNIDADE", {{"IDTIPO", "01"}, {"TIPO", "ADMINISTRACAO DIRETA"}});
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"},
                           {"UNIDADE", "GABINETE DO PREFEITO"},
                           {"TIPO_UNIDADE", "01"},
                           {"CNPJ", "11.222.333/0001-81"}});
    db.insert("UNIDADES",
              {{"IDUNIDADE", "0007"}, {"UNIDADE", "SECRETARIA DE SAUDE"}, {"TIPO_UNIDADE", "01"}});
    db.insert("UNIDADES",
              {{"IDUNIDADE", "0012"}, {"UNIDADE", "SECRETARIA DE OBRAS"}, {"TIPO_UNIDADE", "09"}});
}

QVariant stored(TestDatabase& db, const char* column, const QString& code) {
    return db.scalar(QStringLiteral("SELECT %1 FROM SETORES WHERE IDSETOR = ?").arg(QLatin1String(column)),
                     {code});
}

} // namespace

class TestSetores : public QObject {
    Q_OBJECT
private slots:
    void layoutOfTheEditingTab();
    void unitCodeFetchesTheUnitName_data();
    void unitCodeFetchesTheUnitName();
    void checksOnSavingUnitFirst();
    void sectorNameKeepsItsCase();
    void paddedUnitSearch();
    void unitLookupWindow();
    void unitLookupPickDuringInclusion();
    void unitLookupPickWhileBrowsingIsDiscarded();
    void unitLookupClosedWithoutPick();
    void unitLookupDoubleClickOnEmptyList();
    void cadastraOpensTheBudgetUnitRegister();
};

void TestSetores::layoutOfTheEditingTab() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    db.insert("SETORES", {{"IDSETOR", "000001"}, {"SETOR", "Protocolo Geral"}, {"IDUNIDADE", "0007"}});
    db.insert("SETORES", {{"IDSETOR", "000002"}, {"SETOR", "Almoxarifado"}, {"IDUNIDADE", "0099"}});
    auto f = openForm();
    QLineEdit* unidade = edit(f.get(), "Campo3");
    QLineEdit* nome = edit(f.get(), "CampoE1");
    QCOMPARE(child<QLabel>(f.get(), "LUnidade")->text(), QStringLiteral("Unidade Orçamentária"));
    QCOMPARE(child<QLabel>(f.get(), "LUnidade")->buddy(), unidade);
    QCOMPARE(child<QLabel>(f.get(), "LCampo2")->text(), QStringLiteral("Setor"));
    auto* b1 = child<QToolButton>(f.get(), "SpeedButton1");
    auto* b2 = child<QToolButton>(f.get(), "SpeedButton2");
    QCOMPARE(b1->toolTip(), QStringLiteral("Pesquisa"));
    QCOMPARE(b2->toolTip(), QStringLiteral("Cadastra"));
    QVERIFY(b1->x() < b2->x() && b2->x() < unidade->x() && unidade->x() < nome->x());
    QCOMPARE(unidade->maxLength(), 4);
    QCOMPARE(edit(f.get(), "Campo1")->maxLength(), 6);
    QCOMPARE(nextTabStop(edit(f.get(), "Campo2")), unidade);
    QCOMPARE(nextTabStop(unidade), child<QPushButton>(f.get(), "Botao_Salvar"));
    QCOMPARE(nome->text(), QStringLiteral("SECRETARIA DE SAUDE"));
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Código", "Setor", "Cód.Unidade", "Unidade"}));
    // A sector whose unit no longer exists is listed with an empty unit name.
    QCOMPARE(grid->model()->index(1, 3).data().toString(), QString());
    QCOMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("Almoxarifado"));
}

void TestSetores::unitCodeFetchesTheUnitName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("7 becomes 0007 with its name") << "7"
                                                  << "0007"
                                                  << "SECRETARIA DE SAUDE";
    QTest::newRow("12 becomes 0012") << "12"
                                     << "0012"
                                     << "SECRETARIA DE OBRAS";
    QTest::newRow("no such unit: empty name") << "8"
                                              << "0008"
                                              << "";
    QTest::newRow("cleared: zeros, empty name") << ""
                                                << "0000"
                                                << "";
    QTest::newRow("a quote is only a value") << "1' OR"
                                             << "1' O"
                                             << "";
}

void TestSetores::unitCodeFetchesTheUnitName() {
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000001"));
    typeAndLeave(f.get(), "Campo3", "1");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("GABINETE DO PREFEITO"));
    typeAndLeave(f.get(), "Campo3", typed);
    QCOMPARE(f->records()->text("IDUNIDADE"), code);
    QCOMPARE(edit(f.get(), "Campo3")->text(), code);
    QCOMPARE(f->records()->text("UNIDADE"), name);
    QCOMPARE(edit(f.get(), "CampoE1")->text(), name);
    VERIFY_DIALOGS(dialogs);
}

void TestSetores::checksOnSavingUnitFirst() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    click(f.get(), "Botao_Incluir");
    // Both empty: the unit is reported first.
    dialogs.expectMessage(kUnitMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(edit(f.get(), "Campo3")->hasFocus());
    // A code of no unit: still the unit message.
    typeAndLeave(f.get(), "Campo3", "8");
    dialogs.expectMessage(kUnitMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(edit(f.get(), "Campo3")->hasFocus());
    typeAndLeave(f.get(), "Campo3", "7");
    dialogs.expectMessage(kSectorMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(edit(f.get(), "Campo2")->hasFocus());
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM SETORES").toInt(), 0);
    typeAndLeave(f.get(), "Campo2", "Tesouraria");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(stored(db, "IDUNIDADE", "000001").toString(), QStringLiteral("0007"));
}

void TestSetores::sectorNameKeepsItsCase() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo1", "42");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000042"));
    typeAndLeave(f.get(), "Campo2", "Divisão de Licitações e contratos");
    QCOMPARE(edit(f.get(), "Campo2")->text(), QStringLiteral("Divisão de Licitações e contratos"));
    typeAndLeave(f.get(), "Campo3", "1");
    click(f.get(), "Botao_Salvar");
    QCOMPARE(stored(db, "SETOR", "000042").toString(), QStringLiteral("Divisão de Licitações e contratos"));
    QCOMPARE(stored(db, "IDUNIDADE", "000042").toString(), QStringLiteral("0001"));
    // The code field stays upper case: what is typed there is forced.
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo1", "a1");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("0000A1"));
    click(f.get(), "Botao_Cancelar");
}

void TestSetores::paddedUnitSearch() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    const QList<std::pair<QString, QString>> sectors{
        {"000001", "0012"}, {"000002", "0001"}, {"000003", "0012"}, {"000007", "0007"}, {"000010", "0001"}};
    for (const auto& [code, unit] : sectors)
        db.insert("SETORES", {{"IDSETOR", code}, {"SETOR", "Setor " + code}, {"IDUNIDADE", unit}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    auto* procura = edit(f.get(), "PROCURA");
    grid->horizontalHeader()->sectionClicked(2);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe Cód.Unidade"));
    QTest::keyClicks(procura, "12");
    QCOMPARE(f->records()->text("IDUNIDADE"), QStringLiteral("0012"));
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000001")); // the first sector of unit 0012
    procura->clear();
    QTest::keyClicks(procura, "7");
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000007"));
    // The sector's own code is searched as typed: 7 is no 000007.
    grid->horizontalHeader()->sectionClicked(0);
    QTest::keyClicks(procura, "00000");
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000001"));
    QTest::keyClicks(procura, "7");
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000007"));
    procura->clear();
    QTest::keyClicks(procura, "7");
    QVERIFY(f->records()->text("IDSETOR") != QStringLiteral("000007"));
    VERIFY_DIALOGS(dialogs);
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        grid->horizontalHeader()->sectionClicked(2);
        QTest::keyClicks(procura, "12");
        QVERIFY(f->grab().save(dir + "/Frm_Setores-search.png"));
        f->pages()->setCurrentIndex(0);
        click(f.get(), "Botao_Alterar");
        QVERIFY(f->grab().save(dir + "/Frm_Setores-alterando.png"));
    }
}

void TestSetores::unitLookupWindow() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    forms::lookupResult().selected = true; // a stale pick of an earlier lookup
    forms::lookupResult().code = "0012";
    bool opened = false;
    onModalDialog([&](QDialog* w) {
        opened = true;
        auto* d = qobject_cast<LookupDialog*>(w);
        QVERIFY(d);
        QCOMPARE(d->objectName(), QStringLiteral("Frm_PesqUnidades"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Pesquisa Unidades"));
        QCOMPARE(d, registers::Frm_PesqUnidades.data());
        QVERIFY(!forms::lookupResult().selected);
        QCOMPARE(d->focusWidget(), edit(d, "PROCURA"));
        auto* grid = child<QTableView>(d, "DBGrid1");
        QStringList titles;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            titles << grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, (QStringList{"Código", "Unidade", "Cód.Tipo", "Tipo Unidade", "CNPJ"}));
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->model()->index(0, 3).data().toString(), QStringLiteral("ADMINISTRACAO DIRETA"));
        QCOMPARE(grid->model()->index(0, 4).data().toString(), QStringLiteral("11.222.333/0001-81"));
        QCOMPARE(grid->model()->index(2, 3).data().toString(), QString()); // type 09 does not exist
        // No column of this lookup is padded: the code is searched as typed.
        grid->horizontalHeader()->sectionClicked(0);
        QTest::keyClicks(edit(d, "PROCURA"), "001");
        QCOMPARE(d->records()->text("IDUNIDADE"), QStringLiteral("0012"));
        grid->horizontalHeader()->sectionClicked(1);
        QTest::keyClicks(edit(d, "PROCURA"), "secretaria de s");
        QCOMPARE(d->records()->text("IDUNIDADE"), QStringLiteral("0007"));
        if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
            QDir().mkpath(dir);
            QVERIFY(d->grab().save(dir + "/Frm_PesqUnidades.png"));
        }
        QTest::mouseClick(child<QPushButton>(d, "Botao_Fechar"), Qt::LeftButton);
    });
    click(f.get(), "SpeedButton1");
    QVERIFY(opened);
    QVERIFY(registers::Frm_PesqUnidades.isNull());
}

void TestSetores::unitLookupPickDuringInclusion() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    onModalDialog([&](QDialog* d) { dblClickRow(child<QTableView>(d, "DBGrid1"), 1); });
    click(f.get(), "SpeedButton1");
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(forms::lookupResult().code, QStringLiteral("0007"));
    QCOMPARE(forms::lookupResult().name, QStringLiteral("SECRETARIA DE SAUDE"));
    QCOMPARE(edit(f.get(), "Campo3")->text(), QStringLiteral("0007"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("SECRETARIA DE SAUDE"));
    typeAndLeave(f.get(), "Campo2", "Farmácia Básica");
    click(f.get(), "Botao_Salvar");
    QCOMPARE(stored(db, "IDUNIDADE", "000001").toString(), QStringLiteral("0007"));
    // In an alteration the pick replaces the unit.
    click(f.get(), "Botao_Alterar");
    onModalDialog([&](QDialog* d) { dblClickRow(child<QTableView>(d, "DBGrid1"), 2); });
    click(f.get(), "SpeedButton1");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("SECRETARIA DE OBRAS"));
    click(f.get(), "Botao_Salvar");
    QCOMPARE(stored(db, "IDUNIDADE", "000001").toString(), QStringLiteral("0012"));
}

void TestSetores::unitLookupPickWhileBrowsingIsDiscarded() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    db.insert("SETORES", {{"IDSETOR", "000001"}, {"SETOR", "Protocolo"}, {"IDUNIDADE", "0001"}});
    auto f = openForm();
    onModalDialog([&](QDialog* d) { dblClickRow(child<QTableView>(d, "DBGrid1"), 2); });
    click(f.get(), "SpeedButton1");
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(forms::lookupResult().code, QStringLiteral("0012"));
    QCOMPARE(edit(f.get(), "Campo3")->text(), QStringLiteral("0001"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("GABINETE DO PREFEITO"));
    QVERIFY(!f->records()->hasPendingChanges());
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QVERIFY(registers::Frm_PesqUnidades.isNull());
}

void TestSetores::unitLookupClosedWithoutPick() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo3", "12");
    onModalDialog([&](QDialog* d) {
        child<QTableView>(d, "DBGrid1")->selectRow(0);
        QTest::mouseClick(child<QPushButton>(d, "Botao_Fechar"), Qt::LeftButton);
    });
    click(f.get(), "SpeedButton1");
    QVERIFY(!forms::lookupResult().selected);
    QCOMPARE(edit(f.get(), "Campo3")->text(), QStringLiteral("0012"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("SECRETARIA DE OBRAS"));
}

void TestSetores::unitLookupDoubleClickOnEmptyList() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("UNIDADES", {{"IDUNIDADE", "0003"}, {"UNIDADE", "APAGADA DEPOIS"}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo2", "Arquivo");
    typeAndLeave(f.get(), "Campo3", "3");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("APAGADA DEPOIS"));
    db.exec("DELETE FROM UNIDADES");
    onModalDialog([&](QDialog* d) {
        auto* grid = child<QTableView>(d, "DBGrid1");
        QCOMPARE(grid->model()->rowCount(), 0);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
    });
    click(f.get(), "SpeedButton1");
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(forms::lookupResult().code, QString());
    // Written empty, padded to zeros, no name: the save stops at the unit check.
    QCOMPARE(edit(f.get(), "Campo3")->text(), QStringLiteral("0000"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QString());
    dialogs.expectMessage(kUnitMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM SETORES").toInt(), 0);
}

void TestSetores::cadastraOpensTheBudgetUnitRegister() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertUnits(db);
    // The button opens the register for a user who may open it from the menu.
    QVERIFY(db.insert("USUARIOS", {{"COD_USUARIO", "00000001"}, {"USUARIO", "ADMINISTRADOR"}}));
    QVERIFY(db.insert("USUARIOS_ACESSOS",
                      {{"ACESSO", "1"}, {"COD_USUARIO", "00000001"}, {"TITULO", "Unidades Orçamentárias"}}));
    core::currentUser().code = QStringLiteral("00000001");
    const auto signedOut = qScopeGuard([] { core::currentUser() = core::CurrentUser{}; });
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo3", "13");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QString());
    bool opened = false;
    onModalDialog([&](QDialog* d) {
        opened = true;
        QCOMPARE(d->objectName(), QStringLiteral("Frm_Unidades"));
        QCOMPARE(d, registers::Frm_Unidades.data());
        QCOMPARE(d->windowTitle(), QStringLiteral("Unidades"));
        click(d, "Botao_Incluir");
        QCOMPARE(edit(d, "Campo1")->text(), QStringLiteral("0013"));
        typeAndLeave(d, "Campo2", "secretaria de cultura");
        typeAndLeave(d, "Campo3", "1");
        click(d, "Botao_Salvar");
        click(d, "Botao_Fechar");
    });
    click(f.get(), "SpeedButton2");
    QVERIFY(opened);
    QVERIFY(registers::Frm_Unidades.isNull());
    QCOMPARE(db.scalar("SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE = '0013'").toString(),
             QStringLiteral("SECRETARIA DE CULTURA"));
    // Nothing changed here: the new unit's code must be typed or picked.
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QString());
    typeAndLeave(f.get(), "Campo3", "13");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("SECRETARIA DE CULTURA"));
}

QTEST_MAIN(TestSetores)
#include "tst_setores.moc"
