// The routing form: opened from the process form (nothing shown) and from the pending list (the
// pending movement shown), the sending with its checks, the unit and user choice, a save another
// workstation beat, the state table.
#include "core/activity.h"
#include "core/handoff.h"
#include "core/menucommands.h"
#include "core/routing.h"
#include "core/session.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/gridmodel.h"
#include "forms/common/lookupdialog.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/processes/processes.h"
#include "forms/processes/tramitacao.h"
#include "tests/processes/routingfixture.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/paperrecorder.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"
#include "tests/support/typing.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <memory>

using processes::TFrm_Tramitacao;
using testsupport::addMovement;
using testsupport::child;
using testsupport::MovementRow;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::withStamps;

namespace {

QString text(QWidget* w, const char* name) {
    if (auto* e = w->findChild<QLineEdit*>(QString::fromLatin1(name))) return e->text();
    if (auto* p = w->findChild<QPlainTextEdit*>(QString::fromLatin1(name))) return p->toPlainText();
    QTest::qFail(qPrintable(QStringLiteral("Sem componente %1").arg(QLatin1String(name))), __FILE__,
                 __LINE__);
    return {};
}

bool enabled(QWidget* w, const char* name) {
    return child<QWidget>(w, QString::fromLatin1(name))->isEnabled();
}

// Picks the row whose first column holds `code` in the next lookup dialog.
void pickInNextLookup(const QString& code, int* rowsShown = nullptr) {
    testsupport::onModalDialog([code, rowsShown](QDialog* w) {
        auto* lookup = qobject_cast<forms::LookupDialog*>(w);
        QVERIFY(lookup);
        forms::RecordSet* rows = lookup->records();
        if (rowsShown) *rowsShown = rows->rowCount();
        for (int r = 0; r < rows->rowCount(); ++r) {
            if (rows->valueAt(r, 0).toString() != code) continue;
            testsupport::dblClickRow(child<QTableView>(w, "DBGrid1"), r);
            return;
        }
        lookup->Botao_FecharClick();
    });
}

// The process search opened by "&1" as a picker: the year chosen, the process double-clicked
// (closed without a pick when the year does not list it).
void pickInNextProcessSearch(const QString& year, const QString& number, int* rowsShown = nullptr) {
    testsupport::onModalDialog([year, number, rowsShown](QDialog* w) {
        auto* search = qobject_cast<processes::TFrm_PesqProcesso*>(w);
        QVERIFY(search);
        QComboBox* years = search->exercicios();
        const int i = years->findText(year);
        QVERIFY(i >= 0);
        years->setCurrentIndex(i);
        emit years->activated(i);
        QTRY_VERIFY(search->records()->isComplete());
        const forms::WindowedSource* rows = search->records();
        if (rowsShown) *rowsShown = rows->rowCount();
        const int field = rows->fieldIndex(QStringLiteral("IDPROCESSO"));
        for (int r = 0; r < rows->rowCount(); ++r) {
            if (rows->valueAt(r, field).toString() != number) continue;
            testsupport::dblClickRow(search->grid(), r);
            return;
        }
        search->Botao_FecharClick();
    });
}

// The form shown on the screen and active, as the opener leaves it.
struct RoutingForm {
    std::unique_ptr<TFrm_Tramitacao> owned;
    TFrm_Tramitacao* form = nullptr;

    explicit RoutingForm(const QString& movement = QStringLiteral("00000000")) {
        owned = std::make_unique<TFrm_Tramitacao>(nullptr);
        form = owned.get();
        QString error;
        QVERIFY2(form->reload(movement, &error), qPrintable(error));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }
    void click(const char* name) const { testsupport::click(form, name); }
    // The unit typed and the box left.
    void unit(const QString& code) const {
        testsupport::typeInto(form, "Campo4", code);
        testsupport::leave(testsupport::edit(form, "Campo4"));
    }
    void user(const QString& code) const {
        pickInNextLookup(code);
        click("SpeedButton4");
    }
};

void handOff(const QString& process, const QString& year,
             const QString& movement = QStringLiteral("00000000")) {
    core::RoutingHandOff& h = core::routingHandOff();
    h.process = process;
    h.year = year;
    h.movement = movement;
}

} // namespace

