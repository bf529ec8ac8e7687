// The process form: the user's unrouted processes, the defaults and numbering of a new process,
// the applicant that becomes the holder, the checks on saving, the state table, the list by
// year, "Tramitar" and two workstations registering at the same moment.
#include "core/appvalues.h"
#include "core/clock.h"
#include "core/connection.h"
#include "core/handoff.h"
#include "core/menucommands.h"
#include "core/publiclookup.h"
#include "core/session.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/formwindow.h"
#include "forms/common/gridmodel.h"
#include "forms/processes/processes.h"
#include "forms/processes/processos.h"
#include "forms/registers/lookups.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/paperrecorder.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <memory>

using forms::RecordSet;
using processes::TFrm_Processos;
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

const QString kUser = QStringLiteral("00000002");
const QString kOther = QStringLiteral("00000003");
const QString kRequerente =
    QStringLiteral("Atenção,\rprocedimento cancelado, Requerente/Procurador não informado!");
const QString kTitular = QStringLiteral("Atenção,\rprocedimento cancelado, Titular não informado!");
const QString kTipo = QStringLiteral("Atenção,\rprocedimento cancelado, Tipo Processo não informado!");
const QString kAssunto = QStringLiteral("Atenção,\rprocedimento cancelado, Assunto não informado!");
const QString kDuplicate = QStringLiteral(".Atenção, dados inconsistentes, confirme informações!");

void insertRegisters(TestDatabase& db) {
    db.insert("USUARIOS", {{"COD_USUARIO", kUser}, {"USUARIO", "CARLA MENDES"}, {"PROTOCOLISTA", "SIM"}});
    db.insert("USUARIOS", {{"COD_USUARIO", kOther}, {"USUARIO", "PAULO NUNES"}, {"PROTOCOLISTA", "SIM"}});
    db.insert("INTERESSADOS", {{"IDINTERESSADO", "000007"}, {"INTERESSADO", "JOSÉ DA SILVA"}});
    db.insert("INTERESSADOS", {{"IDINTERESSADO", "000008"}, {"INTERESSADO", "MARIA SOUZA"}});
    db.insert("INTERESSADOS", {{"IDINTERESSADO", "000012"}, {"INTERESSADO", "ASSOCIAÇÃO DE MORADORES"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0003"}, {"TIPO", "CERTIDÃO"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0004"}, {"TIPO", "ALVARÁ"}});
}

void insertProcess(TestDatabase& db, const QString& number, const QString& year, const QString& user,
                   const QString& subject, const QString& holder = QStringLiteral("000008")) {
    QVariantMap row{{"IDPROCESSO", number},
                    {"ANO", year},
                    {"DATA", QDate(year.toInt(), 3, 5)},
                    {"HORA", QTime(9, 7, 3)},
                    {"IDREQUERENTE", "000007"},
                    {"IDTIPOPROCESSO", "0003"},
                    {"ASSUNTO", subject},
                    {"RG", "X"},
                    {"CPF", "N"},
                    {"COMPROVANTE_RESIDENCIA", "N"},
                    {"CARTEIRA_PROFISSIONAL", "X"},
                    {"COD_USUARIO", user}};
    if (!holder.isEmpty()) row.insert("IDTITULAR", holder);
    QVERIFY(db.insert("PROCESSOS", row));
}

void insertMovement(TestDatabase& db, const QString& registro, const QString& number, const QString& year) {
    QVERIFY(db.insert("TRAMITACAO", {{"REGISTRO", registro},
                                     {"IDPROCESSO", number},
                                     {"ANO", year},
                                     {"COD_USUARIO", kUser},
                                     {"COD_USUARIO_DESTINO", kOther},
                                     {"DATA", QDate(2019, 3, 6)},
                                     {"HORA", QTime(10, 0, 0)}}));
}

void logIn(const QString& code, const QString& protocolist = QStringLiteral("SIM")) {
    core::currentUser() = {code, QStringLiteral("CARLA MENDES"), QString(), protocolist};
}

std::unique_ptr<TFrm_Processos> openForm() {
    auto f = std::make_unique<TFrm_Processos>(nullptr);
    QString error;
    if (!f->prepare(&error)) qWarning("prepare: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

QStringList listKeys(TFrm_Processos* f) {
    QStringList keys;
    RecordSet* list = f->list();
    for (int r = 0; r < list->rowCount(); ++r)
        keys << list->valueAt(r, list->fieldIndex("IDPROCESSO")).toString() + "/" +
                    list->valueAt(r, list->fieldIndex("ANO")).toString();
    return keys;
}

bool enabled(TFrm_Processos* f, const char* name) {
    return f->control(QLatin1String(name))->isEnabled();
}

// A new process with every check satisfied, not yet saved.
void fillNewProcess(TFrm_Processos* f, const QString& subject) {
    click(f, "Botao_Incluir");
    typeAndLeave(f, "Campo6", "7");
    typeAndLeave(f, "Campo7", "3");
    typeAndLeave(f, "Campo8", subject);
}

QAction* tramitarAction(TFrm_Processos* f) {
    return f->popupMenu()->findChild<QAction*>(QStringLiteral("Tramitar"));
}

bool numberDrawnInvisible(TFrm_Processos* f) {
    const QPalette pal = edit(f, "DFDF")->palette();
    return pal.color(QPalette::Text) == pal.color(QPalette::Base);
}

} // namespace

class TestProcessos : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void exerciseFollowsTheClock_data();
    void exerciseFollowsTheClock();
    void closeBoxActsAsFechar_data();
    void closeBoxActsAsFechar();
    void openingShowsTheUnroutedProcessesOfTheYear();
    void sameRowsAsTheNotInForm();
    void yearList_data();
    void yearList();
    void layoutAndFocusOrder();
    void memosKeepEnter();
    void newProcessDefaults();
    void stateTable_data();
    void stateTable();
    void codesPaddedWithTheirNames_data();
    void codesPaddedWithTheirNames();
    void applicantFillsTheHolderOnlyWhileEntering();
    void lookupAndRegisterButtons();
    void checksOnSavingInOrder();
    void savingDrawsTheNumber_data();
    void savingDrawsTheNumber();
    void fullDayMonthRefusesTheSave();
    void cancellingAnEntry();
    void alteringKeepsNumberAndDate();
    void alteringARoutedProcess_data();
    void alteringARoutedProcess();
    void doubleClickReadsOneProcess();
    void paddedProcessNumberSearch();
    void tramitarWithoutARoutingForm(); // before any test registers one
    void tramitarHandsOffAndReadsAgain_data();
    void tramitarHandsOffAndReadsAgain();
    void tramitarRightAfterRegistering_data();
    void tramitarRightAfterRegistering();
    void twoWorkstationsRegisterAtOnce();
    void menuEntryOpensTheForm();
    void popupPrintsTheShownProcess_data();
    void popupPrintsTheShownProcess();
};

void TestProcessos::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    core::initialiseAppValues(0);
}

void TestProcessos::init() {
    logIn(kUser);
    core::appValues().profileNumber = 0;
    core::appValues().exerciseYear = QStringLiteral("2019");
}

void TestProcessos::cleanup() {
    core::setClock(QDateTime());
}

