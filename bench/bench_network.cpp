// Times the program as an office runs it: the database on a server, the workstation reached
// through a network of 0, 1 and 30 ms round trip (bench/latencyproxy.h in front of a private
// server started by scripts/firebird-server.sh in a folder of its own). One line per action and
// delay:
//   <action> @<rtt> ms: <N> ms (round trips <K>, floor <M> ms)
// K is counted at the proxy. The floor is what the action cannot do without: the round trips it
// needs at the least, times the delay, plus the same action at 0 ms. At the least means one round
// trip per statement whose answer the action truly needs (a statement prepared, executed and its
// first rows fetched can travel as one exchange), one for the commit of a write, and two for a
// connection (the protocol's greeting and the attachment). Each action's count of needed round
// trips is written beside it below.
//
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_network [processes] [movements]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs; with
// PROTOCOLO_BENCH_ONLY=pauses only the pauses of the lists read in the background are measured.
// PROTOCOLO_BENCH_RTT=30 (a comma-separated list) times only those delays besides 0 ms. With
// LD_PRELOAD=build/bench/libfbtrace.so each timed step is announced on stderr ("== <action> @<rtt>")
// before the client calls it makes.
#include "app/principal.h"
#include "app/senha.h"
#include "bench/benchdata.h"
#include "bench/latencyproxy.h"
#include "bench/privateserver.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/handoff.h"
#include "core/session.h"
#include "forms/common/gridmodel.h"
#include "forms/common/recordset.h"
#include "forms/common/windowedsource.h"
#include "forms/processes/pesqdespacho.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/processes/processos.h"
#include "forms/processes/recebimentopendencia.h"
#include "forms/processes/tramitacao.h"
#include "reports/engine/preview.h"
#include "reports/processes/processreports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTableView>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

QTextStream out(stdout);

// Questions are answered Yes; anything else said is an unexpected turn, printed.
class BenchDialogs : public core::DialogService {
public:
    int unexpected = 0;
    void message(QWidget*, const QString& text, const QString&) override { said(text); }
    bool question(QWidget*, const QString&, DefaultButton) override { return true; }
    std::optional<QString> input(QWidget*, const QString&, const QString& prompt, const QString&) override {
        said(prompt);
        return std::nullopt;
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override {
        return {};
    }
    void error(QWidget*, const QString& text) override { said(text); }

private:
    void said(const QString& text) {
        ++unexpected;
        out << "  (said: " << QString(text).replace(QLatin1Char('\r'), QLatin1Char(' ')) << ")" << Qt::endl;
    }
};

// A list open in its window, for the pauses measured while it reads.
struct SearchedList {
    QDialog* window = nullptr;
    forms::WindowedSource* rows = nullptr;
    QTableView* grid = nullptr;
    forms::GridModel* model = nullptr;
};

struct Action {
    QString name;
    int needed;                   // round trips it cannot do without
    std::function<bool()> before; // untimed: what the user did before the timed step
    std::function<bool()> timed;
    std::function<void()> after;      // untimed: closing what the step opened
    std::function<bool()> check = {}; // untimed: that the step did what it should (read afterwards)
};

QString scalarText(const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

// Movements of `user` waiting for it, received (electronically) or not, oldest register first.
QStringList pendingOf(const QString& user, bool received, int count) {
    QStringList found;
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT FIRST %1 A.REGISTRO FROM TRAMITACAO A WHERE %2 AND A.DATA_RECEBIMENTO IS %3 "
                       "AND A.DATA_ARQUIVAMENTO IS NULL ORDER BY A.REGISTRO DESC")
            .arg(count)
            .arg(core::routing::pendingCondition(),
                 received ? QStringLiteral("NOT NULL") : QStringLiteral("NULL"))
            .replace(QLatin1String(":UM"), QLatin1String("?")));
    const int marks = q.lastQuery().count(QLatin1Char('?'));
    for (int i = 0; i < marks; ++i)
        q.addBindValue(user);
    if (q.exec())
        while (q.next())
            found << q.value(0).toString();
    return found;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BenchDialogs dialogs;
    core::setDialogService(&dialogs);
    bench::Volume volume;
    if (argc > 1) volume.processes = QString::fromLocal8Bit(argv[1]).toInt();
    if (argc > 2) volume.movements = QString::fromLocal8Bit(argv[2]).toInt();
    out << "data set: " << volume.processes << " processes, " << volume.movements << " movements" << Qt::endl;
    bench::BenchDatabase database;
    if (!database.openOrFill(volume, out)) return 1;
    // The server opens the file alone: the filling connection lets go of it first.
    core::mainConnection().close();

