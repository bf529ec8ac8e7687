// The budget-unit register: the unit type typed or picked with its name, the CNPJ check on
// leaving its edit, the checks on saving in their order, and the padded code search.
#include "core/session.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupdialog.h"
#include "forms/common/lookupresult.h"
#include "forms/registers/lookups.h"
#include "forms/registers/tipounidade.h"
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

using forms::RecordSet;
using registers::TFrm_Unidades;
using testsupport::child;
using testsupport::click;
using testsupport::dblClickRow;
using testsupport::edit;
using testsupport::leave;
using testsupport::nextTabStop;
using testsupport::onModalDialog;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::typeAndLeave;

namespace {

const QString kTypeMessage = QStringLiteral("Atenção,\rprocedimento cancelado, Tipo Unidade não informado!");
const QString kUnitMessage = QStringLiteral("Atenção,\rprocedimento cancelado, Unidade não informada!");
const QString kCnpjMessage = QStringLiteral("Atenção,\rCNPJ não é válido!");

std::unique_ptr<TFrm_Unidades> openForm() {
    auto f = std::make_unique<TFrm_Unidades>(nullptr);
    QString error;
    if (!f->reload(&error)) qWarning("reload: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

QVariant stored(TestDatabase& db, const char* column, const QString& code) {
    return db.scalar(QStringLiteral("SELECT %1 FROM UNIDADES WHERE IDUNIDADE = ?").arg(QLatin1String(column)),
                     {code});
}

void insertTypes(TestDatabase& db) {
    db.insert("TIPOUNIDADE", {{"IDTIPO", "01"}, {"TIPO", "ADMINISTRACAO DIRETA"}});
    db.insert("TIPOUNIDADE", {{"IDTIPO", "03"}, {"TIPO", "FUNDO MUNICIPAL"}});
    db.insert("TIPOUNIDADE", {{"IDTIPO", "12"}, {"TIPO", "CAMARA MUNICIPAL"}});
}

} // namespace

class TestUnidades : public QObject {
    Q_OBJECT
private slots:
    void layoutOfTheEditingTab();
    void codeTypedIsZeroFilled();
    void typeCodeFetchesTheTypeName_data();
    void typeCodeFetchesTheTypeName();
    void unknownTypeStopsTheSave();
    void typeDeletedAfterItsNameWasRead_data();
    void typeDeletedAfterItsNameWasRead();
    void checksOnSavingInOrder();
    void cnpjCheckOnLeaving_data();
    void cnpjCheckOnLeaving();
    void cnpjLeftWhileBrowsingIsNotChecked();
    void typeLookupPick();
    void typeLookupPickWhileBrowsingIsDiscarded();
    void cadastraOpensTheUnitTypeRegister();
    void paddedSearchColumn();
};

void TestUnidades::layoutOfTheEditingTab() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"},
                           {"UNIDADE", "SECRETARIA MUNICIPAL DE FINANCAS"},
                           {"TIPO_UNIDADE", "01"},
                           {"CNPJ", "11.222.333/0001-81"}});
    auto f = openForm();
    auto* b1 = child<QToolButton>(f.get(), "SpeedButton1");
    auto* b2 = child<QToolButton>(f.get(), "SpeedButton2");
    QCOMPARE(b1->text(), QStringLiteral("&1"));
    QCOMPARE(b1->toolTip(), QStringLiteral("Pesquisa"));
    QCOMPARE(b2->text(), QStringLiteral("&2"));
    QCOMPARE(b2->toolTip(), QStringLiteral("Cadastra"));
    QLineEdit* tipo = edit(f.get(), "Campo3");
    QLineEdit* nome = edit(f.get(), "CampoE1");
    QLineEdit* cnpj = edit(f.get(), "Campo4");
    QCOMPARE(child<QLabel>(f.get(), "LTipoUnidade")->text(),
             QStringLiteral("Tipo Unidade - Conforme TCE/AL"));
    QCOMPARE(child<QLabel>(f.get(), "LTipoUnidade")->buddy(), tipo);
    QCOMPARE(child<QLabel>(f.get(), "LCampo4")->text(), QStringLiteral("CNPJ"));
    QVERIFY(b1->x() < b2->x() && b2->x() < tipo->x() && tipo->x() < nome->x());
    QVERIFY(tipo->y() > edit(f.get(), "Campo2")->y());
    QVERIFY(cnpj->y() > tipo->y());
    QCOMPARE(tipo->maxLength(), 2);
    QCOMPARE(cnpj->inputMask(), QStringLiteral("##.###.###/####-##;_"));
    // The record is shown, the type name from the join.
    QCOMPARE(tipo->text(), QStringLiteral("01"));
    QCOMPARE(nome->text(), QStringLiteral("ADMINISTRACAO DIRETA"));
    QCOMPARE(cnpj->text(), QStringLiteral("11.222.333/0001-81"));
    // The name display is silver, read-only and never takes the focus, in every state.
    click(f.get(), "Botao_Alterar");
    QVERIFY(nome->isReadOnly());
    QCOMPARE(nome->focusPolicy(), Qt::NoFocus);
    QCOMPARE(nome->palette().color(QPalette::Base), forms::silverColour());
    for (const char* e : {"Campo2", "Campo3", "Campo4"})
        QVERIFY2(forms::looksEditable(edit(f.get(), e)), e);
    // Tab order: Campo1 to Campo4, the name display skipped, then Salvar.
    QCOMPARE(nextTabStop(edit(f.get(), "Campo2")), tipo);
    QCOMPARE(nextTabStop(tipo), cnpj);
    QCOMPARE(nextTabStop(cnpj), child<QPushButton>(f.get(), "Botao_Salvar"));
    // The list columns.
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Código", "Unidade", "CNPJ", "Tipo", "Tipo Unidade"}));
    QCOMPARE(grid->model()->index(0, 4).data().toString(), QStringLiteral("ADMINISTRACAO DIRETA"));
}

