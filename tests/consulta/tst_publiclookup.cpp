#include "app/consultapublica.h"
#include "core/publiclookup.h"
#include "tests/support/lookupoffice.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

using namespace core::consulta;

// The verification code and the public state of a process, read from a real database.
class TestPublicLookup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void codeShape();
    void lookupCases_data();
    void lookupCases();
    void noPersonalData();
    void secretKeptAndRenewed();
    void renewalAsksFirst();

private:
    std::unique_ptr<testsupport::TestDatabase> m_db;
    QByteArray m_secret;
};

void TestPublicLookup::initTestCase() {
    m_db = std::make_unique<testsupport::TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addLookupOffice(m_db->connection());
    QString error;
    m_secret = readSecret(m_db->connection(), &error);
    QVERIFY2(m_secret.size() == 32, qPrintable(error)); // written by the creation
}

void TestPublicLookup::codeShape() {
    const QRegularExpression shape(QStringLiteral("^[2-9A-HJ-NP-Z]{8}$"));
    const QString code = verificationCode(m_secret, QStringLiteral("00000002"), QStringLiteral("2026"));
    QVERIFY2(shape.match(code).hasMatch(), qPrintable(code));
    // The number as typed by a citizen gives the same code; another year, number or secret not.
    QCOMPARE(verificationCode(m_secret, QStringLiteral("2"), QStringLiteral("2026")), code);
    QVERIFY(verificationCode(m_secret, QStringLiteral("2"), QStringLiteral("2025")) != code);
    QVERIFY(verificationCode(m_secret, QStringLiteral("3"), QStringLiteral("2026")) != code);
    QVERIFY(verificationCode(QByteArray(32, 'x'), QStringLiteral("2"), QStringLiteral("2026")) != code);
    QVERIFY(verificationCode(QByteArray(), QStringLiteral("2"), QStringLiteral("2026")).isEmpty());
    // Typed in lower case or in two halves it still matches; one character off does not.
    QVERIFY(codeMatches(m_secret, QStringLiteral("2"), QStringLiteral("2026"),
                        code.left(4).toLower() + QStringLiteral("-") + code.mid(4)));
    QString off = code;
    off[7] = off[7] == QLatin1Char('Z') ? QLatin1Char('Y') : QLatin1Char('Z');
    QVERIFY(!codeMatches(m_secret, QStringLiteral("2"), QStringLiteral("2026"), off));
    QVERIFY(!codeMatches(m_secret, QStringLiteral("2"), QStringLiteral("2026"), code.left(7)));
}

// Which code is typed: the right one for the process asked, the one of another process, or a
// made-up one.
enum CodeKind { RightCode, OtherProcessCode, MadeUpCode };

void TestPublicLookup::lookupCases_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("year");
    QTest::addColumn<int>("codeKind");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("movements");
    QTest::addColumn<QDate>("received");
    QTest::addColumn<QDate>("archivedOn");

    const int found = int(LookupResult::Found), notFound = int(LookupResult::NotFound),
              invalid = int(LookupResult::Invalid);
    QTest::newRow("never sent") << "00000001"
                                << "2026" << int(RightCode) << found
                                << "Registrado no protocolo, ainda não enviado a outra unidade"
                                << "" << 0 << QDate() << QDate();
    QTest::newRow("right code, three movements")
        << "00000002"
        << "2026" << int(RightCode) << found << "Recebido pela unidade"
        << "GABINETE" << 3 << QDate(2026, 3, 5) << QDate();
    QTest::newRow("number typed without zeros")
        << "2"
        << "2026" << int(RightCode) << found << "Recebido pela unidade"
        << "GABINETE" << 3 << QDate(2026, 3, 5) << QDate();
    QTest::newRow("same number, earlier year")
        << "00000002"
        << "2025" << int(RightCode) << found << "Registrado no protocolo, ainda não enviado a outra unidade"
        << "" << 0 << QDate() << QDate();
    QTest::newRow("archived") << "00000003"
                              << "2026" << int(RightCode) << found << "Arquivado"
                              << "FINANCAS" << 1 << QDate(2026, 3, 4) << QDate(2026, 4, 1);
    QTest::newRow("many movements, last not received")
        << "00000004"
        << "2026" << int(RightCode) << found << "Enviado, aguardando recebimento pela unidade"
        << "SECRETARIA DE OBRAS" << 25 << QDate() << QDate();
    QTest::newRow("wrong code (another process's)") << "00000002"
                                                    << "2026" << int(OtherProcessCode) << notFound << ""
                                                    << "" << 0 << QDate() << QDate();
    QTest::newRow("wrong code (made up)") << "00000002"
                                          << "2026" << int(MadeUpCode) << notFound << ""
                                          << "" << 0 << QDate() << QDate();
    QTest::newRow("unknown process, its right code") << "00000099"
                                                     << "2026" << int(RightCode) << notFound << ""
                                                     << "" << 0 << QDate() << QDate();
    QTest::newRow("letters in the number") << "12A"
                                           << "2026" << int(MadeUpCode) << invalid << ""
                                           << "" << 0 << QDate() << QDate();
    QTest::newRow("two-digit year") << "2"
                                    << "26" << int(MadeUpCode) << invalid << ""
                                    << "" << 0 << QDate() << QDate();
}