    bench::PrivateServer server;
    bench::LatencyProxy proxy;
    if (!bench::startBehindProxy(server, proxy, out)) return 1;
    QString error;
    core::initialiseAppValues(4); // remote mode, as a workstation of the office
    core::appValues().profileNumber = 0;
    core::appValues().exerciseYear = QStringLiteral("2019");
    core::appValues().profile.remoteLocation = proxy.address() + QLatin1Char(':') + database.path();
    const core::ConnectionTarget target = core::buildConnectionTarget(core::appValues().profile, QString());
    if (!core::openMainConnection(target, &error)) {
        out << "connection: " << error << Qt::endl;
        return 1;
    }

    const QString clerk = bench::BenchDatabase::userCode(1); // registers processes
    const QString busy = bench::BenchDatabase::userCode(2);  // the pending list, sendings, receipts
    const QString destination = bench::BenchDatabase::userCode(3);
    const QString destinationUnit =
        scalarText(QStringLiteral("SELECT IDUNIDADE FROM USUARIOS WHERE COD_USUARIO = ?"), {destination});
    auto as = [](const QString& user) {
        core::currentUser() = {user, QStringLiteral("SERVIDOR %1").arg(user.toInt()), QString(),
                               QStringLiteral("SIM")};
    };
    const QString someProcess =
        scalarText(QStringLiteral("SELECT FIRST 1 IDPROCESSO FROM PROCESSOS ORDER BY 1 DESC"));
    const QString someYear =
        scalarText(QStringLiteral("SELECT MAX(ANO) FROM PROCESSOS WHERE IDPROCESSO = ?"), {someProcess});
    // Enough of the busy user's movements for every timed sending and receipt.
    QStringList toSend = pendingOf(busy, true, 40);
    QStringList toReceive = pendingOf(busy, false, 40);
    out << "busy user " << busy << ": " << toSend.size() << " received and " << toReceive.size()
        << " unreceived movements set aside" << Qt::endl;