void TestUnidades::codeTypedIsZeroFilled() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("0001"));
    typeAndLeave(f.get(), "Campo1", "12");
    QCOMPARE(f->records()->text("IDUNIDADE"), QStringLiteral("0012"));
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("0012"));
    typeAndLeave(f.get(), "Campo2", "fundo municipal de saude");
    typeAndLeave(f.get(), "Campo3", "3");
    click(f.get(), "Botao_Salvar");
    QCOMPARE(stored(db, "UNIDADE", "0012").toString(), QStringLiteral("FUNDO MUNICIPAL DE SAUDE"));
    QCOMPARE(stored(db, "TIPO_UNIDADE", "0012").toString(), QStringLiteral("03"));
    // The joined name is never written: the table has no such column, and the save went through.
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
}

void TestUnidades::typeCodeFetchesTheTypeName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("3 becomes 03 with its name") << "3"
                                                << "03"
                                                << "FUNDO MUNICIPAL";
    QTest::newRow("two digits as typed") << "12"
                                         << "12"
                                         << "CAMARA MUNICIPAL";
    QTest::newRow("no such type: empty name") << "7"
                                              << "07"
                                              << "";
    QTest::newRow("cleared: zeros, empty name") << ""
                                                << "00"
                                                << "";
    QTest::newRow("a quote is only a value") << "'"
                                             << "0'"
                                             << "";
}

void TestUnidades::typeCodeFetchesTheTypeName() {
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    ScriptedDialogs dialogs; // no box at all, not even for the quote
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo3", "1"); // a name is there before
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("ADMINISTRACAO DIRETA"));
    typeAndLeave(f.get(), "Campo3", typed);
    QCOMPARE(f->records()->text("TIPO_UNIDADE"), code);
    QCOMPARE(edit(f.get(), "Campo3")->text(), code);
    QCOMPARE(f->records()->text("TIPO"), name);
    QCOMPARE(edit(f.get(), "CampoE1")->text(), name);
    VERIFY_DIALOGS(dialogs);
}

