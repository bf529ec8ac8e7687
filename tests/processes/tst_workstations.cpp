// Two workstations at the same moment, each a process of its own on the office server, as two
// clerks' machines are: registering a process on the same day and year, sending two movements,
// and receiving the same movement. Each workstation is this program started again with
// "--estacao"; the two meet at a barrier (a file each in a shared folder) at the point where the
// race is decided, and report what they saw on standard output.

#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/routing.h"
#include "core/session.h"
#include "db/database.h"
#include "forms/common/recordset.h"
#include "forms/processes/processos.h"
#include "tests/support/formdriving.h"
#include "tests/support/testserver.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>

using testsupport::TestServer;
namespace routing = core::routing;

namespace {

const QString kFirstUser = QStringLiteral("00000002");
const QString kSecondUser = QStringLiteral("00000003");
const QString kThirdUser = QStringLiteral("00000004");

// --- the workstation side ---------------------------------------------------------------------

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Every box the workstation would show is written out instead; a question is answered yes.
class PrintedDialogs : public core::DialogService {
public:
    void message(QWidget*, const QString& text, const QString&) override { say("MESSAGE " + text); }
    bool question(QWidget*, const QString& text, DefaultButton) override {
        say("QUESTION " + text);
        return true;
    }
    std::optional<QString> input(QWidget*, const QString&, const QString& prompt, const QString&) override {
        say("INPUT " + prompt);
        return std::nullopt;
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override {
        return {};
    }
    void error(QWidget*, const QString& text) override { say("ERROR " + text); }
};

// Marks this workstation as arrived and waits for the other one (at most 30 s).
bool meet(const QString& folder, const QString& self, const QString& other) {
    QFile mark(folder + "/" + self);
    if (!mark.open(QIODevice::WriteOnly)) return false;
    mark.close();
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(folder + "/" + other)) {
        if (waited.elapsed() > 30000) return false;
        QThread::msleep(5);
    }
    return true;
}

int registerProcess(const QString& folder, const QString& self, const QString& other) {
    processes::TFrm_Processos form(nullptr);
    QString error;
    if (!form.prepare(&error)) {
        say("ERROR " + error);
        return 1;
    }
    form.show();
    testsupport::click(&form, "Botao_Incluir");
    testsupport::typeAndLeave(&form, "Campo6", "7");
    testsupport::typeAndLeave(&form, "Campo7", "7");
    testsupport::typeAndLeave(&form, "Campo8", "Pedido da " + self);
    // Both have drawn the number before either writes it.
    bool met = false;
    form.records()->addFieldChange(QStringLiteral("IDPROCESSO"), [&] {
        if (met || form.records()->text("IDPROCESSO") == processes::TFrm_Processos::placeholderNumber())
            return;
        met = true;
        if (!meet(folder, self, other)) say("ERROR barrier");
        say("DRAWN " + form.records()->text("IDPROCESSO"));
    });
    for (int attempt = 1; attempt <= 2; ++attempt) {
        form.Botao_SalvarClick();
        if (form.records()->state() == forms::RecordSet::State::Browse) {
            say(QStringLiteral("SAVED %1 %2").arg(attempt).arg(form.records()->text("IDPROCESSO")));
            return 0;
        }
    }
    return 1;
}

int sendMovement(const QString& folder, const QString& self, const QString& other, const QString& user) {
    const QSqlDatabase db = core::mainConnection();
    for (int attempt = 1; attempt <= 2; ++attempt) {
        QString error;
        routing::Sending s;
        s.registro = routing::nextRegister(db, &error);
        if (attempt == 1 && !meet(folder, self, other)) say("ERROR barrier");
        s.process = self == "a" ? QStringLiteral("00000001") : QStringLiteral("00000002");
        s.year = QStringLiteral("2019");
        s.subject = QStringLiteral("ASSUNTO");
        s.unit = QStringLiteral("0001");
        s.destination = user == kFirstUser ? kSecondUser : kFirstUser;
        s.destinationName = QStringLiteral("DESTINO");
        s.sender = user;
        s.dispatch = "Despacho da " + self;
        const QDateTime now = routing::workstationNow();
        s.date = now.date();
        s.time = now.time();
        const routing::Outcome outcome = routing::send(db, s);
        say(QStringLiteral("SEND %1 %2 %3")
                .arg(attempt)
                .arg(s.registro)
                .arg(outcome.done() ? "done" : "failed"));
        if (outcome.done()) return 0;
    }
    return 1;
}

// Both desks of the holder send on the movement their lists showed, at the same moment.
int forwardMovement(const QString& folder, const QString& self, const QString& other, const QString& user) {
    const QSqlDatabase db = core::mainConnection();
    QString error;
    routing::Sending s;
    s.registro = self == "a" ? QStringLiteral("00000002") : QStringLiteral("00000003");
    s.process = QStringLiteral("00000001");
    s.year = QStringLiteral("2019");
    s.subject = QStringLiteral("ASSUNTO");
    s.unit = QStringLiteral("0001");
    s.destination = self == "a" ? kSecondUser : kThirdUser;
    s.destinationName = QStringLiteral("DESTINO");
    s.sender = user;
    s.dispatch = "Despacho da " + self;
    s.expectedLatest = QStringLiteral("00000001");
    const QDateTime now = routing::workstationNow();
    s.date = now.date();
    s.time = now.time();
    if (!meet(folder, self, other)) say("ERROR barrier");
    const routing::Outcome outcome = routing::send(db, s);
    say(QStringLiteral("FORWARD %1 %2")
            .arg(outcome.kind == routing::Outcome::Done      ? "done"
                 : outcome.kind == routing::Outcome::Refused ? "refused"
                                                             : "failed",
                 outcome.text));
    return 0;
}

int receiveMovement(const QString& folder, const QString& self, const QString& other) {
    const QSqlDatabase db = core::mainConnection();
    const routing::MovementStamps seen = routing::readStamps(db, QStringLiteral("00000001"));
    if (!meet(folder, self, other)) say("ERROR barrier");
    const QTime at = self == "a" ? QTime(9, 0, 1) : QTime(9, 0, 2);
    const routing::Outcome outcome =
        routing::stamp(db, routing::Stamp::ElectronicReceipt, seen, {}, QDateTime(QDate(2019, 3, 5), at));
    say(QStringLiteral("RECEIVE %1 %2 %3")
            .arg(outcome.kind == routing::Outcome::Done      ? "done"
                 : outcome.kind == routing::Outcome::Refused ? "refused"
                                                             : "failed")
            .arg(at.toString("HH:mm:ss"), outcome.text));
    return 0;
}

// tst_workstations --estacao ACTION LOCATION FOLDER SELF OTHER USER
int workstation(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 8) return 2;
    const QString action = a.at(2), location = a.at(3), folder = a.at(4), self = a.at(5), other = a.at(6),
                  user = a.at(7);
    PrintedDialogs dialogs;
    core::setDialogService(&dialogs);
    core::initialiseAppValues(4);
    core::appValues().profileNumber = 0;
    core::appValues().exerciseYear = QDate::currentDate().toString("yyyy");
    core::appValues().profile.remoteLocation = location;
    core::currentUser() = {user, QStringLiteral("ESTAÇÃO ") + self, QString(), QStringLiteral("SIM")};
    QString error;
    if (!core::openMainConnection(core::buildConnectionTarget(core::appValues().profile, QString()),
                                  &error)) {
        say("ERROR " + error);
        return 1;
    }
    if (action == "registrar") return registerProcess(folder, self, other);
    if (action == "enviar") return sendMovement(folder, self, other, user);
    if (action == "receber") return receiveMovement(folder, self, other);
    if (action == "encaminhar") return forwardMovement(folder, self, other, user);
    return 2;
}

} // namespace

