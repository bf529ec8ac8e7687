// The parts of the registry form that the process-type and unit-type registers do not use: code
// zero-fill, name fetch, checks with a condition, padded and postal-code searches, controls in a
// row with small buttons. Two small members declared here exercise them.
#include "forms/common/formwindow.h"
#include "forms/common/registryform.h"
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
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace forms;
using testsupport::child;
using testsupport::click;
using testsupport::edit;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::typeAndLeave;

namespace {

RegistrySpec sectorsLike() {
    RegistrySpec s;
    s.formName = "Frm_TesteSetores";
    s.title = "Setores";
    s.table = "SETORES";
    s.codeField = "IDSETOR";
    s.codeWidth = 6;
    s.nextCodeQuery = "SELECT COALESCE(MAX(IDSETOR),'0') FROM SETORES";
    s.selectQuery =
        "SELECT A.IDSETOR, A.SETOR, A.IDUNIDADE, B.UNIDADE FROM SETORES A LEFT JOIN UNIDADES B ON "
        "A.IDUNIDADE = B.IDUNIDADE ORDER BY A.IDSETOR";
    s.fields = {keyField("IDSETOR", 6), textField("SETOR", 100), textField("IDUNIDADE", 4),
                joinedField("UNIDADE", 100)};
    s.zeroFills = {{"IDSETOR", 6},
                   {"IDUNIDADE", 4, "SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE=?", "UNIDADE"}};
    s.checks = {{"UNIDADE", attention("procedimento cancelado, Unidade não informada!"), "Campo3"},
                {"SETOR", attention("procedimento cancelado, Setor não informado!"), "Campo2"}};
    s.edits = {lineEdit("Campo1", "IDSETOR", "Código"),
               lineEdit("Campo2", "SETOR", "Setor", 50, Entry::AsTyped),
               captionRow("LUnidade", "Unidade Orçamentária"),
               smallButton("SpeedButton1", "&1", "Pesquisa", false),
               smallButton("SpeedButton2", "&2", "Cadastra"),
               lineEdit("Campo3", "IDUNIDADE", QString(), 4),
               nameDisplay("CampoE1", "UNIDADE", 40, "Nome da Unidade Orçamentária")};
    s.edits[5].sameRow = true;
    s.columns = {{"Código", "IDSETOR"},
                 {"Setor", "SETOR", kWideColumn},
                 {"Cód.Unidade", "IDUNIDADE"},
                 {"Unidade", "UNIDADE", kWideColumn}};
    s.search.paddedField = "IDUNIDADE";
    s.search.paddedWidth = 4;
    return s;
}

RegistrySpec organisationLike() {
    RegistrySpec s;
    s.formName = "Frm_TesteEmpresa";
    s.title = "Empresa";
    s.table = "EMPRESA";
    s.codeField = "IDEMPRESA";
    s.codeWidth = 2;
    s.nextCodeQuery = "SELECT COALESCE(MAX(IDEMPRESA),'0') FROM EMPRESA";
    s.selectQuery = "SELECT A.IDEMPRESA, A.EMPRESA, A.CEP, A.DDD FROM EMPRESA A ORDER BY A.IDEMPRESA";
    s.fields = {keyField("IDEMPRESA", 2), textField("EMPRESA", 100), textField("CEP", 10),
                textField("DDD", 3)};
    s.zeroFills = {{"IDEMPRESA", 2}, {"DDD", 3}};
    s.checks = {{"EMPRESA", attention("procedimento cancelado, Empresa não informada!"), "Campo2"},
                {"IDEMPRESA", attention("procedimento cancelado, Só é permitido o cadastro da Empresa 01!"),
                 "Campo2", [](const RecordSet& r) { return r.text("IDEMPRESA") != "01"; }}};
    EditSpec cep = lineEdit("Campo3", "CEP", "CEP");
    cep.mask = "##.###-###";
    s.edits = {lineEdit("Campo1", "IDEMPRESA", "Código"), lineEdit("Campo2", "EMPRESA", "Empresa", 50), cep,
               lineEdit("Campo4", "DDD", "DDD")};
    s.edits[3].sameRow = true;
    s.columns = {
        {"Código", "IDEMPRESA"}, {"Empresa", "EMPRESA", kWideColumn}, {"CEP", "CEP"}, {"DDD", "DDD"}};
    return s;
}

std::unique_ptr<RegistryForm> open(const RegistrySpec& spec) {
    auto f = std::make_unique<RegistryForm>(spec, nullptr);
    QString error;
    if (!f->reload(&error)) qWarning("reload: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

} // namespace

class TestRegistryPattern : public QObject {
    Q_OBJECT
private slots:
    void codeZeroFillOnEveryChange();
    void nameFetchedForTypedCode_data();
    void nameFetchedForTypedCode();
    void checksRunInTheirOrder();
    void conditionCheck();
    void paddedSearchColumn();
    void postalCodeSearchAndMaskedEdit();
    void rowLayoutWithSmallButtons();
    void listTabCanShowAnotherSource();
    void openingFailureGoesToTheErrorBox();
};

void TestRegistryPattern::codeZeroFillOnEveryChange() {
    TestDatabase db;
    QVERIFY_DB(db);
    auto f = open(sectorsLike());
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000001"));
    typeAndLeave(f.get(), "Campo1", "12");
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000012"));
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000012"));
    typeAndLeave(f.get(), "Campo1", "");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000000"));
}

void TestRegistryPattern::nameFetchedForTypedCode_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("7 becomes 0007") << "7"
                                    << "0007"
                                    << "SECRETARIA DE OBRAS";
    QTest::newRow("unknown unit: empty name") << "8"
                                              << "0008"
                                              << "";
    QTest::newRow("quote in the code is just a character") << "'"
                                                           << "000'"
                                                           << "";
}

void TestRegistryPattern::nameFetchedForTypedCode() {
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("UNIDADES", {{"IDUNIDADE", "0007"}, {"UNIDADE", "SECRETARIA DE OBRAS"}});
    auto f = open(sectorsLike());
    click(f.get(), "Botao_Incluir");
    f->records()->setValue("UNIDADE", "ANTERIOR");
    typeAndLeave(f.get(), "Campo3", typed);
    QCOMPARE(edit(f.get(), "Campo3")->text(), code);
    QCOMPARE(edit(f.get(), "CampoE1")->text(), name);
    QCOMPARE(f->records()->text("UNIDADE"), name);
    // The name display stays silver, read-only and out of the focus chain in every state.
    QLineEdit* display = edit(f.get(), "CampoE1");
    QVERIFY(display->isReadOnly());
    QCOMPARE(display->palette().color(QPalette::Base), silverColour());
    QCOMPARE(display->focusPolicy(), Qt::NoFocus);
}

void TestRegistryPattern::checksRunInTheirOrder() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "GABINETE"}});
    ScriptedDialogs dialogs;
    auto f = open(sectorsLike());
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    click(f.get(), "Botao_Incluir");
    dialogs.expectMessage("Atenção,\rprocedimento cancelado, Unidade não informada!");
    click(f.get(), "Botao_Salvar");
    QVERIFY(edit(f.get(), "Campo3")->hasFocus());
    typeAndLeave(f.get(), "Campo3", "1");
    dialogs.expectMessage("Atenção,\rprocedimento cancelado, Setor não informado!");
    click(f.get(), "Botao_Salvar");
    QVERIFY(edit(f.get(), "Campo2")->hasFocus());
    VERIFY_DIALOGS(dialogs);
    typeAndLeave(f.get(), "Campo2", "Setor de Compras");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    const auto rows = db.rows("SELECT IDSETOR, SETOR, IDUNIDADE FROM SETORES");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0], (QVariantList{"000001", "Setor de Compras", "0001"})); // the name keeps its case
}

