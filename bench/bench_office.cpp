// A busy day of an office: many desks, each a program of its own with its own connection, working
// against one server through a network of a chosen round trip (bench/latencyproxy.h in front of a
// private server started by scripts/firebird-server.sh in a folder of its own). Each desk logs in
// as its user and, with a pause to think between actions, reads its in-tray, registers processes,
// receives, sends on, archives and unarchives, searches by number and by applicant, and prints
// receipts and covers, all through the program's own windows and routines. A few desks share a
// user with another desk (one clerk at two workstations), and desks look at processes another desk
// saw a moment ago, so the refusals of a contended office really happen.
//
// For each number of desks the run prints one line:
//   desks <N>: <A> actions/s, p50 <x> ms, p95 <y> ms, p99 <z> ms, errors <E>, invariant breaks <I>
// then, indented, each kind of action with its count and times, the errors by kind, the refusals
// by kind and every broken invariant. A refusal the program gives by design (already forwarded,
// held by another user, already received...) is not an error; a database failure, a lost
// connection or a desk that died is. The invariants are read from the database after the run:
// one holder per process, no two movements of a process at the same second, an archived process
// left where it was archived, no process number given twice in a year, the latest-movement table
// equal to its recomputation, and every write a desk was told succeeded still there.
//
// Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_office [processes [movements]]
//   [--desks 20,50] [--seconds 300] [--rtt 1] [--think 500-3000]
// With PROTOCOLO_BENCH_DB=/path/file.fdb the data set is kept there and reused by later runs.
// `--desk ...` is the mode the benchmark starts its desks in; it is not run by hand.
#include "app/senha.h"
#include "bench/benchdata.h"
#include "bench/latencyproxy.h"
#include "bench/privateserver.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/handoff.h"
#include "core/routing.h"
#include "core/session.h"
#include "forms/common/recordset.h"
#include "forms/common/windowedsource.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/processes/processos.h"
#include "forms/processes/tramitacao.h"
#include "reports/engine/exports.h"
#include "reports/engine/layout.h"
#include "reports/processes/processreports.h"

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace {

QTextStream out(stdout);

QString userCode(int n) {
    return bench::BenchDatabase::userCode(n);
}

// --- a desk ---------------------------------------------------------------------------------------

// Questions are answered Yes; what the program says is kept, so the action that caused it can
// tell a refusal from a failure.
class DeskDialogs : public core::DialogService {
public:
    QStringList said;
    void message(QWidget*, const QString& text, const QString&) override { said << text; }
    bool question(QWidget*, const QString&, DefaultButton) override { return true; }
    std::optional<QString> input(QWidget*, const QString&, const QString& prompt, const QString&) override {
        said << prompt;
        return std::nullopt;
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override {
        return {};
    }
    void error(QWidget*, const QString& text) override { said << text; }
    QString last() const { return said.isEmpty() ? QString() : said.last(); }
};

// The refusals the program gives by design, by their text; anything else said is a failure.
QString refusalKind(const QString& text) {
    namespace r = core::routing;
    static const QList<std::pair<QString, QString>> kinds{
        {r::alreadyForwardedMessage(), QStringLiteral("already-forwarded")},
        {r::heldByAnotherUserMessage(), QStringLiteral("held-by-another-user")},
        {r::alreadyReceivedMessage(), QStringLiteral("already-received")},
        {r::alreadyArchivedMessage(), QStringLiteral("already-archived")},
        {r::notArchivedMessage(), QStringLiteral("not-archived")},
        {r::archivedProcessMessage(), QStringLiteral("archived")},
        {r::receiveFirstMessage(), QStringLiteral("receive-first")},
        {r::noProcessMessage(), QStringLiteral("no-process")},
        {processes::TFrm_Tramitacao::takenRegisterMessage(), QStringLiteral("register-taken")},
        {processes::TFrm_Processos::routedMessage(), QStringLiteral("already-routed")},
    };
    for (const auto& [message, kind] : kinds)
        if (text == message) return kind;
    return {};
}

// One line of text, tabs and line breaks out, for the action lines.
QString oneLine(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified().left(160);
}

struct Movement {
    core::routing::MovementStamps stamps;
    QString process;
    QString year;
};

struct DeskOptions {
    int index = 0;
    QString user;
    QString location; // host/port:path of the database, through the proxy
    QString shared;   // the folder the desks of a run share
    int seconds = 60;
    int thinkMin = 500, thinkMax = 3000;
    QStringList peers; // the users of the other desks, destinations of the sendings
    int twin = -1;     // the desk working as the same user, if any
    int desks = 1;
    int applicants = 1000;
};

class Desk {
public:
    explicit Desk(DeskOptions o)
        : m_o(std::move(o))
        , m_random(quint32(0x5eed + 7919 * m_o.index)) {}

    int run();

private:
    using Clock = QElapsedTimer;
    // One line per action: kind, milliseconds, outcome, key of what was written.
    void report(const QString& kind, const Clock& clock, const QString& outcome, const QString& key = {}) {
        out << "A\t" << kind << '\t' << QString::number(clock.nsecsElapsed() / 1e6, 'f', 1) << '\t'
            << oneLine(outcome) << '\t' << key << Qt::endl;
    }
    // A refusal met and got past within an action (a save pressed again), not an action itself.
    void note(const QString& what) { out << "N\t" << what << Qt::endl; }
    // The outcome of an action that ended with something said: a refusal by design or a failure.
    QString saidOutcome(const QString& fallback) const {
        const QString text = m_dialogs.last();
        if (text.isEmpty()) return QStringLiteral("error:") + fallback;
        const QString kind = refusalKind(text);
        return kind.isEmpty() ? QStringLiteral("error:") + text : QStringLiteral("refused:") + kind;
    }
    QString outcomeOf(const core::routing::Outcome& o) const {
        if (o.done()) return QStringLiteral("ok");
        const QString kind = refusalKind(o.text);
        if (o.kind == core::routing::Outcome::Refused && !kind.isEmpty())
            return QStringLiteral("refused:") + kind;
        return QStringLiteral("error:") +
               (o.text.isEmpty() ? QStringLiteral("failed without a text") : o.text);
    }
    int bounded(int n) { return n <= 0 ? 0 : int(m_random.bounded(quint32(n))); }

    bool login(QString* error);
    void readInTray();
    // A movement of the in-tray as last read that `fits`, among the first few that do: a clerk
    // works the top of the list.
    std::optional<Movement> pick(const std::function<bool(const Movement&)>& fits, int top = 4);
    void forget(const QString& registro);
    // Other desks' views: what they saw in their in-trays a moment ago.
    QList<Movement> seenByAnotherDesk();

    void stamp(core::routing::Stamp which);
    void sendOn();
    void sendNew();
    void sendSeen();
    // Opens the routing window on `registro` (or on nothing, for the handed-over process) and
    // sends; `pickProcess` fills in a process as the window's "&1" would.
    void send(const QString& kind, const QString& registro, const QString& process, const QString& year,
              bool pickProcess);
    void registerProcess();
    void searchNumber();
    void searchName();
    void paper();

    DeskOptions m_o;
    QRandomGenerator m_random;
    DeskDialogs m_dialogs;
    QList<Movement> m_inTray;
    int m_actionsSinceRead = 0;
    QStringList m_registered; // "process|year" of own processes not yet sent
    QHash<QString, QString> m_unitOf;
    std::unique_ptr<processes::TFrm_Processos> m_processForm;
    QTemporaryDir m_papers;
    int m_serial = 0;
};

bool Desk::login(QString* error) {
    core::initialiseAppValues(4); // remote mode, as a workstation of the office
    core::appValues().profileNumber = 0;
    core::appValues().exerciseYear = QString::number(QDate::currentDate().year());
    core::appValues().profile.remoteLocation = m_o.location;
    const core::ConnectionTarget target = core::buildConnectionTarget(core::appValues().profile, QString());
    if (!core::openMainConnection(target, error)) return false;
    app::TFrm_Senha login(nullptr);
    login.findChild<QLineEdit*>(QStringLiteral("Campo1"))->setText(QString::number(m_o.user.toInt()));
    login.Campo1Exit();
    login.Botao_EntrarClick();
    if (core::currentUser().code != m_o.user) {
        *error = QStringLiteral("login refused: ") + m_dialogs.last();
        return false;
    }
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT COD_USUARIO, IDUNIDADE FROM USUARIOS"))) {
        *error = q.lastError().text();
        return false;
    }
    while (q.next())
        m_unitOf.insert(q.value(0).toString().trimmed(), q.value(1).toString().trimmed());
    m_processForm = std::make_unique<processes::TFrm_Processos>(nullptr);
    if (!m_processForm->prepare(error)) return false;
    return true;
}

void Desk::readInTray() {
    Clock clock;
    clock.start();
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    // The pending list's own statement, its one parameter given at each place it is used.
    QString sql = core::routing::pendingQuery();
    const int uses = int(sql.count(QLatin1String(":UM")));
    sql.replace(QLatin1String(":UM"), QLatin1String("?"));
    bool ok = q.prepare(sql);
    for (int i = 0; ok && i < uses; ++i)
        q.addBindValue(m_o.user);
    ok = ok && q.exec();
    if (!ok) {
        report(QStringLiteral("in-tray"), clock, QStringLiteral("error:") + q.lastError().text());
        return;
    }
    QList<Movement> found;
    while (q.next()) {
        Movement m;
        m.stamps.registro = q.value(0).toString();
        m.process = q.value(1).toString();
        m.year = q.value(2).toString();
        m.stamps.received = q.value(7).toDate();
        m.stamps.physicallyReceived = q.value(15).toDate();
        m.stamps.archived = q.value(17).toDate();
        m.stamps.unarchived = q.value(19).toDate();
        found << m;
    }
    m_inTray = found;
    m_actionsSinceRead = 0;
    report(QStringLiteral("in-tray"), clock, QStringLiteral("ok"));
    // What this desk now sees, for the desks that look over its shoulder.
    QSaveFile seen(QDir(m_o.shared).filePath(QStringLiteral("seen-%1.txt").arg(m_o.index)));
    if (seen.open(QIODevice::WriteOnly)) {
        QTextStream s(&seen);
        for (int i = 0; i < std::min<int>(8, int(found.size())); ++i)
            s << found.at(i).stamps.registro << '|' << found.at(i).process << '|' << found.at(i).year << '\n';
        s.flush();
        seen.commit();
    }
}

std::optional<Movement> Desk::pick(const std::function<bool(const Movement&)>& fits, int top) {
    QList<int> candidates;
    for (int i = 0; i < m_inTray.size() && candidates.size() < top; ++i)
        if (fits(m_inTray.at(i))) candidates << i;
    if (candidates.isEmpty()) return std::nullopt;
    return m_inTray.at(candidates.at(bounded(int(candidates.size()))));
}

void Desk::forget(const QString& registro) {
    m_inTray.removeIf([&](const Movement& m) { return m.stamps.registro == registro; });
}

QList<Movement> Desk::seenByAnotherDesk() {
    if (m_o.desks < 2) return {};
    int other = m_o.twin >= 0 && bounded(2) == 0 ? m_o.twin : bounded(m_o.desks - 1);
    if (m_o.twin < 0 || other != m_o.twin)
        if (other >= m_o.index) ++other;
    QFile f(QDir(m_o.shared).filePath(QStringLiteral("seen-%1.txt").arg(other)));
    QList<Movement> seen;
    if (!f.open(QIODevice::ReadOnly)) return seen;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('|');
        if (parts.size() != 3) continue;
        Movement m;
        m.stamps.registro = QString::fromLatin1(parts.at(0));
        m.process = QString::fromLatin1(parts.at(1));
        m.year = QString::fromLatin1(parts.at(2));
        seen << m;
    }
    return seen;
}