void TestUnidades::unknownTypeStopsTheSave() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo2", "SECRETARIA DE OBRAS");
    typeAndLeave(f.get(), "Campo3", "9");
    dialogs.expectMessage(kTypeMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(edit(f.get(), "Campo3")->hasFocus());
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QCOMPARE(f->records()->text("TIPO_UNIDADE"), QStringLiteral("09"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM UNIDADES").toInt(), 0);
    // With an existing type the same record saves.
    typeAndLeave(f.get(), "Campo3", "1");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(stored(db, "TIPO_UNIDADE", "0001").toString(), QStringLiteral("01"));
}

void TestUnidades::typeDeletedAfterItsNameWasRead_data() {
    QTest::addColumn<bool>("altering");
    QTest::newRow("new unit") << false;
    QTest::newRow("unit altered") << true;
}

void TestUnidades::typeDeletedAfterItsNameWasRead() {
    // The name was fetched when the code was typed; the type is deleted (the import of the
    // audit court's types) before the save: the save finds it gone and stores nothing.
    QFETCH(bool, altering);
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    if (altering)
        QVERIFY(db.insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "OBRAS"}, {"TIPO_UNIDADE", "01"}}));
    ScriptedDialogs dialogs;
    auto f = openForm();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    click(f.get(), altering ? "Botao_Alterar" : "Botao_Incluir");
    typeAndLeave(f.get(), "Campo2", "SECRETARIA DE OBRAS");
    typeAndLeave(f.get(), "Campo3", "3");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("FUNDO MUNICIPAL"));
    QVERIFY(db.exec("DELETE FROM TIPOUNIDADE WHERE IDTIPO = '03'"));
    dialogs.expectMessage(kTypeMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(f->records()->isEditing());
    const QList<QVariantList> before =
        altering ? QList<QVariantList>{{"0001", "OBRAS", "01"}} : QList<QVariantList>{};
    QCOMPARE(db.rows("SELECT IDUNIDADE, UNIDADE, TIPO_UNIDADE FROM UNIDADES"), before);
    // With an existing type the same record saves.
    typeAndLeave(f.get(), "Campo3", "12");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(stored(db, "TIPO_UNIDADE", "0001").toString(), QStringLiteral("12"));
}

void TestUnidades::checksOnSavingInOrder() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    click(f.get(), "Botao_Incluir");
    // Both the unit name and the type missing: the unit name first.
    dialogs.expectMessage(kUnitMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(edit(f.get(), "Campo2")->hasFocus());
    typeAndLeave(f.get(), "Campo2", "GABINETE DO PREFEITO");
    dialogs.expectMessage(kTypeMessage);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(edit(f.get(), "Campo3")->hasFocus());
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM UNIDADES").toInt(), 0);
}

void TestUnidades::cnpjCheckOnLeaving_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("kept");
    QTest::newRow("valid") << "11222333000181" << false << "11.222.333/0001-81";
    QTest::newRow("wrong check digits") << "11222333000180" << true << "";
    QTest::newRow("typed only in part") << "1122233" << true << "";
    QTest::newRow("one digit") << "5" << true << "";
    QTest::newRow("repeated zeros are valid") << "00000000000000" << false << "00.000.000/0000-00";
    QTest::newRow("left empty") << "" << false << "";
}

void TestUnidades::cnpjCheckOnLeaving() {
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    QFETCH(QString, kept);
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo2", "SECRETARIA DE SAUDE");
    typeAndLeave(f.get(), "Campo3", "1");
    if (refused) dialogs.expectMessage(kCnpjMessage);
    typeAndLeave(f.get(), "Campo4", typed);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->text("CNPJ"), kept);
    QCOMPARE(forms::FieldBinder::editText(edit(f.get(), "Campo4")), kept);
    // An emptied CNPJ does not stop the save: the unit is stored without one.
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(stored(db, "CNPJ", "0001").toString(), kept);
    QCOMPARE(stored(db, "UNIDADE", "0001").toString(), QStringLiteral("SECRETARIA DE SAUDE"));
}

void TestUnidades::cnpjLeftWhileBrowsingIsNotChecked() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    // A wrong CNPJ stored by other means is shown while browsing without any message.
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"},
                           {"UNIDADE", "SECRETARIA DE EDUCACAO"},
                           {"TIPO_UNIDADE", "01"},
                           {"CNPJ", "11.222.333/0001-80"}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    leave(edit(f.get(), "Campo4"));
    f->Campo4Exit();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->text("CNPJ"), QStringLiteral("11.222.333/0001-80"));
    // In an alteration the same CNPJ is checked when its edit is left.
    click(f.get(), "Botao_Alterar");
    dialogs.expectMessage(kCnpjMessage);
    leave(edit(f.get(), "Campo4"));
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->text("CNPJ"), QString());
}

void TestUnidades::typeLookupPick() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    bool opened = false;
    onModalDialog([&](QDialog* d) {
        opened = true;
        QCOMPARE(d->objectName(), QStringLiteral("Frm_PesqTipoUnidade"));
        QVERIFY(!registers::Frm_PesqTipoUnidade.isNull());
        dblClickRow(child<QTableView>(d, "DBGrid1"), 1);
    });
    click(f.get(), "SpeedButton1");
    QVERIFY(opened);
    QVERIFY(registers::Frm_PesqTipoUnidade.isNull());
    QCOMPARE(edit(f.get(), "Campo3")->text(), QStringLiteral("03"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("FUNDO MUNICIPAL"));
}

