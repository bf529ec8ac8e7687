// Movements without a window: register numbers, the pending rule, the stamps with their refusals,
// the reasons, the sending, and two workstations acting at the same moment.
#include "core/connection.h"
#include "core/routing.h"
#include "tests/processes/routingfixture.h"
#include "tests/support/testdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <memory>

using namespace core::routing;
using testsupport::addMovement;
using testsupport::MovementRow;
using testsupport::pendingRegisters;
using testsupport::TestDatabase;
using testsupport::withStamps;

Q_DECLARE_METATYPE(core::routing::Stamp)

namespace {

// The pending list as first written, with NOT IN on the concatenated keys: the list must hold the
// same rows.
QStringList pendingWithNotIn(TestDatabase& db, const QString& user) {
    QStringList out;
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral(
        "SELECT A.REGISTRO FROM TRAMITACAO A WHERE A.COD_USUARIO_DESTINO=:UM AND A.IDPROCESSO||A.ANO NOT IN "
        "(SELECT IDPROCESSO||ANO FROM TRAMITACAO BB WHERE BB.COD_USUARIO_DESTINO<>:UM AND A.IDPROCESSO = "
        "BB.IDPROCESSO AND A.ANO = BB.ANO AND ((BB.DATA>A.DATA) OR (BB.DATA=A.DATA AND BB.HORA>A.HORA))) "
        "ORDER BY A.DATA_RECEBIMENTO DESC, A.HORA_RECEBIMENTO DESC"));
    q.bindValue(QStringLiteral(":UM"), user);
    if (!q.exec()) QTest::qFail(qPrintable(q.lastError().text()), __FILE__, __LINE__);
    while (q.next())
        out << q.value(0).toString();
    return out;
}

MovementStamps stampsOf(TestDatabase& db, const QString& registro) {
    return readStamps(db.connection(), registro);
}

QVariantList stampColumns(TestDatabase& db, const QString& registro) {
    return db
        .rows(QStringLiteral("SELECT DATA_RECEBIMENTO, HORA_RECEBIMENTO, DATA_RECEBIMENTO_FISICO, "
                             "HORA_RECEBIMENTO_FISICO, DATA_ARQUIVAMENTO, HORA_ARQUIVAMENTO, "
                             "MOTIVO_ARQUIVAMENTO, DATA_DESARQUIVAMENTO, HORA_DESARQUIVAMENTO, "
                             "MOTIVO_DESARQUIVAMENTO FROM TRAMITACAO WHERE REGISTRO=?"),
              {registro})
        .value(0);
}

Sending aSending(const QString& registro) {
    Sending s;
    s.registro = registro;
    s.process = QStringLiteral("00000001");
    s.year = QStringLiteral("2019");
    s.subject = QStringLiteral("PEDIDO DE ALVARÁ");
    s.unit = QStringLiteral("0003");
    s.destination = QStringLiteral("00000003");
    s.destinationName = QStringLiteral("PAULO ROBERTO NUNES");
    s.sender = QStringLiteral("00000001");
    s.dispatch = QStringLiteral("Encaminho ao Sr. D'Ávila: \"urgente\".");
    s.date = QDate(2019, 3, 5);
    s.time = QTime(9, 7, 3);
    return s;
}

// A sending of process/year from one user to another, as the routing form builds it.
Sending sendingOf(const QString& process, const QString& year, const QString& from, const QString& to) {
    Sending s = aSending(QString());
    s.process = process;
    s.year = year;
    s.sender = from;
    s.destination = to;
    s.date = QDate(2019, 3, 10);
    s.time = QTime(11, 0, 0);
    return s;
}

// In how many in-trays a process waits: one, wherever it stands.
int trays(TestDatabase& db, const QString& process, const QString& year) {
    int count = 0;
    for (int u = 1; u <= 5; ++u) {
        const QString user = QStringLiteral("%1").arg(u, 8, 10, QLatin1Char('0'));
        for (const QString& registro : pendingRegisters(db, user))
            if (db.scalar("SELECT COUNT(*) FROM TRAMITACAO WHERE REGISTRO=? AND IDPROCESSO=? AND ANO=?",
                          {registro, process, year})
                    .toInt() > 0)
                ++count;
    }
    return count;
}

} // namespace

class TestRouting : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void registerNumbers();
    void registersRunOut();

    void pendingFollowsTheProcess();
    void pendingWithEqualTimesAndTwoYears();

    void refusals_data();
    void refusals();
    void stampWritesTheWorkstationClock_data();
    void stampWritesTheWorkstationClock();
    void archiveUnarchiveArchiveAgain();
    void reasons_data();
    void reasons();
    void failedStampLeavesTheMovementAsItWas();

    void sendingChecks_data();
    void sendingChecks();
    void sendingWritesOneMovement();
    void sendingStartFromAnArchivedMovement();

    void twoWorkstationsSendAtOnce();
    void twoWorkstationsReceiveOneAfterTheOther();
    void twoWorkstationsReceiveAtTheSameMoment();

    void oneHolder_data();
    void oneHolder();
    void twoDesksAtTheSameMoment_data();
    void twoDesksAtTheSameMoment();
    void clockBehindTheLatestMovement();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestRouting::init() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addRoutingOffice(*m_db);
}