void Desk::stamp(core::routing::Stamp which) {
    using core::routing::Stamp;
    std::optional<Movement> m;
    QString kind, reason;
    switch (which) {
    case Stamp::ElectronicReceipt:
        kind = QStringLiteral("receipt");
        m = pick([](const Movement& x) { return !x.stamps.received.isValid(); });
        break;
    case Stamp::Archiving:
        kind = QStringLiteral("archiving");
        reason = QStringLiteral("Processo concluído, arquive-se.");
        m = pick(
            [](const Movement& x) { return x.stamps.received.isValid() && !x.stamps.archived.isValid(); });
        break;
    case Stamp::Unarchiving:
        kind = QStringLiteral("unarchiving");
        reason = QStringLiteral("Desarquivado a pedido do requerente.");
        m = pick(
            [](const Movement& x) { return x.stamps.archived.isValid() && !x.stamps.unarchived.isValid(); });
        break;
    case Stamp::PhysicalReceipt:
        return;
    }
    if (!m) {
        readInTray();
        return;
    }
    Clock clock;
    clock.start();
    const core::routing::Outcome o = core::routing::stamp(core::mainConnection(), which, m->stamps, reason);
    report(kind, clock, outcomeOf(o), o.done() ? m->stamps.registro : QString());
    // The list as the window shows it afterwards: the movement with its new stamp, or gone.
    for (Movement& x : m_inTray)
        if (x.stamps.registro == m->stamps.registro) {
            const QDate today = QDate::currentDate();
            if (which == Stamp::ElectronicReceipt) x.stamps.received = today;
            if (which == Stamp::Archiving) x.stamps.archived = today;
            if (which == Stamp::Unarchiving) x.stamps.unarchived = today;
        }
}

