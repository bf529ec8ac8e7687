// Protocol numbers drawn over a connection, without a window: both schemes, the profile that
// chooses them, numbers stored unpadded by an older program, and the day-month whose sequence
// has run out.
#include "core/processnumbering.h"
#include "tests/support/testdatabase.h"

#include <QDate>
#include <QTest>

using core::NumberingScheme;
using core::ProcessNumber;
using testsupport::TestDatabase;

class TestProcessNumbering : public QObject {
    Q_OBJECT
private slots:
    void schemeByProfile();
    void nextNumber_data();
    void nextNumber();
    void refusedWithoutWriting_data();
    void refusedWithoutWriting();
};

void TestProcessNumbering::schemeByProfile() {
    QCOMPARE(core::numberingSchemeFor(1), NumberingScheme::YearSequence);
    for (int profile : {0, 2, 3, 4})
        QCOMPARE(core::numberingSchemeFor(profile), NumberingScheme::MonthDay);
}

void TestProcessNumbering::nextNumber_data() {
    QTest::addColumn<NumberingScheme>("scheme");
    QTest::addColumn<QStringList>("stored"); // "IDPROCESSO/ANO"
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");
    const auto Y = NumberingScheme::YearSequence;
    const auto M = NumberingScheme::MonthDay;
    QTest::newRow("year: first of the year")
        << Y << QStringList{"00000007/2018"} << QDate(2019, 3, 5) << "00000001";
    QTest::newRow("year: after 00000041")
        << Y << QStringList{"00000040/2019", "00000041/2019", "00000003/2019"} << QDate(2019, 3, 5)
        << "00000042";
    QTest::newRow("year: other years do not count")
        << Y << QStringList{"00000041/2019", "00000099/2018", "00000120/2020"} << QDate(2019, 12, 31)
        << "00000042";
    QTest::newRow("year: two years with the same number")
        << Y << QStringList{"00000001/2018", "00000002/2018", "00000001/2019", "00000002/2019"}
        << QDate(2019, 1, 2) << "00000003";
    // Numbers stored unpadded by an older program count by their value; none is rewritten.
    QTest::newRow("year: unpadded 9 beside 00000010")
        << Y << QStringList{"9/2019", "00000010/2019"} << QDate(2019, 3, 5) << "00000011";
    QTest::newRow("year: unpadded 12 above the padded ones")
        << Y << QStringList{"00000010/2019", "12/2019", "00000011/2019"} << QDate(2019, 3, 5) << "00000013";
    QTest::newRow("year: only unpadded numbers")
        << Y << QStringList{"7/2019", "41/2019", "5/2019"} << QDate(2019, 3, 5) << "00000042";
    QTest::newRow("year: the same value padded and not")
        << Y << QStringList{"9/2019", "00000009/2019"} << QDate(2019, 3, 5) << "00000010";
    QTest::newRow("year: a number with letters takes no part")
        << Y << QStringList{"00000004/2019", "A1/2019", "12 B/2019"} << QDate(2019, 3, 5) << "00000005";
    QTest::newRow("year: only numbers with letters")
        << Y << QStringList{"ABC/2019"} << QDate(2019, 3, 5) << "00000001";
    QTest::newRow("year: unpadded numbers of another year")
        << Y << QStringList{"99/2018", "00000003/2019"} << QDate(2019, 3, 5) << "00000004";
    QTest::newRow("month-day: first of the day-month")
        << M << QStringList{"01030009/2019", "01050002/2019"} << QDate(2019, 1, 4) << "01040001";
    QTest::newRow("month-day: next of the day")
        << M << QStringList{"01040001/2019", "01040002/2019"} << QDate(2019, 1, 4) << "01040003";
    QTest::newRow("month-day: continues from an earlier year")
        << M << QStringList{"01040005/2018", "01040002/2017"} << QDate(2019, 1, 4) << "01040006";
    QTest::newRow("month-day: two years with the same number")
        << M << QStringList{"12310007/2018", "12310007/2019"} << QDate(2020, 12, 31) << "12310008";
    QTest::newRow("month-day: day and month not swapped")
        << M << QStringList{"04010050/2019"} << QDate(2019, 1, 4) << "01040001";
    QTest::newRow("month-day: 9998 leaves one")
        << M << QStringList{"02289998/2016"} << QDate(2019, 2, 28) << "02289999";
    QTest::newRow("month-day: a shorter number of the day takes no part")
        << M << QStringList{"01049/2018", "01040012/2019"} << QDate(2019, 1, 4) << "01040013";
    QTest::newRow("month-day: a year-sequence number is no day-month")
        << M << QStringList{"00000041/2019"} << QDate(2019, 1, 1) << "01010001";
}

void TestProcessNumbering::nextNumber() {
    QFETCH(NumberingScheme, scheme);
    QFETCH(QStringList, stored);
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    TestDatabase db;
    QVERIFY_DB(db);
    for (const QString& key : stored)
        QVERIFY(db.insert("PROCESSOS",
                          {{"IDPROCESSO", key.section('/', 0, 0)}, {"ANO", key.section('/', 1, 1)}}));
    const ProcessNumber n =
        core::nextProcessNumber(db.connection(), scheme, date, QString::number(date.year()));
    QVERIFY2(n.assigned(), qPrintable(n.message));
    QCOMPARE(n.number, expected);
    QVERIFY(n.message.isEmpty());
}

void TestProcessNumbering::refusedWithoutWriting_data() {
    QTest::addColumn<NumberingScheme>("scheme");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("message");
    QTest::newRow("sequence 9999 of 4 January is full")
        << NumberingScheme::MonthDay << "01049999/2018" << QDate(2019, 1, 4)
        << "Atenção,\rprocedimento cancelado, a numeração de processos do dia 04/01 está esgotada (sequência "
           "9999)!";
    QTest::newRow("the year has used eight digits")
        << NumberingScheme::YearSequence << "99999999/2019" << QDate(2019, 6, 1)
        << "Atenção,\rprocedimento cancelado, a numeração de processos de 2019 está esgotada (99999999)!";
    QTest::newRow("a number typed by hand is no sequence")
        << NumberingScheme::MonthDay << "0104ABCD/2019" << QDate(2019, 1, 4)
        << "Atenção,\rprocedimento cancelado, o maior número de processo do dia 04/01 (0104ABCD) não é "
           "numérico!";
}

void TestProcessNumbering::refusedWithoutWriting() {
    QFETCH(NumberingScheme, scheme);
    QFETCH(QString, stored);
    QFETCH(QDate, date);
    QFETCH(QString, message);
    TestDatabase db;
    QVERIFY_DB(db);
    QVERIFY(db.insert("PROCESSOS",
                      {{"IDPROCESSO", stored.section('/', 0, 0)}, {"ANO", stored.section('/', 1, 1)}}));
    const ProcessNumber n =
        core::nextProcessNumber(db.connection(), scheme, date, QString::number(date.year()));
    QCOMPARE(n.outcome, ProcessNumber::Outcome::Refused);
    QVERIFY(n.number.isEmpty());
    QCOMPARE(n.message, message);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PROCESSOS").toInt(), 1);
}

QTEST_GUILESS_MAIN(TestProcessNumbering)
#include "tst_processnumbering.moc"
