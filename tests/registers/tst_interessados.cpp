#include "forms/common/fieldbinder.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupdialog.h"
#include "forms/common/lookupresult.h"
#include "forms/registers/interessados.h"
#include "forms/registers/pesqtitularrequerente.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"
#include "tests/support/typing.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <memory>

using forms::RecordSet;
using registers::TFrm_Interessados;
using testsupport::child;
using testsupport::click;
using testsupport::edit;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::typeInto;

namespace {

const QString kFisica = QStringLiteral("1 - Pessoa Física");
const QString kJuridica = QStringLiteral("2 - Pessoa Jurídica");

void insertParty(TestDatabase& db, const QString& code, const QString& name, const QVariantMap& more = {}) {
    QVariantMap values = more;
    values.insert("IDINTERESSADO", code);
    values.insert("INTERESSADO", name);
    db.insert("INTERESSADOS", values);
}

std::unique_ptr<TFrm_Interessados> openForm() {
    std::unique_ptr<TFrm_Interessados> f(new TFrm_Interessados(nullptr));
    QString error;
    if (!f->reload(&error)) qWarning("reload: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

// Leaves the focused edit for another control of the window.
void leaveTo(QWidget* f, const char* name) {
    f->findChild<QWidget*>(QString::fromLatin1(name))->setFocus();
}

// Chooses an item of the kind list with the keyboard, as the user does.
void chooseKind(QWidget* f, const QString& kind) {
    auto* box = child<QComboBox>(f, "Campo3");
    box->setFocus();
    const int target = box->findText(kind);
    QVERIFY(target >= 0);
    while (box->currentIndex() != target)
        QTest::keyClick(box, box->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
}

bool writableWhite(QWidget* w) {
    return w->isEnabled() && forms::looksEditable(w);
}

bool closedSilver(QWidget* w) {
    return !w->isEnabled() && w->palette().color(QPalette::Base) == forms::silverColour();
}

QString stored(TestDatabase& db, const QString& column, const QString& code) {
    return db
        .scalar(QStringLiteral("SELECT %1 FROM INTERESSADOS WHERE IDINTERESSADO = ?").arg(column), {code})
        .toString();
}

} // namespace

class TestInteressados : public QObject {
    Q_OBJECT
private slots:
    void taxNumberCheckOnLeaving_data();
    void taxNumberCheckOnLeaving();
    void browsingChecksNothing();
    void switchingToAnotherWindowIsNoLeaving();
    void kindSwitchesTheTaxBoxes();
    void alterationStartsWithTheStoredKind();
    void zeroFillAndCase();
    void postalCodeSearch_data();
    void postalCodeSearch();
    void codeSearchNeedsLeadingZeros();
    void lookupWindowAndPick_data();
    void lookupWindowAndPick();
    void lookupPickWhileBrowsingIsDiscarded();
    void lookupPostalCodeSearch();
    void screenshots();
};

void TestInteressados::taxNumberCheckOnLeaving_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<QString>("kept");    // the field's value afterwards

    const QString cpfMsg = TFrm_Interessados::invalidCpfMessage();
    const QString cnpjMsg = TFrm_Interessados::invalidCnpjMessage();
    QCOMPARE(cpfMsg, QStringLiteral("Atenção,\rCPF não é válido!"));
    QCOMPARE(cnpjMsg, QStringLiteral("Atenção,\rCNPJ não é válido!"));
    QTest::newRow("CPF valid") << "insert" << kFisica << "Campo4"
                               << "11144477735"
                               << ""
                               << "111.444.777-35";
    QTest::newRow("CPF wrong check digit") << "insert" << kFisica << "Campo4"
                                           << "11144477734" << cpfMsg << "";
    QTest::newRow("CPF repeated digits") << "insert" << kFisica << "Campo4"
                                         << "11111111111" << cpfMsg << "";
    QTest::newRow("CPF typed in part") << "insert" << kFisica << "Campo4"
                                       << "1114447" << cpfMsg << "";
    QTest::newRow("CPF empty") << "insert" << kFisica << "Campo4"
                               << ""
                               << ""
                               << "";
    QTest::newRow("CPF punctuation only") << "insert" << kFisica << "Campo4"
                                          << "..-"
                                          << ""
                                          << "";
    QTest::newRow("CPF while altering") << "edit" << kFisica << "Campo4"
                                        << "11144477734" << cpfMsg << "";
    QTest::newRow("CNPJ valid") << "insert" << kJuridica << "Campo5"
                                << "11222333000181"
                                << ""
                                << "11.222.333/0001-81";
    QTest::newRow("CNPJ wrong check digit") << "insert" << kJuridica << "Campo5"
                                            << "11222333000180" << cnpjMsg << "";
    QTest::newRow("CNPJ typed in part") << "insert" << kJuridica << "Campo5"
                                        << "112223330001" << cnpjMsg << "";
    QTest::newRow("CNPJ zeros are valid") << "insert" << kJuridica << "Campo5"
                                          << "00000000000000"
                                          << ""
                                          << "00.000.000/0000-00";
    QTest::newRow("CNPJ punctuation only") << "insert" << kJuridica << "Campo5"
                                           << "./-"
                                           << ""
                                           << "";
    QTest::newRow("CNPJ while altering") << "edit" << kJuridica << "Campo5"
                                         << "11222333000180" << cnpjMsg << "";
}

void TestInteressados::taxNumberCheckOnLeaving() {
    QFETCH(QString, state);
    QFETCH(QString, kind);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, kept);
    TestDatabase db;
    QVERIFY_DB(db);
    insertParty(db, "000001", "FULANO", {{"TIPO", kind}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), state == "insert" ? "Botao_Incluir" : "Botao_Alterar");
    if (state == "insert") {
        typeInto(f.get(), "Campo2", "BELTRANO");
        chooseKind(f.get(), kind);
    }
    const QString field = box == "Campo4" ? "CPF" : "CNPJ";
    typeInto(f.get(), qPrintable(box), typed);
    if (!message.isEmpty()) dialogs.expectMessage(message);
    leaveTo(f.get(), "Campo6");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->text(field), kept);
    QCOMPARE(forms::FieldBinder::editText(edit(f.get(), qPrintable(box))), kept);
    QVERIFY(f->records()->isEditing()); // the record stays in insert or edit
    // What is left in the box is what gets stored.
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    const QString code = f->records()->text("IDINTERESSADO");
    QCOMPARE(stored(db, field, code), kept);
}