void TestProcessos::exerciseFollowsTheClock_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QStringList>("years");
    // Processes of 2018 and 2019 are stored.
    QTest::newRow("2019") << QDateTime(QDate(2019, 3, 4), QTime(9, 0))
                          << QStringList{"2019", "2018", "Selecionar tudo"};
    QTest::newRow("2026") << QDateTime(QDate(2026, 7, 15), QTime(15, 30))
                          << QStringList{"2026", "2025", "2024", "2023", "2022",
                                         "2021", "2020", "2019", "2018", "Selecionar tudo"};
    QTest::newRow("1 January") << QDateTime(QDate(2020, 1, 1), QTime(0, 0, 5))
                               << QStringList{"2020", "2019", "2018", "Selecionar tudo"};
}

void TestProcessos::exerciseFollowsTheClock() {
    // The form opens on the year of the workstation's date, and a process registered that day
    // is still there when the form is opened again.
    QFETCH(QDateTime, now);
    QFETCH(QStringList, years);
    core::setClock(now);
    core::initialiseAppValues(0);
    QCOMPARE(core::appValues().exerciseYear, QString::number(now.date().year()));
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2018", kUser, "A");
    insertProcess(db, "00000002", "2019", kUser, "B");
    {
        auto f = openForm();
        QStringList items;
        for (int i = 0; i < f->exerciciosBox()->count(); ++i)
            items << f->exerciciosBox()->itemText(i);
        QCOMPARE(items, years);
        fillNewProcess(f.get(), QStringLiteral("REGISTRADO HOJE"));
        QCOMPARE(f->records()->text("ANO"), years.first());
        QCOMPARE(f->records()->value("DATA").toDate(), now.date());
        click(f.get(), "Botao_Salvar");
        QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    }
    auto again = openForm();
    const QStringList keys = listKeys(again.get());
    QVERIFY2(std::any_of(keys.begin(), keys.end(),
                         [&](const QString& k) { return k.endsWith(QLatin1Char('/') + years.first()); }),
             qPrintable(keys.join(' ')));
}

void TestProcessos::closeBoxActsAsFechar_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Processos, browsing") << 0 << false << true;
    QTest::newRow("Pesquisa, browsing") << 1 << false << true;
    QTest::newRow("Processos, entering") << 0 << true << false;
    QTest::newRow("Pesquisa, entering") << 1 << true << false;
}

void TestProcessos::closeBoxActsAsFechar() {
    QFETCH(int, tab);
    QFETCH(bool, editing);
    QFETCH(bool, closes);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    if (editing) click(f.get(), "Botao_Incluir");
    child<QTabWidget>(f.get(), "PageControl1")->setCurrentIndex(tab);
    if (!closes)
        dialogs.expectMessage(
            QStringLiteral("Conclua ou cancele a operação em andamento antes de fechar esta "
                           "janela."));
    f->close();
    if (closes)
        QTRY_VERIFY(!f->isVisible());
    else
        QVERIFY(f->isVisible());
    VERIFY_DIALOGS(dialogs);
}

void TestProcessos::openingShowsTheUnroutedProcessesOfTheYear() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2019", kUser, "CERTIDÃO NEGATIVA");
    insertProcess(db, "00000002", "2019", kUser, "JÁ TRAMITADO");
    insertProcess(db, "00000003", "2019", kOther, "DE OUTRO USUÁRIO");
    insertProcess(db, "00000004", "2019", kUser, "ALVARÁ DE FUNCIONAMENTO");
    insertProcess(db, "00000001", "2018", kUser, "DO ANO ANTERIOR");
    insertMovement(db, "00000001", "00000002", "2019");
    // A movement of the same number in another year routes that year's process only.
    insertMovement(db, "00000002", "00000004", "2017");
    ScriptedDialogs dialogs;
    auto f = openForm();
    QCOMPARE(f->objectName(), QStringLiteral("Frm_Processos"));
    QCOMPARE(f->pages()->currentIndex(), 0);
    QCOMPARE(f->pages()->tabText(0), QStringLiteral("Processos"));
    QCOMPARE(f->pages()->tabText(1), QStringLiteral("Pesquisa"));
    // The record part is read without a process number: empty.
    QCOMPARE(f->records()->rowCount(), 0);
    QCOMPARE(listKeys(f.get()), (QStringList{"00000001/2019", "00000004/2019"}));
    QCOMPARE(f->list()->currentRow(), 1);
    QCOMPARE(f->windowTitle(), QStringLiteral("Processos"));
    QCOMPARE(QApplication::focusWidget(), f->control("Botao_Incluir"));
    // The list holds no texts of the process: only what the grid shows.
    QCOMPARE(f->list()->fieldIndex("PROCESSO"), -1);
    QCOMPARE(f->list()->fieldIndex("DOCUMENTOS_ANEXADOS"), -1);
    VERIFY_DIALOGS(dialogs);
}

// The list is written with NOT EXISTS on the key columns so that the movement index serves it;
// it must give exactly the rows of the concatenated NOT IN form, which reads every movement.
void TestProcessos::sameRowsAsTheNotInForm() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    for (const char* year : {"2018", "2019"})
        for (const char* n : {"00000001", "00000002", "00000010", "01040001"})
            insertProcess(db, n, year, kUser, "X");
    insertProcess(db, "00000003", "2019", kOther, "X");
    insertMovement(db, "00000001", "00000001", "2019");
    insertMovement(db, "00000002", "00000001", "2019"); // routed twice
    insertMovement(db, "00000003", "00000010", "2018");
    insertMovement(db, "00000004", "00000003", "2019"); // another user's process
    insertMovement(db, "00000005", "01040001", "2017"); // a year without that process
    QVERIFY(db.insert("TRAMITACAO", {{"REGISTRO", "00000006"}, {"IDPROCESSO", "00000002"}})); // no year
    QVERIFY(db.insert("TRAMITACAO", {{"REGISTRO", "00000007"}, {"ANO", "2019"}}));            // no number
    const QString notIn = processes::processosListQuery().replace(
        "NOT EXISTS (SELECT 1 FROM TRAMITACAO T WHERE T.IDPROCESSO = A.IDPROCESSO AND T.ANO = A.ANO)",
        "A.IDPROCESSO||A.ANO NOT IN (SELECT COALESCE(IDPROCESSO||ANO,'000000000000') FROM TRAMITACAO)");
    QVERIFY(notIn != processes::processosListQuery());
    for (const QString year : {"0000", "2018", "2019"}) {
        QList<QStringList> results;
        for (const QString& sql : {processes::processosListQuery(), notIn}) {
            RecordSet rows;
            rows.setQuery(sql);
            rows.setParameter("UM", kUser);
            rows.setParameter("P_ANO", year);
            QVERIFY2(rows.open(), qPrintable(rows.lastError()));
            QStringList keys;
            for (int r = 0; r < rows.rowCount(); ++r)
                keys << rows.valueAt(r, 0).toString() + "/" + rows.valueAt(r, 1).toString();
            keys.sort(); // ordered by number only: the years of one number come in any order
            results << keys;
        }
        QCOMPARE(results.at(0), results.at(1));
        if (year == "0000")
            QCOMPARE(results.at(0), (QStringList{"00000001/2018", "00000002/2018", "00000002/2019",
                                                 "00000010/2019", "01040001/2018", "01040001/2019"}));
    }
}