// --- the test side ------------------------------------------------------------------------------

class TestWorkstations : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void registeringOnTheSameDay();
    void sendingAtTheSameMoment();
    void receivingTheSameMovement();
    void forwardingFromTwoDesks();

private:
    bool exec(const QString& sql, const QVariantList& values = {});
    QList<QVariantList> rows(const QString& sql);
    // Runs both workstations to the end; their output lines, first "a" then "b".
    // Both desks log in as `user` when given, else as the first and the second user.
    QPair<QStringList, QStringList> race(const QString& action, const QString& user = QString());

    std::unique_ptr<TestServer> m_server;
    QString m_location;
    int m_databases = 0;
};

void TestWorkstations::initTestCase() {
    if (!TestServer::available()) QSKIP("no Firebird server program on this machine");
    m_server = std::make_unique<TestServer>();
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
}

void TestWorkstations::init() {
    m_location = QStringLiteral("%1:%2/ESTACOES_%3.fdb")
                     .arg(m_server->address(), m_server->dataFolder())
                     .arg(++m_databases);
    QString error;
    QVERIFY2(db::createDatabase(m_location, &error), qPrintable(error));
    core::initialiseAppValues(4);
    core::appValues().profile.remoteLocation = m_location;
    QVERIFY2(
        core::openMainConnection(core::buildConnectionTarget(core::appValues().profile, QString()), &error),
        qPrintable(error));
    for (const QString& user : {kFirstUser, kSecondUser, kThirdUser})
        QVERIFY(exec("INSERT INTO USUARIOS (COD_USUARIO, USUARIO, PROTOCOLISTA, IDUNIDADE) VALUES (?, ?, "
                     "'SIM', '0001')",
                     {user, "USUÁRIO " + user}));
    QVERIFY(exec("INSERT INTO UNIDADES (IDUNIDADE, UNIDADE) VALUES ('0001', 'GABINETE')"));
    QVERIFY(exec("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES ('000007', 'JOSÉ DA SILVA')"));
    QVERIFY(exec("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES ('0007', 'CERTIDÃO')"));
}

