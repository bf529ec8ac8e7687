// The pending receipts: shown after the login also when empty, the list and its order, the five
// right-click flows with their questions, reason boxes and messages, the re-read after each change
// and after the routing form, a receipt another workstation made first, the list read in windows
// keeping the pending rule's rows, and the waiting time and deadline columns.
#include "app/startup.h"
#include "core/activity.h"
#include "core/handoff.h"
#include "core/menucommands.h"
#include "core/routing.h"
#include "core/session.h"
#include "forms/common/gridmodel.h"
#include "forms/common/lookupdialog.h"
#include "forms/processes/processes.h"
#include "forms/processes/recebimentopendencia.h"
#include "forms/processes/tramitacao.h"
#include "tests/processes/routingfixture.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <memory>

using processes::TFrm_RecebimentoPendencia;
using testsupport::addMovement;
using testsupport::child;
using testsupport::MovementRow;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::withStamps;

namespace {

const QString kMe = QStringLiteral("00000002");

// The pending list of 00000002 on the screen.
struct PendingWindow {
    std::unique_ptr<TFrm_RecebimentoPendencia> owned;
    TFrm_RecebimentoPendencia* form = nullptr;

    PendingWindow() {
        owned = std::make_unique<TFrm_RecebimentoPendencia>(nullptr);
        form = owned.get();
        QString error;
        QVERIFY2(form->reload(kMe, &error), qPrintable(error));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }
    // Right click on the row, then the menu entry.
    void menu(int row, const char* entry) const {
        auto* grid = child<QTableView>(form, "DBGrid1");
        const QRect r = grid->visualRect(grid->model()->index(row, 1));
        emit grid->customContextMenuRequested(r.center());
        QMenu* popup = form->popupMenu();
        QAction* action = popup->findChild<QAction*>(QString::fromLatin1(entry));
        QVERIFY2(action, entry);
        popup->hide();
        action->trigger();
    }
    // The entry on the empty list (no row to click).
    void menuOnEmpty(const char* entry) const {
        QAction* action = form->popupMenu()->findChild<QAction*>(QString::fromLatin1(entry));
        QVERIFY2(action, entry);
        action->trigger();
    }
    QStringList registers() const {
        QStringList out;
        forms::RowSource* rows = form->records();
        const int f = rows->fieldIndex(QStringLiteral("REGISTRO"));
        for (int r = 0; r < rows->rowCount(); ++r)
            out << rows->valueAt(r, f).toString();
        return out;
    }
    QVariant value(const QString& registro, const char* field) const {
        forms::RowSource* rows = form->records();
        const int key = rows->fieldIndex(QStringLiteral("REGISTRO"));
        for (int r = 0; r < rows->rowCount(); ++r)
            if (rows->valueAt(r, key).toString() == registro)
                return rows->valueAt(r, rows->fieldIndex(QString::fromLatin1(field)));
        return {};
    }
    int rowOf(const QString& registro) const { return registers().indexOf(registro); }
};

MovementRow movement(const char* registro, const char* to = "00000002") {
    MovementRow r;
    r.registro = QString::fromLatin1(registro);
    r.from = QStringLiteral("00000001");
    r.to = QString::fromLatin1(to);
    return r;
}

} // namespace

class TestRecebimentoPendencia : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shownAfterLoginAlsoWhenEmpty();
    void emptyListAnswersEveryEntry_data();
    void emptyListAnswersEveryEntry();
    void listAndOrder();
    void titleClickSortsAndStays();
    void electronicReceipt();
    void physicalReceiptOnce();
    void tramitarOffersTheReceiptFirst();
    void tramitarSendsOn();
    void tramitarClosedWithoutSending();
    void archiveAndUnarchive();
    void reasonTooLong();
    void anotherWorkstationReceivedFirst();
    void anotherDeskSentItOn_data();
    void anotherDeskSentItOn();
    void windowedListKeepsThePendingRule();
    void waitingAndDeadline_data();
    void waitingAndDeadline();
    void waitingColumnsSortByTheirDays();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestRecebimentoPendencia::initTestCase() {
    processes::registerMenuCommands();
}

void TestRecebimentoPendencia::init() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addRoutingOffice(*m_db);
    core::currentUser() = {kMe, QStringLiteral("CARLA MENDES ROCHA"), QString(), QStringLiteral("SIM")};
}

void TestRecebimentoPendencia::cleanup() {
    QVERIFY(processes::Frm_RecebimentoPendencia.isNull());
    QVERIFY(processes::Frm_Tramitacao.isNull());
    m_db.reset();
}