void TestProcessos::yearList_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("2018") << "2018" << QStringList{"00000001/2018"};
    QTest::newRow("the exercise year") << "2019" << QStringList{"00000001/2019", "00000005/2019"};
    QTest::newRow("Selecionar tudo") << "Selecionar tudo"
                                     << QStringList{"00000001/2018", "00000001/2019", "00000005/2019"};
}

void TestProcessos::yearList() {
    QFETCH(QString, chosen);
    QFETCH(QStringList, keys);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2019", kUser, "A");
    insertProcess(db, "00000005", "2019", kUser, "B");
    insertProcess(db, "00000001", "2018", kUser, "C");
    insertProcess(db, "00000002", "2018", kOther, "D");
    auto f = openForm();
    QComboBox* years = f->exerciciosBox();
    QCOMPARE(years, child<QComboBox>(f.get(), "Exercicios"));
    QStringList items;
    for (int i = 0; i < years->count(); ++i)
        items << years->itemText(i);
    // From the exercise year down to the earliest year that has processes.
    QCOMPARE(items, (QStringList{"2019", "2018", "Selecionar tudo"}));
    QCOMPARE(years->currentText(), QStringLiteral("2019"));
    years->setCurrentIndex(years->findText(chosen));
    QCOMPARE(listKeys(f.get()), keys);
    // The cursor starts on the last (highest) number.
    QCOMPARE(f->list()->currentRow(), int(keys.size()) - 1);
}

void TestProcessos::layoutAndFocusOrder() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    auto f = openForm();
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Processo", "Ano", "Data", "Hora", "Assunto", "RG", "CPF", "Tipo Processo",
                                  "Cód.Usuário", "Comprovante Residência", "Carteira Profissional", "Titular",
                                  "Requerente", "Tipo Processo", "Usuário"}));
    const QList<std::pair<const char*, const char*>> buttons{{"SpeedButton1", "&1"}, {"SpeedButton2", "&2"},
                                                             {"SpeedButton3", "&3"}, {"SpeedButton4", "&4"},
                                                             {"SpeedButton5", "&5"}, {"SpeedButton6", "&6"}};
    for (int i = 0; i < buttons.size(); ++i) {
        auto* b = child<QToolButton>(f.get(), buttons.at(i).first);
        QCOMPARE(b->text(), QString::fromUtf8(buttons.at(i).second));
        QCOMPARE(b->toolTip(), i % 2 == 0 ? QStringLiteral("Pesquisa") : QStringLiteral("Cadastra"));
    }
    const QList<std::pair<const char*, const char*>> checks{{"DBCheckBox1", "Cópia RG"},
                                                            {"DBCheckBox2", "Cópia CPF"},
                                                            {"DBCheckBox3", "Cópia Comp. de Residência"},
                                                            {"DBCheckBox4", "Cópia Carteira Profissional"}};
    for (const auto& [name, caption] : checks)
        QCOMPARE(child<QCheckBox>(f.get(), name)->text(), QString::fromUtf8(caption));
    QCOMPARE(child<QLabel>(f.get(), "LDFDF")->text(), QStringLiteral("Processo"));
    QCOMPARE(child<QLabel>(f.get(), "LRequerente")->text(), QStringLiteral("Requerente / Procurador"));
    QCOMPARE(child<QLabel>(f.get(), "LTitular")->text(), QStringLiteral("Titular / Órgão"));
    QCOMPARE(child<QLabel>(f.get(), "LCampo9")->text(), QStringLiteral("Instrução do Processo"));
    QCOMPARE(child<QLabel>(f.get(), "LDBEdit7")->text(), QStringLiteral("Digitador por :"));
    QVERIFY(!child<QPushButton>(f.get(), "Botao_Excluir")->isVisible());
    // Entering: the code boxes, subject, instruction, the copies, the buttons, the other documents.
    click(f.get(), "Botao_Incluir");
    QStringList order;
    QWidget* w = f->control("Campo6");
    for (int i = 0; i < 15; ++i) {
        order << w->objectName();
        w = nextTabStop(w);
    }
    QCOMPARE(order.mid(0, 15),
             (QStringList{"Campo6", "Campo5", "Campo7", "Campo8", "Campo9", "DBCheckBox1", "DBCheckBox2",
                          "DBCheckBox3", "DBCheckBox4", "Botao_Salvar", "Botao_Incluir", "Botao_Alterar",
                          "Botao_Cancelar", "Botao_Fechar", "Campo10"}));
    // The boxes that never take the focus.
    for (const char* name :
         {"DFDF", "Campo2", "Campo3", "Campo4", "DBEdit3", "CampoE1", "DBEdit6", "DBEdit7", "DBEdit8"}) {
        QVERIFY2(edit(f.get(), name)->isReadOnly(), name);
        QCOMPARE(edit(f.get(), name)->focusPolicy(), Qt::NoFocus);
        QCOMPARE(edit(f.get(), name)->palette().color(QPalette::Base), forms::silverColour());
    }
    QCOMPARE(edit(f.get(), "Campo3")->inputMask(), QStringLiteral("##/##/####;_"));
    QCOMPARE(edit(f.get(), "Campo4")->inputMask(), QStringLiteral("##:##:##;_"));
}

void TestProcessos::memosKeepEnter() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    edit(f.get(), "Campo8")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    auto* instrucao = child<QPlainTextEdit>(f.get(), "Campo9");
    QCOMPARE(QApplication::focusWidget(), instrucao);
    QTest::keyClicks(instrucao, "Pedido de certidao");
    QTest::keyClick(instrucao, Qt::Key_Return);
    QTest::keyClicks(instrucao, "segunda linha");
    QCOMPARE(QApplication::focusWidget(), instrucao);
    QCOMPARE(instrucao->toPlainText(), QStringLiteral("Pedido de certidao\nsegunda linha"));
    auto* outros = child<QPlainTextEdit>(f.get(), "Campo10");
    outros->setFocus();
    QTest::keyClick(outros, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), outros);
    // Leaving the memo, Enter moves on again.
    child<QCheckBox>(f.get(), "DBCheckBox1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), f->control("DBCheckBox2"));
}