void Desk::send(const QString& kind, const QString& registro, const QString& process, const QString& year,
                bool pickProcess) {
    // Mostly to another desk, so the in-trays of the office feed one another; now and then out
    // of the office's desks.
    QString destination;
    if (!m_o.peers.isEmpty() && bounded(5) != 0)
        destination = m_o.peers.at(bounded(int(m_o.peers.size())));
    else
        destination = userCode(1 + bounded(200));
    if (destination == m_o.user || !m_unitOf.contains(destination)) destination = m_o.peers.value(0);
    if (destination == m_o.user || destination.isEmpty()) destination = userCode(m_o.user.toInt() % 200 + 1);

    Clock clock;
    clock.start();
    m_dialogs.said.clear();
    core::RoutingHandOff& h = core::routingHandOff();
    h.movement = registro;
    h.process = pickProcess ? QString() : process;
    h.year = pickProcess ? QString() : year;
    processes::TFrm_Tramitacao w(nullptr);
    QString error;
    if (!w.reload(registro.isEmpty() ? QStringLiteral("00000000") : registro, &error)) {
        report(kind, clock, QStringLiteral("error:") + error);
        return;
    }
    w.Botao_IncluirClick();
    if (!w.records()->isEditing()) {
        report(kind, clock, saidOutcome(QStringLiteral("the sending did not start")));
        return;
    }
    forms::RecordSet* r = w.records();
    if (pickProcess) {
        // As the process search hands a pick back to "&1".
        r->setValue(QStringLiteral("IDPROCESSO"), process);
        r->setValue(QStringLiteral("ANO"), year);
    }
    r->setValue(QStringLiteral("IDUNIDADE"), m_unitOf.value(destination));
    r->setValue(QStringLiteral("COD_USUARIO_DESTINO"), destination);
    r->setValue(QStringLiteral("DESPACHO"),
                QStringLiteral("Encaminho para análise e parecer (mesa %1, despacho %2).")
                    .arg(m_o.index)
                    .arg(++m_serial));
    for (int attempt = 1;; ++attempt) {
        m_dialogs.said.clear();
        w.Botao_SalvarClick();
        if (!w.sentRegister().isEmpty()) {
            report(
                kind, clock, QStringLiteral("ok"),
                QStringList{w.sentRegister(), process, year, destination, m_o.user}.join(QLatin1Char('|')));
            return;
        }
        // A register number another desk took meanwhile: the clerk presses "&Enviar" again.
        if (m_dialogs.last() == processes::TFrm_Tramitacao::takenRegisterMessage() && attempt < 3) {
            note(kind + QStringLiteral(": register-taken, sent again"));
            continue;
        }
        report(kind, clock, saidOutcome(QStringLiteral("not sent, nothing said")));
        return;
    }
}

void Desk::sendOn() {
    const std::optional<Movement> m = pick([](const Movement& x) {
        return x.stamps.received.isValid() && core::routing::sendingStartRefusal(x.stamps).isEmpty();
    });
    if (!m) {
        readInTray();
        return;
    }
    send(QStringLiteral("sending"), m->stamps.registro, m->process, m->year, false);
    forget(m->stamps.registro);
}