void TestRecebimentoPendencia::shownAfterLoginAlsoWhenEmpty() {
    // Start-up step 6 and the menu entry open the same window for the current user.
    ScriptedDialogs dialogs;
    bool shown = false;
    testsupport::onModalDialog([&](QDialog* w) {
        shown = true;
        QCOMPARE(w->objectName(), QStringLiteral("Frm_RecebimentoPendencia"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Recebimento / Pendência"));
        QCOMPARE(w->size(), QSize(1015, 354));
        QCOMPARE(child<QLabel>(w, "Label1")->text(),
                 QStringLiteral("Clique com o botão direito no processo escolhido."));
        QCOMPARE(child<QTableView>(w, "DBGrid1")->model()->rowCount(), 0);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTRY_VERIFY(child<QPushButton>(w, "Botao_Fechar")->hasFocus());
        testsupport::click(w, "Botao_Fechar");
    });
    app::showPendingReceipts(nullptr);
    QVERIFY(shown);

    MovementRow r = movement("00000001");
    addMovement(*m_db, r);
    shown = false;
    testsupport::onModalDialog([&](QDialog* w) {
        shown = true;
        QCOMPARE(child<QTableView>(w, "DBGrid1")->model()->rowCount(), 1);
        testsupport::click(w, "Botao_Fechar");
    });
    QVERIFY(core::menuCommands().open(QStringLiteral("Pendências"), nullptr));
    QVERIFY(shown);
    VERIFY_DIALOGS(dialogs);
}

void TestRecebimentoPendencia::emptyListAnswersEveryEntry_data() {
    QTest::addColumn<QString>("entry");
    for (const char* e : {"RecebeProcessoEletronico", "RecebeProcessoFisico", "Tramitar", "ArquivarProcesso",
                          "DesarquivarProcesso"})
        QTest::newRow(e) << QString::fromLatin1(e);
}

void TestRecebimentoPendencia::emptyListAnswersEveryEntry() {
    QFETCH(QString, entry);
    PendingWindow w;
    QStringList texts;
    for (QAction* a : w.form->popupMenu()->actions())
        texts << a->text();
    QCOMPARE(texts, (QStringList{"Recebe Processo Eletrônico", "Recebe Processo Físico", "Tramitar",
                                 "Arquivar Processo", "Desarquivar Processo"}));
    ScriptedDialogs dialogs;
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Não existe processo."));
    w.menuOnEmpty(entry.toLatin1().constData());
    VERIFY_DIALOGS(dialogs);
}

void TestRecebimentoPendencia::listAndOrder() {
    MovementRow older = withStamps(movement("00000001"), QStringLiteral("R"));
    older.received = QDate(2019, 3, 2);
    addMovement(*m_db, older);
    MovementRow newer = movement("00000002");
    newer.process = QStringLiteral("00000002");
    newer.received = QDate(2019, 3, 3);
    addMovement(*m_db, newer);
    MovementRow unreceived = movement("00000003");
    unreceived.process = QStringLiteral("00000001");
    unreceived.year = QStringLiteral("2018");
    addMovement(*m_db, unreceived);
    // Another user's movement, and one of mine already sent on to somebody else.
    addMovement(*m_db, movement("00000004", "00000003"));
    MovementRow forwarded = movement("00000005");
    forwarded.process = QStringLiteral("00000002");
    forwarded.year = QStringLiteral("2018");
    addMovement(*m_db, forwarded);
    MovementRow onwards = movement("00000006", "00000004");
    onwards.process = forwarded.process;
    onwards.year = forwarded.year;
    onwards.from = kMe;
    onwards.time = QTime(11, 0, 0);
    addMovement(*m_db, onwards);

    PendingWindow w;
    // Newest receipt first; not received last.
    QCOMPARE(w.registers(), (QStringList{"00000002", "00000001", "00000003"}));
    QCOMPARE(w.form->records()->currentRow(), 0);
    QCOMPARE(w.value(QStringLiteral("00000003"), "ASSUNTO").toString(), QStringLiteral("LICENÇA DE OBRA"));
    QCOMPARE(w.value(QStringLiteral("00000001"), "USUARIO").toString(), QStringLiteral("ADMINISTRADOR"));
    QCOMPARE(w.value(QStringLiteral("00000001"), "USUARIO_DESTINO").toString(),
             QStringLiteral("CARLA MENDES ROCHA"));

    auto* grid = child<QTableView>(w.form, "DBGrid1");
    forms::GridModel* model = w.form->gridModel();
    QStringList shown, hidden;
    for (int c = 0; c < model->columnCount(); ++c)
        (grid->isColumnHidden(c) ? hidden : shown) << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(shown, (QStringList{"Registro",
                                 "Nº Processo",
                                 "Cód.Setor",
                                 "Cód.Usuário Destino",
                                 "Data",
                                 "Hora",
                                 "Dt.Recebimento",
                                 "Hora Recebimento",
                                 "Dt.Recebimento Físico",
                                 "Hora Recebimento Físico",
                                 "Arquivado",
                                 "Cód.Usuário",
                                 "Assunto",
                                 "Setor",
                                 "Usuário Destino",
                                 "Usuário",
                                 "DATA_ARQUIVAMENTO",
                                 "HORA_ARQUIVAMENTO",
                                 "DATA_DESARQUIVAMENTO",
                                 "HORA_DESARQUIVAMENTO",
                                 "Dias",
                                 "Prazo"}));
    // The dispatch and the instruction, hidden columns, are not read at all.
    QCOMPARE(hidden, QStringList{});
    w.form->Botao_FecharClick();
    QVERIFY(!w.form->isVisible());
}

void TestRecebimentoPendencia::titleClickSortsAndStays() {
    MovementRow a = movement("00000001");
    a.process = QStringLiteral("00000002");
    addMovement(*m_db, withStamps(a, QStringLiteral("R")));
    addMovement(*m_db, movement("00000002"));
    PendingWindow w;
    QCOMPARE(w.registers(), (QStringList{"00000001", "00000002"}));
    auto* grid = child<QTableView>(w.form, "DBGrid1");
    forms::GridModel* model = w.form->gridModel();
    const int column = model->columnOfField(QStringLiteral("IDPROCESSO"));
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid->horizontalHeader()->sectionViewportPosition(column) + 5, 5));
    QCOMPARE(w.registers(), (QStringList{"00000002", "00000001"}));
    for (int c = 0; c < model->columnCount(); ++c)
        QCOMPARE(model->columnColour(c), c == column ? forms::whiteColour() : forms::silverColour());
    // A change and the re-read: the order stays, the cursor goes to the first row.
    w.form->records()->setCurrentRow(1);
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(TFrm_RecebimentoPendencia::receiveQuestion(), true);
    w.menu(1, "RecebeProcessoFisico");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.registers(), (QStringList{"00000002", "00000001"}));
    QCOMPARE(w.form->records()->currentRow(), 0);
    QCOMPARE(model->columnColour(column), forms::whiteColour());
}