void TestProcessos::newProcessDefaults() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    auto f = openForm();
    const QTime before = QTime::currentTime().addSecs(-1);
    click(f.get(), "Botao_Incluir");
    RecordSet* r = f->records();
    QCOMPARE(r->state(), RecordSet::State::Insert);
    QCOMPARE(r->text("ANO"), QDate::currentDate().toString("yyyy"));
    QCOMPARE(r->value("DATA").toDate(), QDate::currentDate());
    QVERIFY(r->value("HORA").toTime() >= before && r->value("HORA").toTime() <= QTime::currentTime());
    for (const char* copy : {"RG", "CPF", "COMPROVANTE_RESIDENCIA", "CARTEIRA_PROFISSIONAL"})
        QCOMPARE(r->text(copy), QStringLiteral("N"));
    QCOMPARE(r->text("COD_USUARIO"), kUser);
    QCOMPARE(edit(f.get(), "DBEdit8")->text(), QStringLiteral("CARLA MENDES"));
    // The placeholder satisfies the required number but is not shown.
    QCOMPARE(edit(f.get(), "DFDF")->text(), QStringLiteral("77777777"));
    QVERIFY(numberDrawnInvisible(f.get()));
    QCOMPARE(QApplication::focusWidget(), f->control("Campo6"));
    for (const char* name : {"Campo6", "Campo5", "Campo7", "Campo8"})
        QVERIFY2(forms::looksEditable(f->control(name)), name);
    QVERIFY(forms::looksEditable(f->control("Campo9")));
    QVERIFY(forms::looksEditable(f->control("Campo10")));
    QVERIFY(child<QCheckBox>(f.get(), "DBCheckBox1")->isEnabled());
    QVERIFY(!child<QCheckBox>(f.get(), "DBCheckBox1")->isChecked());
}

void TestProcessos::stateTable_data() {
    QTest::addColumn<QString>("protocolist");
    QTest::addColumn<QString>("step"); // "empty", "shown", "another typist", "entering", "altering"
    QTest::addColumn<QString>("enabledButtons");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("listEnabled");
    QTest::addColumn<bool>("editable");
    QTest::newRow("protocolist, nothing shown") << "SIM"
                                                << "empty"
                                                << "Incluir Fechar"
                                                << "Processos" << true << false;
    QTest::newRow("not protocolist, nothing shown") << "NAO"
                                                    << "empty"
                                                    << "Fechar"
                                                    << "Processos" << true << false;
    QTest::newRow("protocolist, own process") << "SIM"
                                              << "shown"
                                              << "Incluir Alterar Fechar"
                                              << "Processos" << true << false;
    QTest::newRow("not protocolist, own process") << "NAO"
                                                  << "shown"
                                                  << "Alterar Fechar"
                                                  << "Processos" << true << false;
    QTest::newRow("another user's process") << "SIM"
                                            << "another typist"
                                            << "Incluir Fechar"
                                            << "Processos" << true << false;
    QTest::newRow("entering") << "SIM"
                              << "entering"
                              << "Salvar Cancelar"
                              << "Processos - Incluindo" << false << true;
    QTest::newRow("altering") << "SIM"
                              << "altering"
                              << "Salvar Cancelar"
                              << "Processos - Alterando" << false << true;
}

void TestProcessos::stateTable() {
    QFETCH(QString, protocolist);
    QFETCH(QString, step);
    QFETCH(QString, enabledButtons);
    QFETCH(QString, title);
    QFETCH(bool, listEnabled);
    QFETCH(bool, editable);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2019", kUser, "CERTIDÃO");
    logIn(kUser, protocolist);
    auto f = openForm();
    if (step != "empty") dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 0);
    if (step == "another typist") {
        // The process carries the code of whoever typed it; only that user may alter it.
        logIn(kOther, protocolist);
        f->refreshState();
    }
    if (step == "entering") click(f.get(), "Botao_Incluir");
    if (step == "altering") click(f.get(), "Botao_Alterar");
    QStringList on;
    for (const char* b : {"Incluir", "Salvar", "Alterar", "Cancelar", "Fechar"})
        if (enabled(f.get(), qPrintable(QStringLiteral("Botao_") + b))) on << b;
    QCOMPARE(on.join(' '), enabledButtons);
    QVERIFY(!f->control("Botao_Excluir")->isVisible());
    QCOMPARE(f->windowTitle(), title);
    QCOMPARE(enabled(f.get(), "DBGrid1"), listEnabled);
    QCOMPARE(enabled(f.get(), "PROCURA"), listEnabled);
    QCOMPARE(enabled(f.get(), "Exercicios"), listEnabled);
    QCOMPARE(forms::looksEditable(f->control("PROCURA")), listEnabled);
    for (const char* name : {"Campo6", "Campo5", "Campo7", "Campo8", "Campo9", "Campo10"})
        QCOMPARE(forms::looksEditable(f->control(name)), editable);
    QCOMPARE(f->control("DBCheckBox3")->isEnabled(), editable);
    for (const char* name : {"DFDF", "Campo2", "Campo3", "Campo4"})
        QVERIFY(!forms::looksEditable(f->control(name)));
}

void TestProcessos::codesPaddedWithTheirNames_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("nameEdit");
    QTest::addColumn<QString>("name");
    QTest::newRow("applicant 12") << "Campo6"
                                  << "12"
                                  << "IDREQUERENTE"
                                  << "000012"
                                  << "DBEdit3"
                                  << "ASSOCIAÇÃO DE MORADORES";
    QTest::newRow("holder 8") << "Campo5"
                              << "8"
                              << "IDTITULAR"
                              << "000008"
                              << "CampoE1"
                              << "MARIA SOUZA";
    QTest::newRow("type 4") << "Campo7"
                            << "4"
                            << "IDTIPOPROCESSO"
                            << "0004"
                            << "DBEdit6"
                            << "ALVARÁ";
    QTest::newRow("applicant nobody has") << "Campo6"
                                          << "99"
                                          << "IDREQUERENTE"
                                          << "000099"
                                          << "DBEdit3"
                                          << "";
    QTest::newRow("type emptied") << "Campo7"
                                  << ""
                                  << "IDTIPOPROCESSO"
                                  << "0000"
                                  << "DBEdit6"
                                  << "";
    QTest::newRow("a quote is only a value") << "Campo5"
                                             << "1'"
                                             << "IDTITULAR"
                                             << "00001'"
                                             << "CampoE1"
                                             << "";
}

void TestProcessos::codesPaddedWithTheirNames() {
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, field);
    QFETCH(QString, code);
    QFETCH(QString, nameEdit);
    QFETCH(QString, name);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo5", "7"); // a name is there before
    typeAndLeave(f.get(), "Campo7", "3");
    typeAndLeave(f.get(), qPrintable(edit), typed);
    QCOMPARE(f->records()->text(field), code);
    QCOMPARE(testsupport::edit(f.get(), qPrintable(edit))->text(), code);
    QCOMPARE(testsupport::edit(f.get(), qPrintable(nameEdit))->text(), name);
    VERIFY_DIALOGS(dialogs);
}

void TestProcessos::applicantFillsTheHolderOnlyWhileEntering() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2019", kUser, "SEM TITULAR", QString());
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    typeAndLeave(f.get(), "Campo6", "7");
    QCOMPARE(edit(f.get(), "Campo6")->text(), QStringLiteral("000007"));
    QCOMPARE(edit(f.get(), "DBEdit3")->text(), QStringLiteral("JOSÉ DA SILVA"));
    QCOMPARE(edit(f.get(), "Campo5")->text(), QStringLiteral("000007"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("JOSÉ DA SILVA"));
    // Once given, the holder stays when the applicant changes.
    typeAndLeave(f.get(), "Campo6", "8");
    QCOMPARE(edit(f.get(), "DBEdit3")->text(), QStringLiteral("MARIA SOUZA"));
    QCOMPARE(edit(f.get(), "Campo5")->text(), QStringLiteral("000007"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("JOSÉ DA SILVA"));
    click(f.get(), "Botao_Cancelar");
    // Altering a process stored without holder: the applicant does not fill it.
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 0);
    click(f.get(), "Botao_Alterar");
    QCOMPARE(QApplication::focusWidget(), f->control("Campo6"));
    typeAndLeave(f.get(), "Campo6", "12");
    QCOMPARE(edit(f.get(), "DBEdit3")->text(), QStringLiteral("ASSOCIAÇÃO DE MORADORES"));
    QCOMPARE(f->records()->text("IDTITULAR"), QString());
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QString());
}