void TestRouting::cleanup() {
    m_db.reset();
}

void TestRouting::registerNumbers() {
    QString error;
    QCOMPARE(nextRegister(m_db->connection(), &error), QStringLiteral("00000001"));
    QVERIFY(error.isEmpty());
    MovementRow r;
    r.registro = QStringLiteral("00000041");
    addMovement(*m_db, r);
    QCOMPARE(nextRegister(m_db->connection(), &error), QStringLiteral("00000042"));
    // Numbers run across processes and years.
    r.registro = QStringLiteral("00000107");
    r.year = QStringLiteral("2018");
    addMovement(*m_db, r);
    QCOMPARE(nextRegister(m_db->connection(), &error), QStringLiteral("00000108"));
}

void TestRouting::registersRunOut() {
    MovementRow r;
    r.registro = QStringLiteral("99999999");
    addMovement(*m_db, r);
    QString error;
    QCOMPARE(nextRegister(m_db->connection(), &error), QString());
    QCOMPARE(error, registersExhaustedMessage());
}

void TestRouting::pendingFollowsTheProcess() {
    // U1 sends to U2; U2 sends on to U3; U3 sends back to U2.
    MovementRow toU2;
    toU2.registro = QStringLiteral("00000001");
    toU2.from = QStringLiteral("00000001");
    toU2.to = QStringLiteral("00000002");
    toU2.date = QDate(2019, 3, 1);
    toU2.time = QTime(10, 0, 0);
    addMovement(*m_db, withStamps(toU2, QStringLiteral("R")));
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000002")), QStringList{"00000001"});

    MovementRow toU3 = toU2;
    toU3.registro = QStringLiteral("00000002");
    toU3.from = QStringLiteral("00000002");
    toU3.to = QStringLiteral("00000003");
    toU3.time = QTime(10, 0, 1);
    addMovement(*m_db, toU3);
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000002")), QStringList{});
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{"00000002"});

    // Receipts and archiving do not take a movement out of its user's list.
    MovementRow back = toU3;
    back.registro = QStringLiteral("00000003");
    back.from = QStringLiteral("00000003");
    back.to = QStringLiteral("00000002");
    back.date = QDate(2019, 3, 4);
    back.time = QTime(8, 0, 0);
    addMovement(*m_db, withStamps(back, QStringLiteral("RFA")));
    // Only the newest movement to U2 is pending: the first one is followed by one to U3.
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000002")), QStringList{"00000003"});
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{});
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000001")), QStringList{});
    for (const char* user : {"00000001", "00000002", "00000003"})
        QCOMPARE(pendingRegisters(*m_db, user), pendingWithNotIn(*m_db, user));
}

void TestRouting::pendingWithEqualTimesAndTwoYears() {
    // Two movements of one process sent in the same second do not hide each other.
    MovementRow a;
    a.registro = QStringLiteral("00000001");
    a.to = QStringLiteral("00000003");
    addMovement(*m_db, a);
    MovementRow b = a;
    b.registro = QStringLiteral("00000002");
    b.to = QStringLiteral("00000004");
    addMovement(*m_db, b);
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{"00000001"});
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000004")), QStringList{"00000002"});

    // The same number in another year is another process: a later movement of 00000001/2018 to
    // somebody else leaves 00000001/2019 where it is.
    MovementRow otherYear = a;
    otherYear.registro = QStringLiteral("00000003");
    otherYear.year = QStringLiteral("2018");
    otherYear.to = QStringLiteral("00000005");
    otherYear.date = QDate(2019, 4, 1);
    addMovement(*m_db, otherYear);
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{"00000001"});
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000005")), QStringList{"00000003"});

    // A later date beats an earlier date with a later time.
    MovementRow nextDay = a;
    nextDay.registro = QStringLiteral("00000004");
    nextDay.to = QStringLiteral("00000005");
    nextDay.date = QDate(2019, 3, 2);
    nextDay.time = QTime(7, 0, 0);
    addMovement(*m_db, nextDay);
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{});
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000004")), QStringList{});
    // Neither is received: their order in the list is not defined.
    QStringList both = pendingRegisters(*m_db, QStringLiteral("00000005"));
    both.sort();
    QCOMPARE(both, (QStringList{"00000003", "00000004"}));
    for (const char* user : {"00000003", "00000004", "00000005"}) {
        QStringList ours = pendingRegisters(*m_db, user);
        QStringList notIn = pendingWithNotIn(*m_db, user);
        ours.sort();
        notIn.sort();
        QCOMPARE(ours, notIn);
    }

    // The subject is that of the movement's own year.
    QSqlQuery q(m_db->connection());
    q.prepare(pendingQuery());
    q.bindValue(QStringLiteral(":UM"), QStringLiteral("00000005"));
    QVERIFY(q.exec());
    QMap<QString, QString> subjects;
    while (q.next())
        subjects.insert(q.value(0).toString(), q.value(QStringLiteral("ASSUNTO")).toString());
    QCOMPARE(subjects.value(QStringLiteral("00000003")), QStringLiteral("LICENÇA DE OBRA"));
    QCOMPARE(subjects.value(QStringLiteral("00000004")), QStringLiteral("PEDIDO DE ALVARÁ"));
}