void TestRecebimentoPendencia::electronicReceipt() {
    MovementRow received = withStamps(movement("00000001"), QStringLiteral("R"));
    addMovement(*m_db, received);
    addMovement(*m_db, movement("00000002"));
    PendingWindow w;
    QCOMPARE(w.registers(), (QStringList{"00000001", "00000002"}));
    ScriptedDialogs dialogs;
    // Answering No changes nothing.
    dialogs.expectQuestion(QStringLiteral("Deseja Receber Processo Eletrônico ?"), false);
    w.menu(1, "RecebeProcessoEletronico");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.lastQuestionDefault(), core::DialogService::DefaultButton::Yes);
    QVERIFY(m_db->scalar("SELECT DATA_RECEBIMENTO FROM TRAMITACAO WHERE REGISTRO='00000002'").isNull());

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    dialogs.expectQuestion(QStringLiteral("Deseja Receber Processo Eletrônico ?"), true);
    w.menu(1, "RecebeProcessoEletronico");
    VERIFY_DIALOGS(dialogs);
    // Today's date and the current time; the row moves to the top.
    QCOMPARE(w.registers(), (QStringList{"00000002", "00000001"}));
    const QDateTime stamped(w.value(QStringLiteral("00000002"), "DATA_RECEBIMENTO").toDate(),
                            w.value(QStringLiteral("00000002"), "HORA_RECEBIMENTO").toTime());
    QVERIFY(stamped >= before && stamped <= QDateTime::currentDateTime());
    // The status bar's last action, without a box.
    QCOMPARE(core::activity().last(), QStringLiteral("Processo 00000001/2019 recebido"));

    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Documento já recebido."));
    w.menu(0, "RecebeProcessoEletronico");
    VERIFY_DIALOGS(dialogs);
}

void TestRecebimentoPendencia::physicalReceiptOnce() {
    addMovement(*m_db, movement("00000001"));
    PendingWindow w;
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(QStringLiteral("Deseja Receber Processo Eletrônico ?"), true);
    w.menu(0, "RecebeProcessoFisico");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(w.value(QStringLiteral("00000001"), "DATA_RECEBIMENTO_FISICO").toDate().isValid());
    QVERIFY(w.value(QStringLiteral("00000001"), "DATA_RECEBIMENTO").isNull());
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Documento já recebido."));
    w.menu(0, "RecebeProcessoFisico");
    VERIFY_DIALOGS(dialogs);
    // Only the paper file: archiving still needs the electronic receipt.
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Primeiro receba processo."));
    w.menu(0, "ArquivarProcesso");
    VERIFY_DIALOGS(dialogs);
}