    std::unique_ptr<QDialog> window;
    std::unique_ptr<app::TFrm_Principal> principal;
    QList<Action> actions;
    // The login as the clerk waits for it, step by step: the program's start (the connection, 2),
    // leaving the code box (the user looked up, 1), and "Entrar" up to the main window with the
    // pending list (its first screen, 1) and the rights (1). Timed whole, then step by step.
    std::unique_ptr<app::TFrm_Senha> login;
    auto typeCode = [&] {
        login = std::make_unique<app::TFrm_Senha>(nullptr);
        login->findChild<QLineEdit*>(QStringLiteral("Campo1"))->setText(QStringLiteral("2"));
    };
    auto leaveCode = [&] {
        login->Campo1Exit();
        return !login->findChild<QLineEdit*>(QStringLiteral("CampoE4"))->text().isEmpty();
    };
    auto enterUpToMainWindow = [&] {
        login->Botao_EntrarClick();
        login.reset();
        if (core::currentUser().code != busy) return false;
        processes::TFrm_RecebimentoPendencia pending(nullptr);
        if (!pending.reload(busy, &error)) return false;
        pending.show();
        QApplication::processEvents();
        pending.grab();
        pending.hide();
        principal = std::make_unique<app::TFrm_Principal>();
        principal->FormActivate();
        return true;
    };
    auto closeLogin = [&] {
        login.reset();
        principal.reset();
    };
    actions << Action{QStringLiteral("login up to the main window"), 5, [&] { return true; },
                      [&] {
                          if (!core::openMainConnection(target, &error)) return false;
                          typeCode();
                          return leaveCode() && enterUpToMainWindow();
                      },
                      closeLogin};
    actions << Action{QStringLiteral("  login step: connection at start-up"), 2, [&] { return true; },
                      [&] { return core::openMainConnection(target, &error); }, [] {}};
    actions << Action{QStringLiteral("  login step: code box left"), 1,
                      [&] {
                          typeCode();
                          return true;
                      },
                      leaveCode, closeLogin};
    actions << Action{QStringLiteral("  login step: Entrar up to the main window"), 2,
                      [&] {
                          typeCode();
                          return leaveCode();
                      },
                      enterUpToMainWindow, closeLogin};
    // The first screen of the list (1).
    actions << Action{QStringLiteral("pending list of a busy user"), 1,
                      [&] {
                          as(busy);
                          return true;
                      },
                      [&] {
                          auto* w = new processes::TFrm_RecebimentoPendencia(nullptr);
                          window.reset(w);
                          if (!w->reload(busy, &error)) return false;
                          w->show();
                          QApplication::processEvents();
                          w->grab();
                          return true;
                      },
                      [&] { window.reset(); }};
    // The list of the year (1); the record part is read empty and needs no answer.
    actions << Action{QStringLiteral("process form"), 1,
                      [&] {
                          as(clerk);
                          return true;
                      },
                      [&] {
                          auto* w = new processes::TFrm_Processos(nullptr);
                          window.reset(w);
                          return w->prepare(&error);
                      },
                      [&] { window.reset(); }};
    // The first screen (1).
    actions << Action{QStringLiteral("process search, first rows"), 1, [&] { return true; },
                      [&] {
                          auto* w = new processes::TFrm_PesqProcesso(nullptr);
                          window.reset(w);
                          w->show();
                          QApplication::processEvents();
                          forms::WindowedSource* s = w->records();
                          s->setParameter(QStringLiteral("P_ANO"), core::appValues().exerciseYear);
                          if (!s->open()) return false;
                          for (int r = 0; r < std::min(30, s->rowCount()); ++r)
                              for (int f = 0; f < s->fieldCount(); ++f)
                                  s->valueAt(r, f);
                          w->grab();
                          return s->rowCount() > 0;
                      },
                      [&] { window.reset(); }};
    actions << Action{QStringLiteral("dispatch search, first rows"), 1, [&] { return true; },
                      [&] {
                          auto* w = new processes::TFrm_PesqDespacho(nullptr);
                          window.reset(w);
                          if (!w->reload(&error)) return false;
                          w->show();
                          QApplication::processEvents();
                          forms::WindowedSource* s = w->records();
                          for (int r = 0; r < std::min(30, s->rowCount()); ++r)
                              for (int f = 0; f < s->fieldCount(); ++f)
                                  s->valueAt(r, f);
                          w->grab();
                          return s->rowCount() > 0;
                      },
                      [&] { window.reset(); }};
    // "&Salvar" on a typed process: the number drawn and the row written in one statement (1),
    // the commit (1).
    int serial = 0;
    processes::TFrm_Processos* form = nullptr;
    actions << Action{
        QStringLiteral("registration"), 2,
        [&] {
            as(clerk);
            form = new processes::TFrm_Processos(nullptr);
            window.reset(form);
            if (!form->prepare(&error)) return false;
            forms::RecordSet* r = form->records();
            form->Botao_IncluirClick();
            r->setValue(QStringLiteral("IDREQUERENTE"), QString::number(1 + serial * 37 % 1000));
            r->setValue(QStringLiteral("IDTITULAR"), QString::number(2 + serial * 37 % 1000));
            r->setValue(QStringLiteral("IDTIPOPROCESSO"), QString::number(1 + serial % 40));
            r->setValue(QStringLiteral("ASSUNTO"), QStringLiteral("CERTIDÃO NEGATIVA %1").arg(++serial));
            return true;
        },
        [&] {
            form->Botao_SalvarClick();
            return form->records()->state() == forms::RecordSet::State::Browse;
        },
        [&] { window.reset(); }};
    // "&Enviar" on a typed sending: the checks under the lock and the insert in one statement (1), the
    // commit (1).
    processes::TFrm_Tramitacao* routing = nullptr;
    actions << Action{
        QStringLiteral("sending"), 2,
        [&] {
            as(busy);
            if (toSend.isEmpty()) return false;
            const QString registro = toSend.takeFirst();
            core::RoutingHandOff& h = core::routingHandOff();
            h.movement = registro;
            h.process = scalarText(QStringLiteral("SELECT IDPROCESSO FROM TRAMITACAO WHERE REGISTRO = ?"),
                                   {registro});
            h.year = scalarText(QStringLiteral("SELECT ANO FROM TRAMITACAO WHERE REGISTRO = ?"), {registro});
            routing = new processes::TFrm_Tramitacao(nullptr);
            window.reset(routing);
            if (!routing->reload(registro, &error)) return false;
            routing->Botao_IncluirClick();
            routing->records()->setValue(QStringLiteral("IDUNIDADE"), destinationUnit);
            routing->records()->setValue(QStringLiteral("COD_USUARIO_DESTINO"), destination);
            routing->records()->setValue(QStringLiteral("DESPACHO"),
                                         QStringLiteral("Segue para manifestação."));
            return true;
        },
        [&] {
            routing->Botao_SalvarClick();
            return !routing->sentRegister().isEmpty();
        },
        [&] { window.reset(); }};
    // The electronic receipt from the pending list: the stamp written where still unstamped (1),
    // the commit (1), the list's first screen read again (1).
    processes::TFrm_RecebimentoPendencia* pending = nullptr;
    QString receiving;
    actions << Action{
        QStringLiteral("receipt"), 3,
        [&] {
            as(busy);
            if (toReceive.isEmpty()) return false;
            receiving = toReceive.takeFirst();
            pending = new processes::TFrm_RecebimentoPendencia(nullptr);
            window.reset(pending);
            if (!pending->reload(busy, &error) || !pending->records()->waitForComplete()) return false;
            for (int r = 0; r < pending->records()->rowCount(); ++r)
                if (pending->records()->valueAt(r, 0).toString() == receiving) {
                    pending->records()->setCurrentRow(r);
                    return true;
                }
            return false;
        },
        [&] {
            pending->RecebeProcessoEletronicoClick();
            return true;
        },
        [&] { window.reset(); },
        // The stamp is read back outside the timing: the clerk does not wait for it.
        [&] {
            return !scalarText(QStringLiteral("SELECT DATA_RECEBIMENTO FROM TRAMITACAO WHERE REGISTRO = ?"),
                               {receiving})
                        .isEmpty();
        }};
    // The receipt paper of a process in its preview: the process with its names and its first
    // movement (1), the organisation's data (1).
    std::unique_ptr<QWidget> preview;
    actions << Action{QStringLiteral("receipt paper preview"), 2,
                      [&] {
                          as(clerk);
                          return true;
                      },
                      [&] {
                          preview.reset(reports::openReceipt(nullptr, someProcess, someYear));
                          if (!preview) return false;
                          QApplication::processEvents();
                          preview->grab();
                          return true;
                      },
                      [&] { preview.reset(); }};