void Desk::sendNew() {
    if (m_registered.isEmpty()) {
        registerProcess();
        return;
    }
    const QStringList key = m_registered.takeFirst().split(QLatin1Char('|'));
    // From the process form's "Tramitar": the process handed over, no movement shown.
    send(QStringLiteral("first sending"), QString(), key.at(0), key.at(1), false);
}

void Desk::sendSeen() {
    const QList<Movement> seen = seenByAnotherDesk();
    if (seen.isEmpty()) {
        searchNumber();
        return;
    }
    const Movement m = seen.at(bounded(int(seen.size())));
    // The routing window opened on a movement another desk had on its screen a moment ago.
    send(QStringLiteral("sending seen elsewhere"), m.stamps.registro, m.process, m.year, false);
}

void Desk::registerProcess() {
    processes::TFrm_Processos* form = m_processForm.get();
    forms::RecordSet* r = form->records();
    Clock clock;
    clock.start();
    m_dialogs.said.clear();
    form->Botao_IncluirClick();
    if (r->state() != forms::RecordSet::State::Insert) {
        report(QStringLiteral("registration"), clock, saidOutcome(QStringLiteral("could not start")));
        return;
    }
    const int applicant = 1 + bounded(m_o.applicants);
    r->setValue(QStringLiteral("IDREQUERENTE"), QString::number(applicant));
    r->setValue(QStringLiteral("IDTITULAR"), QString::number(applicant));
    r->setValue(QStringLiteral("IDTIPOPROCESSO"), QString::number(1 + bounded(40)));
    r->setValue(QStringLiteral("ASSUNTO"),
                QStringLiteral("REQUERIMENTO DE CERTIDÃO, MESA %1 Nº %2").arg(m_o.index).arg(++m_serial));
    for (int attempt = 1;; ++attempt) {
        m_dialogs.said.clear();
        form->Botao_SalvarClick();
        if (r->state() == forms::RecordSet::State::Browse && m_dialogs.said.isEmpty()) {
            const QString process = r->text(QStringLiteral("IDPROCESSO"));
            const QString year = r->text(QStringLiteral("ANO"));
            report(QStringLiteral("registration"), clock, QStringLiteral("ok"),
                   QStringList{process, year, m_o.user}.join(QLatin1Char('|')));
            m_registered << process + QLatin1Char('|') + year;
            return;
        }
        // Two desks drew the same number: the key refused the second save (the program's way, as
        // nothing reserves a number), and the clerk saves again with a number drawn afresh.
        const bool taken =
            r->lastError().contains(QLatin1String("PRIMARY or UNIQUE KEY"), Qt::CaseInsensitive);
        if (taken && attempt < 3) {
            note(QStringLiteral("registration: number-taken, saved again"));
            continue;
        }
        const QString outcome =
            taken ? QStringLiteral("refused:number-taken")
                  : saidOutcome(QStringLiteral("not saved, nothing said")) +
                        (r->lastError().isEmpty() ? QString() : QStringLiteral(" / ") + r->lastError());
        form->Botao_CancelarClick();
        report(QStringLiteral("registration"), clock, outcome);
        return;
    }
}

void Desk::searchNumber() {
    // A number someone at the counter asks about: one another desk has on its screen, or one of
    // this desk's own.
    QList<Movement> candidates = seenByAnotherDesk();
    if (candidates.isEmpty() || bounded(3) == 0) candidates = m_inTray;
    if (candidates.isEmpty()) {
        readInTray();
        return;
    }
    const Movement m = candidates.at(bounded(int(candidates.size())));
    Clock clock;
    clock.start();
    m_dialogs.said.clear();
    processes::TFrm_PesqProcesso w(nullptr);
    forms::WindowedSource* s = w.records();
    s->setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
    if (!s->open() || !s->sortBy(QStringLiteral("IDPROCESSO"))) {
        report(QStringLiteral("search by number"), clock, QStringLiteral("error:") + s->lastError());
        return;
    }
    s->locateNearest(m.process);
    while (s->isSeeking())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const int row = s->currentRow();
    const QString found =
        row >= 0 ? s->valueAt(row, s->fieldIndex(QStringLiteral("IDPROCESSO"))).toString() : QString();
    if (found != m.process) {
        report(QStringLiteral("search by number"), clock,
               QStringLiteral("error:process %1 not found (%2)").arg(m.process, found));
        return;
    }
    report(QStringLiteral("search by number"), clock, QStringLiteral("ok"));
    // Now and then the clerk picks the process found and tries to send it on, whoever holds it.
    if (bounded(3) == 0) {
        QThread::msleep(quint32(m_o.thinkMin));
        send(QStringLiteral("sending found by search"), QString(), m.process, m.year, true);
    }
}

void Desk::searchName() {
    const QString name = QStringLiteral("REQUERENTE NÚMERO %1").arg(1 + bounded(m_o.applicants));
    Clock clock;
    clock.start();
    processes::TFrm_PesqProcesso w(nullptr);
    forms::WindowedSource* s = w.records();
    s->setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
    if (!s->open() || !s->sortBy(QStringLiteral("REQUERENTE"))) {
        report(QStringLiteral("search by applicant"), clock, QStringLiteral("error:") + s->lastError());
        return;
    }
    const forms::LocateResult result = s->locateNearest(name);
    while (s->isSeeking())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (result == forms::LocateResult::Incompatible || result == forms::LocateResult::NoOrder) {
        report(QStringLiteral("search by applicant"), clock,
               QStringLiteral("error:the name could not be searched"));
        return;
    }
    const int row = s->currentRow();
    if (row >= 0) s->valueAt(row, s->fieldIndex(QStringLiteral("REQUERENTE")));
    report(QStringLiteral("search by applicant"), clock, QStringLiteral("ok"));
}