void TestRouting::refusals_data() {
    QTest::addColumn<Stamp>("stamp");
    QTest::addColumn<QString>("stamps"); // R received, F physical, A archived, D unarchived
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("refusal"); // empty: allowed
    const QString reason = QStringLiteral("Concluído");
    QTest::newRow("receipt twice") << Stamp::ElectronicReceipt << "R"
                                   << "" << alreadyReceivedMessage();
    QTest::newRow("receipt after the paper file") << Stamp::ElectronicReceipt << "F"
                                                  << "" << QString();
    QTest::newRow("paper file twice") << Stamp::PhysicalReceipt << "F"
                                      << "" << alreadyReceivedMessage();
    QTest::newRow("paper file before the receipt") << Stamp::PhysicalReceipt << ""
                                                   << "" << QString();
    QTest::newRow("paper file of an archived movement") << Stamp::PhysicalReceipt << "RA"
                                                        << "" << QString();
    QTest::newRow("archive before receiving") << Stamp::Archiving << "" << reason << receiveFirstMessage();
    QTest::newRow("archive with only the paper file")
        << Stamp::Archiving << "F" << reason << receiveFirstMessage();
    QTest::newRow("archive twice") << Stamp::Archiving << "RA" << reason << alreadyArchivedMessage();
    QTest::newRow("archive after unarchiving")
        << Stamp::Archiving << "RAD" << reason << alreadyArchivedMessage();
    QTest::newRow("archive without reason") << Stamp::Archiving << "R"
                                            << "" << archiveReasonMissingMessage();
    QTest::newRow("archive") << Stamp::Archiving << "R" << reason << QString();
    QTest::newRow("unarchive before receiving")
        << Stamp::Unarchiving << "" << reason << receiveFirstMessage();
    QTest::newRow("unarchive what is not archived")
        << Stamp::Unarchiving << "R" << reason << notArchivedMessage();
    QTest::newRow("unarchive twice") << Stamp::Unarchiving << "RAD" << reason << notArchivedMessage();
    QTest::newRow("unarchive without reason") << Stamp::Unarchiving << "RA"
                                              << "" << unarchiveReasonMissingMessage();
    QTest::newRow("unarchive") << Stamp::Unarchiving << "RA" << reason << QString();
}

void TestRouting::refusals() {
    QFETCH(Stamp, stamp);
    QFETCH(QString, stamps);
    QFETCH(QString, reason);
    QFETCH(QString, refusal);
    MovementRow r;
    r.registro = QStringLiteral("00000007");
    addMovement(*m_db, withStamps(r, stamps));
    const QVariantList before = stampColumns(*m_db, r.registro);
    const MovementStamps movement = stampsOf(*m_db, r.registro);

    const QString checked = stampRefusal(stamp, movement);
    const QString expected = checked.isEmpty() ? reasonRefusal(stamp, reason) : checked;
    QCOMPARE(expected, refusal);

    const Outcome outcome = core::routing::stamp(m_db->connection(), stamp, movement, reason);
    if (refusal.isEmpty()) {
        QCOMPARE(outcome.kind, Outcome::Done);
        QVERIFY(stampColumns(*m_db, r.registro) != before);
    } else {
        QCOMPARE(outcome.kind, Outcome::Refused);
        QCOMPARE(outcome.text, refusal);
        QCOMPARE(stampColumns(*m_db, r.registro), before);
    }
}

void TestRouting::stampWritesTheWorkstationClock_data() {
    QTest::addColumn<Stamp>("stamp");
    QTest::addColumn<QString>("stamps");
    QTest::addColumn<QString>("dateColumn");
    QTest::addColumn<QString>("timeColumn");
    QTest::addColumn<QString>("reasonColumn");
    QTest::newRow("receipt") << Stamp::ElectronicReceipt << ""
                             << "DATA_RECEBIMENTO"
                             << "HORA_RECEBIMENTO"
                             << "";
    QTest::newRow("paper file") << Stamp::PhysicalReceipt << ""
                                << "DATA_RECEBIMENTO_FISICO"
                                << "HORA_RECEBIMENTO_FISICO"
                                << "";
    QTest::newRow("archiving") << Stamp::Archiving << "R"
                               << "DATA_ARQUIVAMENTO"
                               << "HORA_ARQUIVAMENTO"
                               << "MOTIVO_ARQUIVAMENTO";
    QTest::newRow("unarchiving") << Stamp::Unarchiving << "RA"
                                 << "DATA_DESARQUIVAMENTO"
                                 << "HORA_DESARQUIVAMENTO"
                                 << "MOTIVO_DESARQUIVAMENTO";
}

