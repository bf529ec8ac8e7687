#include "app/principal.h"
#include "app/senha.h"
#include "app/usuarios.h"
#include "core/appvalues.h"
#include "core/menutree.h"
#include "core/routines.h"
#include "core/session.h"
#include "db/database.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using testsupport::child;
using testsupport::TestDatabase;

class TestDemoData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void taxNumbersAreValid();
    void codesAndReferences();
    void usersInTwoUnitsWithNumberedGrants();
    void documentedUsersLogIn_data();
    void documentedUsersLogIn();
    void grantsShapeTheMenu();
    void secondRunChangesNothing();
    void administratorAltersAndSavesHisOwnRecord();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestDemoData::initTestCase() {
    core::initialiseAppValues(0);
    m_db = std::make_unique<TestDatabase>(true);
    QVERIFY_DB(*m_db);
    QSqlDatabase conn = m_db->connection();
    QString error;
    QVERIFY2(db::addDemoData(conn, &error), qPrintable(error));
}

void TestDemoData::cleanupTestCase() {
    m_db.reset();
}

void TestDemoData::taxNumbersAreValid() {
    int cpfs = 0, cnpjs = 0;
    const QStringList cpfQueries{"SELECT CPF FROM INTERESSADOS WHERE CPF IS NOT NULL",
                                 "SELECT CPF FROM USUARIOS WHERE CPF IS NOT NULL AND CPF <> ''"};
    for (const QString& sql : cpfQueries)
        for (const auto& row : m_db->rows(sql)) {
            QVERIFY2(routines::isValidCpf(row[0].toString()), qPrintable(row[0].toString()));
            ++cpfs;
        }
    const QStringList cnpjQueries{"SELECT CNPJ FROM INTERESSADOS WHERE CNPJ IS NOT NULL",
                                  "SELECT CNPJ FROM UNIDADES", "SELECT CNPJ FROM EMPRESA"};
    for (const QString& sql : cnpjQueries)
        for (const auto& row : m_db->rows(sql)) {
            QVERIFY2(routines::isValidCnpj(row[0].toString()), qPrintable(row[0].toString()));
            ++cnpjs;
        }
    QVERIFY(cpfs >= 6);
    QVERIFY(cnpjs >= 6);
    // Every applicant is either a person with a CPF or an organisation with a CNPJ.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM INTERESSADOS WHERE NOT ((TIPO = ? AND CPF IS NOT NULL) OR "
                          "(TIPO = ? AND CNPJ IS NOT NULL))",
                          {QStringLiteral("1 - Pessoa Física"), QStringLiteral("2 - Pessoa Jurídica")})
                 .toInt(),
             0);
}

void TestDemoData::codesAndReferences() {
    const QList<QPair<QString, int>> codes{{"SELECT IDTIPO FROM TIPOUNIDADE", 2},
                                           {"SELECT IDUNIDADE FROM UNIDADES", 4},
                                           {"SELECT IDSETOR FROM SETORES", 6},
                                           {"SELECT IDTIPO FROM TIPOPROCESSO", 4},
                                           {"SELECT IDINTERESSADO FROM INTERESSADOS", 6},
                                           {"SELECT COD_USUARIO FROM USUARIOS", 8}};
    for (const auto& [sql, width] : codes) {
        const auto rows = m_db->rows(sql);
        QVERIFY2(!rows.isEmpty(), qPrintable(sql));
        for (const auto& row : rows) {
            const QString code = row[0].toString();
            QCOMPARE(code.size(), width);
            QCOMPARE(routines::digitsOnly(code), code);
        }
    }
    // Every reference finds its row.
    const QStringList dangling{
        "SELECT COUNT(*) FROM UNIDADES A LEFT JOIN TIPOUNIDADE B ON A.TIPO_UNIDADE = B.IDTIPO WHERE B.IDTIPO "
        "IS NULL",
        "SELECT COUNT(*) FROM SETORES A LEFT JOIN UNIDADES B ON A.IDUNIDADE = B.IDUNIDADE WHERE B.IDUNIDADE "
        "IS NULL",
        "SELECT COUNT(*) FROM USUARIOS A LEFT JOIN UNIDADES B ON A.IDUNIDADE = B.IDUNIDADE WHERE B.IDUNIDADE "
        "IS NULL",
        "SELECT COUNT(*) FROM USUARIOS A LEFT JOIN INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO "
        "WHERE A.IDTITULAR IS NOT NULL AND B.IDINTERESSADO IS NULL"};
    for (const QString& sql : dangling)
        QVERIFY2(m_db->scalar(sql).toInt() == 0, qPrintable(sql));
}