void TestRegistryPattern::conditionCheck() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "PREFEITURA"}});
    ScriptedDialogs dialogs;
    auto f = open(organisationLike());
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("02"));
    typeAndLeave(f.get(), "Campo2", "OUTRA");
    dialogs.expectMessage("Atenção,\rprocedimento cancelado, Só é permitido o cadastro da Empresa 01!");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM EMPRESA").toInt(), 1);
}

void TestRegistryPattern::paddedSearchColumn() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QList<QVariantList> sectors{
        {"000001", "A", "0012"}, {"000002", "B", "0003"}, {"000003", "C", "0012"}, {"000004", "D", "0120"}};
    for (const auto& s : sectors)
        db.insert("SETORES", {{"IDSETOR", s[0]}, {"SETOR", s[1]}, {"IDUNIDADE", s[2]}});
    auto f = open(sectorsLike());
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    auto* procura = child<QLineEdit>(f.get(), "PROCURA");
    grid->horizontalHeader()->sectionClicked(2);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe Cód.Unidade"));
    QTest::keyClicks(procura, "12");
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000001")); // first sector of unit 0012
    QCOMPARE(f->records()->text("IDUNIDADE"), QStringLiteral("0012"));
    // The code column is not padded in this member: 2 lies after every code beginning with 0.
    grid->horizontalHeader()->sectionClicked(0);
    QTest::keyClicks(procura, "000002");
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000002"));
}

void TestRegistryPattern::postalCodeSearchAndMaskedEdit() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "A"}, {"CEP", "57.020-000"}});
    db.insert("EMPRESA", {{"IDEMPRESA", "02"}, {"EMPRESA", "B"}, {"CEP", "57.300-000"}});
    db.insert("EMPRESA", {{"IDEMPRESA", "03"}, {"EMPRESA", "C"}, {"CEP", "57.310-100"}});
    auto f = open(organisationLike());
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    auto* procura = child<QLineEdit>(f.get(), "PROCURA");
    grid->horizontalHeader()->sectionClicked(2);
    QTest::keyClicks(procura, "5731");
    QCOMPARE(f->records()->text("IDEMPRESA"), QStringLiteral("03"));
    procura->clear();
    QTest::keyClicks(procura, "573");
    QCOMPARE(f->records()->text("IDEMPRESA"), QStringLiteral("02"));

    // The postal code is typed as digits and stored with its punctuation.
    f->records()->setCurrentRow(0);
    QCOMPARE(f->records()->text("IDEMPRESA"), QStringLiteral("01"));
    f->pages()->setCurrentIndex(0);
    click(f.get(), "Botao_Alterar");
    typeAndLeave(f.get(), "Campo3", "57051190");
    typeAndLeave(f.get(), "Campo4", "82");
    click(f.get(), "Botao_Salvar");
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(db.rows("SELECT CEP, DDD FROM EMPRESA WHERE IDEMPRESA = '01'").value(0),
             (QVariantList{"57.051-190", "082"}));
}

