// The pending list worked in batches, through the window: selecting several rows with the mouse
// and the keys with their count shown, one question for the batch, the routing form's batch mode,
// "Cancelar" half way, the list read once keeping the selection of what is still there, and the
// summary window with its text, copy and print.
#include "core/routing.h"
#include "core/session.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupdialog.h"
#include "forms/processes/processes.h"
#include "forms/processes/recebimentopendencia.h"
#include "forms/processes/resumolote.h"
#include "forms/processes/tramitacao.h"
#include "tests/processes/routingfixture.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
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

QString reg(int k) {
    return QString::number(k).rightJustified(8, QLatin1Char('0'));
}

// Where the pictures of the window go, when asked for (PROTOCOLO_TEST_PICTURES=folder).
void picture(QWidget* w, const char* name) {
    const QString folder = qEnvironmentVariable("PROTOCOLO_TEST_PICTURES");
    if (!folder.isEmpty())
        w->grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// Acts on the summary window when it opens (the progress window of a slow batch may open before
// it), and closes it afterwards.
void onSummary(std::function<void(QDialog*)> action) {
    auto* timer = new QTimer(qApp);
    auto* waited = new int(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QDialog* d = processes::Frm_ResumoLote.data();
        if (d && d->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete waited;
            action(d);
            if (d->isVisible()) forms::closeWindow(d);
            return;
        }
        if (++*waited > 1000) {
            timer->stop();
            timer->deleteLater();
            delete waited;
            QTest::qFail("O resumo do lote não foi aberto", __FILE__, __LINE__);
        }
    });
    timer->start();
}

struct PendingWindow {
    std::unique_ptr<TFrm_RecebimentoPendencia> form;
    QTableView* grid = nullptr;

    PendingWindow() {
        form = std::make_unique<TFrm_RecebimentoPendencia>(nullptr);
        QString error;
        QVERIFY2(form->reload(kMe, &error), qPrintable(error));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        grid = child<QTableView>(form.get(), "DBGrid1");
    }
    int rowOf(const QString& registro) const {
        forms::RowSource* rows = form->records();
        const int f = rows->fieldIndex(QStringLiteral("REGISTRO"));
        for (int r = 0; r < rows->rowCount(); ++r)
            if (rows->valueAt(r, f).toString() == registro) return r;
        return -1;
    }
    QStringList selected() const {
        QStringList out;
        forms::RowSource* rows = form->records();
        for (int r : form->selectedRows())
            out << rows->valueAt(r, rows->fieldIndex(QStringLiteral("REGISTRO"))).toString();
        out.sort();
        return out;
    }
    QString count() const { return child<QLabel>(form.get(), "LSelecionados")->text(); }
    void click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        const QRect r = grid->visualRect(grid->model()->index(row, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, r.center());
    }
    // Selects the movements given (a click, then Ctrl+click on the others).
    void select(const QStringList& registers) const {
        for (int i = 0; i < registers.size(); ++i)
            click(rowOf(registers.at(i)), i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    }
    // Right click on a row of the selection, then the entry.
    void menu(const QString& onRegister, const char* entry) const {
        const QRect r = grid->visualRect(grid->model()->index(rowOf(onRegister), 1));
        emit grid->customContextMenuRequested(r.center());
        QMenu* popup = form->popupMenu();
        popup->hide();
        QAction* action = popup->findChild<QAction*>(QString::fromLatin1(entry));
        QVERIFY2(action, entry);
        action->trigger();
    }
};

// Movement k of process 0000000k/2019 to 00000002, with its stamps.
void addMine(TestDatabase& db, int k, const QString& stamps, int day = 1) {
    MovementRow row;
    row.registro = reg(k);
    row.process = reg(k);
    row.to = kMe;
    row.date = QDate(2019, 3, day);
    row.time = QTime(10, 0, k);
    addMovement(db, withStamps(row, stamps));
}

} // namespace