void Desk::paper() {
    QString process, year;
    if (!m_inTray.isEmpty() && (m_registered.isEmpty() || bounded(2) == 0)) {
        const Movement& m = m_inTray.at(bounded(int(m_inTray.size())));
        process = m.process;
        year = m.year;
    } else if (!m_registered.isEmpty()) {
        const QStringList key = m_registered.at(bounded(int(m_registered.size()))).split(QLatin1Char('|'));
        process = key.at(0);
        year = key.at(1);
    } else {
        readInTray();
        return;
    }
    const bool cover = bounded(3) == 0;
    const QString kind = cover ? QStringLiteral("cover paper") : QStringLiteral("receipt paper");
    Clock clock;
    clock.start();
    QString error;
    const reports::ProcessLabels labels = reports::processLabels();
    std::unique_ptr<reports::Report> paperReport = cover
                                                       ? reports::buildCover(process, year, labels, &error)
                                                       : reports::buildReceipt(process, year, labels, &error);
    if (!paperReport) {
        report(kind, clock, QStringLiteral("error:") + error);
        return;
    }
    const reports::PreparedReport prepared = reports::prepare(*paperReport);
    const QString file = m_papers.filePath(QStringLiteral("papel.pdf"));
    if (!reports::exportPdf(*paperReport, prepared, file, &error)) {
        report(kind, clock, QStringLiteral("error:") + error);
        return;
    }
    report(kind, clock,
           prepared.error.isEmpty() ? QStringLiteral("ok") : QStringLiteral("error:") + prepared.error);
}

int Desk::run() {
    core::setDialogService(&m_dialogs);
    QString error;
    if (!login(&error)) {
        out << "F\t" << oneLine(error) << Qt::endl;
        return 1;
    }
    out << "R\tready" << Qt::endl;
    readInTray();
    QDeadlineTimer day(qint64(m_o.seconds) * 1000);
    // A registry office's day: the in-tray most, then the counter and the searches.
    struct Weighted {
        int weight;
        std::function<void()> act;
    };
    using core::routing::Stamp;
    const QList<Weighted> mix{
        {12, [this] { readInTray(); }},
        {14, [this] { stamp(Stamp::ElectronicReceipt); }},
        {16, [this] { sendOn(); }},
        {8, [this] { registerProcess(); }},
        {6, [this] { sendNew(); }},
        {5, [this] { stamp(Stamp::Archiving); }},
        {3, [this] { stamp(Stamp::Unarchiving); }},
        {10, [this] { searchNumber(); }},
        {7, [this] { searchName(); }},
        {8, [this] { paper(); }},
        {6, [this] { sendSeen(); }},
    };
    int total = 0;
    for (const Weighted& w : mix)
        total += w.weight;
    while (!day.hasExpired()) {
        QThread::msleep(quint32(m_o.thinkMin + bounded(m_o.thinkMax - m_o.thinkMin + 1)));
        if (day.hasExpired()) break;
        // A list read long ago is read again before working from it.
        if (++m_actionsSinceRead > 6) {
            readInTray();
            continue;
        }
        int at = bounded(total);
        for (const Weighted& w : mix) {
            if (at < w.weight) {
                w.act();
                break;
            }
            at -= w.weight;
        }
        QApplication::processEvents();
    }
    m_processForm.reset();
    core::mainConnection().close();
    out << "E\tend" << Qt::endl;
    return 0;
}

// --- the office -----------------------------------------------------------------------------------

struct ActionLine {
    QString kind;
    double ms = 0;
    QString outcome;
    QString key;
};

double percentile(QList<double> values, double p) {
    if (values.isEmpty()) return 0;
    std::sort(values.begin(), values.end());
    const int at = std::clamp(int(std::ceil(p * values.size())) - 1, 0, int(values.size()) - 1);
    return values.at(at);
}

QString ms(double v) {
    return QString::number(v, 'f', v < 10 ? 1 : 0);
}

// Runs `sql` and returns its rows, each as its values joined by " "; an error as one row.
QStringList rows(const QString& sql, QString* error) {
    QSqlQuery q(core::mainConnection());
    q.setForwardOnly(true);
    QStringList found;
    if (!q.exec(sql)) {
        *error = q.lastError().text();
        return found;
    }
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values << q.value(i).toString().trimmed();
        found << values.join(QLatin1Char(' '));
    }
    return found;
}