void TestRegistryPattern::rowLayoutWithSmallButtons() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "SECRETARIA MUNICIPAL DE ADMINISTRACAO"}});
    db.insert("SETORES", {{"IDSETOR", "000001"}, {"SETOR", "Protocolo Geral"}, {"IDUNIDADE", "0001"}});
    auto f = open(sectorsLike());
    auto* b1 = child<QToolButton>(f.get(), "SpeedButton1");
    auto* b2 = child<QToolButton>(f.get(), "SpeedButton2");
    QCOMPARE(b1->text(), QStringLiteral("&1"));
    QCOMPARE(b1->toolTip(), QStringLiteral("Pesquisa"));
    QCOMPARE(b2->toolTip(), QStringLiteral("Cadastra"));
    QCOMPARE(b1->focusPolicy(), Qt::NoFocus);
    QLineEdit* code = edit(f.get(), "Campo3");
    QLineEdit* name = edit(f.get(), "CampoE1");
    // One line: &1, &2, the code, the name, under the caption whose buddy is the code.
    QVERIFY(b1->x() < b2->x() && b2->x() < code->x() && code->x() < name->x());
    QVERIFY(qAbs(b1->geometry().center().y() - code->geometry().center().y()) <= 2);
    QCOMPARE(child<QLabel>(f.get(), "LUnidade")->buddy(), code);
    QVERIFY(child<QLabel>(f.get(), "LUnidade")->geometry().bottom() <= code->y());
    QVERIFY(name->geometry().right() < f->width());
    QVERIFY(code->y() > edit(f.get(), "Campo2")->y());
    // Campo3 follows Campo2 in the tab order; the name display is skipped.
    QWidget* next = edit(f.get(), "Campo2")->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisible())
        next = next->nextInFocusChain();
    QCOMPARE(next, code);
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        click(f.get(), "Botao_Alterar");
        QVERIFY(f->grab().save(dir + "/Frm_TesteSetores-editing.png"));
    }
}

void TestRegistryPattern::listTabCanShowAnotherSource() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QList<QVariantList> sectors{
        {"000001", "A", "0012"}, {"000002", "B", "0003"}, {"000003", "C", "0012"}, {"000004", "D", "0012"}};
    for (const auto& s : sectors)
        db.insert("SETORES", {{"IDSETOR", s[0]}, {"SETOR", s[1]}, {"IDUNIDADE", s[2]}});
    auto f = open(sectorsLike());
    RecordSet list;
    list.setQuery("SELECT A.IDSETOR, A.SETOR, A.IDUNIDADE, B.UNIDADE FROM SETORES A LEFT JOIN UNIDADES B ON "
                  "A.IDUNIDADE = B.IDUNIDADE WHERE A.IDUNIDADE = :U ORDER BY A.IDSETOR");
    list.setParameter("U", "0012");
    QVERIFY(list.open());
    f->setListSource(&list);
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    QCOMPARE(grid->model()->rowCount(), 3);
    grid->horizontalHeader()->sectionClicked(1);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe Setor"));
    QTest::keyClicks(child<QLineEdit>(f.get(), "PROCURA"), "D");
    QCOMPARE(list.text("IDSETOR"), QStringLiteral("000004"));
    QCOMPARE(grid->currentIndex().row(), 2);
    QCOMPARE(f->records()->text("IDSETOR"), QStringLiteral("000001")); // the form's own rows stay put
    QCOMPARE(f->records()->sortField(), QString());
}

void TestRegistryPattern::openingFailureGoesToTheErrorBox() {
    TestDatabase db;
    QVERIFY_DB(db);
    RegistrySpec broken = sectorsLike();
    broken.selectQuery = "SELECT A.IDSETOR FROM TABELA_QUE_NAO_EXISTE A";
    struct BrokenForm : RegistryForm {
        explicit BrokenForm(QWidget* owner)
            : RegistryForm(spec(), owner) {}
        static RegistrySpec& spec() {
            static RegistrySpec s;
            return s;
        }
    };
    BrokenForm::spec() = broken;
    QPointer<BrokenForm> reference;
    ScriptedDialogs dialogs;
    dialogs.expectError("TABELA_QUE_NAO_EXISTE");
    openModal<BrokenForm>(reference, nullptr, [](BrokenForm* f, QString* error) { return f->reload(error); });
    VERIFY_DIALOGS(dialogs);
    QVERIFY(reference.isNull());
}

QTEST_MAIN(TestRegistryPattern)
#include "tst_registrypattern.moc"