void TestProcessos::lookupAndRegisterButtons() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    // A Cadastra button opens a register only for a clerk who may open it from the menu.
    {
        auto withoutRights = openForm();
        for (const char* button : {"SpeedButton2", "SpeedButton4", "SpeedButton6"})
            QVERIFY2(!child<QAbstractButton>(withoutRights.get(), button)->isEnabled(), button);
        withoutRights->close();
    }
    int grant = 0;
    for (const char* title : {"Requerentes/Titulares", "Tipos de Processos"})
        QVERIFY(db.insert("USUARIOS_ACESSOS", {{"ACESSO", QString::number(++grant)},
                                               {"COD_USUARIO", kUser},
                                               {"TITULO", QString::fromUtf8(title)}}));
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    bool opened = false;
    onModalDialog([&](QDialog* d) {
        opened = true;
        QCOMPARE(d->objectName(), QStringLiteral("Frm_PesqTipoProcesso"));
        dblClickRow(child<QTableView>(d, "DBGrid1"), 1);
    });
    click(f.get(), "SpeedButton5");
    QVERIFY(opened);
    QCOMPARE(edit(f.get(), "Campo7")->text(), QStringLiteral("0004"));
    QCOMPARE(edit(f.get(), "DBEdit6")->text(), QStringLiteral("ALVARÁ"));
    // The applicant picked is the holder as well.
    onModalDialog([&](QDialog* d) {
        QCOMPARE(d->objectName(), QStringLiteral("Frm_PesqTitularRequerente"));
        dblClickRow(child<QTableView>(d, "DBGrid1"), 2);
    });
    click(f.get(), "SpeedButton1");
    QCOMPARE(f->records()->text("IDREQUERENTE"), QStringLiteral("000012"));
    QCOMPARE(f->records()->text("TITULAR"), QStringLiteral("ASSOCIAÇÃO DE MORADORES"));
    // Cadastra opens the register in its browse state; nothing comes back into the process.
    QStringList registersOpened;
    for (const char* button : {"SpeedButton2", "SpeedButton6"}) {
        onModalDialog([&](QDialog* d) {
            registersOpened << d->objectName();
            auto* r = qobject_cast<forms::RegistryForm*>(d);
            QVERIFY(r);
            QCOMPARE(r->records()->state(), RecordSet::State::Browse);
        });
        click(f.get(), button);
    }
    QCOMPARE(registersOpened, (QStringList{"Frm_Interessados", "Frm_TiposProcessos"}));
    QCOMPARE(f->records()->text("IDTIPOPROCESSO"), QStringLiteral("0004"));
}

void TestProcessos::checksOnSavingInOrder() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    const auto saveStopsWith = [&](const QString& message, const char* focus) {
        dialogs.expectMessage(message);
        click(f.get(), "Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
        QCOMPARE(QApplication::focusWidget(), f->control(QLatin1String(focus)));
        QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    };
    saveStopsWith(kRequerente, "Campo6");
    // A code of nobody fails like an empty one.
    typeAndLeave(f.get(), "Campo6", "99");
    saveStopsWith(kRequerente, "Campo6");
    typeAndLeave(f.get(), "Campo6", "7");
    typeAndLeave(f.get(), "Campo5", "");
    saveStopsWith(kTitular, "Campo5");
    typeAndLeave(f.get(), "Campo5", "8");
    saveStopsWith(kTipo, "Campo7");
    typeAndLeave(f.get(), "Campo7", "3");
    saveStopsWith(kAssunto, "Campo8");
    QCOMPARE(f->records()->text("IDREQUERENTE"), QStringLiteral("000007"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), 0);
    typeAndLeave(f.get(), "Campo8", "certidão de tempo de serviço");
    click(f.get(), "Botao_Salvar");
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(db.scalar("SELECT ASSUNTO FROM PROCESSOS").toString(),
             QStringLiteral("CERTIDÃO DE TEMPO DE SERVIÇO"));
    VERIFY_DIALOGS(dialogs);
}

void TestProcessos::savingDrawsTheNumber_data() {
    QTest::addColumn<int>("profile");
    QTest::addColumn<QStringList>("stored"); // "IDPROCESSO/ANO", typed by another user
    QTest::addColumn<QString>("expected");   // "MMDD" stands for today's month and day
    const QString year = QDate::currentDate().toString("yyyy");
    const QString lastYear = QString::number(QDate::currentDate().year() - 1);
    QTest::newRow("year sequence, first of the year")
        << 1 << QStringList{"00000009/" + lastYear} << "00000001";
    QTest::newRow("year sequence, after 00000041")
        << 1 << QStringList{"00000041/" + year, "00000050/" + lastYear} << "00000042";
    QTest::newRow("month-day, first of the day") << 0 << QStringList{"00000041/" + year} << "MMDD0001";
    QTest::newRow("month-day, continuing from an earlier year")
        << 4 << QStringList{"MMDD0005/" + lastYear} << "MMDD0006";
}