void TestRecebimentoPendencia::tramitarOffersTheReceiptFirst() {
    addMovement(*m_db, movement("00000001"));
    PendingWindow w;
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(
        QStringLiteral("Para tramitar processo é necessário recebê-lo, deseja receber Processo Eletrônico ?"),
        false);
    w.menu(0, "Tramitar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(w.value(QStringLiteral("00000001"), "DATA_RECEBIMENTO").isNull());
    dialogs.expectQuestion(
        QStringLiteral("Para tramitar processo é necessário recebê-lo, deseja receber Processo Eletrônico ?"),
        true);
    // Received, and the routing form stays closed (a modal window would hold the test here).
    w.menu(0, "Tramitar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(w.value(QStringLiteral("00000001"), "DATA_RECEBIMENTO").toDate().isValid());
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 1);
}

void TestRecebimentoPendencia::tramitarSendsOn() {
    addMovement(*m_db, withStamps(movement("00000001"), QStringLiteral("R")));
    MovementRow other = withStamps(movement("00000002"), QStringLiteral("R"));
    other.process = QStringLiteral("00000002");
    addMovement(*m_db, other);
    PendingWindow w;
    ScriptedDialogs dialogs;
    const int row = w.rowOf(QStringLiteral("00000001"));
    bool routed = false;
    testsupport::onModalDialog([&](QDialog* f) {
        routed = true;
        QCOMPARE(f->objectName(), QStringLiteral("Frm_Tramitacao"));
        QCOMPARE(core::routingHandOff().process, QStringLiteral("00000001"));
        QCOMPARE(core::routingHandOff().year, QStringLiteral("2019"));
        QCOMPARE(testsupport::edit(f, "Campo1")->text(), QStringLiteral("00000001"));
        testsupport::click(f, "Botao_Incluir");
        testsupport::typeInto(f, "Campo4", QStringLiteral("3"));
        testsupport::leave(testsupport::edit(f, "Campo4"));
        testsupport::onModalDialog([](QDialog* lookup) {
            auto* d = qobject_cast<forms::LookupDialog*>(lookup);
            QVERIFY(d);
            d->records()->setCurrentRow(0);
            d->DBGrid1DblClick();
        });
        testsupport::click(f, "SpeedButton4");
        testsupport::click(f, "Botao_Salvar");
    });
    w.menu(row, "Tramitar");
    QVERIFY(routed);
    VERIFY_DIALOGS(dialogs);
    // The forwarded movement left the list as soon as the routing form closed.
    QCOMPARE(w.registers(), QStringList{"00000002"});
    QCOMPARE(testsupport::pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{"00000003"});
}

void TestRecebimentoPendencia::tramitarClosedWithoutSending() {
    addMovement(*m_db, withStamps(movement("00000001"), QStringLiteral("R")));
    PendingWindow w;
    // Meanwhile the movement was received physically elsewhere: the re-read shows it.
    m_db->exec("UPDATE TRAMITACAO SET DATA_RECEBIMENTO_FISICO = '2019-03-09'");
    bool routed = false;
    testsupport::onModalDialog([&](QDialog* f) {
        routed = true;
        testsupport::click(f, "Botao_Fechar");
    });
    w.menu(0, "Tramitar");
    QVERIFY(routed);
    QCOMPARE(w.registers(), QStringList{"00000001"});
    QCOMPARE(w.value(QStringLiteral("00000001"), "DATA_RECEBIMENTO_FISICO").toDate(), QDate(2019, 3, 9));
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 1);
}