class TestBatchInTray : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void selectingRows();
    void stampsOnTheSelection_data();
    void stampsOnTheSelection();
    void sendingOnTheSelection();
    void cancelledHalfWay();
    void summaryCopiedAndPrinted();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestBatchInTray::initTestCase() {
    processes::registerMenuCommands();
}

void TestBatchInTray::init() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addRoutingOffice(*m_db);
    for (const char* p : {"00000003", "00000004", "00000005"})
        m_db->insert(
            QStringLiteral("PROCESSOS"),
            {{"IDPROCESSO", p}, {"ANO", "2019"}, {"ASSUNTO", "OUTRO PEDIDO"}, {"COD_USUARIO", "00000001"}});
    core::currentUser() = {kMe, QStringLiteral("CARLA MENDES ROCHA"), QString(), QStringLiteral("SIM")};
}

void TestBatchInTray::cleanup() {
    QVERIFY(processes::Frm_Tramitacao.isNull());
    QVERIFY(processes::Frm_ResumoLote.isNull());
    m_db.reset();
}

void TestBatchInTray::selectingRows() {
    for (int k = 1; k <= 4; ++k)
        addMine(*m_db, k, QString());
    PendingWindow w;
    QCOMPARE(w.count(), QStringLiteral("1 processo selecionado"));
    w.click(0);
    w.click(2, Qt::ShiftModifier);
    QCOMPARE(w.count(), QStringLiteral("3 processos selecionados"));
    QCOMPARE(w.form->selectedRows(), (QList<int>{0, 1, 2}));
    picture(w.form.get(), "pendencias-selecao");
    // Ctrl+click takes a row out of the selection and puts it back.
    w.click(1, Qt::ControlModifier);
    QCOMPARE(w.form->selectedRows(), (QList<int>{0, 2}));
    QCOMPARE(w.count(), QStringLiteral("2 processos selecionados"));
    // Shift with the arrows, from a single row.
    w.click(3);
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(w.form->selectedRows(), (QList<int>{2, 3}));
    QTest::keyClick(w.grid, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.count(), QStringLiteral("4 processos selecionados"));
    // A right click on a row outside the selection chooses that row alone.
    w.click(0);
    w.click(1, Qt::ShiftModifier);
    const QRect r = w.grid->visualRect(w.grid->model()->index(3, 1));
    emit w.grid->customContextMenuRequested(r.center());
    w.form->popupMenu()->hide();
    QCOMPARE(w.form->selectedRows(), QList<int>{3});
    QCOMPARE(w.form->records()->currentRow(), 3);
}

void TestBatchInTray::stampsOnTheSelection_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("reason"); // empty: none asked
    // The summary follows the list's order: the received movement first, then the newest.
    QTest::addColumn<QString>("summary");
    QTest::newRow("received, one already")
        << "RecebeProcessoEletronico"
        << "Deseja Receber Eletronicamente os 3 Processos selecionados ?"
        << ""
        << "Recebimento Eletrônico em lote: 3 processos selecionados.\n\n"
           "Realizados: 2\n"
           "  Processo 00000003/2019 - Registro 00000003\n"
           "  Processo 00000001/2019 - Registro 00000001\n"
           "Recusados: 1\n"
           "  Processo 00000002/2019 - Registro 00000002: Atenção, procedimento "
           "cancelado! Documento já recebido.";
    QTest::newRow("physically received, mixed") << "RecebeProcessoFisico"
                                                << "Deseja Receber Fisicamente os 3 Processos selecionados ?"
                                                << ""
                                                << "Recebimento Físico em lote: 3 processos selecionados.\n\n"
                                                   "Realizados: 3\n"
                                                   "  Processo 00000002/2019 - Registro 00000002\n"
                                                   "  Processo 00000003/2019 - Registro 00000003\n"
                                                   "  Processo 00000001/2019 - Registro 00000001\n"
                                                   "Recusados: 0";
    QTest::newRow("archived, one not received")
        << "ArquivarProcesso"
        << "Deseja Arquivar os 3 Processos selecionados ?"
        << "Encerrado em lote."
        << "Arquivamento em lote: 3 processos selecionados.\n\n"
           "Realizados: 1\n"
           "  Processo 00000002/2019 - Registro 00000002\n"
           "Recusados: 2\n"
           "  Processo 00000003/2019 - Registro 00000003: Atenção, procedimento "
           "cancelado! Primeiro receba processo.\n"
           "  Processo 00000001/2019 - Registro 00000001: Atenção, procedimento "
           "cancelado! Primeiro receba processo.";
}