void TestProcessos::savingDrawsTheNumber() {
    QFETCH(int, profile);
    QFETCH(QStringList, stored);
    QFETCH(QString, expected);
    const QString monthDay = QDate::currentDate().toString("MMdd");
    expected.replace("MMDD", monthDay);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    for (QString key : stored) {
        key.replace("MMDD", monthDay);
        insertProcess(db, key.section('/', 0, 0), key.section('/', 1, 1), kOther, "OUTRO");
    }
    core::appValues().profileNumber = profile;
    core::appValues().exerciseYear = QDate::currentDate().toString("yyyy");
    ScriptedDialogs dialogs;
    auto f = openForm();
    const int listed = f->list()->rowCount();
    fillNewProcess(f.get(), "certidão negativa");
    // No code while the number is not drawn yet.
    QCOMPARE(edit(f.get(), "CodigoConsulta")->text(), QString());
    auto* instrucao = child<QPlainTextEdit>(f.get(), "Campo9");
    instrucao->setFocus();
    QTest::keyClicks(instrucao, "Pedido feito em Maceio");
    QTest::keyClick(instrucao, Qt::Key_Return);
    QTest::keyClicks(instrucao, "com 'aspas'");
    QTest::mouseClick(child<QCheckBox>(f.get(), "DBCheckBox1"), Qt::LeftButton);
    QTest::mouseClick(child<QCheckBox>(f.get(), "DBCheckBox4"), Qt::LeftButton);
    child<QPlainTextEdit>(f.get(), "Campo10")->setPlainText("Procuração");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(edit(f.get(), "DFDF")->text(), expected);
    QCOMPARE(edit(f.get(), "CodigoConsulta")->text(),
             core::consulta::verificationCode(core::consulta::readSecret(db.connection()), expected,
                                              QDate::currentDate().toString("yyyy")));
    QVERIFY(!numberDrawnInvisible(f.get()));
    QCOMPARE(QApplication::focusWidget(), f->control("Botao_Incluir"));
    QVERIFY(enabled(f.get(), "Botao_Alterar"));
    // Exactly one process row, and no movement.
    const QString year = QDate::currentDate().toString("yyyy");
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), int(stored.size()) + 1);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 0);
    const QList<QVariantList> rows =
        db.rows("SELECT ASSUNTO, PROCESSO, RG, CPF, COMPROVANTE_RESIDENCIA, CARTEIRA_PROFISSIONAL, "
                "DOCUMENTOS_ANEXADOS, COD_USUARIO, IDREQUERENTE, IDTITULAR, IDTIPOPROCESSO, DATA "
                "FROM PROCESSOS WHERE IDPROCESSO = ? AND ANO = ?",
                {expected, year});
    QCOMPARE(rows.size(), 1);
    const QVariantList& r = rows.first();
    QCOMPARE(r.at(0).toString(), QStringLiteral("CERTIDÃO NEGATIVA"));
    QCOMPARE(r.at(1).toString(), QStringLiteral("Pedido feito em Maceio\ncom 'aspas'"));
    QCOMPARE((QStringList{r.at(2).toString(), r.at(3).toString(), r.at(4).toString(), r.at(5).toString()}),
             (QStringList{"X", "N", "N", "X"}));
    QCOMPARE(r.at(6).toString(), QStringLiteral("Procuração"));
    QCOMPARE(r.at(7).toString(), kUser);
    QCOMPARE((QStringList{r.at(8).toString(), r.at(9).toString(), r.at(10).toString()}),
             (QStringList{"000007", "000007", "0003"}));
    QCOMPARE(r.at(11).toDate(), QDate::currentDate());
    // Saving does not read the list again.
    QCOMPARE(f->list()->rowCount(), listed);
}

void TestProcessos::fullDayMonthRefusesTheSave() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    const QDate today = QDate::currentDate();
    insertProcess(db, today.toString("MMdd") + "9999", QString::number(today.year() - 3), kOther, "ANTIGO");
    ScriptedDialogs dialogs;
    auto f = openForm();
    fillNewProcess(f.get(), "alvará");
    dialogs.expectMessage(
        QStringLiteral("Atenção,\rprocedimento cancelado, a numeração de processos do dia %1 está esgotada "
                       "(sequência 9999)!")
            .arg(today.toString("dd/MM")));
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    // Nothing written; the entry stays as typed, its number still not shown.
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), 1);
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QCOMPARE(f->records()->text("ASSUNTO"), QStringLiteral("ALVARÁ"));
    QVERIFY(numberDrawnInvisible(f.get()));
    click(f.get(), "Botao_Cancelar");
    QCOMPARE(f->records()->rowCount(), 0);
    QVERIFY(!numberDrawnInvisible(f.get()));
}

void TestProcessos::cancellingAnEntry() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2019", kUser, "CERTIDÃO");
    auto f = openForm();
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 0);
    fillNewProcess(f.get(), "outro");
    click(f.get(), "Botao_Cancelar");
    // The process shown before comes back, in black, and nothing was written.
    QCOMPARE(f->records()->rowCount(), 1);
    QCOMPARE(edit(f.get(), "DFDF")->text(), QStringLiteral("00000001"));
    QVERIFY(!numberDrawnInvisible(f.get()));
    QCOMPARE(f->windowTitle(), QStringLiteral("Processos"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), 1);
}

void TestProcessos::alteringKeepsNumberAndDate() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2019", kUser, "CERTIDÃO");
    insertProcess(db, "00000001", "2018", kUser, "MESMO NÚMERO, OUTRO ANO");
    ScriptedDialogs dialogs;
    auto f = openForm();
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 0);
    click(f.get(), "Botao_Alterar");
    QCOMPARE(QApplication::focusWidget(), f->control("Campo6"));
    typeAndLeave(f.get(), "Campo8", "certidão de débitos");
    typeAndLeave(f.get(), "Campo7", "4");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    const QList<QVariantList> rows =
        db.rows("SELECT IDPROCESSO, ANO, ASSUNTO, IDTIPOPROCESSO, DATA FROM PROCESSOS ORDER BY ANO");
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).at(2).toString(), QStringLiteral("MESMO NÚMERO, OUTRO ANO"));
    QCOMPARE(rows.at(1).at(0).toString(), QStringLiteral("00000001"));
    QCOMPARE(rows.at(1).at(2).toString(), QStringLiteral("CERTIDÃO DE DÉBITOS"));
    QCOMPARE(rows.at(1).at(3).toString(), QStringLiteral("0004"));
    QCOMPARE(rows.at(1).at(4).toDate(), QDate(2019, 3, 5));
}

void TestProcessos::alteringARoutedProcess_data() {
    // When another desk sends the process: before "&Alterar", while it is being altered, or
    // holding the process row (sending not committed yet) as "&Salvar" is pressed, after which
    // the sending commits or is undone.
    QTest::addColumn<QString>("sending");
    QTest::addColumn<bool>("refused");
    QTest::newRow("sent before Alterar") << "before edit" << true;
    QTest::newRow("sent while altering") << "while editing" << true;
    QTest::newRow("sending holds the row, then commits") << "holds, commits" << true;
    QTest::newRow("sending holds the row, then is undone") << "holds, undone" << false;
}

