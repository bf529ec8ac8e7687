#include "core/routines.h"

#include <QTest>

class TestRoutines : public QObject {
    Q_OBJECT
private slots:
    void cpfCheck_data();
    void cpfCheck();
    void cnpjCheck_data();
    void cnpjCheck();
    void dateSwap_data();
    void dateSwap();
    void digitsOnly_data();
    void digitsOnly();
    void digitKeyFilter_data();
    void digitKeyFilter();
    void scrambleRoundTrip_data();
    void scrambleRoundTrip();
    void scrambleWrapsAround();
    void keyboardCharactersScrambleIntoWin1252_data();
    void keyboardCharactersScrambleIntoWin1252();
    void zeroFillAndAccelerator();
};

void TestRoutines::cpfCheck_data() {
    QTest::addColumn<QString>("cpf");
    QTest::addColumn<bool>("valid");
    QTest::newRow("valid") << "111.444.777-35" << true;
    QTest::newRow("valid 2") << "529.982.247-25" << true;
    QTest::newRow("second digit wrong") << "111.444.777-36" << false;
    QTest::newRow("first digit wrong") << "111.444.777-45" << false;
    QTest::newRow("repeated ones") << "111.111.111-11" << false;
    QTest::newRow("repeated zeros") << "000.000.000-00" << false;
    QTest::newRow("too short") << "111.444.777-3" << false;
    QTest::newRow("unpunctuated") << "11144477735" << false;
    QTest::newRow("blank of an unfinished entry") << "111.444.7  -  " << false;
    QTest::newRow("letter in a digit position") << "111.444.777-3A" << false;
    QTest::newRow("empty") << "" << false;
}

void TestRoutines::cpfCheck() {
    QFETCH(QString, cpf);
    QFETCH(bool, valid);
    QCOMPARE(routines::isValidCpf(cpf), valid);
}

void TestRoutines::cnpjCheck_data() {
    QTest::addColumn<QString>("cnpj");
    QTest::addColumn<bool>("valid");
    QTest::newRow("valid") << "11.222.333/0001-81" << true;
    QTest::newRow("last digit wrong") << "11.222.333/0001-80" << false;
    QTest::newRow("first check digit wrong") << "11.222.333/0001-91" << false;
    QTest::newRow("all zeros is valid") << "00.000.000/0000-00" << true;
    QTest::newRow("unpunctuated") << "11222333000181" << false;
    QTest::newRow("too short") << "11.222.333/0001-8" << false;
    QTest::newRow("sign in a digit position") << "11.222.333/000-181" << false;
    QTest::newRow("blanks of an unfinished entry") << "11.222.   /    -  " << false;
    QTest::newRow("empty") << "" << false;
}

void TestRoutines::cnpjCheck() {
    QFETCH(QString, cnpj);
    QFETCH(bool, valid);
    QCOMPARE(routines::isValidCnpj(cnpj), valid);
}

void TestRoutines::dateSwap_data() {
    QTest::addColumn<QString>("dayFirst");
    QTest::addColumn<QString>("monthFirst");
    QTest::newRow("christmas") << "25/12/2019"
                               << "12/25/2019";
    QTest::newRow("first of february") << "01/02/2020"
                                       << "02/01/2020";
}

void TestRoutines::dateSwap() {
    QFETCH(QString, dayFirst);
    QFETCH(QString, monthFirst);
    QCOMPARE(routines::swapDateText(dayFirst), monthFirst);
}

void TestRoutines::digitsOnly_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digits");
    QTest::newRow("postal code") << "12.345-678"
                                 << "12345678";
    QTest::newRow("letters only") << "abc"
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("mixed") << "a1b2 c3"
                           << "123";
    QTest::newRow("formatted CNPJ") << "11.222.333/0001-81"
                                    << "11222333000181";
}

void TestRoutines::digitsOnly() {
    QFETCH(QString, text);
    QFETCH(QString, digits);
    QCOMPARE(routines::digitsOnly(text), digits);
}