void TestRecebimentoPendencia::archiveAndUnarchive() {
    addMovement(*m_db, movement("00000001"));
    PendingWindow w;
    ScriptedDialogs dialogs;
    const QString archiveQ = QStringLiteral("Deseja Arquivar Processo Eletrônico ?");
    const QString unarchiveQ = QStringLiteral("Deseja Desarquivar Processo Eletrônico ?");
    const QString archivePrompt = QStringLiteral("Informe motivo do arquivamento");
    const QString unarchivePrompt = QStringLiteral("Informe motivo do desarquivamento");
    auto archived = [&] { return m_db->scalar("SELECT DATA_ARQUIVAMENTO FROM TRAMITACAO"); };

    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Primeiro receba processo."));
    w.menu(0, "ArquivarProcesso");
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Primeiro receba processo."));
    w.menu(0, "DesarquivarProcesso");
    dialogs.expectQuestion(TFrm_RecebimentoPendencia::receiveQuestion(), true);
    w.menu(0, "RecebeProcessoEletronico");
    dialogs.expectMessage(
        QStringLiteral("Atenção, procedimento cancelado! Documento já Desarquivado ou não Arquivado."));
    w.menu(0, "DesarquivarProcesso");
    VERIFY_DIALOGS(dialogs);

    // Cancelled reason box, empty reason: nothing stamped.
    dialogs.expectQuestion(archiveQ, true);
    dialogs.expectInput(archivePrompt, std::nullopt);
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado!"));
    w.menu(0, "ArquivarProcesso");
    dialogs.expectQuestion(archiveQ, true);
    dialogs.expectInput(archivePrompt, QString());
    dialogs.expectMessage(QStringLiteral(
        "Atenção, procedimento cancelado! para arquivar processo é obrigatório o Motivo do Arquivamento."));
    w.menu(0, "ArquivarProcesso");
    dialogs.expectQuestion(archiveQ, false);
    w.menu(0, "ArquivarProcesso");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(archived().isNull());

    dialogs.expectQuestion(archiveQ, true);
    dialogs.expectInput(archivePrompt, QStringLiteral("Atendido conforme parecer d'O Jurídico"));
    w.menu(0, "ArquivarProcesso");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(w.value(QStringLiteral("00000001"), "DATA_ARQUIVAMENTO").toDate().isValid());
    QVERIFY(w.value(QStringLiteral("00000001"), "HORA_ARQUIVAMENTO").toTime().isValid());
    QCOMPARE(m_db->scalar("SELECT MOTIVO_ARQUIVAMENTO FROM TRAMITACAO").toString(),
             QStringLiteral("Atendido conforme parecer d'O Jurídico"));
    // Archived, it stays in the list.
    QCOMPARE(w.registers(), QStringList{"00000001"});
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Documento já arquivado."));
    w.menu(0, "ArquivarProcesso");

    dialogs.expectQuestion(unarchiveQ, true);
    dialogs.expectInput(unarchivePrompt, std::nullopt);
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado!"));
    w.menu(0, "DesarquivarProcesso");
    dialogs.expectQuestion(unarchiveQ, true);
    dialogs.expectInput(unarchivePrompt, QString());
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! para desarquivar processo é "
                                         "obrigatório o Motivo do Desarquivamento."));
    w.menu(0, "DesarquivarProcesso");
    dialogs.expectQuestion(unarchiveQ, true);
    dialogs.expectInput(unarchivePrompt, QStringLiteral("  "));
    w.menu(0, "DesarquivarProcesso");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(w.value(QStringLiteral("00000001"), "DATA_DESARQUIVAMENTO").toDate().isValid());
    QCOMPARE(m_db->scalar("SELECT MOTIVO_DESARQUIVAMENTO FROM TRAMITACAO").toString(), QStringLiteral("  "));
    dialogs.expectMessage(
        QStringLiteral("Atenção, procedimento cancelado! Documento já Desarquivado ou não Arquivado."));
    w.menu(0, "DesarquivarProcesso");
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Documento já arquivado."));
    w.menu(0, "ArquivarProcesso");
    VERIFY_DIALOGS(dialogs);
}

void TestRecebimentoPendencia::reasonTooLong() {
    addMovement(*m_db, withStamps(movement("00000001"), QStringLiteral("R")));
    PendingWindow w;
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(TFrm_RecebimentoPendencia::archiveQuestion(), true);
    dialogs.expectInput(TFrm_RecebimentoPendencia::archiveReasonPrompt(), QString(301, QLatin1Char('a')));
    dialogs.expectMessage(QStringLiteral(
        "Atenção, procedimento cancelado! O Motivo do Arquivamento tem 301 caracteres; o máximo é 300."));
    w.menu(0, "ArquivarProcesso");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(m_db->scalar("SELECT DATA_ARQUIVAMENTO FROM TRAMITACAO").isNull());
    QVERIFY(m_db->scalar("SELECT MOTIVO_ARQUIVAMENTO FROM TRAMITACAO").isNull());
}

void TestRecebimentoPendencia::anotherWorkstationReceivedFirst() {
    addMovement(*m_db, movement("00000001"));
    PendingWindow w;
    // The same user on another workstation receives it after this list was read.
    {
        QSqlDatabase other = m_db->openSecondConnection(QStringLiteral("outra_estacao"));
        const core::routing::Outcome done = core::routing::stamp(
            other, core::routing::Stamp::ElectronicReceipt, core::routing::readStamps(other, "00000001"), {},
            QDateTime(QDate(2019, 3, 7), QTime(8, 15, 0)));
        QVERIFY(done.done());
    }
    QVERIFY(w.value(QStringLiteral("00000001"), "DATA_RECEBIMENTO").isNull());
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(TFrm_RecebimentoPendencia::receiveQuestion(), true);
    dialogs.expectMessage(QStringLiteral("Atenção, procedimento cancelado! Documento já recebido."));
    w.menu(0, "RecebeProcessoEletronico");
    VERIFY_DIALOGS(dialogs);
    // The first stamp stays, and the list now shows it.
    QCOMPARE(m_db->scalar("SELECT HORA_RECEBIMENTO FROM TRAMITACAO").toTime(), QTime(8, 15, 0));
    QCOMPARE(w.value(QStringLiteral("00000001"), "HORA_RECEBIMENTO").toTime(), QTime(8, 15, 0));
}