void TestRouting::stampWritesTheWorkstationClock() {
    QFETCH(Stamp, stamp);
    QFETCH(QString, stamps);
    QFETCH(QString, dateColumn);
    QFETCH(QString, timeColumn);
    QFETCH(QString, reasonColumn);
    MovementRow r;
    r.registro = QStringLiteral("00000003");
    addMovement(*m_db, withStamps(r, stamps));
    // Received on 5 March 2019 at 09:07:03 (and a few milliseconds, which are not kept).
    const QDateTime now(QDate(2019, 3, 5), QTime(9, 7, 3, 480));
    const Outcome outcome = core::routing::stamp(m_db->connection(), stamp, stampsOf(*m_db, r.registro),
                                                 QStringLiteral("Motivo"), now);
    QVERIFY2(outcome.done(), qPrintable(outcome.text));
    const QVariantList row =
        m_db->rows(
                QStringLiteral("SELECT %1, %2 FROM TRAMITACAO WHERE REGISTRO=?").arg(dateColumn, timeColumn),
                {r.registro})
            .value(0);
    QCOMPARE(row.value(0).toDate(), QDate(2019, 3, 5));
    QCOMPARE(row.value(1).toTime(), QTime(9, 7, 3));
    if (!reasonColumn.isEmpty())
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT %1 FROM TRAMITACAO WHERE REGISTRO=?").arg(reasonColumn),
                              {r.registro})
                     .toString(),
                 QStringLiteral("Motivo"));
}

void TestRouting::archiveUnarchiveArchiveAgain() {
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(r, QStringLiteral("R")));
    QSqlDatabase db = m_db->connection();
    const QDateTime monday(QDate(2019, 3, 4), QTime(8, 30, 0));
    QVERIFY(
        stamp(db, Stamp::Archiving, stampsOf(*m_db, r.registro), QStringLiteral("Concluído"), monday).done());
    const QDateTime tuesday(QDate(2019, 3, 5), QTime(14, 5, 9));
    QVERIFY(stamp(db, Stamp::Unarchiving, stampsOf(*m_db, r.registro), QStringLiteral("Recurso"), tuesday)
                .done());

    const Outcome again = stamp(db, Stamp::Archiving, stampsOf(*m_db, r.registro), QStringLiteral("De novo"));
    QCOMPARE(again.kind, Outcome::Refused);
    QCOMPARE(again.text, QStringLiteral("Atenção, procedimento cancelado! Documento já arquivado."));
    const Outcome unarchiveAgain =
        stamp(db, Stamp::Unarchiving, stampsOf(*m_db, r.registro), QStringLiteral("X"));
    QCOMPARE(unarchiveAgain.kind, Outcome::Refused);
    QCOMPARE(unarchiveAgain.text,
             QStringLiteral("Atenção, procedimento cancelado! Documento já Desarquivado ou não Arquivado."));

    const QVariantList row = stampColumns(*m_db, r.registro);
    QCOMPARE(row.value(4).toDate(), monday.date());
    QCOMPARE(row.value(5).toTime(), monday.time());
    QCOMPARE(row.value(6).toString(), QStringLiteral("Concluído"));
    QCOMPARE(row.value(7).toDate(), tuesday.date());
    QCOMPARE(row.value(8).toTime(), tuesday.time());
    QCOMPARE(row.value(9).toString(), QStringLiteral("Recurso"));
    // Unarchived, the process may be sent on again.
    QCOMPARE(sendingStartRefusal(stampsOf(*m_db, r.registro)), QString());
}

void TestRouting::reasons_data() {
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("apostrophes and quotes")
        << QStringLiteral("Parecer do Dr. O'Neil: \"arquive-se\"; '); DELETE FROM TRAMITACAO; --")
        << QString();
    QTest::newRow("blanks") << QStringLiteral("   ") << QString();
    QTest::newRow("300 characters") << QString(300, QLatin1Char('x')) << QString();
    QTest::newRow("301 characters") << QString(301, QLatin1Char('x'))
                                    << QStringLiteral(
                                           "Atenção, procedimento cancelado! O Motivo do Arquivamento "
                                           "tem 301 caracteres; o máximo é 300.");
    QTest::newRow("empty") << QString()
                           << QStringLiteral("Atenção, procedimento cancelado! para arquivar processo é "
                                             "obrigatório o Motivo do Arquivamento.");
    QTest::newRow("a character the database cannot hold")
        << QStringLiteral("Arquivado ✓")
        << QStringLiteral(
               "Atenção, procedimento cancelado! O Motivo do Arquivamento contém caracteres que não "
               "podem ser gravados.");
}

