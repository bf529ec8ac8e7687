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
#include <QElapsedTimer>
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
    void historyOfTwoYearsUpToToday();
    void everyMovementFollowsTheRoutingRules();
    void latestMovementTableMatchesTheMovements();
    void officeHasWorkInEveryState();

private:
    std::unique_ptr<TestDatabase> m_db;
    QDateTime m_createdBefore;
};

void TestDemoData::initTestCase() {
    core::initialiseAppValues(0);
    m_db = std::make_unique<TestDatabase>(true);
    QVERIFY_DB(*m_db);
    QSqlDatabase conn = m_db->connection();
    QString error;
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(db::addDemoData(conn, &error), qPrintable(error));
    qInfo("demonstration data written in %lld ms", clock.elapsed());
    m_createdBefore = QDateTime::currentDateTime();
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

namespace {

QDateTime stamp(const QVariant& date, const QVariant& time) {
    if (date.isNull()) return {};
    return QDateTime(date.toDate(), time.toTime());
}

} // namespace

void TestDemoData::historyOfTwoYearsUpToToday() {
    const int processes = m_db->scalar("SELECT COUNT(*) FROM PROCESSOS").toInt();
    QVERIFY2(processes >= 200 && processes <= 500, qPrintable(QString::number(processes)));
    QVERIFY(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO").toInt() > processes);
    const QDate today = m_createdBefore.date();
    // Every moment lies in the two years before the database was made, none after it.
    const QStringList stamps{"SELECT DATA, HORA FROM PROCESSOS",
                             "SELECT DATA, HORA FROM TRAMITACAO",
                             "SELECT DATA_RECEBIMENTO, HORA_RECEBIMENTO FROM TRAMITACAO",
                             "SELECT DATA_RECEBIMENTO_FISICO, HORA_RECEBIMENTO_FISICO FROM TRAMITACAO",
                             "SELECT DATA_ARQUIVAMENTO, HORA_ARQUIVAMENTO FROM TRAMITACAO",
                             "SELECT DATA_DESARQUIVAMENTO, HORA_DESARQUIVAMENTO FROM TRAMITACAO"};
    for (const QString& sql : stamps)
        for (const auto& row : m_db->rows(sql)) {
            if (row[0].isNull()) continue;
            QVERIFY2(!row[1].isNull(), qPrintable(sql));
            const QDateTime t = stamp(row[0], row[1]);
            QVERIFY2(t <= m_createdBefore && t.date() >= today.addDays(-731), qPrintable(sql));
        }
    // Both years have processes, and the newest are days old, not months.
    QVERIFY(m_db->scalar("SELECT COUNT(*) FROM PROCESSOS WHERE DATA < ?", {today.addDays(-365)}).toInt() >
            50);
    QVERIFY(m_db->scalar("SELECT COUNT(*) FROM PROCESSOS WHERE DATA >= ?", {today.addDays(-30)}).toInt() > 3);
    // Numbers as the demonstration profile gives them: month and day of the registration, then a
    // sequence of that day-month that goes on from one year to the next.
    QHash<QString, QList<QDate>> byDayMonth;
    for (const auto& row : m_db->rows("SELECT IDPROCESSO, ANO, DATA FROM PROCESSOS ORDER BY DATA, HORA")) {
        const QString number = row[0].toString();
        const QDate date = row[2].toDate();
        QCOMPARE(number.size(), 8);
        QCOMPARE(number.left(4), date.toString(QStringLiteral("MMdd")));
        QCOMPARE(row[1].toString(), QString::number(date.year()));
        QList<QDate>& seen = byDayMonth[number.left(4)];
        seen << date;
        QCOMPARE(number.mid(4).toInt(), int(seen.size()));
    }
}

void TestDemoData::everyMovementFollowsTheRoutingRules() {
    QHash<QString, QString> unitOf;
    for (const auto& u : m_db->rows("SELECT COD_USUARIO, IDUNIDADE FROM USUARIOS"))
        unitOf.insert(u[0].toString(), u[1].toString());
    QHash<QString, QPair<QString, QDateTime>> registered; // process -> registering user, moment
    for (const auto& p :
         m_db->rows("SELECT IDPROCESSO || '/' || ANO, COD_USUARIO, DATA, HORA FROM PROCESSOS"))
        registered.insert(p[0].toString(), {p[1].toString(), stamp(p[2], p[3])});

    const auto rows = m_db->rows(
        "SELECT IDPROCESSO || '/' || ANO, REGISTRO, COD_USUARIO, COD_USUARIO_DESTINO, IDUNIDADE, DATA, HORA, "
        "DATA_RECEBIMENTO, HORA_RECEBIMENTO, DATA_RECEBIMENTO_FISICO, HORA_RECEBIMENTO_FISICO, "
        "DATA_ARQUIVAMENTO, "
        "HORA_ARQUIVAMENTO, MOTIVO_ARQUIVAMENTO, DATA_DESARQUIVAMENTO, HORA_DESARQUIVAMENTO, "
        "MOTIVO_DESARQUIVAMENTO, IDSETOR, DESPACHO FROM TRAMITACAO ORDER BY IDPROCESSO, ANO, DATA, HORA");
    QVERIFY(!rows.isEmpty());
    QString previousRegistro;
    QDateTime previousSent;
    // Register numbers are handed out in the order of sending, across all processes.
    for (const auto& r : m_db->rows("SELECT REGISTRO, DATA, HORA FROM TRAMITACAO ORDER BY REGISTRO")) {
        const QDateTime sent = stamp(r[1], r[2]);
        QVERIFY2(!previousSent.isValid() || sent >= previousSent, qPrintable(r[0].toString()));
        QCOMPARE(r[0].toString().size(), 8);
        previousSent = sent;
    }
    for (int i = 0; i < rows.size(); ++i) {
        const auto& m = rows.at(i);
        const QString process = m[0].toString();
        const QString what = process + QStringLiteral(" ") + m[1].toString();
        const bool first = i == 0 || rows.at(i - 1)[0].toString() != process;
        const bool last = i + 1 == rows.size() || rows.at(i + 1)[0].toString() != process;
        QVERIFY2(registered.contains(process), qPrintable(what));
        const QDateTime sent = stamp(m[5], m[6]);
        const QDateTime received = stamp(m[7], m[8]);
        const QDateTime physical = stamp(m[9], m[10]);
        const QDateTime archived = stamp(m[11], m[12]);
        const QDateTime unarchived = stamp(m[14], m[15]);
        // One holder at a time: the first sending is the registering clerk's, every later one is
        // made by whoever the previous movement went to, after that movement.
        if (first) {
            QCOMPARE(m[2].toString(), registered.value(process).first);
            QVERIFY2(sent > registered.value(process).second, qPrintable(what));
        } else {
            const auto& before = rows.at(i - 1);
            QCOMPARE(m[2].toString(), before[3].toString());
            QVERIFY2(sent > stamp(before[5], before[6]), qPrintable(what));
        }
        QVERIFY2(m[3].toString() != m[2].toString(), qPrintable(what));
        QCOMPARE(m[4].toString(), unitOf.value(m[3].toString()));
        QVERIFY(m[17].isNull());
        QVERIFY(!m[18].toString().isEmpty());
        // Receipts, archiving and unarchiving each after what they need.
        if (received.isValid()) QVERIFY2(received > sent, qPrintable(what));
        if (physical.isValid()) QVERIFY2(physical > sent, qPrintable(what));
        if (archived.isValid()) {
            QVERIFY2(received.isValid() && archived > received, qPrintable(what));
            QVERIFY(!m[13].toString().isEmpty());
        }
        if (unarchived.isValid()) {
            QVERIFY2(archived.isValid() && unarchived > archived, qPrintable(what));
            QVERIFY(!m[16].toString().isEmpty());
        }
        // Sending on needs the movement received and not left archived, and comes after all of it.
        if (!last) {
            const QDateTime next = stamp(rows.at(i + 1)[5], rows.at(i + 1)[6]);
            QVERIFY2(received.isValid() && received < next, qPrintable(what));
            QVERIFY2(archived.isValid() == unarchived.isValid(), qPrintable(what));
            if (unarchived.isValid()) QVERIFY2(unarchived < next, qPrintable(what));
            if (physical.isValid()) QVERIFY2(physical < next, qPrintable(what));
        }
    }
}

void TestDemoData::latestMovementTableMatchesTheMovements() {
    // What the triggers kept, against the latest movement read from the movements themselves.
    const auto expected = m_db->rows(
        "SELECT A.IDPROCESSO, A.ANO, A.REGISTRO, A.IDUNIDADE, A.COD_USUARIO_DESTINO, A.DATA, "
        "P.IDTIPOPROCESSO, "
        "D.DIAS, IIF(A.DATA_ARQUIVAMENTO IS NOT NULL AND A.DATA_DESARQUIVAMENTO IS NULL, 1, 0) "
        "FROM TRAMITACAO A JOIN PROCESSOS P ON P.IDPROCESSO = A.IDPROCESSO AND P.ANO = A.ANO "
        "LEFT JOIN PRAZOS_TIPOPROCESSO D ON D.IDTIPO = P.IDTIPOPROCESSO "
        "WHERE NOT EXISTS (SELECT 1 FROM TRAMITACAO B WHERE B.IDPROCESSO = A.IDPROCESSO AND B.ANO = A.ANO "
        "AND (B.DATA > A.DATA OR (B.DATA = A.DATA AND B.HORA > A.HORA))) ORDER BY A.IDPROCESSO, A.ANO");
    const auto kept = m_db->rows(
        "SELECT IDPROCESSO, ANO, REGISTRO, IDUNIDADE, COD_USUARIO_DESTINO, DATA, IDTIPOPROCESSO, DIAS, "
        "ARQUIVADO FROM ULTIMA_TRAMITACAO ORDER BY IDPROCESSO, ANO");
    QCOMPARE(kept.size(), expected.size());
    QCOMPARE(kept.size(), m_db->scalar("SELECT COUNT(DISTINCT IDPROCESSO || ANO) FROM TRAMITACAO").toInt());
    for (int i = 0; i < kept.size(); ++i)
        for (int c = 0; c < kept.at(i).size(); ++c)
            QCOMPARE(kept.at(i).at(c).toString(), expected.at(i).at(c).toString());
}

void TestDemoData::officeHasWorkInEveryState() {
    // Every process type has a deadline.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM TIPOPROCESSO T LEFT JOIN PRAZOS_TIPOPROCESSO D ON D.IDTIPO = "
                          "T.IDTIPO WHERE D.DIAS IS NULL")
                 .toInt(),
             0);
    const QDate today = m_createdBefore.date();
    const QList<QPair<QString, QVariantList>> some{
        // overdue: waiting at a desk longer than the type allows
        {"SELECT COUNT(*) FROM ULTIMA_TRAMITACAO WHERE ARQUIVADO = 0 AND DATA + DIAS < ?", {today}},
        // waiting at a desk within the deadline
        {"SELECT COUNT(*) FROM ULTIMA_TRAMITACAO WHERE ARQUIVADO = 0 AND DATA + DIAS >= ?", {today}},
        {"SELECT COUNT(*) FROM ULTIMA_TRAMITACAO WHERE ARQUIVADO = 1", {}},
        // unarchived and still with the one who took it out, and unarchived then sent on
        {"SELECT COUNT(*) FROM ULTIMA_TRAMITACAO U JOIN TRAMITACAO T ON T.REGISTRO = U.REGISTRO "
         "WHERE T.DATA_DESARQUIVAMENTO IS NOT NULL",
         {}},
        {"SELECT COUNT(*) FROM TRAMITACAO T WHERE T.DATA_DESARQUIVAMENTO IS NOT NULL AND NOT EXISTS "
         "(SELECT 1 FROM ULTIMA_TRAMITACAO U WHERE U.REGISTRO = T.REGISTRO)",
         {}},
        {"SELECT COUNT(*) FROM TRAMITACAO WHERE DATA_RECEBIMENTO IS NULL", {}},
        {"SELECT COUNT(*) FROM TRAMITACAO WHERE DATA_RECEBIMENTO IS NOT NULL AND DATA_RECEBIMENTO_FISICO IS "
         "NULL",
         {}},
        // registered and not yet sent: the clerk's process form shows them
        {"SELECT COUNT(*) FROM PROCESSOS P WHERE NOT EXISTS (SELECT 1 FROM TRAMITACAO T WHERE T.IDPROCESSO = "
         "P.IDPROCESSO AND T.ANO = P.ANO)",
         {}},
        {"SELECT COUNT(*) FROM PROCESSOS WHERE CHAR_LENGTH(ASSUNTO) > 200", {}},
        {"SELECT COUNT(*) FROM TRAMITACAO WHERE CHAR_LENGTH(DESPACHO) > 800", {}},
    };
    for (const auto& [sql, values] : some)
        QVERIFY2(m_db->scalar(sql, values).toInt() > 0, qPrintable(sql));
    // Each of the four users sends and receives, and has something in the in-tray.
    for (const auto& user : m_db->rows("SELECT COD_USUARIO FROM USUARIOS")) {
        const QString code = user[0].toString();
        QVERIFY(m_db->scalar("SELECT COUNT(*) FROM TRAMITACAO WHERE COD_USUARIO = ?", {code}).toInt() > 5);
        QVERIFY(m_db->scalar("SELECT COUNT(*) FROM ULTIMA_TRAMITACAO WHERE COD_USUARIO_DESTINO = ? AND "
                             "ARQUIVADO = 0",
                             {code})
                    .toInt() > 0);
    }
}

QTEST_MAIN(TestDemoData)
#include "tst_demodata.moc"