void TestWorkstations::cleanup() {
    core::mainConnection().close();
}

bool TestWorkstations::exec(const QString& sql, const QVariantList& values) {
    QSqlQuery q(core::mainConnection());
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.isActive();
}

QList<QVariantList> TestWorkstations::rows(const QString& sql) {
    QList<QVariantList> result;
    QSqlQuery q(core::mainConnection());
    if (!q.exec(sql)) qWarning("%s", qPrintable(q.lastError().text()));
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < q.record().count(); ++c)
            row << q.value(c);
        result << row;
    }
    return result;
}

QPair<QStringList, QStringList> TestWorkstations::race(const QString& action, const QString& user) {
    QTemporaryDir folder;
    QProcess a, b;
    for (QProcess* p : {&a, &b}) {
        const bool first = p == &a;
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {"--estacao", action, m_location, folder.path(), first ? "a" : "b", first ? "b" : "a",
                  !user.isEmpty() ? user
                  : first         ? kFirstUser
                                  : kSecondUser});
    }
    QStringList out[2];
    int i = 0;
    for (QProcess* p : {&a, &b}) {
        if (!p->waitForFinished(60000)) p->kill();
        out[i++] = QString::fromUtf8(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    return {out[0], out[1]};
}

void TestWorkstations::registeringOnTheSameDay() {
    const auto [a, b] = race("registrar");
    // Both drew the same number; one saved it, the other's save drew the next by itself, on the
    // same press and without a word.
    QCOMPARE(a.filter("DRAWN").size(), 1);
    QCOMPARE(a.filter("DRAWN"), b.filter("DRAWN"));
    const QStringList lines = a + b;
    const QStringList saved = lines.filter(QRegularExpression("^SAVED 1 "));
    QCOMPARE(saved.size(), 2);
    QVERIFY(lines.filter("MESSAGE").isEmpty());
    const QString drawn = a.filter("DRAWN").first().section(' ', 1);
    const QStringList first = saved.filter(QRegularExpression(" " + drawn + "$"));
    QCOMPARE(first.size(), 1);
    const QString number = drawn;
    const QString fresh = (saved.at(0) == first.first() ? saved.at(1) : saved.at(0)).section(' ', 2);
    QCOMPARE(fresh.left(4), number.left(4));
    QCOMPARE(fresh.mid(4).toInt(), number.mid(4).toInt() + 1);
    // Nothing lost: both requests are stored, each under its own number.
    const QString winner =
        a.contains(first.first()) ? QStringLiteral("PEDIDO DA A") : QStringLiteral("PEDIDO DA B");
    const QString loser =
        winner.endsWith('A') ? QStringLiteral("PEDIDO DA B") : QStringLiteral("PEDIDO DA A");
    QCOMPARE(rows("SELECT IDPROCESSO, ASSUNTO FROM PROCESSOS ORDER BY IDPROCESSO"),
             (QList<QVariantList>{{number, winner}, {fresh, loser}}));
}

void TestWorkstations::sendingAtTheSameMoment() {
    // Each desk sends the process its own user registered.
    QVERIFY(
        exec("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO, COD_USUARIO) VALUES (?, '2019', 'ASSUNTO', ?)",
             {"00000001", kFirstUser}));
    QVERIFY(
        exec("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO, COD_USUARIO) VALUES (?, '2019', 'ASSUNTO', ?)",
             {"00000002", kSecondUser}));
    const auto [a, b] = race("enviar");
    const QStringList lines = a + b;
    // Both were offered register 00000001; one wrote it, the other failed and took 00000002.
    QCOMPARE(lines.filter("SEND 1 00000001").size(), 2);
    QCOMPARE(lines.filter("SEND 1 00000001 done").size(), 1);
    QCOMPARE(lines.filter("SEND 1 00000001 failed").size(), 1);
    QCOMPARE(lines.filter("SEND 2 00000002 done").size(), 1);
    const QString winnerProcess = a.contains("SEND 1 00000001 done") ? "00000001" : "00000002";
    const QString loserProcess = winnerProcess == "00000001" ? "00000002" : "00000001";
    QCOMPARE(rows("SELECT REGISTRO, IDPROCESSO FROM TRAMITACAO ORDER BY REGISTRO"),
             (QList<QVariantList>{{"00000001", winnerProcess}, {"00000002", loserProcess}}));
}

void TestWorkstations::receivingTheSameMovement() {
    QVERIFY(exec(
        "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, DATA, HORA) "
        "VALUES ('00000001', '00000001', '2019', ?, ?, ?, ?)",
        {kFirstUser, kSecondUser, QDate(2019, 3, 4), QTime(8, 0, 0)}));
    const auto [a, b] = race("receber");
    const QStringList lines = a + b;
    const QStringList done = lines.filter("RECEIVE done");
    QCOMPARE(done.size(), 1);
    QCOMPARE(lines.filter("RECEIVE refused").size(), 1);
    QCOMPARE(lines.filter("RECEIVE refused").first().section(' ', 3), routing::alreadyReceivedMessage());
    // One stamp: the one of the workstation that succeeded.
    QCOMPARE(rows("SELECT DATA_RECEBIMENTO, HORA_RECEBIMENTO FROM TRAMITACAO"),
             (QList<QVariantList>{
                 {QDate(2019, 3, 5), QTime::fromString(done.first().section(' ', 2, 2), "HH:mm:ss")}}));
}

void TestWorkstations::forwardingFromTwoDesks() {
    QVERIFY(exec("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO, COD_USUARIO) VALUES ('00000001', '2019', "
                 "'ASSUNTO', ?)",
                 {kSecondUser}));
    QVERIFY(exec(
        "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, DATA, HORA, "
        "DATA_RECEBIMENTO, HORA_RECEBIMENTO) VALUES ('00000001', '00000001', '2019', ?, ?, ?, ?, ?, ?)",
        {kSecondUser, kFirstUser, QDate(2019, 3, 4), QTime(8, 0, 0), QDate(2019, 3, 4), QTime(9, 0, 0)}));
    // The holder has the in-tray open on two desks and sends from both in the same second.
    const auto [a, b] = race("encaminhar", kFirstUser);
    const QStringList lines = a + b;
    QCOMPARE(lines.filter("FORWARD done").size(), 1);
    QCOMPARE(lines.filter("FORWARD refused").size(), 1);
    QCOMPARE(lines.filter("FORWARD refused").first().section(' ', 2), routing::alreadyForwardedMessage());
    // One movement more, and the process waits in one in-tray only.
    QCOMPARE(rows("SELECT COUNT(*) FROM TRAMITACAO").value(0).value(0).toInt(), 2);
    int trays = 0;
    for (const QString& user : {kFirstUser, kSecondUser, kThirdUser}) {
        QSqlQuery q(core::mainConnection());
        q.prepare("SELECT COUNT(*) FROM TRAMITACAO A WHERE " + routing::pendingCondition());
        q.bindValue(":UM", user);
        QVERIFY2(q.exec() && q.next(), qPrintable(q.lastError().text()));
        trays += q.value(0).toInt();
    }
    QCOMPARE(trays, 1);
}

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--estacao") == 0) return workstation(argc, argv);
    QApplication app(argc, argv);
    TestWorkstations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_workstations.moc"