    QMap<QString, double> atZero;
    // PROTOCOLO_BENCH_ONLY=pauses: the pauses of the lists alone.
    const bool timeActions = qEnvironmentVariable("PROTOCOLO_BENCH_ONLY") != QLatin1String("pauses");
    QList<int> delays{0, 1, 30};
    if (qEnvironmentVariableIsSet("PROTOCOLO_BENCH_RTT")) {
        delays = {0};
        for (const QString& d : qEnvironmentVariable("PROTOCOLO_BENCH_RTT").split(QLatin1Char(',')))
            delays << d.toInt();
    }
    for (int rtt : std::as_const(delays)) {
        if (!timeActions) break;
        proxy.setRoundTrip(rtt);
        const int runs = rtt >= 30 ? 3 : 5;
        for (const Action& a : std::as_const(actions)) {
            QList<std::pair<double, qint64>> results;
            for (int i = 0; i < runs; ++i) {
                if (!a.before()) {
                    // A kept data set runs out of movements to receive after many runs.
                    out << a.name << " @" << rtt << " ms: could not be prepared " << error << Qt::endl;
                    break;
                }
                QApplication::processEvents();
                fprintf(stderr, "== %s @%d\n", qPrintable(a.name), rtt);
                proxy.resetCounts();
                QElapsedTimer clock;
                clock.start();
                bool ok = a.timed();
                const double ms = clock.nsecsElapsed() / 1e6;
                const qint64 trips = proxy.roundTrips();
                if (ok && a.check) ok = a.check();
                a.after();
                QApplication::processEvents();
                if (!ok) {
                    out << a.name << " @" << rtt << " ms: failed " << error << Qt::endl;
                    return 1;
                }
                results << std::make_pair(ms, trips);
            }
            if (results.isEmpty()) continue;
            std::sort(results.begin(), results.end());
            const auto [ms, trips] = results.at(runs / 2);
            if (rtt == 0) atZero[a.name] = ms;
            const double floor = a.needed * rtt + atZero.value(a.name);
            out << a.name << " @" << rtt << " ms: " << qRound(ms) << " ms (round trips " << trips
                << ", floor " << qRound(floor) << " ms)" << Qt::endl;
        }
    }