void TestInteressados::browsingChecksNothing() {
    TestDatabase db;
    QVERIFY_DB(db);
    // A number stored by other means is not judged while only looking at it.
    insertParty(db, "000001", "ANTIGO",
                {{"TIPO", kFisica}, {"CPF", "111.111.111-11"}, {"CNPJ", "11.222.333/0001-80"}});
    ScriptedDialogs dialogs; // no box at all
    auto f = openForm();
    for (const char* box : {"Campo4", "Campo5"}) {
        edit(f.get(), box)->setFocus();
        QTest::keyClicks(edit(f.get(), box), "9");
        leaveTo(f.get(), "Campo6");
    }
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(edit(f.get(), "Campo4")->text(), QStringLiteral("111.111.111-11"));
    QCOMPARE(f->records()->text("CPF"), QStringLiteral("111.111.111-11"));
    QCOMPARE(f->records()->text("CNPJ"), QStringLiteral("11.222.333/0001-80"));
}

void TestInteressados::switchingToAnotherWindowIsNoLeaving() {
    TestDatabase db;
    QVERIFY_DB(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeInto(f.get(), "Campo4", "1114447");
    // The user looks at another window while the CPF is half typed: nothing is judged yet.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    VERIFY_DIALOGS(dialogs);
    QApplication::setActiveWindow(f.get());
    QTRY_COMPARE(QApplication::focusWidget(), edit(f.get(), "Campo4"));
    QCOMPARE(f->records()->text("CPF"), QStringLiteral("111.444.7  -  "));
    // Moving on to another field is a leaving.
    dialogs.expectMessage(TFrm_Interessados::invalidCpfMessage());
    leaveTo(f.get(), "Campo6");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->text("CPF"), QString());
}