void TestRoutines::digitKeyFilter_data() {
    QTest::addColumn<QChar>("typed");
    QTest::addColumn<QChar>("passed");
    QTest::newRow("backspace") << QChar(8) << QChar(8);
    QTest::newRow("enter") << QChar(13) << QChar(13);
    QTest::newRow("zero") << QChar('0') << QChar('0');
    QTest::newRow("nine") << QChar('9') << QChar('9');
    QTest::newRow("letter") << QChar('a') << QChar(0);
    QTest::newRow("blank") << QChar(' ') << QChar(0);
    QTest::newRow("minus") << QChar('-') << QChar(0);
    QTest::newRow("tab") << QChar(9) << QChar(0);
}

void TestRoutines::digitKeyFilter() {
    QFETCH(QChar, typed);
    QFETCH(QChar, passed);
    QCOMPARE(routines::digitKeyFilter(typed), passed);
}

void TestRoutines::scrambleRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("shift");
    const QString low = QString(QChar(0x0000)) + QChar(0x0001) + QChar(0x0002);
    const QString high = QString(QChar(0xFFFF)) + QChar(0xFFFE) + QChar(0xFFFD);
    for (int shift : {0, 1, 2, 32768, 65534, 65535}) {
        QTest::addRow("low codes, shift %d", shift) << low << shift;
        QTest::addRow("high codes, shift %d", shift) << high << shift;
        QTest::addRow("password, shift %d", shift) << QStringLiteral("Senha ç 10") << shift;
    }
}

void TestRoutines::scrambleRoundTrip() {
    QFETCH(QString, text);
    QFETCH(int, shift);
    const QString up = routines::scrambleUp(text, quint16(shift));
    QCOMPARE(up.size(), text.size());
    if (shift != 0) QVERIFY(up != text);
    QCOMPARE(routines::scrambleDown(up, quint16(shift)), text);
}

void TestRoutines::scrambleWrapsAround() {
    QCOMPARE(routines::scrambleUp(QString(QChar(0xFFFF)), 2), QString(QChar(0x0001)));
    QCOMPARE(routines::scrambleDown(QString(QChar(0x0000)), 1), QString(QChar(0xFFFF)));
    // The program's own amount moves every character two codes down.
    QCOMPARE(routines::scrambleUp(QStringLiteral("b")), QStringLiteral("`"));
    QCOMPARE(routines::scrambleUp(QStringLiteral("a")), routines::scrambleUp(QStringLiteral("a"), 65534));
}

void TestRoutines::keyboardCharactersScrambleIntoWin1252_data() {
    QTest::addColumn<QString>("characters");
    QString ascii;
    for (char16_t c = 0x20; c <= 0x7E; ++c)
        ascii += QChar(c);
    QTest::newRow("printable ASCII") << ascii;
    QTest::newRow("accented lower case") << QStringLiteral("áàâãäéèêëíìîïóòôõöúùûüçñýÿ");
    QTest::newRow("accented upper case") << QStringLiteral("ÁÀÂÃÄÉÈÊËÍÌÎÏÓÒÔÕÖÚÙÛÜÇÑÝ");
    QTest::newRow("AltGr and dead keys") << QStringLiteral("¹²³£¢¬§ªº°´¨");
}

void TestRoutines::keyboardCharactersScrambleIntoWin1252() {
    QFETCH(QString, characters);
    for (QChar c : characters) {
        const QString scrambled = routines::scrambleUp(QString(c));
        QVERIFY2(routines::fitsWin1252(scrambled),
                 qPrintable(QStringLiteral("%1 (U+%2) scrambles outside WIN1252")
                                .arg(QString(c))
                                .arg(c.unicode(), 4, 16, QLatin1Char('0'))));
    }
}

void TestRoutines::zeroFillAndAccelerator() {
    QCOMPARE(routines::zeroFill(QStringLiteral("1"), 8), QStringLiteral("00000001"));
    QCOMPARE(routines::zeroFill(QString(), 8), QStringLiteral("00000000"));
    QCOMPARE(routines::zeroFill(QStringLiteral("123456789"), 8), QStringLiteral("123456789"));
    QCOMPARE(routines::withoutAccelerator(QStringLiteral("&Fechar")), QStringLiteral("Fechar"));
    QCOMPARE(routines::withoutAccelerator(QStringLiteral("Pesquisa &Processos & Mais")),
             QStringLiteral("Pesquisa Processos & Mais"));
    QCOMPARE(routines::withoutAccelerator(QStringLiteral("Relatórios")), QStringLiteral("Relatórios"));
}

QTEST_GUILESS_MAIN(TestRoutines)
#include "tst_routines.moc"
