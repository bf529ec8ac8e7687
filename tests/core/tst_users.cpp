#include "core/codes.h"
#include "core/users.h"
#include "tests/support/testdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <memory>

using testsupport::TestDatabase;

namespace {

const QString kProcessos = QStringLiteral("Processos");
const QString kSetores = QStringLiteral("Setores");

} // namespace

// The shared reads and writes on users, rights, names and codes, on a database and no window.
class TestUsers : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void findUser_data();
    void findUser();
    void rightsInRunningNumberOrder();
    void rightsOfAUserThatIsGone();
    void grantsReplacedAsAWhole();
    void snapshotSeesEveryChange_data();
    void snapshotSeesEveryChange();
    void holdersAreExistingUsers();
    void nameOfACode_data();
    void nameOfACode();
    void nextCode_data();
    void nextCode();

private:
    void addUser(const QString& code, const QString& name, const QStringList& grants);
    QStringList storedGrants(const QString& code);
    std::unique_ptr<TestDatabase> m_db;
};

void TestUsers::init() {
    m_db = std::make_unique<TestDatabase>(false);
    QVERIFY_DB(*m_db);
}

void TestUsers::cleanup() {
    m_db.reset();
}

void TestUsers::addUser(const QString& code, const QString& name, const QStringList& grants) {
    QVERIFY(m_db->insert("USUARIOS", {{"COD_USUARIO", code},
                                      {"USUARIO", name},
                                      {"SENHA", "_`a"},
                                      {"CPF", "111.444.777-35"},
                                      {"PROTOCOLISTA", "SIM"},
                                      {"IDUNIDADE", "0001"}}));
    for (int i = 0; i < grants.size(); ++i)
        QVERIFY(m_db->insert(
            "USUARIOS_ACESSOS",
            {{"ACESSO", QString::number(i + 1)}, {"COD_USUARIO", code}, {"TITULO", grants.at(i)}}));
}

QStringList TestUsers::storedGrants(const QString& code) {
    QStringList out;
    for (const QVariantList& r : m_db->rows(
             "SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO=? ORDER BY ACESSO", {code}))
        out << r.at(0).toString() + QLatin1Char('=') + r.at(1).toString();
    return out;
}

void TestUsers::findUser_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("found");
    QTest::newRow("stored") << "00000002" << true;
    QTest::newRow("nobody has it") << "00000009" << false;
    QTest::newRow("longer than the column") << QString(40, QLatin1Char('9')) << false;
}

void TestUsers::findUser() {
    QFETCH(QString, code);
    QFETCH(bool, found);
    addUser("00000002", "ANA", {});
    core::UserRecord user;
    bool isThere = !found;
    QString error;
    QVERIFY2(core::findUser(m_db->connection(), code, &user, &isThere, &error), qPrintable(error));
    QCOMPARE(isThere, found);
    QCOMPARE(user.name, found ? QStringLiteral("ANA") : QString());
    QCOMPARE(user.storedPassword, found ? QStringLiteral("_`a") : QString());
    QCOMPARE(user.cpf, found ? QStringLiteral("111.444.777-35") : QString());
    QCOMPARE(user.protocolist, found ? QStringLiteral("SIM") : QString());
}

void TestUsers::rightsInRunningNumberOrder() {
    addUser("00000002", "ANA", {});
    // Running numbers are text: "10" must come after "2".
    for (const auto& [n, title] : QList<QPair<QString, QString>>{{"10", "C"}, {"2", "B"}, {"1", "A"}})
        QVERIFY(m_db->insert("USUARIOS_ACESSOS",
                             {{"ACESSO", n}, {"COD_USUARIO", "00000002"}, {"TITULO", title}}));
    addUser("00000003", "JOSE", {kSetores});
    QStringList titles;
    QString error;
    QVERIFY2(core::userRights(m_db->connection(), "00000002", &titles, &error), qPrintable(error));
    QCOMPARE(titles, QStringList({"A", "B", "C"}));
}

void TestUsers::rightsOfAUserThatIsGone() {
    addUser("00000002", "ANA", {kProcessos});
    QVERIFY(m_db->exec("DELETE FROM USUARIOS WHERE COD_USUARIO='00000002'"));
    QStringList titles{"left over"};
    QString error;
    QVERIFY2(core::userRights(m_db->connection(), "00000002", &titles, &error), qPrintable(error));
    QVERIFY(titles.isEmpty());
}

void TestUsers::grantsReplacedAsAWhole() {
    addUser("00000002", "ANA", {"A", "B", "C", "D"});
    addUser("00000003", "JOSE", {"A", "B"});
    QSqlDatabase db = m_db->connection();
    QVERIFY(db.transaction());
    QString error;
    QVERIFY2(core::replaceGrants(db, "00000002", {kSetores, kProcessos}, &error), qPrintable(error));
    QVERIFY(db.commit());
    QCOMPARE(storedGrants("00000002"), QStringList({"1=Setores", "2=Processos"}));
    QCOMPARE(storedGrants("00000003"), QStringList({"1=A", "2=B"}));

    // None chosen: none left.
    QVERIFY(db.transaction());
    QVERIFY2(core::replaceGrants(db, "00000002", {}, &error), qPrintable(error));
    QVERIFY(db.rollback());
    QCOMPARE(storedGrants("00000002").size(), 2); // the caller's transaction decides
    QVERIFY(db.transaction());
    QVERIFY2(core::replaceGrants(db, "00000002", {}, &error), qPrintable(error));
    QVERIFY(db.commit());
    QVERIFY(storedGrants("00000002").isEmpty());
}