void TestRouting::reasons() {
    QFETCH(QString, reason);
    QFETCH(QString, refusal);
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(r, QStringLiteral("R")));
    QCOMPARE(reasonRefusal(Stamp::Archiving, reason), refusal);
    const Outcome outcome = stamp(m_db->connection(), Stamp::Archiving, stampsOf(*m_db, r.registro), reason);
    QCOMPARE(outcome.text, refusal);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), 1);
    const QVariantList row = stampColumns(*m_db, r.registro);
    if (refusal.isEmpty()) {
        QVERIFY(outcome.done());
        // Stored as typed, to the last blank.
        QCOMPARE(row.value(6).toString(), reason);
        QVERIFY(row.value(4).toDate().isValid());
    } else {
        QCOMPARE(outcome.kind, Outcome::Refused);
        QVERIFY(row.value(4).isNull());
        QVERIFY(row.value(6).isNull());
    }
}

void TestRouting::failedStampLeavesTheMovementAsItWas() {
    // The database refuses the reason half-way (a rule of the installation's own): the date and
    // time are not left behind without it.
    QVERIFY(
        m_db->exec(QStringLiteral("CREATE EXCEPTION MOTIVO_RECUSADO 'Motivo recusado pela regra do banco'")));
    QVERIFY(m_db->exec(
        QStringLiteral("CREATE TRIGGER TRAMITACAO_RECUSA FOR TRAMITACAO BEFORE UPDATE AS BEGIN "
                       "IF (NEW.MOTIVO_ARQUIVAMENTO = 'RECUSADO') THEN EXCEPTION MOTIVO_RECUSADO; END")));
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(r, QStringLiteral("R")));
    const QVariantList before = stampColumns(*m_db, r.registro);
    const Outcome outcome =
        stamp(m_db->connection(), Stamp::Archiving, stampsOf(*m_db, r.registro), QStringLiteral("RECUSADO"));
    QCOMPARE(outcome.kind, Outcome::Failed);
    QVERIFY2(outcome.text.contains(QStringLiteral("Motivo recusado")), qPrintable(outcome.text));
    QCOMPARE(stampColumns(*m_db, r.registro), before);
    // The connection is usable afterwards.
    QVERIFY(stamp(m_db->connection(), Stamp::Archiving, stampsOf(*m_db, r.registro), QStringLiteral("Aceito"))
                .done());
}

void TestRouting::sendingChecks_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("no process found") << "subject" << processMissingMessage() << "Campo2";
    QTest::newRow("no unit") << "unit" << unitMissingMessage() << "Campo4";
    QTest::newRow("no destination found") << "destinationName" << destinationMissingMessage() << "";
    QTest::newRow("to oneself") << "self" << destinationIsSenderMessage() << "";
    QTest::newRow("complete") << "" << QString() << "";
}

void TestRouting::sendingChecks() {
    QFETCH(QString, change);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Sending s = aSending(QStringLiteral("00000001"));
    if (change == QLatin1String("subject")) s.subject.clear();
    if (change == QLatin1String("unit")) s.unit.clear();
    if (change == QLatin1String("destinationName")) s.destinationName.clear();
    if (change == QLatin1String("self")) s.destination = s.sender;
    const SendingRefusal refusal = sendingRefusal(s);
    QCOMPARE(refusal.message, message);
    QCOMPARE(refusal.focus, focus);
    const Outcome outcome = send(m_db->connection(), s);
    QCOMPARE(outcome.done(), message.isEmpty());
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), message.isEmpty() ? 1 : 0);
    // The messages break the line after "Atenção,".
    if (!message.isEmpty()) QVERIFY(message.startsWith(QStringLiteral("Atenção,\rprocedimento cancelado, ")));
}

void TestRouting::sendingWritesOneMovement() {
    const Sending s = aSending(QStringLiteral("00000001"));
    QVERIFY(send(m_db->connection(), s).done());
    const QVariantList row =
        m_db->rows(QStringLiteral("SELECT REGISTRO, IDPROCESSO, ANO, IDUNIDADE, COD_USUARIO_DESTINO, "
                                  "COD_USUARIO, DATA, HORA, DESPACHO FROM TRAMITACAO"))
            .value(0);
    QCOMPARE(row.value(0).toString(), s.registro);
    QCOMPARE(row.value(1).toString(), s.process);
    QCOMPARE(row.value(2).toString(), s.year);
    QCOMPARE(row.value(3).toString(), s.unit);
    QCOMPARE(row.value(4).toString(), s.destination);
    QCOMPARE(row.value(5).toString(), s.sender);
    QCOMPARE(row.value(6).toDate(), s.date);
    QCOMPARE(row.value(7).toTime(), s.time);
    QCOMPARE(QString::fromUtf8(row.value(8).toByteArray()), s.dispatch);
    // Every stamp, the sector and the archive flag start empty.
    QCOMPARE(
        m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO WHERE DATA_RECEBIMENTO IS NULL AND HORA_RECEBIMENTO "
                     "IS NULL AND DATA_RECEBIMENTO_FISICO IS NULL AND DATA_ARQUIVAMENTO IS NULL AND "
                     "MOTIVO_ARQUIVAMENTO IS NULL AND DATA_DESARQUIVAMENTO IS NULL AND IDSETOR IS NULL "
                     "AND ARQUIVADO IS NULL")
            .toInt(),
        1);
    QCOMPARE(pendingRegisters(*m_db, s.destination), QStringList{s.registro});
}