    // A desk far away uses the lists that read in the background: the window must never stand still
    // for long. Each list is opened, read whole between turns of the event loop, jumped about in
    // and sorted by a name; the longest turn is the longest the clerk waits with a window that
    // does not answer. One line per list and delay:
    //   <list> @<rtt> ms: longest pause <P> ms (<R> rows read in <T> ms), jump <J> ms, name order <N> ms,
    //   longest pause of its reading <Q> ms
    // where a jump is a move to a random place of the list with its screen read, and the name order
    // the title click on a name read through a link, up to its first screen.
    struct Paused {
        QString name;
        QString nameColumn; // a name read through a link, the list ordered by it
        std::function<SearchedList()> open;
    };
    const QList<Paused> lists{
        {QStringLiteral("pending list of a busy user"), QStringLiteral("ASSUNTO"),
         [&]() -> SearchedList {
             as(busy);
             auto* w = new processes::TFrm_RecebimentoPendencia(nullptr);
             window.reset(w);
             if (!w->reload(busy, &error)) return {};
             return {w, w->records(), w->findChild<QTableView*>(QStringLiteral("DBGrid1")), w->gridModel()};
         }},
        {QStringLiteral("process search, every year"), QStringLiteral("REQUERENTE"),
         [&]() -> SearchedList {
             auto* w = new processes::TFrm_PesqProcesso(nullptr);
             window.reset(w);
             w->records()->setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
             if (!w->records()->open()) return {};
             return {w, w->records(), w->grid(), w->gridModel()};
         }},
        {QStringLiteral("dispatch search"), QStringLiteral("ASSUNTO"),
         [&]() -> SearchedList {
             auto* w = new processes::TFrm_PesqDespacho(nullptr);
             window.reset(w);
             if (!w->reload(&error)) return {};
             return {w, w->records(), w->grid(), w->gridModel()};
         }},
    };
    for (int rtt : {1, 30}) {
        proxy.setRoundTrip(rtt);
        for (const Paused& p : lists) {
            const SearchedList l = p.open();
            if (!l.window) {
                out << p.name << " @" << rtt << " ms: failed " << error << Qt::endl;
                return 1;
            }
            l.window->show();
            QApplication::processEvents();
            qint64 longest = 0;
            QElapsedTimer clock;
            clock.start();
            QElapsedTimer turn;
            while (!l.rows->isComplete() && l.rows->lastError().isEmpty() && clock.elapsed() < 120000) {
                turn.start();
                QApplication::processEvents();
                longest = std::max(longest, turn.elapsed());
            }
            const qint64 whole = clock.elapsed();
            qint64 jump = 0;
            QRandomGenerator random(7);
            for (int i = 0; i < 10 && l.rows->rowCount() > 40; ++i) {
                const int at = int(random.bounded(l.rows->rowCount() - 40));
                clock.restart();
                l.grid->scrollTo(l.model->index(at, 0), QAbstractItemView::PositionAtTop);
                l.rows->setCurrentRow(at);
                for (int r = at; r < at + 30; ++r)
                    for (int f = 0; f < l.rows->fieldCount(); ++f)
                        l.rows->valueAt(r, f);
                l.window->grab();
                jump = std::max(jump, clock.elapsed());
            }
            fprintf(stderr, "== %s, name order @%d\n", qPrintable(p.name), rtt);
            clock.restart();
            qint64 ordered = -1;
            qint64 longestOrdered = 0;
            if (l.rows->sortBy(p.nameColumn)) {
                for (int r = 0; r < std::min(30, l.rows->rowCount()); ++r)
                    for (int f = 0; f < l.rows->fieldCount(); ++f)
                        l.rows->valueAt(r, f);
                l.window->grab();
                ordered = clock.elapsed();
                // The rest of that order read in the background.
                fprintf(stderr, "== %s, rest of the name order @%d\n", qPrintable(p.name), rtt);
                clock.restart();
                while (!l.rows->isComplete() && l.rows->lastError().isEmpty() && clock.elapsed() < 120000) {
                    turn.start();
                    QApplication::processEvents();
                    longestOrdered = std::max(longestOrdered, turn.elapsed());
                }
            }
            out << p.name << " @" << rtt << " ms: longest pause " << longest << " ms (" << l.rows->rowCount()
                << " rows read in " << whole << " ms), jump " << jump << " ms, name order " << ordered
                << " ms, longest pause of its reading " << longestOrdered << " ms" << Qt::endl;
            window.reset();
            QApplication::processEvents();
        }
    }

    if (dialogs.unexpected) out << "unexpected messages: " << dialogs.unexpected << Qt::endl;
    core::mainConnection().close();
    proxy.stop();
    return 0;
}