class TestTramitacao : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openedFromTheProcessForm();
    void openedFromThePendingList();
    void startingFromAnArchivedMovement_data();
    void startingFromAnArchivedMovement();
    void stateTable();
    void sendChecks_data();
    void sendChecks();
    void anotherUnitClearsTheUser();
    void userLookupListsTheUsersOfTheUnit();
    void processPicker();
    void popupPrintsTheMovementShown_data();
    void popupPrintsTheMovementShown();
    void numberTakenMeanwhileIsDrawnAgain();
    void pickedProcessHeldByAnotherUser();
    void sentFromAnotherDeskMeanwhile();
    void unstorableDispatchToldOnce();
    void cancelShowsTheMovementAgain();
    void listTab();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestTramitacao::initTestCase() {
    processes::registerMenuCommands();
}

void TestTramitacao::init() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addRoutingOffice(*m_db);
    core::currentUser() = {QStringLiteral("00000001"), QStringLiteral("ADMINISTRADOR"), QString(),
                           QStringLiteral("SIM")};
}

void TestTramitacao::cleanup() {
    QVERIFY(processes::Frm_Tramitacao.isNull());
    m_db.reset();
}

void TestTramitacao::openedFromTheProcessForm() {
    ScriptedDialogs dialogs;
    bool acted = false;
    testsupport::onModalDialog([&](QDialog* w) {
        acted = true;
        QCOMPARE(w->objectName(), QStringLiteral("Frm_Tramitacao"));
        QCOMPARE(static_cast<QWidget*>(w), static_cast<QWidget*>(processes::Frm_Tramitacao.data()));
        QCOMPARE(w->size(), QSize(1234, 480));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tramitação"));
        // Nothing shown; "&Incluir" at once.
        QCOMPARE(text(w, "Campo1"), QString());
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTRY_VERIFY(child<QPushButton>(w, "Botao_Incluir")->hasFocus());
        testsupport::click(w, "Botao_Incluir");
        QCOMPARE(w->windowTitle(), QStringLiteral("Tramitação - Incluindo"));
        QCOMPARE(text(w, "Campo1"), QStringLiteral("00000001"));
        QCOMPARE(text(w, "Campo2"), QStringLiteral("00000001"));
        QCOMPARE(text(w, "CAMPO6"), QStringLiteral("2019"));
        QCOMPARE(text(w, "DBEdit1"), QStringLiteral("PEDIDO DE ALVARÁ"));
        QCOMPARE(text(w, "DBedit333"), QStringLiteral("Requer alvará de funcionamento."));
        QCOMPARE(text(w, "DBEdit9"), QStringLiteral("00000001"));
        QCOMPARE(text(w, "DBEdit10"), QStringLiteral("ADMINISTRADOR"));
        QVERIFY(child<QLineEdit>(w, "Campo1")->hasFocus());
        // The dispatch keeps its case and its line breaks.
        auto* despacho = child<QPlainTextEdit>(w, "Campo3");
        despacho->setFocus();
        testsupport::typeText(despacho, QStringLiteral("Ao Setor de Obras:"));
        QTest::keyClick(despacho, Qt::Key_Return);
        testsupport::typeText(despacho, QStringLiteral("analisar o pedido d'água."));
        testsupport::typeInto(w, "Campo4", QStringLiteral("3"));
        testsupport::leave(testsupport::edit(w, "Campo4"));
        QCOMPARE(text(w, "Campo4"), QStringLiteral("0003"));
        QCOMPARE(text(w, "DBEdit3"), QStringLiteral("SAÚDE"));
        pickInNextLookup(QStringLiteral("00000003"));
        testsupport::click(w, "SpeedButton4");
        QCOMPARE(text(w, "dededed"), QStringLiteral("00000003"));
        QCOMPARE(text(w, "DBEdit4"), QStringLiteral("PAULO ROBERTO NUNES"));
        testsupport::click(w, "Botao_Salvar");
        // A successful sending closes the window.
        QVERIFY(!w->isVisible());
    });
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QVERIFY(core::openRouting(nullptr, QStringLiteral("00000001"), QStringLiteral("2019")));
    QVERIFY(acted);
    QVERIFY(processes::Frm_Tramitacao.isNull());
    VERIFY_DIALOGS(dialogs);
    // No box: the main window's status bar says what was done.
    QCOMPARE(core::activity().last(),
             QStringLiteral("Processo 00000001/2019 enviado para PAULO ROBERTO NUNES"));
    const QVariantList row =
        m_db->rows(
                "SELECT REGISTRO, IDPROCESSO, ANO, IDUNIDADE, COD_USUARIO_DESTINO, COD_USUARIO, DATA, HORA, "
                "DESPACHO, DATA_RECEBIMENTO FROM TRAMITACAO")
            .value(0);
    QCOMPARE(row.value(0).toString(), QStringLiteral("00000001"));
    QCOMPARE(row.value(1).toString(), QStringLiteral("00000001"));
    QCOMPARE(row.value(2).toString(), QStringLiteral("2019"));
    QCOMPARE(row.value(3).toString(), QStringLiteral("0003"));
    QCOMPARE(row.value(4).toString(), QStringLiteral("00000003"));
    QCOMPARE(row.value(5).toString(), QStringLiteral("00000001"));
    const QDateTime sent(row.value(6).toDate(), row.value(7).toTime());
    QVERIFY(sent >= before && sent <= QDateTime::currentDateTime());
    QCOMPARE(QString::fromUtf8(row.value(8).toByteArray()),
             QStringLiteral("Ao Setor de Obras:\nanalisar o pedido d'água."));
    QVERIFY(row.value(9).isNull());
    QCOMPARE(testsupport::pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{"00000001"});
}