void TestUsers::snapshotSeesEveryChange_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("differs");
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("another user") << "UPDATE USUARIOS SET USUARIO='X' WHERE COD_USUARIO='00000003'" << false;
    QTest::newRow("name") << "UPDATE USUARIOS SET USUARIO='ANA MARIA' WHERE COD_USUARIO='00000002'" << true;
    QTest::newRow("password") << "UPDATE USUARIOS SET SENHA='x' WHERE COD_USUARIO='00000002'" << true;
    QTest::newRow("unit") << "UPDATE USUARIOS SET IDUNIDADE='0002' WHERE COD_USUARIO='00000002'" << true;
    QTest::newRow("grant removed")
        << "DELETE FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000002' AND ACESSO='2'" << true;
    QTest::newRow("grant added") << "INSERT INTO USUARIOS_ACESSOS VALUES ('3', '00000002', 'Setores')"
                                 << true;
    QTest::newRow("grant retitled") << "UPDATE USUARIOS_ACESSOS SET TITULO='Processos' WHERE ACESSO='2' AND "
                                       "COD_USUARIO='00000002'"
                                    << true;
    QTest::newRow("user removed") << "DELETE FROM USUARIOS WHERE COD_USUARIO='00000002'" << true;
}

void TestUsers::snapshotSeesEveryChange() {
    QFETCH(QString, change);
    QFETCH(bool, differs);
    addUser("00000002", "ANA", {kProcessos, "Relatório dos Setores"});
    addUser("00000003", "JOSE", {kProcessos});
    core::UserSnapshot read;
    QString error;
    QVERIFY2(core::readUserSnapshot(m_db->connection(), "00000002", &read, &error), qPrintable(error));
    QVERIFY(read.exists);
    QCOMPARE(read.grants, QStringList({"1=Processos", "2=Relatório dos Setores"}));
    // Another workstation.
    QSqlDatabase other = m_db->openSecondConnection("other");
    if (!change.isEmpty()) {
        QSqlQuery q(other);
        QVERIFY2(q.exec(change), qPrintable(q.lastError().text()));
    }
    QSqlDatabase db = m_db->connection();
    QVERIFY(db.transaction());
    core::UserSnapshot now;
    QVERIFY2(core::readUserSnapshot(db, "00000002", &now, &error, true), qPrintable(error));
    QVERIFY(db.commit());
    QCOMPARE(now != read, differs);
}

void TestUsers::holdersAreExistingUsers() {
    addUser("00000002", "ANA", {core::userManagementTitle(), kProcessos});
    addUser("00000003", "JOSE", {kProcessos});
    addUser("00000004", "MARIA", {core::userManagementTitle()});
    int count = -1;
    QString error;
    QVERIFY2(core::countHolders(m_db->connection(), core::userManagementTitle(), &count, &error),
             qPrintable(error));
    QCOMPARE(count, 2);
    // Grant rows left behind by a removed user hold nothing.
    QVERIFY(m_db->exec("DELETE FROM USUARIOS WHERE COD_USUARIO='00000004'"));
    QVERIFY(core::countHolders(m_db->connection(), core::userManagementTitle(), &count, &error));
    QCOMPARE(count, 1);
}

void TestUsers::nameOfACode_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QVariant>("name");
    QTest::newRow("stored") << "0002" << QVariant(QStringLiteral("SECRETARIA DE SAÚDE"));
    QTest::newRow("nobody has it") << "0009" << QVariant();
    QTest::newRow("a quote is a value") << "0'01" << QVariant();
}

void TestUsers::nameOfACode() {
    QFETCH(QString, code);
    QFETCH(QVariant, name);
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0002"}, {"UNIDADE", "SECRETARIA DE SAÚDE"}}));
    QVariant fetched = QStringLiteral("before");
    QString error;
    QVERIFY2(core::fetchName(m_db->connection(), "SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE=?", code,
                             &fetched, &error),
             qPrintable(error));
    QCOMPARE(fetched.isNull(), name.isNull());
    QCOMPARE(fetched.toString(), name.toString());
    // A query the database refuses says so.
    QVERIFY(!core::fetchName(m_db->connection(), "SELECT NOPE FROM UNIDADES WHERE IDUNIDADE=?", code,
                             &fetched, &error));
    QVERIFY(!error.isEmpty());
}

void TestUsers::nextCode_data() {
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("expected"); // the code, or the detail
    using O = core::NextCode::Outcome;
    QTest::newRow("empty table") << QStringList() << int(O::Ready) << "0001";
    QTest::newRow("after the greatest") << QStringList({"0001", "0009", "0003"}) << int(O::Ready) << "0010";
    QTest::newRow("typed by hand") << QStringList({"0001", "AB"}) << int(O::NotNumeric) << "AB";
    QTest::newRow("full width") << QStringList({"9999"}) << int(O::TooWide) << "10000";
}

void TestUsers::nextCode() {
    QFETCH(QStringList, stored);
    QFETCH(int, outcome);
    QFETCH(QString, expected);
    for (const QString& code : std::as_const(stored))
        QVERIFY(m_db->insert("TIPOPROCESSO", {{"IDTIPO", code}, {"TIPO", "T" + code}}));
    const core::NextCode next =
        core::nextCode(m_db->connection(), "SELECT COALESCE(MAX(IDTIPO),'0') FROM TIPOPROCESSO", 4);
    QCOMPARE(int(next.outcome), outcome);
    QCOMPARE(outcome == int(core::NextCode::Outcome::Ready) ? next.code : next.detail, expected);
    // A query that fails gives the database's text.
    const core::NextCode failed = core::nextCode(m_db->connection(), "SELECT MAX(NOPE) FROM TIPOPROCESSO", 4);
    QCOMPARE(int(failed.outcome), int(core::NextCode::Outcome::Failed));
    QVERIFY(!failed.detail.isEmpty());
}

QTEST_GUILESS_MAIN(TestUsers)
#include "tst_users.moc"