void TestRecebimentoPendencia::anotherDeskSentItOn_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("question"); // empty: none before the refusal
    QTest::addColumn<bool>("asksReason");
    QTest::newRow("Tramitar") << "Tramitar" << QString() << false;
    QTest::newRow("Arquivar") << "ArquivarProcesso" << TFrm_RecebimentoPendencia::archiveQuestion() << true;
}

void TestRecebimentoPendencia::anotherDeskSentItOn() {
    QFETCH(QString, entry);
    QFETCH(QString, question);
    QFETCH(bool, asksReason);
    addMovement(*m_db, withStamps(movement("00000001"), QStringLiteral("R")));
    PendingWindow w;
    // The same user, on another desk, sends the process on after this list was read.
    {
        QSqlDatabase other = m_db->openSecondConnection(QStringLiteral("outra_mesa"));
        core::routing::Sending s;
        s.registro = QStringLiteral("00000002");
        s.process = QStringLiteral("00000001");
        s.year = QStringLiteral("2019");
        s.subject = QStringLiteral("PEDIDO DE ALVARÁ");
        s.unit = QStringLiteral("0003");
        s.destination = QStringLiteral("00000003");
        s.destinationName = QStringLiteral("PAULO ROBERTO NUNES");
        s.sender = kMe;
        s.expectedLatest = QStringLiteral("00000001");
        s.date = QDate(2019, 3, 9);
        s.time = QTime(9, 0, 0);
        QVERIFY(core::routing::send(other, s).done());
    }
    QCOMPARE(w.registers(), QStringList{"00000001"});
    ScriptedDialogs dialogs;
    if (!question.isEmpty()) dialogs.expectQuestion(question, true);
    if (asksReason)
        dialogs.expectInput(TFrm_RecebimentoPendencia::archiveReasonPrompt(), QStringLiteral("Concluído"));
    dialogs.expectMessage(core::routing::alreadyForwardedMessage());
    w.menu(0, entry.toLatin1().constData());
    VERIFY_DIALOGS(dialogs);
    // Nothing written, no routing form opened, and the list read again without the movement.
    QVERIFY(processes::Frm_Tramitacao.isNull());
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO WHERE DATA_ARQUIVAMENTO IS NOT NULL").toInt(), 0);
    QCOMPARE(w.registers(), QStringList());
}