void TestTramitacao::openedFromThePendingList() {
    // 00000001 sent the process to 00000002, who received it and now sends it on.
    MovementRow pending;
    pending.registro = QStringLiteral("00000001");
    pending.to = QStringLiteral("00000002");
    addMovement(*m_db, withStamps(pending, QStringLiteral("RF")));
    core::currentUser() = {QStringLiteral("00000002"), QStringLiteral("CARLA MENDES ROCHA"), QString(),
                           QStringLiteral("SIM")};
    ScriptedDialogs dialogs;
    bool acted = false;
    testsupport::onModalDialog([&](QDialog* w) {
        acted = true;
        QCOMPARE(text(w, "Campo1"), QStringLiteral("00000001"));
        QCOMPARE(text(w, "DBEdit1"), QStringLiteral("PEDIDO DE ALVARÁ"));
        QCOMPARE(text(w, "dededed"), QStringLiteral("00000002"));
        QCOMPARE(text(w, "DBEdit4"), QStringLiteral("CARLA MENDES ROCHA"));
        QCOMPARE(text(w, "DBEdit5"), QStringLiteral("01/03/2019"));
        QCOMPARE(text(w, "DBEdit6"), QStringLiteral("10:00:00"));
        QCOMPARE(text(w, "DBEdit7"), QStringLiteral("02/03/2019"));
        QCOMPARE(text(w, "DBEdit2"), QStringLiteral("02/03/2019"));
        QCOMPARE(text(w, "DBEdit9"), QStringLiteral("00000001"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tramitação"));
        testsupport::click(w, "Botao_Incluir");
        QCOMPARE(text(w, "Campo1"), QStringLiteral("00000002"));
        QCOMPARE(text(w, "Campo2"), QStringLiteral("00000001"));
        QCOMPARE(text(w, "DBEdit9"), QStringLiteral("00000002"));
        QCOMPARE(text(w, "DBEdit7"), QString());
        testsupport::typeInto(w, "Campo4", QStringLiteral("3"));
        testsupport::leave(testsupport::edit(w, "Campo4"));
        pickInNextLookup(QStringLiteral("00000004"));
        testsupport::click(w, "SpeedButton4");
        testsupport::click(w, "Botao_Salvar");
        QVERIFY(!w->isVisible());
    });
    QVERIFY(core::openRouting(nullptr, QStringLiteral("00000001"), QStringLiteral("2019"),
                              QStringLiteral("00000001")));
    QVERIFY(acted);
    VERIFY_DIALOGS(dialogs);
    // The forwarded movement leaves the sender's list; the new one enters the destination's.
    QCOMPARE(testsupport::pendingRegisters(*m_db, QStringLiteral("00000002")), QStringList{});
    QCOMPARE(testsupport::pendingRegisters(*m_db, QStringLiteral("00000004")), QStringList{"00000002"});
    QCOMPARE(m_db->scalar("SELECT COD_USUARIO FROM TRAMITACAO WHERE REGISTRO='00000002'").toString(),
             QStringLiteral("00000002"));
}

void TestTramitacao::startingFromAnArchivedMovement_data() {
    QTest::addColumn<QString>("stamps");
    QTest::addColumn<bool>("refused");
    QTest::newRow("archived") << "RA" << true;
    QTest::newRow("unarchived") << "RAD" << false;
    QTest::newRow("received") << "R" << false;
}

void TestTramitacao::startingFromAnArchivedMovement() {
    QFETCH(QString, stamps);
    QFETCH(bool, refused);
    MovementRow r;
    r.registro = QStringLiteral("00000005");
    addMovement(*m_db, withStamps(r, stamps));
    handOff(r.process, r.year, r.registro);
    RoutingForm w(r.registro);
    ScriptedDialogs dialogs;
    if (refused)
        dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Processo arquivado."));
    w.click("Botao_Incluir");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.form->records()->isEditing(), !refused);
    QCOMPARE(text(w.form, "Campo1"), refused ? r.registro : QStringLiteral("00000006"));
    // The archiving tabs show the stamps of the movement shown.
    if (refused) {
        QCOMPARE(text(w.form, "DBEdit12"), QStringLiteral("02/03/2019"));
        QCOMPARE(text(w.form, "DBEdit14"), QString());
    }
}

void TestTramitacao::stateTable() {
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(r, QStringLiteral("R")));
    handOff(r.process, r.year, r.registro);
    RoutingForm w(r.registro);
    TFrm_Tramitacao* f = w.form;
    auto* pages = child<QTabWidget>(f, "PageControl1");
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i)
        captions << pages->tabText(i);
    QCOMPARE(captions, (QStringList{"Tramitação", "Pesquisa", "Arquivamento", "Desarquivamento"}));
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(child<QPushButton>(f, "Botao_Salvar")->text(), QStringLiteral("&Enviar"));
    QCOMPARE(child<QPushButton>(f, "Botao_Incluir")->toolTip(), QStringLiteral("Inclui novo registro"));
    QVERIFY(!child<QPushButton>(f, "Botao_Alterar")->isVisible());
    QVERIFY(!child<QPushButton>(f, "Botao_Excluir")->isVisible());
    QVERIFY(!child<QPushButton>(f, "AtivaDesativaBotoes")->isVisible());
    QCOMPARE(child<QLabel>(f, "Titulo")->text(), QStringLiteral("Tramitação"));
    for (const char* b : {"SpeedButton1", "SpeedButton3", "SpeedButton4"})
        QCOMPARE(child<QToolButton>(f, b)->toolTip(), QStringLiteral("Pesquisa"));

    struct Row {
        bool incluir, enviar, cancelar, fechar, list, writable;
        QString title;
    };
    auto check = [&](const Row& e) {
        QCOMPARE(enabled(f, "Botao_Incluir"), e.incluir);
        QCOMPARE(enabled(f, "Botao_Salvar"), e.enviar);
        QCOMPARE(enabled(f, "Botao_Cancelar"), e.cancelar);
        QCOMPARE(enabled(f, "Botao_Fechar"), e.fechar);
        QCOMPARE(enabled(f, "DBGrid1"), e.list);
        QCOMPARE(enabled(f, "PROCURA"), e.list);
        QCOMPARE(child<QWidget>(f, "PROCURA")->palette().color(QPalette::Base) == forms::whiteColour(),
                 e.list);
        QCOMPARE(forms::looksEditable(child<QWidget>(f, "Campo3")), e.writable);
        QCOMPARE(forms::looksEditable(child<QWidget>(f, "Campo4")), e.writable);
        for (const char* never : {"Campo1", "Campo2", "CAMPO6", "DBEdit1", "DBedit333", "dededed", "DBEdit3",
                                  "DBEdit4", "DBEdit5", "DBEdit9"})
            QVERIFY2(!forms::looksEditable(child<QWidget>(f, never)), never);
        QCOMPARE(f->windowTitle(), e.title);
    };
    check({true, false, false, true, true, false, QStringLiteral("Tramitação")});
    w.click("Botao_Incluir");
    check({false, true, true, false, false, true, QStringLiteral("Tramitação - Incluindo")});

    // Tab order while sending: the register, the process and its year take the focus but stay
    // read-only; then the dispatch and the unit; the names are skipped.
    QWidget* at = child<QWidget>(f, "Campo1");
    QVERIFY(at->hasFocus());
    QStringList order;
    for (int i = 0; i < 5; ++i) {
        at = testsupport::nextTabStop(at);
        order << at->objectName();
    }
    QCOMPARE(order, (QStringList{"Campo2", "CAMPO6", "Campo3", "Campo4", "Botao_Salvar"}));
    w.click("Botao_Cancelar");
    check({true, false, false, true, true, false, QStringLiteral("Tramitação")});
}