void TestRouting::sendingStartFromAnArchivedMovement() {
    MovementStamps shown;
    QCOMPARE(sendingStartRefusal(shown), QString()); // nothing shown: the first sending
    shown.registro = QStringLiteral("00000001");
    shown.received = QDate(2019, 3, 1);
    QCOMPARE(sendingStartRefusal(shown), QString());
    shown.archived = QDate(2019, 3, 2);
    QCOMPARE(sendingStartRefusal(shown),
             QStringLiteral("Atenção, procedimento cancelado! Processo arquivado."));
    shown.unarchived = QDate(2019, 3, 3);
    QCOMPARE(sendingStartRefusal(shown), QString());
}

void TestRouting::twoWorkstationsSendAtOnce() {
    QSqlDatabase first = m_db->connection();
    QSqlDatabase second = m_db->openSecondConnection(QStringLiteral("segunda_estacao"));
    QString error;
    // Both start a sending at the same moment and are offered the same number.
    const QString a = nextRegister(first, &error);
    const QString b = nextRegister(second, &error);
    QCOMPARE(a, QStringLiteral("00000001"));
    QCOMPARE(b, a);
    Sending fromFirst = aSending(a);
    Sending fromSecond = aSending(b);
    fromSecond.process = QStringLiteral("00000002");
    fromSecond.subject = QStringLiteral("CERTIDÃO NEGATIVA");
    fromSecond.destination = QStringLiteral("00000004");
    fromSecond.destinationName = QStringLiteral("LÚCIA HELENA ARAÚJO");
    QVERIFY(send(first, fromFirst).done());
    const Outcome refused = send(second, fromSecond);
    QCOMPARE(refused.kind, Outcome::Failed);
    QVERIFY(!refused.text.isEmpty());
    QCOMPARE(m_db->scalar("SELECT IDPROCESSO FROM TRAMITACAO WHERE REGISTRO='00000001'").toString(),
             QStringLiteral("00000001"));
    // The retry takes a fresh number and nothing is lost.
    fromSecond.registro = nextRegister(second, &error);
    QCOMPARE(fromSecond.registro, QStringLiteral("00000002"));
    QVERIFY(send(second, fromSecond).done());
    QCOMPARE(m_db->rows("SELECT REGISTRO, IDPROCESSO FROM TRAMITACAO ORDER BY REGISTRO"),
             (QList<QVariantList>{{"00000001", "00000001"}, {"00000002", "00000002"}}));
}

void TestRouting::twoWorkstationsReceiveOneAfterTheOther() {
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, r);
    QSqlDatabase first = m_db->connection();
    QSqlDatabase second = m_db->openSecondConnection(QStringLiteral("segunda_estacao"));
    // Both lists show the movement not received.
    const MovementStamps seenByFirst = readStamps(first, r.registro);
    const MovementStamps seenBySecond = readStamps(second, r.registro);
    const QDateTime early(QDate(2019, 3, 5), QTime(9, 0, 0));
    const QDateTime late(QDate(2019, 3, 5), QTime(9, 0, 5));
    QVERIFY(stamp(first, Stamp::ElectronicReceipt, seenByFirst, {}, early).done());
    const Outcome second_ = stamp(second, Stamp::ElectronicReceipt, seenBySecond, {}, late);
    QCOMPARE(second_.kind, Outcome::Refused);
    QCOMPARE(second_.text, alreadyReceivedMessage());
    // The first stamp stays.
    QCOMPARE(stampColumns(*m_db, r.registro).value(1).toTime(), early.time());

    // The same for archiving: the reason of the later one is not written over the first.
    const MovementStamps received1 = readStamps(first, r.registro);
    const MovementStamps received2 = readStamps(second, r.registro);
    QVERIFY(stamp(first, Stamp::Archiving, received1, QStringLiteral("Primeiro"), early).done());
    const Outcome archived2 = stamp(second, Stamp::Archiving, received2, QStringLiteral("Segundo"), late);
    QCOMPARE(archived2.kind, Outcome::Refused);
    QCOMPARE(archived2.text, alreadyArchivedMessage());
    QCOMPARE(stampColumns(*m_db, r.registro).value(6).toString(), QStringLiteral("Primeiro"));
}