void TestRecebimentoPendencia::windowedListKeepsThePendingRule() {
    // 00000001/2019 goes U1 -> U2 -> U3 and back to U2; U3's forward and a sending to U4 leave in
    // the same second; the same number of 2018 goes to U5.
    auto add = [&](const char* registro, const char* from, const char* to, const QDate& date,
                   const QTime& time, const QString& stamps, const char* year = "2019") {
        MovementRow r = withStamps(movement(registro, to), stamps);
        r.from = QString::fromLatin1(from);
        r.year = QString::fromLatin1(year);
        r.date = date;
        r.time = time;
        addMovement(*m_db, r);
    };
    add("00000001", "00000001", "00000002", QDate(2019, 3, 1), QTime(10, 0, 0), QStringLiteral("R"));
    add("00000002", "00000002", "00000003", QDate(2019, 3, 1), QTime(10, 0, 1), QStringLiteral("R"));
    add("00000003", "00000003", "00000002", QDate(2019, 3, 4), QTime(8, 0, 0), QStringLiteral("RFA"));
    add("00000004", "00000003", "00000004", QDate(2019, 3, 4), QTime(8, 0, 0), QString());
    add("00000005", "00000001", "00000005", QDate(2019, 4, 1), QTime(9, 0, 0), QString(), "2018");
    // A busy desk: more movements than the first screen reads, half of them received, every
    // fourth already sent on to U3.
    QVERIFY(m_db->exec(QStringLiteral(
        "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 700) DO BEGIN "
        "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, DATA, HORA, "
        "DATA_RECEBIMENTO, HORA_RECEBIMENTO) VALUES (LPAD(100 + :I, 8, '0'), LPAD(:I, 8, '0'), '2017', "
        "'00000001', '00000002', DATEADD(MOD(:I, 40) DAY TO DATE '2017-01-01'), TIME '09:00:00', "
        "IIF(MOD(:I, 2) = 0, DATEADD(MOD(:I, 13) DAY TO DATE '2017-03-01'), NULL), "
        "IIF(MOD(:I, 2) = 0, TIME '10:00:00', NULL)); "
        "IF (MOD(:I, 4) = 1) THEN INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, "
        "COD_USUARIO_DESTINO, DATA, HORA) VALUES (LPAD(5000 + :I, 8, '0'), LPAD(:I, 8, '0'), '2017', "
        "'00000002', '00000003', DATE '2017-06-01', TIME '09:00:00'); "
        "I = I + 1; END END")));

    for (const char* user : {"00000001", "00000002", "00000003", "00000004", "00000005"}) {
        const QString code = QString::fromLatin1(user);
        // The rule's rows, newest receipt first, the ones not received last, the newest movement
        // first among equals.
        struct Row {
            QString registro;
            QDateTime received;
        };
        QList<Row> expected;
        QSqlQuery q(m_db->connection());
        QVERIFY(q.prepare(core::routing::pendingQuery()));
        q.bindValue(QStringLiteral(":UM"), code);
        QVERIFY(q.exec());
        while (q.next())
            expected.append({q.value(QStringLiteral("REGISTRO")).toString(),
                             q.value(QStringLiteral("DATA_RECEBIMENTO")).isNull()
                                 ? QDateTime()
                                 : QDateTime(q.value(QStringLiteral("DATA_RECEBIMENTO")).toDate(),
                                             q.value(QStringLiteral("HORA_RECEBIMENTO")).toTime())});
        std::sort(expected.begin(), expected.end(), [](const Row& a, const Row& b) {
            if (a.received.isValid() != b.received.isValid()) return a.received.isValid();
            if (a.received != b.received) return a.received > b.received;
            return a.registro > b.registro;
        });
        QStringList registers;
        for (const Row& r : std::as_const(expected))
            registers << r.registro;

        TFrm_RecebimentoPendencia form(nullptr);
        QString error;
        QVERIFY2(form.reload(code, &error), qPrintable(error));
        QVERIFY(form.records()->waitForComplete());
        QStringList shown;
        for (int r = 0; r < form.records()->rowCount(); ++r)
            shown << form.records()->keyAt(r).first();
        QCOMPARE(shown, registers);
    }
    // Sent in the same second as the way back to U2, the sending to U4 stays with U4.
    QCOMPARE(testsupport::pendingRegisters(*m_db, QStringLiteral("00000004")), QStringList{"00000004"});

    // The busy desk on the screen: the first screen at once, the rest as the reading goes on;
    // a row far down shows its own values.
    PendingWindow w;
    QTRY_VERIFY(w.form->records()->isComplete());
    QCOMPARE(w.form->records()->rowCount(), 1 + 700 - 175);
    QCOMPARE(w.form->records()->currentRow(), 0);
    const QStringList all = w.registers();
    QCOMPARE(all.first(), QStringLiteral("00000003"));
    QCOMPARE(w.value(all.last(), "COD_USUARIO").toString(), QStringLiteral("00000001"));
    QVERIFY(w.value(all.last(), "DATA_RECEBIMENTO").isNull());
    QCOMPARE(w.value(QStringLiteral("00000003"), "ASSUNTO").toString(), QStringLiteral("PEDIDO DE ALVARÁ"));
    QCOMPARE(w.value(QStringLiteral("00000003"), "USUARIO").toString(),
             QStringLiteral("PAULO ROBERTO NUNES"));
}

void TestRecebimentoPendencia::waitingAndDeadline_data() {
    QTest::addColumn<int>("deadline"); // days of the process type; 0: none
    QTest::addColumn<int>("daysAgo");  // the movement was sent that many days before today
    QTest::addColumn<QString>("stamps");
    QTest::addColumn<QString>("waiting");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("overdue");
    QTest::newRow("no deadline") << 0 << 3 << ""
                                 << "3 dias"
                                 << "" << false;
    QTest::newRow("sent today") << 5 << 0 << ""
                                << "Hoje"
                                << "Faltam 5 dias" << false;
    QTest::newRow("on the deadline") << 10 << 10 << "R"
                                     << "10 dias"
                                     << "Vence hoje" << false;
    QTest::newRow("overdue") << 10 << 14 << "R"
                             << "14 dias"
                             << "Atrasado 4 dias" << true;
    QTest::newRow("overdue by one") << 1 << 2 << ""
                                    << "2 dias"
                                    << "Atrasado 1 dia" << true;
    QTest::newRow("archived") << 10 << 14 << "RA"
                              << "14 dias"
                              << "" << false;
    QTest::newRow("unarchived") << 10 << 14 << "RAD"
                                << "14 dias"
                                << "Atrasado 4 dias" << true;
}