void TestTramitacao::sendChecks_data() {
    QTest::addColumn<QString>("process");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("process that does not exist")
        << "00000099"
        << "3"
        << "00000003" << QStringLiteral("Atenção,\rprocedimento cancelado, Processo não informado!")
        << "Campo2";
    QTest::newRow("no unit") << "00000001"
                             << ""
                             << ""
                             << QStringLiteral("Atenção,\rprocedimento cancelado, Unidade Orçamentária não "
                                               "informada!")
                             << "Campo4";
    QTest::newRow("no user") << "00000001"
                             << "3"
                             << ""
                             << QStringLiteral(
                                    "Atenção,\rprocedimento cancelado, Usuário Destino não informado!")
                             << "";
    QTest::newRow("to oneself") << "00000001"
                                << "2"
                                << "00000001"
                                << QStringLiteral(
                                       "Atenção,\rprocedimento cancelado, Usuário Destino não pode ser "
                                       "quem está tramitando!")
                                << "";
}

void TestTramitacao::sendChecks() {
    QFETCH(QString, process);
    QFETCH(QString, unit);
    QFETCH(QString, user);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    handOff(process, QStringLiteral("2019"));
    RoutingForm w;
    ScriptedDialogs dialogs;
    w.click("Botao_Incluir");
    if (!unit.isEmpty()) w.unit(unit);
    if (!user.isEmpty()) w.user(user);
    child<QWidget>(w.form, "Campo3")->setFocus();
    dialogs.expectMessage(message);
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    if (!focus.isEmpty()) QCOMPARE(w.form->focusWidget()->objectName(), focus);
    // Nothing written; the sending goes on.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 0);
    QVERIFY(w.form->isVisible());
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Tramitação - Incluindo"));
}

