#include "core/dashboard.h"
#include "core/waiting.h"
#include "tests/support/testdatabase.h"

#include <QMap>
#include <QTest>

using testsupport::TestDatabase;

// The main window's chart counts, per budget unit, the processes waiting there and the overdue
// ones from the trigger-kept table of latest movements. Each case writes movements as the program
// would (and changes or removes them), then compares the counts with the rule read straight from
// the movements: the latest one of each process by date, time and register number, and
// core::waitState on its day and its type's deadline.
class TestDashboard : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void counts_data();
    void counts();

private:
    void step(const QString& command);
    QString fromTriggers();
    QString fromMovements();
    std::unique_ptr<TestDatabase> m_db;
};

namespace {

const QDate kToday(2026, 12, 10);

QString text(const QList<core::UnitLoad>& loads) {
    QStringList parts;
    for (const core::UnitLoad& l : loads)
        parts << QStringLiteral("%1 %2/%3").arg(l.unitName).arg(l.waiting).arg(l.overdue);
    return parts.join(QStringLiteral("; "));
}

} // namespace

void TestDashboard::initTestCase() {
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    // By character code "ÁGUA" would come after "OBRAS"; in Brazilian order it comes first.
    m_db->insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "OBRAS"}});
    m_db->insert("UNIDADES", {{"IDUNIDADE", "0002"}, {"UNIDADE", "ÁGUA E ESGOTO"}});
    m_db->insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARÁ"}});
    m_db->insert("TIPOPROCESSO", {{"IDTIPO", "0002"}, {"TIPO", "CERTIDÃO"}});
    m_db->insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0001"}, {"DIAS", 10}});
}

void TestDashboard::init() {
    QVERIFY(m_db->exec("DELETE FROM TRAMITACAO"));
    QVERIFY(m_db->exec("DELETE FROM PROCESSOS"));
    QVERIFY(m_db->exec("DELETE FROM PRAZOS_TIPOPROCESSO WHERE IDTIPO <> '0001'"));
    QVERIFY(m_db->exec("UPDATE OR INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) VALUES ('0001', 10) "
                       "MATCHING (IDTIPO)"));
    // Removing the movements emptied the table through the triggers.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM ULTIMA_TRAMITACAO").toInt(), 0);
    m_db->insert("PROCESSOS", {{"IDPROCESSO", "00000001"}, {"ANO", "2026"}, {"IDTIPOPROCESSO", "0001"}});
    m_db->insert("PROCESSOS", {{"IDPROCESSO", "00000002"}, {"ANO", "2026"}, {"IDTIPOPROCESSO", "0002"}});
}

// Steps, one a line:
//   send <register> <process> <unit> <days before today> <hh:mm>
//   archive <register> | unarchive <register> | delete <register>
//   type <process> <type>
//   deadline <type> <days | none>
void TestDashboard::step(const QString& command) {
    const QStringList w = command.split(QLatin1Char(' '));
    if (w[0] == "send") {
        QVERIFY(m_db->insert("TRAMITACAO", {{"REGISTRO", w[1]},
                                            {"IDPROCESSO", w[2]},
                                            {"ANO", "2026"},
                                            {"IDUNIDADE", w[3]},
                                            {"COD_USUARIO_DESTINO", "00000002"},
                                            {"DATA", kToday.addDays(-w[4].toInt())},
                                            {"HORA", QTime::fromString(w[5], "hh:mm")}}));
    } else if (w[0] == "archive") {
        QVERIFY(m_db->exec("UPDATE TRAMITACAO SET DATA_ARQUIVAMENTO = ? WHERE REGISTRO = ?", {kToday, w[1]}));
    } else if (w[0] == "unarchive") {
        QVERIFY(
            m_db->exec("UPDATE TRAMITACAO SET DATA_DESARQUIVAMENTO = ? WHERE REGISTRO = ?", {kToday, w[1]}));
    } else if (w[0] == "delete") {
        QVERIFY(m_db->exec("DELETE FROM TRAMITACAO WHERE REGISTRO = ?", {w[1]}));
    } else if (w[0] == "type") {
        QVERIFY(m_db->exec("UPDATE PROCESSOS SET IDTIPOPROCESSO = ? WHERE IDPROCESSO = ?", {w[2], w[1]}));
    } else if (w[0] == "deadline" && w[2] == "none") {
        QVERIFY(m_db->exec("DELETE FROM PRAZOS_TIPOPROCESSO WHERE IDTIPO = ?", {w[1]}));
    } else if (w[0] == "deadline") {
        QVERIFY(m_db->exec(
            "UPDATE OR INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) VALUES (?, ?) MATCHING (IDTIPO)",
            {w[1], w[2].toInt()}));
    } else {
        QFAIL(qPrintable(command));
    }
}

QString TestDashboard::fromTriggers() {
    QList<core::UnitLoad> loads;
    QString error;
    if (!core::loadDashboard(m_db->connection(), kToday, &loads, &error))
        return QStringLiteral("erro: ") + error;
    return text(loads);
}