void TestInteressados::kindSwitchesTheTaxBoxes() {
    TestDatabase db;
    QVERIFY_DB(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    QWidget* cpf = edit(f.get(), "Campo4");
    QWidget* cnpj = edit(f.get(), "Campo5");
    click(f.get(), "Botao_Incluir");
    // A new party is a natural person: CPF open, CNPJ closed.
    QCOMPARE(child<QComboBox>(f.get(), "Campo3")->currentText(), kFisica);
    QCOMPARE(f->records()->text("TIPO"), kFisica);
    QVERIFY(writableWhite(cpf));
    QVERIFY(closedSilver(cnpj));
    typeInto(f.get(), "Campo2", "MISTO");
    typeInto(f.get(), "Campo4", "11144477735");
    chooseKind(f.get(), kJuridica);
    QCOMPARE(f->records()->text("TIPO"), kJuridica);
    QVERIFY(closedSilver(cpf));
    QVERIFY(writableWhite(cnpj));
    // The number typed before the change stays.
    QCOMPARE(edit(f.get(), "Campo4")->text(), QStringLiteral("111.444.777-35"));
    typeInto(f.get(), "Campo5", "11222333000181");
    chooseKind(f.get(), kFisica);
    QVERIFY(writableWhite(cpf));
    QVERIFY(closedSilver(cnpj));
    chooseKind(f.get(), kJuridica);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(stored(db, "TIPO", "000001"), kJuridica);
    QCOMPARE(stored(db, "CPF", "000001"), QStringLiteral("111.444.777-35"));
    QCOMPARE(stored(db, "CNPJ", "000001"), QStringLiteral("11.222.333/0001-81"));
    // Browsing: both show their numbers, read-only and silver.
    for (QWidget* w : {cpf, cnpj}) {
        QVERIFY(w->isEnabled());
        QVERIFY(static_cast<QLineEdit*>(w)->isReadOnly());
        QCOMPARE(w->palette().color(QPalette::Base), forms::silverColour());
    }
}

void TestInteressados::alterationStartsWithTheStoredKind() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertParty(db, "000001", "PESSOA", {{"TIPO", kFisica}});
    insertParty(db, "000002", "EMPRESA", {{"TIPO", kJuridica}});
    insertParty(db, "000003", "SEM TIPO");
    auto f = openForm();
    QWidget* cpf = edit(f.get(), "Campo4");
    QWidget* cnpj = edit(f.get(), "Campo5");
    const QList<std::pair<int, bool>> rows{{0, true}, {1, false}, {2, false}};
    for (const auto& [row, natural] : rows) {
        f->records()->setCurrentRow(row);
        click(f.get(), "Botao_Alterar");
        QVERIFY(natural ? writableWhite(cpf) : closedSilver(cpf));
        QVERIFY(natural ? closedSilver(cnpj) : writableWhite(cnpj));
        click(f.get(), "Botao_Cancelar");
    }
}

void TestInteressados::zeroFillAndCase() {
    TestDatabase db;
    QVERIFY_DB(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000001"));
    typeInto(f.get(), "Campo1", "42");
    typeInto(f.get(), "Campo2", "joão d'ávila");
    typeInto(f.get(), "Campo12", "82");
    typeInto(f.get(), "Campo14", "9");
    typeInto(f.get(), "Campo16", "Joao.Avila@Email.COM.br");
    typeInto(f.get(), "Campo17", "WWW.Avila.com");
    typeInto(f.get(), "Campo11", "al");
    leaveTo(f.get(), "Campo2");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000042"));
    QCOMPARE(edit(f.get(), "Campo12")->text(), QStringLiteral("082"));
    QCOMPARE(edit(f.get(), "Campo14")->text(), QStringLiteral("009"));
    click(f.get(), "Botao_Salvar");
    QCOMPARE(stored(db, "INTERESSADO", "000042"), QStringLiteral("JOÃO D'ÁVILA"));
    QCOMPARE(stored(db, "DDD_TELEFONE", "000042"), QStringLiteral("082"));
    QCOMPARE(stored(db, "DDD_CELULAR", "000042"), QStringLiteral("009"));
    QCOMPARE(stored(db, "EMAIL", "000042"), QStringLiteral("joao.avila@email.com.br"));
    QCOMPARE(stored(db, "SITE", "000042"), QStringLiteral("www.avila.com"));
    QCOMPARE(stored(db, "UF", "000042"), QStringLiteral("AL"));
    // The next proposal follows the greatest stored code.
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("000043"));
}

void TestInteressados::postalCodeSearch_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found");
    QTest::newRow("573") << "573"
                         << "57.300-000";
    QTest::newRow("57 goes to 57.000-000 or after") << "57"
                                                    << "57.100-000";
    QTest::newRow("punctuation typed too") << "57.35"
                                           << "57.350-100";
}