void TestRouting::twoWorkstationsReceiveAtTheSameMoment() {
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, r);
    const MovementStamps seen = readStamps(m_db->connection(), r.registro);

    // The first workstation has written its receipt and not yet committed when the second one
    // writes its own: the second waits on the row, then finds it taken.
    QSqlDatabase first = m_db->connection();
    QVERIFY(first.transaction());
    QSqlQuery q(first);
    q.prepare(QStringLiteral("UPDATE TRAMITACAO SET DATA_RECEBIMENTO=?, HORA_RECEBIMENTO=? WHERE REGISTRO=? "
                             "AND DATA_RECEBIMENTO IS NULL"));
    q.addBindValue(QDate(2019, 3, 5));
    q.addBindValue(QTime(9, 0, 0));
    q.addBindValue(r.registro);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QCOMPARE(q.numRowsAffected(), 1);

    const QString path = m_db->path();
    Outcome secondOutcome;
    std::unique_ptr<QThread> second(QThread::create([&] {
        QString error;
        {
            QSqlDatabase db = core::openNamedConnection(QStringLiteral("estacao_concorrente"), path, &error);
            if (db.isOpen())
                secondOutcome = stamp(db, Stamp::ElectronicReceipt, seen, {},
                                      QDateTime(QDate(2019, 3, 5), QTime(9, 0, 1)));
            else
                secondOutcome = {Outcome::Failed, error};
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("estacao_concorrente"));
    }));
    second->start();
    // The second workstation is held by the row the first one has not committed yet.
    QVERIFY(!second->wait(1500));
    q.finish();
    QVERIFY(first.commit());
    QVERIFY(second->wait(30000));
    QCOMPARE(secondOutcome.kind, Outcome::Refused);
    QCOMPARE(secondOutcome.text, alreadyReceivedMessage());
    QCOMPARE(stampColumns(*m_db, r.registro).value(1).toTime(), QTime(9, 0, 0));
}

void TestRouting::oneHolder_data() {
    QTest::addColumn<QString>("stored");  // movements of 00000001/2019 before: "from>to:stamps", ...
    QTest::addColumn<QString>("process"); // the process sent: "00000001" or "00000002" (of 2019)
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("expected"); // the latest movement the window saw; "-" for a picked process
    QTest::addColumn<QString>("message");  // empty: sent
    const QString forwarded = alreadyForwardedMessage();
    const QString held = heldByAnotherUserMessage();
    const QString archived = archivedProcessMessage();
    // Every process of the office is registered by 00000001.
    QTest::newRow("the holder sends on") << "1>2:R"
                                         << "00000001"
                                         << "00000002"
                                         << "00000001" << QString();
    QTest::newRow("the registrant sends first") << ""
                                                << "00000001"
                                                << "00000001"
                                                << "" << QString();
    QTest::newRow("unarchived, sent on") << "1>2:RAD"
                                         << "00000001"
                                         << "00000002"
                                         << "00000001" << QString();
    QTest::newRow("stale list: another desk sent it on") << "1>2:R,2>3:"
                                                         << "00000001"
                                                         << "00000002"
                                                         << "00000001" << forwarded;
    QTest::newRow("archived since the form opened") << "1>2:RA"
                                                    << "00000001"
                                                    << "00000002"
                                                    << "00000001" << archived;
    QTest::newRow("first sending, already sent from another desk") << "1>2:"
                                                                   << "00000001"
                                                                   << "00000001"
                                                                   << "" << forwarded;
    QTest::newRow("first sending by another user") << ""
                                                   << "00000001"
                                                   << "00000002"
                                                   << "" << held;
    QTest::newRow("picked: waiting in another in-tray") << "1>3:"
                                                        << "00000001"
                                                        << "00000002"
                                                        << "-" << held;
    QTest::newRow("picked: not yet sent by its registrant") << ""
                                                            << "00000002"
                                                            << "00000003"
                                                            << "-" << held;
    QTest::newRow("picked: archived at another user") << "1>3:RA"
                                                      << "00000001"
                                                      << "00000002"
                                                      << "-" << held;
    QTest::newRow("picked: held by the sender") << "1>2:R"
                                                << "00000001"
                                                << "00000002"
                                                << "-" << QString();
}

void TestRouting::oneHolder() {
    QFETCH(QString, stored);
    QFETCH(QString, process);
    QFETCH(QString, sender);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    int n = 0;
    for (const QString& m : stored.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        MovementRow r;
        r.registro = QStringLiteral("%1").arg(++n, 8, 10, QLatin1Char('0'));
        r.from = QStringLiteral("0000000") + m.at(0);
        r.to = QStringLiteral("0000000") + m.at(2);
        r.time = QTime(10, 0, n);
        addMovement(*m_db, withStamps(r, m.section(QLatin1Char(':'), 1)));
    }
    const QString to =
        sender == QLatin1String("00000004") ? QStringLiteral("00000005") : QStringLiteral("00000004");
    Sending s = sendingOf(process, QStringLiteral("2019"), sender, to);
    s.registro = QStringLiteral("00000010");
    if (expected != QLatin1String("-")) s.expectedLatest = expected;
    const Outcome outcome = send(m_db->connection(), s);
    QCOMPARE(outcome.text, message);
    QCOMPARE(outcome.kind, message.isEmpty() ? Outcome::Done : Outcome::Refused);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), n + (message.isEmpty() ? 1 : 0));
    // Wherever it stands, a process that has been sent waits in exactly one in-tray.
    if (n > 0 || message.isEmpty()) QCOMPARE(trays(*m_db, process, QStringLiteral("2019")), 1);
}