void TestTramitacao::anotherUnitClearsTheUser() {
    handOff(QStringLiteral("00000001"), QStringLiteral("2019"));
    RoutingForm w;
    ScriptedDialogs dialogs;
    w.click("Botao_Incluir");
    w.unit(QStringLiteral("3"));
    w.user(QStringLiteral("00000004"));
    QCOMPARE(text(w.form, "dededed"), QStringLiteral("00000004"));
    // Each keystroke in the unit box drops the user chosen before.
    testsupport::typeInto(w.form, "Campo4", QStringLiteral("2"));
    QCOMPARE(text(w.form, "dededed"), QStringLiteral("00000000"));
    QCOMPARE(text(w.form, "DBEdit4"), QString());
    testsupport::leave(testsupport::edit(w.form, "Campo4"));
    QCOMPARE(text(w.form, "Campo4"), QStringLiteral("0002"));
    QCOMPARE(text(w.form, "DBEdit3"), QStringLiteral("ADMINISTRAÇÃO"));
    dialogs.expectMessage(QStringLiteral("Atenção,\rprocedimento cancelado, Usuário Destino não informado!"));
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
}

void TestTramitacao::userLookupListsTheUsersOfTheUnit() {
    handOff(QStringLiteral("00000001"), QStringLiteral("2019"));
    RoutingForm w;
    w.click("Botao_Incluir");
    // No unit yet: nobody to choose.
    int shown = -1;
    pickInNextLookup(QStringLiteral("00000003"), &shown);
    w.click("SpeedButton4");
    QCOMPARE(shown, 0);
    QCOMPARE(text(w.form, "DBEdit4"), QString());
    w.unit(QStringLiteral("3"));
    pickInNextLookup(QStringLiteral("00000005"), &shown);
    w.click("SpeedButton4");
    QCOMPARE(shown, 3);
    QCOMPARE(text(w.form, "dededed"), QStringLiteral("00000005"));
    QCOMPARE(text(w.form, "DBEdit4"), QStringLiteral("JOÃO D'ÁVILA"));
    // A unit chosen through "&3" is padded and named like a typed one, and drops the user.
    pickInNextLookup(QStringLiteral("0002"));
    w.click("SpeedButton3");
    QCOMPARE(text(w.form, "Campo4"), QStringLiteral("0002"));
    QCOMPARE(text(w.form, "DBEdit3"), QStringLiteral("ADMINISTRAÇÃO"));
    QCOMPARE(text(w.form, "dededed"), QStringLiteral("00000000"));
}

