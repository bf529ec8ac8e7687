// The exercise year follows the workstation's date (a profile may name its own), and the year
// lists run from it down to the earliest year that has processes.
#include "core/appvalues.h"
#include "core/clock.h"
#include "core/processnumbering.h"
#include "tests/support/testdatabase.h"

#include <QTest>

using testsupport::TestDatabase;

class TestExerciseYear : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { core::setClock(QDateTime()); }
    void yearAndList_data();
    void yearAndList();
    void earliestYearWithProcesses();
};

void TestExerciseYear::yearAndList_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("profileYear");
    QTest::addColumn<QString>("earliest");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QStringList>("list");
    QTest::newRow("2019") << QDateTime(QDate(2019, 6, 14), QTime(10, 0)) << ""
                          << "2013"
                          << "2019" << QStringList{"2019", "2018", "2017", "2016", "2015", "2014", "2013"};
    QTest::newRow("2026") << QDateTime(QDate(2026, 3, 4), QTime(16, 20)) << ""
                          << "2024"
                          << "2026" << QStringList{"2026", "2025", "2024"};
    QTest::newRow("1 January, first second") << QDateTime(QDate(2026, 1, 1), QTime(0, 0)) << ""
                                             << "2025"
                                             << "2026" << QStringList{"2026", "2025"};
    QTest::newRow("31 December, last second") << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59)) << ""
                                              << "2025"
                                              << "2025" << QStringList{"2025"};
    QTest::newRow("no processes yet") << QDateTime(QDate(2026, 1, 1), QTime(8, 0)) << ""
                                      << ""
                                      << "2026" << QStringList{"2026"};
    QTest::newRow("processes only after the exercise") << QDateTime(QDate(2026, 5, 1), QTime(8, 0)) << "2025"
                                                       << "2026"
                                                       << "2025" << QStringList{"2025"};
    QTest::newRow("the profile's year in the first days of January")
        << QDateTime(QDate(2026, 1, 2), QTime(8, 0)) << "2025"
        << "2019"
        << "2025" << QStringList{"2025", "2024", "2023", "2022", "2021", "2020", "2019"};
}

void TestExerciseYear::yearAndList() {
    QFETCH(QDateTime, now);
    QFETCH(QString, profileYear);
    QFETCH(QString, earliest);
    QFETCH(QString, year);
    QFETCH(QStringList, list);
    core::setClock(now);
    QCOMPARE(core::today(), now.date());
    QCOMPARE(core::exerciseYearFor(core::today(), profileYear), year);
    if (profileYear.isEmpty()) {
        // Start-up takes it from the clock.
        core::initialiseAppValues(0);
        QCOMPARE(core::appValues().exerciseYear, year);
    }
    QCOMPARE(core::exerciseYears(year, earliest), list);
}

void TestExerciseYear::earliestYearWithProcesses() {
    TestDatabase db;
    QVERIFY_DB(db);
    QCOMPARE(core::earliestProcessYear(db.connection()), QString());
    for (const char* year : {"2026", "2024", "2025"})
        db.exec(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO) VALUES ('00000001', ?)"),
                {QString::fromLatin1(year)});
    QCOMPARE(core::earliestProcessYear(db.connection()), QStringLiteral("2024"));
}

QTEST_GUILESS_MAIN(TestExerciseYear)
#include "tst_exerciseyear.moc"