void TestRouting::twoDesksAtTheSameMoment_data() {
    QTest::addColumn<QString>("first"); // what the first desk has written, not yet committed
    QTest::addColumn<bool>("archives"); // the second desk archives instead of sending on
    QTest::addColumn<QString>("message");
    QTest::newRow("send against send") << "send" << false << alreadyForwardedMessage();
    QTest::newRow("archive against send") << "archive" << false << archivedProcessMessage();
    QTest::newRow("send against archive") << "send" << true << alreadyForwardedMessage();
}

void TestRouting::twoDesksAtTheSameMoment() {
    QFETCH(QString, first);
    QFETCH(bool, archives);
    QFETCH(QString, message);
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    addMovement(*m_db, withStamps(r, QStringLiteral("R")));
    const MovementStamps seen = readStamps(m_db->connection(), r.registro);

    // The first desk holds the process as a sending or an archiving does, and has written.
    QSqlDatabase db = m_db->connection();
    QVERIFY(db.transaction());
    QSqlQuery lock(db);
    QVERIFY(
        lock.exec("SELECT COD_USUARIO FROM PROCESSOS WHERE IDPROCESSO='00000001' AND ANO='2019' WITH LOCK"));
    QVERIFY(lock.next());
    QSqlQuery write(db);
    if (first == QLatin1String("send"))
        QVERIFY2(
            write.exec("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, "
                       "DATA, HORA) VALUES ('00000002', '00000001', '2019', '00000002', '00000003', "
                       "'2019-03-10', '11:00:00')"),
            qPrintable(write.lastError().text()));
    else
        QVERIFY2(
            write.exec("UPDATE TRAMITACAO SET DATA_ARQUIVAMENTO='2019-03-10', HORA_ARQUIVAMENTO='11:00:00', "
                       "MOTIVO_ARQUIVAMENTO='Concluído' WHERE REGISTRO='00000001'"),
            qPrintable(write.lastError().text()));

    const QString path = m_db->path();
    Outcome second;
    std::unique_ptr<QThread> other(QThread::create([&] {
        QString error;
        {
            QSqlDatabase db2 = core::openNamedConnection(QStringLiteral("outra_mesa"), path, &error);
            if (!db2.isOpen()) {
                second = {Outcome::Failed, error};
            } else if (archives) {
                second = stamp(db2, Stamp::Archiving, seen, QStringLiteral("Arquivado na outra mesa"),
                               QDateTime(QDate(2019, 3, 10), QTime(11, 0, 0)));
            } else {
                Sending s = sendingOf(QStringLiteral("00000001"), QStringLiteral("2019"),
                                      QStringLiteral("00000002"), QStringLiteral("00000004"));
                s.registro = QStringLiteral("00000003");
                s.expectedLatest = r.registro;
                second = send(db2, s);
            }
            db2.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("outra_mesa"));
    }));
    other->start();
    // The second desk waits for the process the first one holds.
    QVERIFY(!other->wait(1500));
    lock.finish();
    write.finish();
    QVERIFY(db.commit());
    QVERIFY(other->wait(30000));
    QCOMPARE(second.text, message);
    QCOMPARE(second.kind, Outcome::Refused);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt(), first == QLatin1String("send") ? 2 : 1);
    QCOMPARE(
        m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO WHERE MOTIVO_ARQUIVAMENTO = 'Arquivado na outra mesa'")
            .toInt(),
        0);
    QCOMPARE(trays(*m_db, QStringLiteral("00000001"), QStringLiteral("2019")), 1);
}

void TestRouting::clockBehindTheLatestMovement() {
    // The desk that sent last had its clock ahead; this one is a minute behind it.
    MovementRow r;
    r.registro = QStringLiteral("00000001");
    r.date = QDate(2019, 3, 10);
    r.time = QTime(11, 0, 0);
    addMovement(*m_db, withStamps(r, QStringLiteral("R")));
    Sending s = sendingOf(QStringLiteral("00000001"), QStringLiteral("2019"), QStringLiteral("00000002"),
                          QStringLiteral("00000003"));
    s.registro = QStringLiteral("00000002");
    s.expectedLatest = r.registro;
    s.time = QTime(10, 59, 0);
    const Outcome outcome = send(m_db->connection(), s);
    QVERIFY2(outcome.done(), qPrintable(outcome.text));
    QCOMPARE(outcome.sentAt, QDateTime(QDate(2019, 3, 10), QTime(11, 0, 1)));
    QCOMPARE(m_db->scalar("SELECT HORA FROM TRAMITACAO WHERE REGISTRO='00000002'").toTime(), QTime(11, 0, 1));
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000002")), QStringList());
    QCOMPARE(pendingRegisters(*m_db, QStringLiteral("00000003")), QStringList{"00000002"});
}

QTEST_GUILESS_MAIN(TestRouting)
#include "tst_routing.moc"