void TestTramitacao::processPicker() {
    handOff(QStringLiteral("00000001"), QStringLiteral("2019"));
    RoutingForm w;
    // Nothing is being sent: a pick is not written anywhere.
    pickInNextProcessSearch(QStringLiteral("2019"), QStringLiteral("00000002"));
    w.click("SpeedButton1");
    QCOMPARE(text(w.form, "Campo2"), QString());
    QVERIFY(!processes::Frm_PesqProcesso);
    w.click("Botao_Incluir");
    int shown = -1;
    pickInNextProcessSearch(QStringLiteral("2018"), QStringLiteral("00000001"), &shown);
    w.click("SpeedButton1");
    // The search lists the chosen year, not only the year of the process in hand.
    QCOMPARE(shown, 1);
    QCOMPARE(text(w.form, "Campo2"), QStringLiteral("00000001"));
    QCOMPARE(text(w.form, "CAMPO6"), QStringLiteral("2018"));
    QCOMPARE(text(w.form, "DBEdit1"), QStringLiteral("LICENÇA DE OBRA"));
    QCOMPARE(text(w.form, "DBedit333"), QString());
    QVERIFY(!processes::Frm_PesqProcesso);
    // Closed without a pick: the process stays.
    pickInNextProcessSearch(QStringLiteral("2019"), QStringLiteral("99999999"));
    w.click("SpeedButton1");
    QCOMPARE(text(w.form, "Campo2"), QStringLiteral("00000001"));
    QCOMPARE(text(w.form, "CAMPO6"), QStringLiteral("2018"));
}

void TestTramitacao::popupPrintsTheMovementShown_data() {
    QTest::addColumn<QString>("movement");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("opened");
    QTest::newRow("history of the movement's process")
        << "00000001" << QStringLiteral("Histórico do Processo")
        << QStringLiteral("Histórico do Processo 00000001/2018");
    QTest::newRow("dispatch sheet of the movement") << "00000001"
                                                    << "Despacho"
                                                    << "Despacho 00000001/";
    QTest::newRow("history with nothing shown: an empty report")
        << "00000000" << QStringLiteral("Histórico do Processo") << QStringLiteral("Histórico do Processo /");
}

void TestTramitacao::popupPrintsTheMovementShown() {
    QFETCH(QString, movement);
    QFETCH(QString, entry);
    QFETCH(QString, opened);
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    r.year = QStringLiteral("2018");
    addMovement(*m_db, r);
    handOff(r.process, r.year, movement);
    RoutingForm w(movement);
    testsupport::PaperRecorder papers;
    QMenu* popup = w.form->popupMenu();
    QStringList entries;
    for (QAction* a : popup->actions())
        entries << a->text();
    QCOMPARE(entries, (QStringList{QStringLiteral("Histórico do Processo"), QStringLiteral("Despacho")}));
    popup->actions().at(entries.indexOf(entry))->trigger();
    QCOMPARE(papers.opened, QStringList{opened});
    QCOMPARE(papers.parent, w.form);
}