// The invariants of the office's data, each broken one as a line; `written` the writes desks were
// told succeeded.
QStringList brokenInvariants(const QList<ActionLine>& written, QStringList* timings) {
    QStringList broken;
    QString error;
    auto check = [&](const QString& what, const QString& sql) {
        error.clear();
        QElapsedTimer clock;
        clock.start();
        const QStringList found = rows(sql, &error);
        *timings << QStringLiteral("(checked in %1 ms: %2)").arg(clock.elapsed()).arg(what);
        if (!error.isEmpty()) broken << what + QStringLiteral(": could not be checked: ") + oneLine(error);
        for (const QString& row : found)
            broken << what + QStringLiteral(": ") + row;
    };
    // The pending rule with each movement's own destination as the user: the movements waiting for
    // somebody. Two different users waiting for one process means two in-trays hold it.
    check(QStringLiteral("process in two in-trays (process, year, holders)"),
          QStringLiteral(
              "SELECT FIRST 20 A.IDPROCESSO, A.ANO, COUNT(DISTINCT A.COD_USUARIO_DESTINO) FROM TRAMITACAO A "
              "WHERE NOT EXISTS (SELECT 1 FROM TRAMITACAO BB WHERE BB.IDPROCESSO = A.IDPROCESSO AND BB.ANO = "
              "A.ANO AND BB.COD_USUARIO_DESTINO <> A.COD_USUARIO_DESTINO AND (BB.DATA + 0 > A.DATA OR "
              "(BB.DATA + 0 = A.DATA AND BB.HORA + 0 > A.HORA))) "
              "GROUP BY A.IDPROCESSO, A.ANO HAVING COUNT(DISTINCT A.COD_USUARIO_DESTINO) > 1"));
    // The other half of one holder: somebody holds every process, the destination of its latest
    // movement or, before its first sending, the user who registered it.
    check(QStringLiteral("process held by nobody (process, year)"),
          QStringLiteral(
              "SELECT FIRST 20 P.IDPROCESSO, P.ANO FROM PROCESSOS P LEFT JOIN ULTIMA_TRAMITACAO U ON "
              "U.IDPROCESSO = P.IDPROCESSO AND U.ANO = P.ANO WHERE IIF(U.IDPROCESSO IS NULL, "
              "P.COD_USUARIO, U.COD_USUARIO_DESTINO) IS NULL"));
    check(QStringLiteral(
              "two movements of a process sent at the same second (process, year, date, time, count)"),
          QStringLiteral("SELECT FIRST 20 IDPROCESSO, ANO, DATA, HORA, COUNT(*) FROM TRAMITACAO "
                         "GROUP BY IDPROCESSO, ANO, DATA, HORA HAVING COUNT(*) > 1"));
    const QString ranked = QStringLiteral(
        "SELECT T.*, ROW_NUMBER() OVER (PARTITION BY T.IDPROCESSO, T.ANO ORDER BY T.DATA DESC, T.HORA DESC, "
        "T.REGISTRO DESC) AS RN FROM TRAMITACAO T WHERE T.IDPROCESSO IS NOT NULL AND T.ANO IS NOT NULL");
    check(QStringLiteral("archived movement no longer its process's latest (register, process, year)"),
          QStringLiteral("SELECT FIRST 20 REGISTRO, IDPROCESSO, ANO FROM (%1) WHERE RN > 1 AND "
                         "DATA_ARQUIVAMENTO IS NOT NULL AND DATA_DESARQUIVAMENTO IS NULL")
              .arg(ranked));
    check(QStringLiteral("process number given twice in a year (year, number, count)"),
          QStringLiteral("SELECT FIRST 20 ANO, CAST(IDPROCESSO AS BIGINT), COUNT(*) FROM PROCESSOS "
                         "WHERE IDPROCESSO SIMILAR TO '[0-9]+' GROUP BY 1, 2 HAVING COUNT(*) > 1"));
    // Two halves rather than a full join, which the server answers by reading the ranked movements
    // once for every stored row.
    check(
        QStringLiteral("latest-movement row differs from its movements (process, year, computed, stored)"),
        QStringLiteral(
            "SELECT FIRST 20 R.IDPROCESSO, R.ANO, R.REGISTRO, COALESCE(U.REGISTRO, '-') FROM (%1) R "
            "LEFT JOIN PROCESSOS P ON P.IDPROCESSO = R.IDPROCESSO AND P.ANO = R.ANO "
            "LEFT JOIN PRAZOS_TIPOPROCESSO D ON D.IDTIPO = P.IDTIPOPROCESSO "
            "LEFT JOIN ULTIMA_TRAMITACAO U ON U.IDPROCESSO = R.IDPROCESSO AND U.ANO = R.ANO "
            "WHERE R.RN = 1 AND (U.IDPROCESSO IS NULL OR R.REGISTRO IS DISTINCT FROM U.REGISTRO "
            "OR R.IDUNIDADE IS DISTINCT FROM U.IDUNIDADE OR R.COD_USUARIO_DESTINO IS DISTINCT FROM "
            "U.COD_USUARIO_DESTINO OR R.DATA IS DISTINCT FROM U.DATA OR "
            "IIF(R.DATA_ARQUIVAMENTO IS NOT NULL AND R.DATA_DESARQUIVAMENTO IS NULL, 1, 0) <> U.ARQUIVADO OR "
            "P.IDTIPOPROCESSO IS DISTINCT FROM U.IDTIPOPROCESSO OR D.DIAS IS DISTINCT FROM U.DIAS)")
            .arg(ranked));
    check(QStringLiteral("latest-movement row of a process without movements (process, year, stored)"),
          QStringLiteral(
              "SELECT FIRST 20 U.IDPROCESSO, U.ANO, U.REGISTRO FROM ULTIMA_TRAMITACAO U WHERE NOT EXISTS "
              "(SELECT 1 FROM TRAMITACAO T WHERE T.IDPROCESSO = U.IDPROCESSO AND T.ANO = U.ANO)"));

    // Every write a desk was told succeeded.
    const QString movementThere = QStringLiteral("SELECT 1 FROM TRAMITACAO WHERE REGISTRO = ? AND %1");
    const QHash<QString, QString> stampColumn{
        {QStringLiteral("receipt"), QStringLiteral("DATA_RECEBIMENTO")},
        {QStringLiteral("archiving"), QStringLiteral("DATA_ARQUIVAMENTO")},
        {QStringLiteral("unarchiving"), QStringLiteral("DATA_DESARQUIVAMENTO")}};
    for (const ActionLine& a : written) {
        QSqlQuery q(core::mainConnection());
        q.setForwardOnly(true);
        const QStringList key = a.key.split(QLatin1Char('|'));
        if (stampColumn.contains(a.kind)) {
            q.prepare(movementThere.arg(stampColumn.value(a.kind) + QStringLiteral(" IS NOT NULL")));
            q.addBindValue(key.value(0));
        } else if (a.kind == QLatin1String("registration")) {
            q.prepare(QStringLiteral(
                "SELECT 1 FROM PROCESSOS WHERE IDPROCESSO = ? AND ANO = ? AND COD_USUARIO = ?"));
            for (int i = 0; i < 3; ++i)
                q.addBindValue(key.value(i));
        } else {
            q.prepare(movementThere.arg(QStringLiteral(
                "IDPROCESSO = ? AND ANO = ? AND COD_USUARIO_DESTINO = ? AND COD_USUARIO = ?")));
            for (int i = 0; i < 5; ++i)
                q.addBindValue(key.value(i));
        }
        if (!q.exec())
            broken << QStringLiteral("write could not be checked (%1 %2): %3")
                          .arg(a.kind, a.key, oneLine(q.lastError().text()));
        else if (!q.next())
            broken << QStringLiteral("write lost: %1 %2").arg(a.kind, a.key);
    }
    return broken;
}