QString TestDashboard::fromMovements() {
    // The latest movement of each process, read from the movements themselves.
    const auto rows = m_db->rows(
        "SELECT C.UNIDADE, A.DATA, P.DIAS, "
        "IIF(A.DATA_ARQUIVAMENTO IS NOT NULL AND A.DATA_DESARQUIVAMENTO IS NULL, 1, 0) "
        "FROM TRAMITACAO A LEFT JOIN PROCESSOS B ON B.IDPROCESSO = A.IDPROCESSO AND B.ANO = A.ANO "
        "LEFT JOIN PRAZOS_TIPOPROCESSO P ON P.IDTIPO = B.IDTIPOPROCESSO "
        "LEFT JOIN UNIDADES C ON C.IDUNIDADE = A.IDUNIDADE "
        "WHERE NOT EXISTS (SELECT 1 FROM TRAMITACAO L WHERE L.IDPROCESSO = A.IDPROCESSO AND L.ANO = A.ANO "
        "AND (L.DATA > A.DATA OR (L.DATA = A.DATA AND (L.HORA > A.HORA "
        "OR (L.HORA = A.HORA AND L.REGISTRO > A.REGISTRO)))))");
    QMap<QString, core::UnitLoad> byUnit;
    for (const QVariantList& r : rows) {
        if (r[3].toInt() == 1) continue;
        const core::WaitState state = core::waitState(
            r[1].toDate(), kToday, r[2].isNull() ? std::nullopt : std::optional<int>(r[2].toInt()));
        core::UnitLoad& load = byUnit[r[0].toString()];
        load.unitName = r[0].toString();
        ++load.waiting;
        if (state.overdue()) ++load.overdue;
    }
    QList<core::UnitLoad> loads = byUnit.values();
    // Two units only: Brazilian order puts the accented "ÁGUA" first.
    std::sort(loads.begin(), loads.end(), [](const core::UnitLoad& a, const core::UnitLoad& b) {
        return a.unitName.startsWith(QStringLiteral("Á")) && !b.unitName.startsWith(QStringLiteral("Á"));
    });
    return text(loads);
}

void TestDashboard::counts_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");
    // Process 00000001 has a deadline of 10 days, 00000002 none. Unit 0001 is OBRAS, 0002 ÁGUA E ESGOTO.
    QTest::newRow("sent today") << QStringList{"send 00000001 00000001 0001 0 10:00"} << "OBRAS 1/0";
    QTest::newRow("on the deadline") << QStringList{"send 00000001 00000001 0001 10 10:00"} << "OBRAS 1/0";
    QTest::newRow("one day over") << QStringList{"send 00000001 00000001 0001 11 10:00"} << "OBRAS 1/1";
    QTest::newRow("no deadline") << QStringList{"send 00000001 00000002 0001 400 10:00"} << "OBRAS 1/0";
    QTest::newRow("clock behind: sent tomorrow")
        << QStringList{"send 00000001 00000001 0001 -1 10:00"} << "OBRAS 1/0";
    QTest::newRow("archived") << QStringList{"send 00000001 00000001 0001 30 10:00", "archive 00000001"}
                              << "";
    QTest::newRow("archived then unarchived")
        << QStringList{"send 00000001 00000001 0001 30 10:00", "archive 00000001", "unarchive 00000001"}
        << "OBRAS 1/1";
    QTest::newRow("re-sent to another unit")
        << QStringList{"send 00000001 00000001 0001 30 10:00", "send 00000002 00000001 0002 2 09:00"}
        << "ÁGUA E ESGOTO 1/0";
    QTest::newRow("same day: the later hour is latest")
        << QStringList{"send 00000002 00000001 0002 20 09:00", "send 00000001 00000001 0001 20 11:00"}
        << "OBRAS 1/1";
    QTest::newRow("same moment: the greater register is latest")
        << QStringList{"send 00000002 00000001 0002 20 09:00", "send 00000001 00000001 0001 20 09:00"}
        << "ÁGUA E ESGOTO 1/1";
    QTest::newRow("process type changed")
        << QStringList{"send 00000001 00000002 0001 20 10:00", "type 00000002 0001"} << "OBRAS 1/1";
    QTest::newRow("movement deleted") << QStringList{"send 00000001 00000001 0001 20 10:00",
                                                     "send 00000002 00000001 0002 1 10:00", "delete 00000002"}
                                      << "OBRAS 1/1";
    QTest::newRow("deadline given to a type afterwards")
        << QStringList{"send 00000001 00000002 0001 20 10:00", "deadline 0002 5"} << "OBRAS 1/1";
    QTest::newRow("deadline lengthened")
        << QStringList{"send 00000001 00000001 0001 20 10:00", "deadline 0001 30"} << "OBRAS 1/0";
    QTest::newRow("deadline removed")
        << QStringList{"send 00000001 00000001 0001 20 10:00", "deadline 0001 none"} << "OBRAS 1/0";
    QTest::newRow("two processes, two units")
        << QStringList{"send 00000001 00000001 0001 20 10:00", "send 00000002 00000002 0001 20 10:00",
                       "send 00000003 00000002 0002 3 10:00"}
        << "ÁGUA E ESGOTO 1/0; OBRAS 1/1";
}

void TestDashboard::counts() {
    QFETCH(QStringList, steps);
    for (const QString& s : std::as_const(steps)) {
        step(s);
        if (QTest::currentTestFailed()) return;
    }
    QTEST(fromTriggers(), "expected");
    QCOMPARE(fromTriggers(), fromMovements());
}

QTEST_GUILESS_MAIN(TestDashboard)
#include "tst_dashboard.moc"