void TestTramitacao::numberTakenMeanwhileIsDrawnAgain() {
    handOff(QStringLiteral("00000001"), QStringLiteral("2019"));
    RoutingForm w;
    ScriptedDialogs dialogs;
    w.click("Botao_Incluir");
    QCOMPARE(text(w.form, "Campo1"), QStringLiteral("00000001"));
    w.unit(QStringLiteral("3"));
    w.user(QStringLiteral("00000003"));
    // Meanwhile another workstation sends process 00000002 with the same number.
    {
        QSqlDatabase other = m_db->openSecondConnection(QStringLiteral("outra_estacao"));
        QSqlQuery q(other);
        QVERIFY(q.exec("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, "
                       "DATA, HORA) VALUES ('00000001', '00000002', '2019', '00000002', '00000004', "
                       "'2019-03-01', '10:00:00')"));
    }
    // The sending draws the next number itself and goes through: nothing to tell, nothing to
    // press again.
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(!w.form->isVisible());
    QCOMPARE(w.form->result(), int(QDialog::Accepted));
    QCOMPARE(w.form->sentRegister(), QStringLiteral("00000002"));
    QCOMPARE(
        m_db->rows("SELECT REGISTRO, IDPROCESSO, COD_USUARIO_DESTINO FROM TRAMITACAO ORDER BY REGISTRO"),
        (QList<QVariantList>{{"00000001", "00000002", "00000004"}, {"00000002", "00000001", "00000003"}}));
}

void TestTramitacao::pickedProcessHeldByAnotherUser() {
    // 00000002 holds 00000001/2019; through "&1" he picks 00000002/2019, which waits in the
    // in-tray of 00000003.
    MovementRow mine;
    mine.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(mine, QStringLiteral("R")));
    MovementRow theirs;
    theirs.registro = QStringLiteral("00000002");
    theirs.process = QStringLiteral("00000002");
    theirs.to = QStringLiteral("00000003");
    addMovement(*m_db, theirs);
    core::currentUser() = {QStringLiteral("00000002"), QStringLiteral("CARLA MENDES ROCHA"), QString(),
                           QStringLiteral("SIM")};
    handOff(mine.process, mine.year, mine.registro);
    RoutingForm w(mine.registro);
    ScriptedDialogs dialogs;
    w.click("Botao_Incluir");
    pickInNextProcessSearch(QStringLiteral("2019"), QStringLiteral("00000002"));
    w.click("SpeedButton1");
    QCOMPARE(text(w.form, "Campo2"), QStringLiteral("00000002"));
    w.unit(QStringLiteral("3"));
    w.user(QStringLiteral("00000004"));
    dialogs.expectMessage(core::routing::heldByAnotherUserMessage());
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    // Nothing sent; still sending, so another process can be picked or the sending cancelled.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 2);
    QVERIFY(w.form->isVisible());
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Tramitação - Incluindo"));
    w.click("Botao_Cancelar");
}

void TestTramitacao::sentFromAnotherDeskMeanwhile() {
    // The process form opened the routing form on a process never sent; another desk of the same
    // clerk sends it first.
    handOff(QStringLiteral("00000001"), QStringLiteral("2019"));
    RoutingForm w;
    ScriptedDialogs dialogs;
    w.click("Botao_Incluir");
    w.unit(QStringLiteral("3"));
    w.user(QStringLiteral("00000003"));
    {
        QSqlDatabase other = m_db->openSecondConnection(QStringLiteral("outra_mesa"));
        QSqlQuery q(other);
        QVERIFY(q.exec("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, "
                       "DATA, HORA) VALUES ('00000005', '00000001', '2019', '00000001', '00000004', "
                       "'2019-03-01', '10:00:00')"));
    }
    dialogs.expectMessage(core::routing::alreadyForwardedMessage());
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    // Nothing more to send from here: the window closes and the opener reads its list again.
    QVERIFY(!w.form->isVisible());
    QCOMPARE(w.form->result(), int(QDialog::Rejected));
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 1);
    QCOMPARE(testsupport::pendingRegisters(*m_db, QStringLiteral("00000004")), QStringList{"00000005"});
}