void TestUnidades::typeLookupPickWhileBrowsingIsDiscarded() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "GABINETE"}, {"TIPO_UNIDADE", "01"}});
    auto f = openForm();
    onModalDialog([&](QDialog* d) { dblClickRow(child<QTableView>(d, "DBGrid1"), 2); });
    click(f.get(), "SpeedButton1");
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(edit(f.get(), "Campo3")->text(), QStringLiteral("01"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("ADMINISTRACAO DIRETA"));
    QVERIFY(!f->records()->hasPendingChanges());
}

void TestUnidades::cadastraOpensTheUnitTypeRegister() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    // The button opens the register for a user who may open it from the menu.
    QVERIFY(db.insert("USUARIOS", {{"COD_USUARIO", "00000001"}, {"USUARIO", "ADMINISTRADOR"}}));
    QVERIFY(db.insert("USUARIOS_ACESSOS",
                      {{"ACESSO", "1"}, {"COD_USUARIO", "00000001"}, {"TITULO", "Tipo/Unidade"}}));
    core::currentUser().code = QStringLiteral("00000001");
    const auto signedOut = qScopeGuard([] { core::currentUser() = core::CurrentUser{}; });
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo3", "5");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QString());
    bool opened = false;
    onModalDialog([&](QDialog* d) {
        opened = true;
        QCOMPARE(d->objectName(), QStringLiteral("Frm_TipoUnidade"));
        QCOMPARE(d, registers::Frm_TipoUnidade.data());
        auto* r = qobject_cast<forms::RegistryForm*>(d);
        QVERIFY(r);
        QCOMPARE(r->records()->rowCount(), 3);
        // A type created there ...
        click(d, "Botao_Incluir");
        typeAndLeave(d, "Campo1", "05");
        typeAndLeave(d, "Campo2", "AUTARQUIA");
        click(d, "Botao_Salvar");
        click(d, "Botao_Fechar");
    });
    click(f.get(), "SpeedButton2");
    QVERIFY(opened);
    QVERIFY(registers::Frm_TipoUnidade.isNull());
    QCOMPARE(db.scalar("SELECT TIPO FROM TIPOUNIDADE WHERE IDTIPO = '05'").toString(),
             QStringLiteral("AUTARQUIA"));
    // ... changes nothing here until its code is typed again.
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QString());
    typeAndLeave(f.get(), "Campo3", "5");
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("AUTARQUIA"));
}

void TestUnidades::paddedSearchColumn() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertTypes(db);
    for (const auto& [code, name] : QList<std::pair<QString, QString>>{{"0001", "GABINETE DO PREFEITO"},
                                                                       {"0007", "SECRETARIA DE SAUDE"},
                                                                       {"0012", "FUNDO MUNICIPAL DE SAUDE"},
                                                                       {"0070", "CAMARA MUNICIPAL"}})
        db.insert("UNIDADES", {{"IDUNIDADE", code}, {"UNIDADE", name}, {"TIPO_UNIDADE", "01"}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    auto* procura = edit(f.get(), "PROCURA");
    grid->horizontalHeader()->sectionClicked(0);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe Código"));
    QTest::keyClicks(procura, "7");
    QCOMPARE(f->records()->text("IDUNIDADE"), QStringLiteral("0007"));
    QCOMPARE(grid->currentIndex().row(), 1);
    procura->clear();
    QTest::keyClicks(procura, "70");
    QCOMPARE(f->records()->text("IDUNIDADE"), QStringLiteral("0070"));
    procura->clear();
    QTest::keyClicks(procura, "0012");
    QCOMPARE(f->records()->text("IDUNIDADE"), QStringLiteral("0012"));
    // Any other column with the text as typed: "SEC" is no code to pad.
    grid->horizontalHeader()->sectionClicked(1);
    QTest::keyClicks(procura, "sec");
    QCOMPARE(f->records()->text("IDUNIDADE"), QStringLiteral("0007"));
    VERIFY_DIALOGS(dialogs);
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        QVERIFY(f->grab().save(dir + "/Frm_Unidades-search.png"));
        f->pages()->setCurrentIndex(0);
        click(f.get(), "Botao_Alterar");
        QVERIFY(f->grab().save(dir + "/Frm_Unidades-alterando.png"));
    }
}

QTEST_MAIN(TestUnidades)
#include "tst_unidades.moc"