void TestProcessos::alteringARoutedProcess() {
    QFETCH(QString, sending);
    QFETCH(bool, refused);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000007", "2019", kUser, "CERTIDÃO");
    insertProcess(db, "00000007", "2018", kUser, "MESMO NÚMERO, OUTRO ANO");
    const QString path = db.path();
    ScriptedDialogs dialogs;
    auto f = openForm();
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 0);
    QCOMPARE(edit(f.get(), "DFDF")->text(), QStringLiteral("00000007"));

    if (sending == "before edit") {
        insertMovement(db, "00000001", "00000007", "2019");
        dialogs.expectMessage(TFrm_Processos::routedMessage());
        click(f.get(), "Botao_Alterar");
        VERIFY_DIALOGS(dialogs);
    } else {
        click(f.get(), "Botao_Alterar");
        typeAndLeave(f.get(), "Campo8", "assunto trocado");
        // The sending as the routing writes it: the process row locked, then the movement.
        QSemaphore rowHeld;
        QString deskError;
        std::unique_ptr<QThread> desk(QThread::create([&] {
            {
                QString error;
                QSqlDatabase other =
                    core::openNamedConnection(QStringLiteral("mesa_tramitacao"), path, &error);
                bool ok = other.isOpen() && other.transaction();
                QSqlQuery q(other);
                ok =
                    ok && q.prepare(QStringLiteral(
                              "SELECT IDPROCESSO FROM PROCESSOS WHERE IDPROCESSO = ? AND ANO = ? WITH LOCK"));
                q.addBindValue(QStringLiteral("00000007"));
                q.addBindValue(QStringLiteral("2019"));
                ok = ok && q.exec() && q.next();
                q.finish();
                QSqlQuery insert(other);
                ok = ok &&
                     insert.exec(QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO) VALUES "
                                                "('00000001', '00000007', '2019')"));
                if (!ok) deskError = q.lastError().text() + insert.lastError().text() + error;
                rowHeld.release();
                if (sending != "while editing") QThread::msleep(1500);
                if (sending == "holds, undone")
                    other.rollback();
                else
                    other.commit();
                other.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("mesa_tramitacao"));
        }));
        desk->start();
        rowHeld.acquire();
        QVERIFY2(deskError.isEmpty(), qPrintable(deskError));
        if (sending == "while editing") QVERIFY(desk->wait(30000));
        if (refused) dialogs.expectMessage(TFrm_Processos::routedMessage());
        QElapsedTimer held;
        held.start();
        click(f.get(), "Botao_Salvar");
        QVERIFY(desk->wait(30000));
        VERIFY_DIALOGS(dialogs);
        // The save waited for the sending to end instead of passing beside it.
        if (sending != "while editing")
            QVERIFY2(held.elapsed() >= 1000, qPrintable(QString::number(held.elapsed())));
    }

    const QString stored =
        db.scalar("SELECT ASSUNTO FROM PROCESSOS WHERE IDPROCESSO = '00000007' AND ANO = '2019'").toString();
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    if (refused) {
        QCOMPARE(stored, QStringLiteral("CERTIDÃO"));
        // The routed process has left the form.
        QCOMPARE(f->records()->rowCount(), 0);
        QVERIFY(!enabled(f.get(), "Botao_Alterar"));
    } else {
        QCOMPARE(stored, QStringLiteral("ASSUNTO TROCADO"));
        QCOMPARE(edit(f.get(), "Campo8")->text(), QStringLiteral("ASSUNTO TROCADO"));
        // The form deletes nothing, even when its hidden button is pressed by other means.
        f->Botao_ExcluirClick();
        VERIFY_DIALOGS(dialogs);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), 2);
    }
    QCOMPARE(db.scalar("SELECT ASSUNTO FROM PROCESSOS WHERE ANO = '2018'").toString(),
             QStringLiteral("MESMO NÚMERO, OUTRO ANO"));
}

void TestProcessos::doubleClickReadsOneProcess() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    for (int i = 1; i <= 3; ++i)
        insertProcess(db, QStringLiteral("0000000%1").arg(i), "2019", kUser,
                      QStringLiteral("ASSUNTO %1").arg(i));
    ScriptedDialogs dialogs;
    auto f = openForm();
    f->pages()->setCurrentIndex(1);
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 1);
    QCOMPARE(f->pages()->currentIndex(), 0);
    QCOMPARE(f->records()->rowCount(), 1);
    QCOMPARE(edit(f.get(), "DFDF")->text(), QStringLiteral("00000002"));
    QCOMPARE(edit(f.get(), "Campo2")->text(), QStringLiteral("2019"));
    QCOMPARE(edit(f.get(), "Campo3")->text(), QStringLiteral("05/03/2019"));
    QCOMPARE(edit(f.get(), "Campo4")->text(), QStringLiteral("09:07:03"));
    QCOMPARE(edit(f.get(), "Campo8")->text(), QStringLiteral("ASSUNTO 2"));
    QCOMPARE(edit(f.get(), "DBEdit3")->text(), QStringLiteral("JOSÉ DA SILVA"));
    QCOMPARE(edit(f.get(), "CampoE1")->text(), QStringLiteral("MARIA SOUZA"));
    QCOMPARE(edit(f.get(), "DBEdit6")->text(), QStringLiteral("CERTIDÃO"));
    QCOMPARE(edit(f.get(), "DBEdit8")->text(), QStringLiteral("CARLA MENDES"));
    // The citizens' look-up code, for a clerk to read out on the phone.
    QCOMPARE(
        edit(f.get(), "CodigoConsulta")->text(),
        core::consulta::verificationCode(core::consulta::readSecret(db.connection()), "00000002", "2019"));
    QVERIFY(edit(f.get(), "CodigoConsulta")->isReadOnly());
    // To look at the window: PROTOCOLO_KEEP_PAPERS=/some/folder.
    if (qEnvironmentVariableIsSet("PROTOCOLO_KEEP_PAPERS"))
        f->grab().save(qEnvironmentVariable("PROTOCOLO_KEEP_PAPERS") + "/processos-codigo.png");
    QVERIFY(child<QCheckBox>(f.get(), "DBCheckBox1")->isChecked());
    QVERIFY(!child<QCheckBox>(f.get(), "DBCheckBox2")->isChecked());
    QVERIFY(child<QCheckBox>(f.get(), "DBCheckBox4")->isChecked());
    QVERIFY(enabled(f.get(), "Botao_Alterar"));
    VERIFY_DIALOGS(dialogs);
}

void TestProcessos::paddedProcessNumberSearch() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    for (const char* n : {"00000003", "00000015", "00000150", "01040002"})
        insertProcess(db, n, "2019", kUser, "X");
    ScriptedDialogs dialogs;
    auto f = openForm();
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    auto* procura = edit(f.get(), "PROCURA");
    grid->horizontalHeader()->sectionClicked(0);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe Processo"));
    QTest::keyClicks(procura, "15");
    QCOMPARE(grid->currentIndex().row(), 1);
    procura->clear();
    QTest::keyClicks(procura, "1040002");
    QCOMPARE(grid->currentIndex().row(), 3);
    // Other columns take the text as typed.
    grid->horizontalHeader()->sectionClicked(1);
    QTest::keyClicks(procura, "2019");
    QCOMPARE(grid->currentIndex().row(), 0);
    VERIFY_DIALOGS(dialogs);
}

void TestProcessos::tramitarWithoutARoutingForm() {
    QVERIFY(!core::menuCommands().contains(QStringLiteral("Tramitação")));
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000007", "2019", kUser, "CERTIDÃO");
    ScriptedDialogs dialogs;
    auto f = openForm();
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 0);
    dialogs.expectMessage(
        QStringLiteral("Atenção,\r\"Tramitação\" ainda não está disponível nesta versão do sistema."));
    tramitarAction(f.get())->trigger();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->rowCount(), 1);
    QCOMPARE(edit(f.get(), "DFDF")->text(), QStringLiteral("00000007"));
}

void TestProcessos::tramitarHandsOffAndReadsAgain_data() {
    QTest::addColumn<bool>("sent");
    QTest::newRow("the routing form sends it: gone") << true;
    QTest::newRow("the routing form is closed without sending: still here") << false;
}