void TestPublicLookup::lookupCases() {
    QFETCH(QString, number);
    QFETCH(QString, year);
    QFETCH(int, codeKind);
    QFETCH(int, result);
    QString code = QStringLiteral("ABCDEFGH");
    if (codeKind == RightCode) code = verificationCode(m_secret, number, year);
    if (codeKind == OtherProcessCode) code = verificationCode(m_secret, QStringLiteral("1"), year);

    PublicStatus status;
    QString error;
    const LookupResult got = lookup(m_db->connection(), m_secret, number, year, code, &status, &error);
    QVERIFY2(got != LookupResult::Failed, qPrintable(error));
    QCOMPARE(int(got), result);
    if (got != LookupResult::Found) return;
    QTEST(situationText(status), "situation");
    QTEST(status.unit, "unit");
    QTEST(int(status.movements.size()), "movements");
    QTEST(status.received, "received");
    QTEST(status.archivedOn, "archivedOn");
    QCOMPARE(status.number, normaliseNumber(number));
    QVERIFY(status.registered.isValid());
    if (!status.movements.isEmpty()) {
        // Oldest first, and the latest is where the process is now.
        for (int i = 1; i < status.movements.size(); ++i)
            QVERIFY(status.movements.at(i - 1).sent <= status.movements.at(i).sent);
        QCOMPARE(status.movements.last().unit, status.unit);
        QCOMPARE(status.movements.last().sent, status.since);
    }
}

void TestPublicLookup::noPersonalData() {
    for (const QString& number : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}) {
        PublicStatus status;
        const QString code = verificationCode(m_secret, number, QStringLiteral("2026"));
        QCOMPARE(lookup(m_db->connection(), m_secret, number, QStringLiteral("2026"), code, &status),
                 LookupResult::Found);
        const QString json = QString::fromUtf8(QJsonDocument(toJson(status)).toJson());
        for (const char* personal : testsupport::kLookupPersonalData)
            QVERIFY2(!json.contains(QLatin1String(personal)), personal);
        QVERIFY(!json.contains(QStringLiteral("MOTIVO")));
    }
}

void TestPublicLookup::secretKeptAndRenewed() {
    QSqlDatabase conn = m_db->connection();
    bool created = true;
    QVERIFY(ensureSecret(conn, nullptr, &created));
    QVERIFY(!created);
    QCOMPARE(readSecret(conn), m_secret);

    const QString oldCode = verificationCode(m_secret, QStringLiteral("2"), QStringLiteral("2026"));
    QString error;
    QVERIFY2(renewSecret(conn, &error), qPrintable(error));
    const QByteArray renewed = readSecret(conn);
    QCOMPARE(renewed.size(), 32);
    QVERIFY(renewed != m_secret);
    QCOMPARE(lookup(conn, renewed, QStringLiteral("2"), QStringLiteral("2026"), oldCode, nullptr),
             LookupResult::NotFound);
    QVERIFY(renewConfirmationText().contains(QStringLiteral("deixarão de funcionar")));
    m_secret = renewed;
}

// "Apoio" > "Renova Código de Consulta Pública": nothing changes until the administrator says yes
// to a question that says the printed codes stop working.
void TestPublicLookup::renewalAsksFirst() {
    QSqlDatabase conn = m_db->connection();
    const QByteArray before = readSecret(conn);
    {
        testsupport::ScriptedDialogs dialogs;
        dialogs.expectQuestion(renewConfirmationText(), false);
        app::renewPublicLookupCode(nullptr);
        QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
        QCOMPARE(dialogs.lastQuestionDefault(), core::DialogService::DefaultButton::No);
    }
    QCOMPARE(readSecret(conn), before);
    {
        testsupport::ScriptedDialogs dialogs;
        dialogs.expectQuestion(renewConfirmationText(), true);
        dialogs.expectMessage(QStringLiteral("Código de consulta pública renovado com sucesso!"));
        app::renewPublicLookupCode(nullptr);
        QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    }
    const QByteArray after = readSecret(conn);
    QCOMPARE(after.size(), 32);
    QVERIFY(after != before);
    m_secret = after;
}

QTEST_GUILESS_MAIN(TestPublicLookup)
#include "tst_publiclookup.moc"