void TestBatchInTray::stampsOnTheSelection() {
    QFETCH(QString, entry);
    QFETCH(QString, question);
    QFETCH(QString, reason);
    QFETCH(QString, summary);
    addMine(*m_db, 1, QString());
    addMine(*m_db, 2, QStringLiteral("R"));
    addMine(*m_db, 3, QString());
    addMine(*m_db, 4, QString()); // not selected: left alone
    PendingWindow w;
    const QStringList chosen{reg(1), reg(2), reg(3)};
    w.select(chosen);
    QCOMPARE(w.count(), QStringLiteral("3 processos selecionados"));
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(question, true);
    if (!reason.isEmpty())
        dialogs.expectInput(processes::TFrm_RecebimentoPendencia::archiveReasonPrompt(), reason);
    QString shown;
    onSummary([&](QDialog* d) {
        shown = child<QPlainTextEdit>(d, "MemoResumo")->toPlainText();
        testsupport::click(d, "Botao_Fechar");
    });
    w.menu(reg(2), entry.toLatin1().constData());
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(shown, summary);
    // Read once at the end: the stamps show, and the three stay selected.
    QCOMPARE(w.selected(), chosen);
    if (entry == QLatin1String("RecebeProcessoEletronico")) {
        QVERIFY(m_db->scalar("SELECT DATA_RECEBIMENTO FROM TRAMITACAO WHERE REGISTRO='00000003'")
                    .toDate()
                    .isValid());
        QVERIFY(m_db->scalar("SELECT DATA_RECEBIMENTO FROM TRAMITACAO WHERE REGISTRO='00000004'").isNull());
    }
}

void TestBatchInTray::sendingOnTheSelection() {
    addMine(*m_db, 1, QStringLiteral("R"));
    addMine(*m_db, 2, QStringLiteral("RA")); // archived: refused, stays
    addMine(*m_db, 3, QStringLiteral("R"));
    PendingWindow w;
    w.select({reg(1), reg(2), reg(3)});
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(QStringLiteral("Deseja Tramitar os 3 Processos selecionados ?"), true);
    QString shown;
    testsupport::onModalDialog([&](QDialog* f) {
        QCOMPARE(f->objectName(), QStringLiteral("Frm_Tramitacao"));
        QCOMPARE(f->windowTitle(), QStringLiteral("Tramitação em lote (3 processos)"));
        auto* label = child<QLabel>(f, "LLote");
        QVERIFY(label->isVisible());
        QCOMPARE(
            label->text(),
            QStringLiteral("Tramitação em lote: 3 processos, cada um com este destino e este despacho."));
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
        auto* despacho = child<QPlainTextEdit>(f, "Campo3");
        despacho->setFocus();
        despacho->insertPlainText(QStringLiteral("Para providências."));
        picture(f, "tramitacao-lote");
        // The summary follows the routing form.
        onSummary([&](QDialog* d) {
            shown = child<QPlainTextEdit>(d, "MemoResumo")->toPlainText();
            picture(d, "resumo-lote");
            testsupport::click(d, "Botao_Fechar");
        });
        testsupport::click(f, "Botao_Salvar");
    });
    w.menu(reg(3), "Tramitar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(shown,
             QStringLiteral("Tramitação em lote: 3 processos selecionados.\n"
                            "Destino: Unidade 0003, Usuário 00000003 - PAULO ROBERTO NUNES\n\n"
                            "Realizados: 2\n"
                            "  Processo 00000003/2019 - Registro 00000003 -> novo Registro 00000004\n"
                            "  Processo 00000001/2019 - Registro 00000001 -> novo Registro 00000005\n"
                            "Recusados: 1\n"
                            "  Processo 00000002/2019 - Registro 00000002: Atenção, procedimento cancelado! "
                            "Processo arquivado."));
    // The two sent left the list; the refused one is still there and still selected.
    QCOMPARE(w.form->records()->rowCount(), 1);
    QCOMPARE(w.selected(), QStringList{reg(2)});
    QStringList arrived = testsupport::pendingRegisters(*m_db, QStringLiteral("00000003"));
    arrived.sort();
    QCOMPARE(arrived, (QStringList{reg(4), reg(5)}));
    QCOMPARE(m_db->scalar("SELECT DESPACHO FROM TRAMITACAO WHERE REGISTRO='00000005'").toString(),
             QStringLiteral("Para providências."));
}