void TestProcessos::tramitarHandsOffAndReadsAgain() {
    QFETCH(bool, sent);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000007", "2019", kUser, "CERTIDÃO");
    insertProcess(db, "00000007", "2018", kUser, "MESMO NÚMERO, OUTRO ANO");
    // Stands in for the routing form: what it is given and what it writes.
    core::RoutingHandOff seen;
    QWidget* parentSeen = nullptr;
    core::menuCommands().add(QStringLiteral("Tramitação"), [&](QWidget* parent, const QString&) {
        parentSeen = parent;
        seen = core::routingHandOff();
        if (sent) insertMovement(db, "00000001", seen.process, seen.year);
    });
    ScriptedDialogs dialogs;
    auto f = openForm();
    // Nothing to route while nothing is shown.
    QAction* tramitar = tramitarAction(f.get());
    QVERIFY(!tramitar->isEnabled());
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 0);
    QVERIFY(tramitar->isEnabled());
    click(f.get(), "Botao_Incluir");
    QVERIFY(!tramitar->isEnabled());
    click(f.get(), "Botao_Cancelar");
    tramitar->trigger();
    QCOMPARE(seen.process, QStringLiteral("00000007"));
    QCOMPARE(seen.year, QStringLiteral("2019"));
    QCOMPARE(seen.movement, QStringLiteral("00000000"));
    QCOMPARE(parentSeen, f.get());
    QCOMPARE(f->records()->rowCount(), sent ? 0 : 1);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(enabled(f.get(), "Botao_Alterar"), !sent);
    QCOMPARE(tramitar->isEnabled(), !sent);
    // The other year's process of the same number is not routed.
    f->exerciciosBox()->setCurrentIndex(f->exerciciosBox()->findText("Selecionar tudo"));
    QCOMPARE(listKeys(f.get()),
             sent ? QStringList{"00000007/2018"} : (QStringList{"00000007/2018", "00000007/2019"}));
    VERIFY_DIALOGS(dialogs);
}

void TestProcessos::tramitarRightAfterRegistering_data() {
    tramitarHandsOffAndReadsAgain_data();
}

// The usual road: a process is registered and sent on at once. A routing form closed without
// sending leaves the new process on screen, ready to be sent again.
void TestProcessos::tramitarRightAfterRegistering() {
    QFETCH(bool, sent);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    core::appValues().profileNumber = 1;
    core::RoutingHandOff seen;
    core::menuCommands().add(QStringLiteral("Tramitação"), [&](QWidget*, const QString&) {
        seen = core::routingHandOff();
        if (sent) insertMovement(db, "00000001", seen.process, seen.year);
    });
    ScriptedDialogs dialogs;
    auto f = openForm();
    fillNewProcess(f.get(), "certidão");
    click(f.get(), "Botao_Salvar");
    tramitarAction(f.get())->trigger();
    const QString year = QDate::currentDate().toString("yyyy");
    QCOMPARE(seen.process, QStringLiteral("00000001"));
    QCOMPARE(seen.year, year);
    QCOMPARE(f->records()->rowCount(), sent ? 0 : 1);
    if (!sent) QCOMPARE(edit(f.get(), "DFDF")->text(), QStringLiteral("00000001"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), 1);
    VERIFY_DIALOGS(dialogs);
}

void TestProcessos::twoWorkstationsRegisterAtOnce() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    QVERIFY(db.openSecondConnection(QStringLiteral("estacao2")).isOpen());
    ScriptedDialogs dialogs;
    auto first = openForm();
    auto second = std::make_unique<TFrm_Processos>(nullptr);
    second->setConnectionName(QStringLiteral("estacao2"));
    QVERIFY(second->prepare());
    second->show();
    fillNewProcess(first.get(), "primeira estação");
    fillNewProcess(second.get(), "segunda estação");
    // The second workstation draws its number; before it writes, the first one saves the same.
    bool raced = false;
    second->records()->addFieldChange(QStringLiteral("IDPROCESSO"), [&] {
        if (raced || second->records()->text("IDPROCESSO") == TFrm_Processos::placeholderNumber()) return;
        raced = true;
        first->Botao_SalvarClick();
    });
    // The number taken meanwhile is drawn again by the save itself: nothing to tell, nothing lost.
    second->Botao_SalvarClick();
    VERIFY_DIALOGS(dialogs);
    QVERIFY(raced);
    const QString number = first->records()->text("IDPROCESSO");
    QCOMPARE(first->records()->state(), RecordSet::State::Browse);
    QCOMPARE(second->records()->state(), RecordSet::State::Browse);
    const QString fresh = second->records()->text("IDPROCESSO");
    QCOMPARE(fresh,
             number.left(4) + QStringLiteral("%1").arg(number.mid(4).toInt() + 1, 4, 10, QLatin1Char('0')));
    QCOMPARE(db.rows("SELECT IDPROCESSO, ASSUNTO FROM PROCESSOS ORDER BY IDPROCESSO"),
             (QList<QVariantList>{{number, QStringLiteral("PRIMEIRA ESTAÇÃO")},
                                  {fresh, QStringLiteral("SEGUNDA ESTAÇÃO")}}));
    QCOMPARE(edit(second.get(), "DFDF")->text(), fresh);
}

void TestProcessos::menuEntryOpensTheForm() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000001", "2019", kUser, "CERTIDÃO");
    processes::registerMenuCommands();
    bool opened = false;
    onModalDialog([&](QDialog* d) {
        opened = true;
        QCOMPARE(d, processes::Frm_Processos.data());
        auto* f = qobject_cast<TFrm_Processos*>(d);
        QVERIFY(f);
        QCOMPARE(f->list()->rowCount(), 1);
        QCOMPARE(f->records()->rowCount(), 0);
        QVERIFY(d->isModal());
    });
    QVERIFY(core::menuCommands().open(QStringLiteral("Processos"), nullptr));
    QVERIFY(opened);
    QVERIFY(processes::Frm_Processos.isNull());
}

void TestProcessos::popupPrintsTheShownProcess_data() {
    QTest::addColumn<QString>("entry");
    QTest::newRow("receipt") << QStringLiteral("Protocolo");
    QTest::newRow("cover") << QStringLiteral("Capa de Processo");
}

void TestProcessos::popupPrintsTheShownProcess() {
    QFETCH(QString, entry);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRegisters(db);
    insertProcess(db, "00000007", "2019", kUser, "CERTIDÃO");
    insertProcess(db, "00000009", "2019", kUser, "ALVARÁ");
    testsupport::PaperRecorder papers;
    ScriptedDialogs dialogs;
    auto f = openForm();
    QStringList entries;
    for (QAction* a : f->popupMenu()->actions())
        entries << a->text();
    QCOMPARE(entries, (QStringList{"Protocolo", "Capa de Processo", "Tramitar"}));
    QAction* action = f->popupMenu()->actions().at(entries.indexOf(entry));
    auto choose = [&] {
        entry == QLatin1String("Protocolo") ? f->ProtocoloClick() : f->CapadeProcessoClick();
    };
    // Nothing shown: the entry is off, and the handler prints nothing either.
    QVERIFY(!action->isEnabled());
    choose();
    QVERIFY(papers.opened.isEmpty());
    dblClickRow(child<QTableView>(f.get(), "DBGrid1"), 1);
    QVERIFY(action->isEnabled());
    action->trigger();
    QCOMPARE(papers.opened, QStringList{entry + " 00000009/2019"});
    QCOMPARE(papers.parent, f.get());
    // A process being entered has no number of its own yet.
    fillNewProcess(f.get(), "certidão");
    QVERIFY(!action->isEnabled());
    choose();
    QCOMPARE(papers.opened.size(), 1);
    click(f.get(), "Botao_Cancelar");
    VERIFY_DIALOGS(dialogs);
}

QTEST_MAIN(TestProcessos)
#include "tst_processos.moc"