void TestTramitacao::unstorableDispatchToldOnce() {
    handOff(QStringLiteral("00000001"), QStringLiteral("2019"));
    RoutingForm w;
    ScriptedDialogs dialogs;
    w.click("Botao_Incluir");
    w.unit(QStringLiteral("3"));
    w.user(QStringLiteral("00000003"));
    auto* dispatch = child<QPlainTextEdit>(w.form, "Campo3");
    dispatch->setPlainText(QStringLiteral("Prazo ✓ cumprido"));
    // The one message names the character; the sending is not tried.
    dialogs.expectMessage(
        forms::FieldBinder::unstorableMessage(QStringLiteral("Despacho"), QStringLiteral("✓")));
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 0);
    QCOMPARE(dispatch->toPlainText(), QStringLiteral("Prazo ✓ cumprido"));
    w.click("Botao_Cancelar");
}

void TestTramitacao::cancelShowsTheMovementAgain() {
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(r, QStringLiteral("R")));
    handOff(r.process, r.year, r.registro);
    RoutingForm w(r.registro);
    w.click("Botao_Incluir");
    w.unit(QStringLiteral("3"));
    QCOMPARE(text(w.form, "Campo1"), QStringLiteral("00000002"));
    w.click("Botao_Cancelar");
    QCOMPARE(text(w.form, "Campo1"), QStringLiteral("00000001"));
    QCOMPARE(text(w.form, "Campo4"), QStringLiteral("0002"));
    QCOMPARE(text(w.form, "dededed"), QStringLiteral("00000002"));
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 1);
    // "&Fechar" leaves without writing.
    w.click("Botao_Fechar");
    QVERIFY(!w.form->isVisible());
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 1);
}

void TestTramitacao::listTab() {
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(r, QStringLiteral("RA")));
    m_db->exec("UPDATE TRAMITACAO SET MOTIVO_ARQUIVAMENTO = 'Concluído'");
    handOff(r.process, r.year, r.registro);
    RoutingForm w(r.registro);
    auto* pages = child<QTabWidget>(w.form, "PageControl1");
    pages->setCurrentIndex(1);
    auto* grid = child<QTableView>(w.form, "DBGrid1");
    forms::GridModel* model = w.form->gridModel();
    QStringList shown, hidden;
    for (int c = 0; c < model->columnCount(); ++c)
        (grid->isColumnHidden(c) ? hidden : shown) << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(shown, (QStringList{"Registro",
                                 "Nº Processo",
                                 "Assunto",
                                 "Cód.Setor",
                                 "Setor",
                                 "Cód.Usuário Destino",
                                 "Usuário Destino",
                                 "Data",
                                 "Hora",
                                 "Dt.Recebimento",
                                 "Hora Recebimento",
                                 "Dt.Recebimento Físico",
                                 "Hora Recebimento Físico",
                                 "Cód.Usuário",
                                 "Usuário",
                                 "Dt.Arquivamento",
                                 "Hora Arquivamento",
                                 "Motivo Arquivamento",
                                 "Dt.Desarquivamento",
                                 "Hora Desarquivamento",
                                 "Motivo Desarquivamento"}));
    QCOMPARE(hidden, (QStringList{"Despacho", "Arquivado", "Instrução do Processo"}));
    QCOMPARE(grid->columnWidth(model->columnOfField(QStringLiteral("ASSUNTO"))), forms::kWideColumn);
    QCOMPARE(model->rowCount(), 1);
    // A column, then the search as typed.
    ScriptedDialogs dialogs;
    w.form->gridSearch()->DBGrid1TitleClick(model->columnOfField(QStringLiteral("REGISTRO")));
    QCOMPARE(child<QLabel>(w.form, "LProcura")->text(), QStringLiteral("Informe Registro"));
    testsupport::typeInto(w.form, "PROCURA", QStringLiteral("00000001"));
    QCOMPARE(w.form->records()->currentRow(), 0);
    testsupport::dblClickRow(grid, 0);
    QCOMPARE(pages->currentIndex(), 0);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(text(w.form, "DBMemo1"), QStringLiteral("Concluído"));
    QCOMPARE(text(w.form, "DBEdit13"), QStringLiteral("09:00:00"));
    w.click("Botao_Fechar");
}

QTEST_MAIN(TestTramitacao)
#include "tst_tramitacao.moc"