void TestBatchInTray::cancelledHalfWay() {
    for (int k = 1; k <= 5; ++k)
        addMine(*m_db, k, QString());
    PendingWindow w;
    QTest::keyClick(w.grid, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.count(), QStringLiteral("5 processos selecionados"));
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(QStringLiteral("Deseja Receber Eletronicamente os 5 Processos selecionados ?"),
                           true);
    // "Cancelar" pressed while the first movements are written: the events are processed between
    // two movements, so the batch stops at the next one.
    int cancelledAt = -1;
    QTimer::singleShot(0, w.form.get(), [&] {
        auto* progress = w.form->findChild<QProgressDialog*>(QStringLiteral("ProgressoLote"));
        QVERIFY(progress);
        QCOMPARE(progress->findChild<QPushButton*>()->text(), QStringLiteral("Cancelar"));
        cancelledAt = progress->value();
        progress->cancel();
    });
    QString shown;
    onSummary([&](QDialog* d) {
        shown = child<QPlainTextEdit>(d, "MemoResumo")->toPlainText();
        testsupport::click(d, "Botao_Fechar");
    });
    w.menu(reg(1), "RecebeProcessoEletronico");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(cancelledAt, 1);
    const int done =
        m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO WHERE DATA_RECEBIMENTO IS NOT NULL").toInt();
    QCOMPARE(done, 1);
    // The list's order is newest receipt first: the one received leads, the rest follow.
    const QStringList lines = shown.split(QLatin1Char('\n'));
    QCOMPARE(lines.at(2), QStringLiteral("Realizados: 1"));
    QCOMPARE(lines.at(5), QStringLiteral("Não realizados (lote cancelado pelo usuário): 4"));
    QCOMPARE(lines.size(), 10);
    QCOMPARE(w.selected(), (QStringList{reg(1), reg(2), reg(3), reg(4), reg(5)}));
}

void TestBatchInTray::summaryCopiedAndPrinted() {
    core::batch::Summary summary;
    summary.action = core::batch::Action::Archiving;
    core::batch::Result done;
    done.item.process = reg(1);
    done.item.year = QStringLiteral("2019");
    done.item.stamps.registro = reg(7);
    done.kind = core::batch::Result::Done;
    core::batch::Result refused = done;
    refused.item.stamps.registro = reg(8);
    refused.kind = core::batch::Result::Refused;
    refused.text = core::routing::alreadyArchivedMessage();
    summary.results = {done, refused};
    processes::TFrm_ResumoLote window(summary, nullptr);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Resumo do Lote - Arquivamento"));
    testsupport::click(&window, "Botao_Copiar");
    QCOMPARE(QApplication::clipboard()->text(), core::batch::summaryText(summary));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = m_db->folder() + QStringLiteral("/resumo.pdf");
    printer.setOutputFileName(pdf);
    QVERIFY(window.printTo(printer));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("%PDF"));
    const QString folder = qEnvironmentVariable("PROTOCOLO_TEST_PICTURES");
    if (!folder.isEmpty()) QFile::copy(pdf, folder + QStringLiteral("/resumo-lote.pdf"));
}

QTEST_MAIN(TestBatchInTray)
#include "tst_batchintray.moc"
