#include "core/waiting.h"

#include <QTest>

// The day arithmetic of waiting time and deadlines, shared by the pending list, the listing of
// stalled processes and the main window's chart.
class TestWaiting : public QObject {
    Q_OBJECT
private slots:
    void days_data();
    void days();
};

void TestWaiting::days_data() {
    QTest::addColumn<QDate>("sent");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("deadline"); // 0 = the type has none
    QTest::addColumn<bool>("archived");
    QTest::addColumn<int>("waiting");
    QTest::addColumn<bool>("hasDeadline");
    QTest::addColumn<int>("left");
    QTest::addColumn<bool>("overdue");
    QTest::addColumn<QString>("waitingText");
    QTest::addColumn<QString>("deadlineText");

    const QDate day(2026, 12, 10);
    QTest::newRow("sent today") << day << day << 10 << false << 0 << true << 10 << false << "Hoje"
                                << "Faltam 10 dias";
    QTest::newRow("sent yesterday") << day.addDays(-1) << day << 2 << false << 1 << true << 1 << false
                                    << "1 dia"
                                    << "Falta 1 dia";
    QTest::newRow("across a year end")
        << QDate(2025, 12, 30) << QDate(2026, 1, 2) << 5 << false << 3 << true << 2 << false << "3 dias"
        << "Faltam 2 dias";
    QTest::newRow("leap day counted")
        << QDate(2024, 2, 28) << QDate(2024, 3, 1) << 0 << false << 2 << false << 0 << false << "2 dias"
        << "";
    QTest::newRow("no deadline") << day.addDays(-40) << day << 0 << false << 40 << false << 0 << false
                                 << "40 dias"
                                 << "";
    QTest::newRow("exactly on the deadline")
        << day.addDays(-30) << day << 30 << false << 30 << true << 0 << false << "30 dias"
        << "Vence hoje";
    QTest::newRow("one day over") << day.addDays(-31) << day << 30 << false << 31 << true << -1 << true
                                  << "31 dias"
                                  << "Atrasado 1 dia";
    QTest::newRow("long overdue") << day.addDays(-400) << day << 30 << false << 400 << true << -370 << true
                                  << "400 dias"
                                  << "Atrasado 370 dias";
    QTest::newRow("archived has no deadline")
        << day.addDays(-90) << day << 30 << true << 90 << false << 0 << false << "90 dias"
        << "";
    QTest::newRow("clock behind: sent tomorrow")
        << day.addDays(1) << day << 5 << false << 0 << true << 5 << false << "Hoje"
        << "Faltam 5 dias";
}

void TestWaiting::days() {
    QFETCH(QDate, sent);
    QFETCH(QDate, today);
    QFETCH(int, deadline);
    QFETCH(bool, archived);
    const core::WaitState state =
        core::waitState(sent, today, deadline ? std::optional<int>(deadline) : std::nullopt, archived);
    QTEST(state.daysWaiting, "waiting");
    QTEST(state.daysLeft.has_value(), "hasDeadline");
    if (state.daysLeft) QTEST(*state.daysLeft, "left");
    QTEST(state.overdue(), "overdue");
    QTEST(core::waitingText(state), "waitingText");
    QTEST(core::deadlineText(state), "deadlineText");
}

QTEST_GUILESS_MAIN(TestWaiting)
#include "tst_waiting.moc"