struct OfficeOptions {
    QList<int> desks{20, 50};
    int seconds = 300;
    int rtt = 1;
    int thinkMin = 500, thinkMax = 3000;
};

// One run of `n` desks; prints its lines.
void runOffice(int n, const OfficeOptions& o, const QString& location, int applicants) {
    QTemporaryDir shared;
    // A fifth of the desks are a second workstation of a clerk who has one already.
    const int users = std::max(1, n - std::max(1, n / 5));
    QStringList peers;
    for (int u = 1; u <= users; ++u)
        peers << userCode(u);
    std::vector<std::unique_ptr<QProcess>> desks;
    QList<QByteArray> buffers(n);
    QList<ActionLine> lines;
    QMap<QString, int> notes, failures;
    int ready = 0;
    auto take = [&](int i, const QByteArray& line) {
        const QList<QByteArray> parts = line.split('\t');
        const QString tag = QString::fromUtf8(parts.value(0));
        if (tag == QLatin1String("A") && parts.size() >= 4) {
            ActionLine a;
            a.kind = QString::fromUtf8(parts.at(1));
            a.ms = parts.at(2).toDouble();
            a.outcome = QString::fromUtf8(parts.at(3));
            a.key = QString::fromUtf8(parts.value(4));
            lines << a;
        } else if (tag == QLatin1String("N")) {
            ++notes[QString::fromUtf8(parts.value(1))];
        } else if (tag == QLatin1String("R")) {
            ++ready;
        } else if (tag == QLatin1String("F")) {
            ++failures
                [QStringLiteral("desk %1 could not start: %2").arg(i).arg(QString::fromUtf8(parts.value(1)))];
        }
    };
    for (int i = 0; i < n; ++i) {
        const int twin = i >= users ? i % users : (i + users < n ? i + users : -1);
        QStringList others = peers;
        others.removeAll(userCode(i % users + 1));
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->setStandardErrorFile(QProcess::nullDevice());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        QObject::connect(p.get(), &QProcess::readyReadStandardOutput, p.get(), [&, i, raw = p.get()] {
            buffers[i] += raw->readAllStandardOutput();
            int end;
            while ((end = int(buffers[i].indexOf('\n'))) >= 0) {
                take(i, buffers[i].left(end));
                buffers[i].remove(0, end + 1);
            }
        });
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--desk"), QString::number(i), userCode(i % users + 1), location,
                  shared.path(), QString::number(o.seconds), QString::number(o.thinkMin),
                  QString::number(o.thinkMax), others.join(QLatin1Char(',')), QString::number(twin),
                  QString::number(n), QString::number(applicants)});
        desks.push_back(std::move(p));
    }
    QElapsedTimer clock;
    clock.start();
    // Every desk works its day from its login on; the ones still running well after are stopped.
    const qint64 limit = (qint64(o.seconds) + 180) * 1000;
    auto running = [&] {
        return std::any_of(desks.begin(), desks.end(),
                           [](const auto& p) { return p->state() != QProcess::NotRunning; });
    };
    while (running() && clock.elapsed() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    for (int i = 0; i < n; ++i) {
        QProcess* p = desks[size_t(i)].get();
        if (p->state() != QProcess::NotRunning) {
            ++failures[QStringLiteral("desk still working long after its day, stopped")];
            p->kill();
            p->waitForFinished(5000);
        }
        QCoreApplication::processEvents();
        buffers[i] += p->readAllStandardOutput();
        for (const QByteArray& line : buffers[i].split('\n'))
            if (!line.isEmpty()) take(i, line);
        if (p->exitStatus() != QProcess::NormalExit)
            ++failures[QStringLiteral("desk died")];
        else if (p->exitCode() != 0)
            ++failures[QStringLiteral("desk ended with code %1").arg(p->exitCode())];
    }

    QList<double> times;
    QMap<QString, QList<double>> byKind;
    QMap<QString, int> errors = failures, refusals;
    QList<ActionLine> written;
    for (const ActionLine& a : std::as_const(lines)) {
        times << a.ms;
        byKind[a.kind] << a.ms;
        if (a.outcome == QLatin1String("ok")) {
            if (!a.key.isEmpty()) written << a;
        } else if (a.outcome.startsWith(QLatin1String("refused:"))) {
            ++refusals[a.kind + QStringLiteral(": ") + a.outcome.mid(8)];
        } else {
            ++errors[a.kind + QStringLiteral(": ") + a.outcome.mid(6)];
        }
    }
    for (auto it = notes.cbegin(); it != notes.cend(); ++it)
        refusals[it.key()] += it.value();
    int errorCount = 0;
    for (int c : std::as_const(errors))
        errorCount += c;
    QStringList timings;
    const QStringList broken = brokenInvariants(written, &timings);
    out << "desks " << n << ": " << QString::number(double(lines.size()) / o.seconds, 'f', 1)
        << " actions/s, p50 " << ms(percentile(times, 0.50)) << " ms, p95 " << ms(percentile(times, 0.95))
        << " ms, p99 " << ms(percentile(times, 0.99)) << " ms, errors " << errorCount << ", invariant breaks "
        << broken.size() << Qt::endl;
    out << "  (" << ready << " of " << n << " desks logged in as " << users << " users, " << lines.size()
        << " actions in " << o.seconds << " s, " << written.size() << " writes checked)" << Qt::endl;
    for (auto it = byKind.cbegin(); it != byKind.cend(); ++it)
        out << "  " << it.key() << ": " << it.value().size() << ", p50 " << ms(percentile(it.value(), 0.5))
            << " ms, p95 " << ms(percentile(it.value(), 0.95)) << " ms" << Qt::endl;
    for (auto it = errors.cbegin(); it != errors.cend(); ++it)
        out << "  error " << it.key() << ": " << it.value() << Qt::endl;
    for (auto it = refusals.cbegin(); it != refusals.cend(); ++it)
        out << "  refused " << it.key() << ": " << it.value() << Qt::endl;
    for (const QString& b : broken)
        out << "  broken: " << b << Qt::endl;
    for (const QString& t : std::as_const(timings))
        out << "  " << t << Qt::endl;
}