void TestDemoData::usersInTwoUnitsWithNumberedGrants() {
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS").toInt(), 4);
    QCOMPARE(m_db->scalar("SELECT COUNT(DISTINCT IDUNIDADE) FROM USUARIOS").toInt(), 2);
    // Grants are numbered 1, 2, 3... per user and name real menu entries.
    const QStringList titles = core::grantableTitles();
    for (const auto& user : m_db->rows("SELECT COD_USUARIO FROM USUARIOS")) {
        const auto grants =
            m_db->rows("SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO = ?", {user[0]});
        QVERIFY(!grants.isEmpty());
        QSet<int> numbers;
        for (const auto& g : grants) {
            numbers.insert(g[0].toString().toInt());
            QVERIFY2(titles.contains(g[1].toString()), qPrintable(g[1].toString()));
        }
        for (int n = 1; n <= grants.size(); ++n)
            QVERIFY(numbers.contains(n));
    }
}

void TestDemoData::documentedUsersLogIn_data() {
    // The codes and passwords README.md gives.
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("protocolist");
    QTest::newRow("administrator") << "1"
                                   << "admin"
                                   << "SIM";
    QTest::newRow("clerk") << "2"
                           << "carla2019"
                           << "SIM";
    QTest::newRow("health 1") << "3"
                              << "paulo123"
                              << "NAO";
    QTest::newRow("health 2") << "4"
                              << "lucia123"
                              << "NAO";
}

void TestDemoData::documentedUsersLogIn() {
    QFETCH(QString, code);
    QFETCH(QString, password);
    QFETCH(QString, protocolist);
    core::currentUser() = core::CurrentUser{};
    app::TFrm_Senha login;
    login.show();
    login.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&login));
    QLineEdit* codeField = child<QLineEdit>(&login, "Campo1");
    codeField->setFocus();
    QTest::keyClicks(codeField, code);
    QTest::keyClick(codeField, Qt::Key_Tab);
    QTest::keyClicks(child<QLineEdit>(&login, "Campo2"), password);
    QTest::mouseClick(child<QPushButton>(&login, "Botao_Entrar"), Qt::LeftButton);
    QCOMPARE(login.result(), int(QDialog::Accepted));
    QCOMPARE(core::currentUser().code, routines::zeroFill(code, 8));
    QCOMPARE(core::currentUser().protocolist, protocolist);
}

void TestDemoData::grantsShapeTheMenu() {
    core::currentUser().code = QStringLiteral("00000003");
    app::TFrm_Principal window;
    QVERIFY(window.applyAccessRights());
    QStringList shownWindows;
    for (const auto& e : window.menuEntries())
        if (e.spec.level > 0 && e.spec.kind == core::MenuKind::Window && e.action->isVisible())
            shownWindows << e.spec.title;
    QCOMPARE(shownWindows, (QStringList{"Pendências", "Pesquisa Processos", "Pesquisa Despachos"}));
}

void TestDemoData::secondRunChangesNothing() {
    const int before = m_db->scalar("SELECT COUNT(*) FROM INTERESSADOS").toInt();
    QSqlDatabase conn = m_db->connection();
    QString error;
    QVERIFY(!db::addDemoData(conn, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM INTERESSADOS").toInt(), before);
    QCOMPARE(m_db->scalar("SELECT IDUNIDADE FROM USUARIOS WHERE COD_USUARIO = ?", {"00000001"}).toString(),
             QStringLiteral("0002"));
}

void TestDemoData::administratorAltersAndSavesHisOwnRecord() {
    // Logged in as the administrator, he alters his own name and saves: nothing stops him.
    testsupport::ScriptedDialogs dialogs;
    core::currentUser().code = QStringLiteral("00000001");
    app::TFrm_Usuarios form(nullptr);
    QString error;
    QVERIFY2(form.reload(QStringLiteral("00000001"), &error), qPrintable(error));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(child<QPushButton>(&form, "Botao_Alterar"), Qt::LeftButton);
    QVERIFY(form.records()->isEditing());
    QVERIFY(form.records()->setValue(QStringLiteral("USUARIO"), QStringLiteral("ADMINISTRADOR GERAL")));
    QTest::mouseClick(child<QPushButton>(&form, "Botao_Salvar"), Qt::LeftButton);
    VERIFY_DIALOGS(dialogs);
    QVERIFY(!form.records()->isEditing());
    QCOMPARE(m_db->scalar("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO = ?", {"00000001"}).toString(),
             QStringLiteral("ADMINISTRADOR GERAL"));
    // His rights are kept as they were, all of them.
    QCOMPARE(
        m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO = ?", {"00000001"}).toInt(),
        core::grantableTitles().size());
}

QTEST_MAIN(TestDemoData)
#include "tst_demodata.moc"