void TestInteressados::postalCodeSearch() {
    QFETCH(QString, typed);
    QFETCH(QString, found);
    TestDatabase db;
    QVERIFY_DB(db);
    const QStringList ceps{"57.400-000", "57.300-000", "57.100-000", "57.350-100", "57.300-500"};
    for (int i = 0; i < ceps.size(); ++i)
        insertParty(db, QString::number(i + 1).rightJustified(6, '0'), QStringLiteral("P%1").arg(i),
                    {{"CEP", ceps.at(i)}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    const int column = f->gridModel()->columnOfField("CEP");
    QCOMPARE(grid->model()->headerData(column, Qt::Horizontal).toString(), QStringLiteral("CEP"));
    grid->horizontalHeader()->sectionClicked(column);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe CEP"));
    QTest::keyClicks(child<QLineEdit>(f.get(), "PROCURA"), typed);
    QCOMPARE(f->records()->text("CEP"), found);
    VERIFY_DIALOGS(dialogs);
}

void TestInteressados::codeSearchNeedsLeadingZeros() {
    TestDatabase db;
    QVERIFY_DB(db);
    for (int i : {1, 5, 12, 40})
        insertParty(db, QString::number(i).rightJustified(6, '0'), QStringLiteral("P%1").arg(i));
    auto f = openForm();
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    auto* procura = child<QLineEdit>(f.get(), "PROCURA");
    grid->horizontalHeader()->sectionClicked(0);
    QTest::keyClicks(procura, "000012");
    QCOMPARE(f->records()->text("IDINTERESSADO"), QStringLiteral("000012"));
    procura->clear();
    f->records()->first();
    QTest::keyClicks(procura, "12");
    QVERIFY(f->records()->text("IDINTERESSADO") != QStringLiteral("000012"));
}

void TestInteressados::lookupWindowAndPick_data() {
    QTest::addColumn<QString>("targetField");
    QTest::newRow("Requerente") << "IDREQUERENTE";
    QTest::newRow("Titular") << "IDTITULAR";
}

void TestInteressados::lookupWindowAndPick() {
    QFETCH(QString, targetField);
    TestDatabase db;
    QVERIFY_DB(db);
    insertParty(db, "000001", "ANA", {{"CIDADE", "MACEIÓ"}});
    insertParty(db, "000002", "BRUNO", {{"CIDADE", "ARAPIRACA"}});
    insertParty(db, "000003", "CARLA");
    // A process-like caller with both targets.
    RecordSet caller;
    caller.setQuery("SELECT A.IDPROCESSO, A.ANO, A.IDREQUERENTE, A.IDTITULAR FROM PROCESSOS A");
    caller.setFields({forms::keyField("IDPROCESSO", 8), forms::keyField("ANO", 4),
                      forms::textField("IDREQUERENTE", 6), forms::textField("IDTITULAR", 6)});
    QVERIFY(caller.open());
    QVERIFY(caller.append());
    bool opened = false;
    testsupport::onNextModal([&](QWidget* w) {
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        auto* d = qobject_cast<forms::LookupDialog*>(w);
        QVERIFY(d);
        opened = true;
        QCOMPARE(d->objectName(), QStringLiteral("Frm_PesqTitularRequerente"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Pesquisa Titular / Requerente"));
        QVERIFY(!registers::Frm_PesqTitularRequerente.isNull());
        auto* grid = child<QTableView>(d, "DBGrid1");
        QStringList titles;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            titles << grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, (QStringList{"Código", "Titular / Requerente", "Tipo", "CPF", "CNPJ", "Endereço",
                                      "Número", "Bairro", "CEP", "Cidade", "UF", "DDD_TELEFONE", "TELEFONE",
                                      "DDD_CELULAR", "CELULAR", "EMAIL", "SITE"}));
        // The names and the city are the wide columns here.
        QCOMPARE(grid->columnWidth(1), forms::kWideColumn);
        QCOMPARE(grid->columnWidth(9), forms::kWideColumn);
        QVERIFY(grid->columnWidth(8) < forms::kWideColumn);
        QCOMPARE(grid->model()->rowCount(), 3);
        QTRY_VERIFY(child<QLineEdit>(d, "PROCURA")->hasFocus());
        const QRect r = grid->visualRect(grid->model()->index(1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    });
    QVERIFY(registers::pesquisaTitularRequerente(nullptr, &caller, targetField));
    QVERIFY(opened);
    QCOMPARE(caller.text(targetField), QStringLiteral("000002"));
    QCOMPARE(forms::lookupResult().name, QStringLiteral("BRUNO"));
    QVERIFY(registers::Frm_PesqTitularRequerente.isNull());
    // The other target is untouched.
    QCOMPARE(caller.text(targetField == "IDTITULAR" ? "IDREQUERENTE" : "IDTITULAR"), QString());
}

void TestInteressados::lookupPickWhileBrowsingIsDiscarded() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertParty(db, "000001", "ANA");
    RecordSet caller;
    caller.setQuery("SELECT A.IDPROCESSO, A.ANO, A.IDREQUERENTE FROM PROCESSOS A");
    caller.setFields(
        {forms::keyField("IDPROCESSO", 8), forms::keyField("ANO", 4), forms::textField("IDREQUERENTE", 6)});
    QVERIFY(caller.open());
    testsupport::onNextModal([](QWidget* w) {
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        static_cast<forms::LookupDialog*>(w)->DBGrid1DblClick();
    });
    QVERIFY(!registers::pesquisaTitularRequerente(nullptr, &caller, "IDREQUERENTE"));
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(caller.state(), RecordSet::State::Browse);
    QVERIFY(registers::Frm_PesqTitularRequerente.isNull());
}

void TestInteressados::lookupPostalCodeSearch() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertParty(db, "000001", "ANA", {{"CEP", "57.400-000"}});
    insertParty(db, "000002", "BRUNO", {{"CEP", "57.300-000"}});
    insertParty(db, "000003", "CARLA", {{"CEP", "57.100-000"}});
    RecordSet caller;
    caller.setQuery("SELECT A.IDPROCESSO, A.ANO, A.IDTITULAR FROM PROCESSOS A");
    caller.setFields(
        {forms::keyField("IDPROCESSO", 8), forms::keyField("ANO", 4), forms::textField("IDTITULAR", 6)});
    QVERIFY(caller.open());
    QVERIFY(caller.append());
    testsupport::onNextModal([](QWidget* w) {
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        auto* d = static_cast<forms::LookupDialog*>(w);
        auto* grid = child<QTableView>(d, "DBGrid1");
        grid->horizontalHeader()->sectionClicked(d->gridModel()->columnOfField("CEP"));
        QTest::keyClicks(child<QLineEdit>(d, "PROCURA"), "573");
        QCOMPARE(d->records()->text("CEP"), QStringLiteral("57.300-000"));
        d->DBGrid1DblClick();
    });
    QVERIFY(registers::pesquisaTitularRequerente(nullptr, &caller, "IDTITULAR"));
    QCOMPARE(caller.text("IDTITULAR"), QStringLiteral("000002"));
}

void TestInteressados::screenshots() {
    const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS");
    if (dir.isEmpty()) QSKIP("PROTOCOLO_SCREENSHOTS not set");
    QDir().mkpath(dir);
    TestDatabase db;
    QVERIFY_DB(db);
    insertParty(db, "000001", "JOÃO BATISTA DOS SANTOS",
                {{"TIPO", kFisica},
                 {"CPF", "111.444.777-35"},
                 {"ENDERECO", "RUA DO SOL"},
                 {"NUMERO", "45"},
                 {"BAIRRO", "CENTRO"},
                 {"CEP", "57.100-000"},
                 {"CIDADE", "MACEIÓ"},
                 {"UF", "AL"},
                 {"DDD_TELEFONE", "082"},
                 {"TELEFONE", "3221-4455"},
                 {"DDD_CELULAR", "082"},
                 {"CELULAR", "99811-2233"},
                 {"EMAIL", "joao.batista@email.com.br"}});
    auto f = openForm();
    click(f.get(), "Botao_Alterar");
    QVERIFY(f->grab().save(dir + "/Frm_Interessados-altering.png"));
    click(f.get(), "Botao_Cancelar");
    RecordSet caller;
    caller.setQuery("SELECT A.IDPROCESSO, A.ANO, A.IDTITULAR FROM PROCESSOS A");
    caller.setFields(
        {forms::keyField("IDPROCESSO", 8), forms::keyField("ANO", 4), forms::textField("IDTITULAR", 6)});
    QVERIFY(caller.open());
    testsupport::onNextModal([dir](QWidget* w) {
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        QVERIFY(w->grab().save(dir + "/Frm_PesqTitularRequerente.png"));
    });
    registers::pesquisaTitularRequerente(nullptr, &caller, "IDTITULAR");
}

QTEST_MAIN(TestInteressados)
#include "tst_interessados.moc"