bool parseRange(const QString& text, int* low, int* high) {
    const QStringList parts = text.split(QLatin1Char('-'));
    bool a = false, b = false;
    if (parts.size() != 2) return false;
    *low = parts.at(0).toInt(&a);
    *high = parts.at(1).toInt(&b);
    return a && b && *low >= 0 && *high >= *low;
}

int deskMain(const QStringList& args) {
    // --desk INDEX USER LOCATION SHARED SECONDS THINKMIN THINKMAX PEERS TWIN DESKS APPLICANTS
    if (args.size() < 13) return 2;
    DeskOptions o;
    o.index = args.at(2).toInt();
    o.user = args.at(3);
    o.location = args.at(4);
    o.shared = args.at(5);
    o.seconds = args.at(6).toInt();
    o.thinkMin = args.at(7).toInt();
    o.thinkMax = args.at(8).toInt();
    o.peers = args.at(9).split(QLatin1Char(','), Qt::SkipEmptyParts);
    o.twin = args.at(10).toInt();
    o.desks = args.at(11).toInt();
    o.applicants = std::max(1, args.at(12).toInt());
    Desk desk(o);
    return desk.run();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--desk")) return deskMain(args);

    bench::Volume volume;
    volume.processes = 20000;
    volume.movements = 100000;
    OfficeOptions options;
    QStringList positional;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        const QString next = args.value(i + 1);
        if (a == QLatin1String("--desks")) {
            options.desks.clear();
            for (const QString& n : next.split(QLatin1Char(','), Qt::SkipEmptyParts))
                options.desks << std::max(1, n.toInt());
            ++i;
        } else if (a == QLatin1String("--seconds")) {
            options.seconds = std::max(1, next.toInt());
            ++i;
        } else if (a == QLatin1String("--rtt")) {
            options.rtt = std::max(0, next.toInt());
            ++i;
        } else if (a == QLatin1String("--think")) {
            if (!parseRange(next, &options.thinkMin, &options.thinkMax)) {
                out << "--think takes MIN-MAX in milliseconds" << Qt::endl;
                return 2;
            }
            ++i;
        } else {
            positional << a;
        }
    }
    if (positional.size() > 0) volume.processes = positional.at(0).toInt();
    if (positional.size() > 1) volume.movements = positional.at(1).toInt();
    volume.applicants = std::max(1000, volume.processes);
    const int most = *std::max_element(options.desks.begin(), options.desks.end());
    if (most > volume.users) {
        out << "at most " << volume.users << " desks: the data set has " << volume.users << " users"
            << Qt::endl;
        return 2;
    }
    out << "data set: " << volume.processes << " processes, " << volume.movements << " movements, "
        << volume.users << " users in " << volume.units << " units; round trip " << options.rtt
        << " ms, think time " << options.thinkMin << "-" << options.thinkMax << " ms, " << options.seconds
        << " s per run" << Qt::endl;
    bench::BenchDatabase database;
    if (!database.openOrFill(volume, out)) return 1;
    // The applicants of a kept data set are those it was filled with.
    {
        QSqlQuery q(core::mainConnection());
        if (q.exec(QStringLiteral("SELECT COUNT(*) FROM INTERESSADOS")) && q.next())
            volume.applicants = std::max(1, q.value(0).toInt());
    }
    // The server opens the file alone: the filling connection lets go of it first.
    core::mainConnection().close();

    bench::PrivateServer server;
    bench::LatencyProxy proxy;
    if (!bench::startBehindProxy(server, proxy, out)) return 1;
    QString error;
    proxy.setRoundTrip(options.rtt);
    // The benchmark itself reads the invariants straight from the server, not through the network.
    core::initialiseAppValues(4);
    core::appValues().profile.remoteLocation =
        QStringLiteral("127.0.0.1/%1:%2").arg(server.port()).arg(database.path());
    if (!core::openMainConnection(core::buildConnectionTarget(core::appValues().profile, QString()),
                                  &error)) {
        out << "connection: " << error << Qt::endl;
        return 1;
    }
    const QString location = proxy.address() + QLatin1Char(':') + database.path();
    for (int n : std::as_const(options.desks))
        runOffice(n, options, location, volume.applicants);
    core::mainConnection().close();
    proxy.stop();
    return 0;
}