void TestRecebimentoPendencia::waitingAndDeadline() {
    QFETCH(int, deadline);
    QFETCH(int, daysAgo);
    QFETCH(QString, stamps);
    QFETCH(QString, waiting);
    QFETCH(QString, state);
    QFETCH(bool, overdue);
    m_db->insert(QStringLiteral("TIPOPROCESSO"), {{"IDTIPO", "0001"}, {"TIPO", "ALVARÁ"}});
    m_db->exec(QStringLiteral("UPDATE PROCESSOS SET IDTIPOPROCESSO = '0001'"));
    if (deadline > 0)
        m_db->exec(QStringLiteral("INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) VALUES ('0001', ?)"),
                   {deadline});
    MovementRow r = withStamps(movement("00000001"), stamps);
    r.date = QDate::currentDate().addDays(-daysAgo);
    addMovement(*m_db, r);

    PendingWindow w;
    auto* grid = child<QTableView>(w.form, "DBGrid1");
    QAbstractItemModel* model = grid->model();
    const int columns = model->columnCount();
    QCOMPARE(model->headerData(columns - 2, Qt::Horizontal).toString(), QStringLiteral("Dias"));
    QCOMPARE(model->headerData(columns - 1, Qt::Horizontal).toString(), QStringLiteral("Prazo"));
    QCOMPARE(model->index(0, columns - 2).data().toString(), waiting);
    QCOMPARE(model->index(0, columns - 1).data().toString(), state);
    // An overdue row stands out in every cell, and says why to a screen reader.
    for (int c = 0; c < columns; ++c) {
        const QModelIndex cell = model->index(0, c);
        const QColor colour = cell.data(Qt::BackgroundRole).value<QColor>();
        QCOMPARE(colour == forms::whiteColour(), !overdue);
        QCOMPARE(cell.data(Qt::AccessibleDescriptionRole).toString(), overdue ? state : QString());
    }
    // Selected, an overdue row keeps its mark: the cursor bar takes a dark shade of it, not navy.
    grid->selectRow(0);
    const QRect rect = grid->visualRect(model->index(0, 0));
    const QImage shot = grid->viewport()->grab().toImage();
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty() && overdue)
        w.form->grab().save(dir + "/Frm_RecebimentoPendencia_atrasado.png");
    const QColor bar = shot.pixelColor(rect.left() + 2, rect.center().y());
    const QColor mark = model->index(0, 0).data(forms::kRowMarkRole).value<QColor>();
    QCOMPARE(bar.rgb(), (overdue ? forms::GridModel::selectedMarkColour(mark) : QColor(0, 0, 128)).rgb());
}

void TestRecebimentoPendencia::waitingColumnsSortByTheirDays() {
    const QDate today = QDate::currentDate();
    m_db->insert(QStringLiteral("TIPOPROCESSO"), {{"IDTIPO", "0001"}, {"TIPO", "ALVARÁ"}});
    m_db->insert(QStringLiteral("TIPOPROCESSO"), {{"IDTIPO", "0002"}, {"TIPO", "CERTIDÃO"}});
    m_db->exec(QStringLiteral("INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) VALUES ('0001', 10)"));
    m_db->exec(QStringLiteral("INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) VALUES ('0002', 1)"));
    m_db->exec(
        QStringLiteral("UPDATE PROCESSOS SET IDTIPOPROCESSO = '0001' WHERE IDPROCESSO = '00000001' AND "
                       "ANO = '2019'"));
    m_db->exec(QStringLiteral("UPDATE PROCESSOS SET IDTIPOPROCESSO = '0002' WHERE IDPROCESSO = '00000002'"));
    // Due in 8 days; due today; no deadline (the process of 2018 has no type).
    MovementRow a = movement("00000001");
    a.date = today.addDays(-2);
    addMovement(*m_db, a);
    MovementRow b = movement("00000002");
    b.process = QStringLiteral("00000002");
    b.date = today.addDays(-1);
    addMovement(*m_db, b);
    MovementRow c = movement("00000003");
    c.year = QStringLiteral("2018");
    c.date = today.addDays(-5);
    addMovement(*m_db, c);

    PendingWindow w;
    auto* grid = child<QTableView>(w.form, "DBGrid1");
    const int columns = grid->model()->columnCount();
    auto clickTitle = [&](int column) {
        grid->scrollTo(grid->model()->index(0, column));
        QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(grid->horizontalHeader()->sectionViewportPosition(column) + 5, 5));
    };
    // Longest waiting first: the sending day ascending.
    clickTitle(columns - 2);
    QCOMPARE(w.registers(), (QStringList{"00000003", "00000001", "00000002"}));
    QCOMPARE(grid->model()->index(0, columns - 2).data().toString(), QStringLiteral("5 dias"));
    // By the day the deadline falls due, no deadline first.
    clickTitle(columns - 1);
    QCOMPARE(w.registers(), (QStringList{"00000003", "00000002", "00000001"}));
    QCOMPARE(grid->model()->index(1, columns - 1).data().toString(), QStringLiteral("Vence hoje"));
    QCOMPARE(w.form->gridModel()->columnColour(columns - 1), forms::whiteColour());
}

QTEST_MAIN(TestRecebimentoPendencia)
#include "tst_recebimentopendencia.moc"
