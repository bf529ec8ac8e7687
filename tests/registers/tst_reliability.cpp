// The registers as a careless user, a clerk without rights and a restarting server find them:
// deleting a record other rows still use, text the database cannot store, a Cadastra button
// without the right to the register it opens, and a connection lost and found again.
#include "app/principal.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/session.h"
#include "db/database.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/registryform.h"
#include "forms/registers/interessados.h"
#include "forms/registers/setores.h"
#include "forms/registers/tiposprocessos.h"
#include "forms/registers/tipounidade.h"
#include "forms/registers/unidades.h"
#include "tests/support/formdriving.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"
#include "tests/support/testserver.h"
#include "tests/support/typing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>
#include <functional>
#include <memory>

using forms::RecordSet;
using forms::RegistryForm;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using namespace testsupport;

namespace {

using Factory = std::function<RegistryForm*()>;

Factory factory(const QString& tag) {
    if (tag == QLatin1String("unidades")) return [] { return new registers::TFrm_Unidades(nullptr); };
    if (tag == QLatin1String("tipounidade")) return [] { return new registers::TFrm_TipoUnidade(nullptr); };
    if (tag == QLatin1String("tiposprocessos"))
        return [] { return new registers::TFrm_TiposProcessos(nullptr); };
    if (tag == QLatin1String("interessados")) return [] { return new registers::TFrm_Interessados(nullptr); };
    return [] { return new registers::TFrm_Setores(nullptr); };
}

std::unique_ptr<RegistryForm> openForm(const QString& tag) {
    std::unique_ptr<RegistryForm> f(factory(tag)());
    QString error;
    if (!f->reload(&error)) qWarning("%s", qPrintable(error));
    f->show();
    return f;
}

// Rows given as "TABLE|FIELD=value|FIELD=value".
void insertRows(TestDatabase& db, const QStringList& rows) {
    for (const QString& row : rows) {
        const QStringList parts = row.split(QLatin1Char('|'));
        QVariantMap values;
        for (int i = 1; i < parts.size(); ++i)
            values.insert(parts.at(i).section(QLatin1Char('='), 0, 0),
                          parts.at(i).section(QLatin1Char('='), 1));
        QVERIFY(db.insert(parts.first(), values));
    }
}

} // namespace

class TestReliability : public QObject {
    Q_OBJECT
private slots:
    void init();
    void deletionOfARecordInUse_data();
    void deletionOfARecordInUse();
    void textTheDatabaseCannotStore_data();
    void textTheDatabaseCannotStore();
    void cadastraButtonsFollowTheRights_data();
    void cadastraButtonsFollowTheRights();
    void serverRestartsWhileEditing();
};

void TestReliability::init() {
    core::currentUser() = core::CurrentUser{};
}

void TestReliability::deletionOfARecordInUse_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("record");
    QTest::addColumn<QStringList>("users");
    QTest::addColumn<QString>("usersTable");
    QTest::addColumn<QString>("message");

    const QString unit = QStringLiteral("UNIDADES|IDUNIDADE=0001|UNIDADE=GABINETE|TIPO_UNIDADE=01");
    QTest::newRow("budget unit: users and sectors")
        << "unidades"
        << "UNIDADES" << QStringList{unit}
        << QStringList{"USUARIOS|COD_USUARIO=00000010|USUARIO=ANA|IDUNIDADE=0001",
                       "USUARIOS|COD_USUARIO=00000011|USUARIO=BRUNO|IDUNIDADE=0001",
                       "SETORES|IDSETOR=000001|SETOR=Protocolo|IDUNIDADE=0001",
                       "SETORES|IDSETOR=000002|SETOR=Arquivo|IDUNIDADE=0001",
                       "SETORES|IDSETOR=000003|SETOR=Compras|IDUNIDADE=0001"}
        << "USUARIOS,SETORES"
        << "Atenção, procedimento cancelado! Unidade Orçamentária em uso por 2 usuários e 3 setores.";
    QTest::newRow("budget unit: one movement")
        << "unidades"
        << "UNIDADES" << QStringList{unit}
        << QStringList{"TRAMITACAO|REGISTRO=00000001|IDPROCESSO=00000001|ANO=2026|IDUNIDADE=0001"}
        << "TRAMITACAO"
        << "Atenção, procedimento cancelado! Unidade Orçamentária em uso por 1 tramitação.";
    QTest::newRow("unit type") << "tipounidade"
                               << "TIPOUNIDADE" << QStringList{"TIPOUNIDADE|IDTIPO=01|TIPO=FUNDO"}
                               << QStringList{unit, "UNIDADES|IDUNIDADE=0002|UNIDADE=SAUDE|TIPO_UNIDADE=01"}
                               << "UNIDADES"
                               << "Atenção, procedimento cancelado! Tipo Unidade em uso por 2 unidades "
                                  "orçamentárias.";
    QTest::newRow("process type")
        << "tiposprocessos"
        << "TIPOPROCESSO" << QStringList{"TIPOPROCESSO|IDTIPO=0001|TIPO=ALVARA"}
        << QStringList{"PROCESSOS|IDPROCESSO=00000001|ANO=2026|IDTIPOPROCESSO=0001"} << "PROCESSOS"
        << "Atenção, procedimento cancelado! Tipo de Processo em uso por 1 processo.";
    QTest::newRow("applicant: holder, applicant and user")
        << "interessados"
        << "INTERESSADOS" << QStringList{"INTERESSADOS|IDINTERESSADO=000001|INTERESSADO=MARIA"}
        << QStringList{"PROCESSOS|IDPROCESSO=00000001|ANO=2026|IDTITULAR=000001|IDREQUERENTE=000001",
                       "PROCESSOS|IDPROCESSO=00000002|ANO=2026|IDREQUERENTE=000001",
                       "USUARIOS|COD_USUARIO=00000010|USUARIO=MARIA|IDTITULAR=000001"}
        << "PROCESSOS,USUARIOS"
        << "Atenção, procedimento cancelado! Requerente/Titular em uso por 2 processos e 1 usuário.";
    QTest::newRow("sector") << "setores"
                            << "SETORES"
                            << QStringList{unit, "SETORES|IDSETOR=000001|SETOR=Protocolo|IDUNIDADE=0001"}
                            << QStringList{"TRAMITACAO|REGISTRO=00000001|IDSETOR=000001",
                                           "TRAMITACAO|REGISTRO=00000002|IDSETOR=000001"}
                            << "TRAMITACAO"
                            << "Atenção, procedimento cancelado! Setor em uso por 2 tramitações.";
}

void TestReliability::deletionOfARecordInUse() {
    QFETCH(QString, form);
    QFETCH(QString, table);
    QFETCH(QStringList, record);
    QFETCH(QStringList, users);
    QFETCH(QString, usersTable);
    QFETCH(QString, message);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRows(db, record);
    const QString count = QStringLiteral("SELECT COUNT(*) FROM ") + table;
    const int before = db.scalar(count).toInt();
    auto f = openForm(form);
    QVERIFY(!f->records()->isEmpty());
    // The rows that use the record arrive after the window read its list, as from another
    // workstation: the check is made when the deletion is confirmed.
    insertRows(db, users);
    {
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(RegistryForm::confirmDeleteQuestion(), true);
        dialogs.expectMessage(message);
        click(f.get(), "Botao_Excluir");
        VERIFY_DIALOGS(dialogs);
    }
    QCOMPARE(db.scalar(count).toInt(), before);
    QCOMPARE(f->records()->rowCount(), before);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    // Once nothing uses it any more, it goes.
    for (const QString& t : usersTable.split(QLatin1Char(',')))
        QVERIFY(db.exec(QStringLiteral("DELETE FROM ") + t));
    {
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(RegistryForm::confirmDeleteQuestion(), true);
        click(f.get(), "Botao_Excluir");
        VERIFY_DIALOGS(dialogs);
    }
    QCOMPARE(db.scalar(count).toInt(), before - 1);
}

void TestReliability::textTheDatabaseCannotStore_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("editName");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");       // in the edit after typing
    QTest::addColumn<QString>("refusedChar"); // empty: saved as shown
    QTest::addColumn<QString>("caption");

    // Upper-case entry (process type name).
    const auto upper = [](const char* tag, const QString& typed, const QString& shown,
                          const QString& refused) {
        QTest::newRow(tag) << "tiposprocessos"
                           << "Campo2"
                           << "TIPOPROCESSO"
                           << "TIPO" << typed << shown << refused << "Tipo Processo";
    };
    upper("upper: accents", QStringLiteral("certidão négativa"), QStringLiteral("CERTIDÃO NÉGATIVA"),
          QString());
    upper("upper: micro sign stays", QStringLiteral("dose 5 µg"), QStringLiteral("DOSE 5 µG"), QString());
    upper("upper: sharp s stays", QStringLiteral("straße"), QStringLiteral("STRAßE"), QString());
    upper("upper: y diaeresis", QStringLiteral("ÿ"), QStringLiteral("Ÿ"), QString());
    upper("upper: euro and quotes", QStringLiteral("€ “x” – œ"), QStringLiteral("€ “X” – Œ"), QString());
    upper("upper: emoji", QStringLiteral("alvará 😀"), QStringLiteral("ALVARÁ 😀"), QStringLiteral("😀"));
    upper("upper: chinese", QStringLiteral("北京"), QStringLiteral("北京"), QStringLiteral("北"));
    upper("upper: greek", QStringLiteral("ωmega"), QStringLiteral("ωMEGA"), QStringLiteral("ω"));
    upper("upper: digraph", QStringLiteral("ǆ"), QStringLiteral("ǆ"), QStringLiteral("ǆ"));
    // Kept as typed (sector name).
    const auto asTyped = [](const char* tag, const QString& typed, const QString& refused) {
        QTest::newRow(tag) << "setores"
                           << "Campo2"
                           << "SETORES"
                           << "SETOR" << typed << typed << refused << "Setor";
    };
    asTyped("as typed: latin", QStringLiteral("Seção de Índices µ"), QString());
    asTyped("as typed: emoji", QStringLiteral("Sala 🏛"), QStringLiteral("🏛"));
    asTyped("as typed: cyrillic", QStringLiteral("Отдел"), QStringLiteral("О"));
    // Lower-case entry (e-mail).
    const auto lower = [](const char* tag, const QString& typed, const QString& shown,
                          const QString& refused) {
        QTest::newRow(tag) << "interessados"
                           << "Campo16"
                           << "INTERESSADOS"
                           << "EMAIL" << typed << shown << refused << "E-Mail";
    };
    lower("lower: accents", QStringLiteral("JOÃO@ÁREA.COM"), QStringLiteral("joão@área.com"), QString());
    lower("lower: caron", QStringLiteral("ŽANA@X.COM"), QStringLiteral("žana@x.com"), QString());
    lower("lower: greek", QStringLiteral("Σ@X.COM"), QStringLiteral("Σ@x.com"), QStringLiteral("Σ"));
}

void TestReliability::textTheDatabaseCannotStore() {
    QFETCH(QString, form);
    QFETCH(QString, editName);
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, refusedChar);
    QFETCH(QString, caption);
    TestDatabase db;
    QVERIFY_DB(db);
    if (form == QLatin1String("setores"))
        insertRows(db, {"UNIDADES|IDUNIDADE=0001|UNIDADE=GABINETE|TIPO_UNIDADE=01"});
    auto f = openForm(form);
    click(f.get(), "Botao_Incluir");
    if (form == QLatin1String("setores")) typeAndLeave(f.get(), "Campo3", QStringLiteral("1"));
    if (form == QLatin1String("interessados")) typeAndLeave(f.get(), "Campo2", QStringLiteral("MARIA"));
    QLineEdit* e = edit(f.get(), qPrintable(editName));
    e->setFocus();
    e->selectAll();
    typeText(e, typed);
    QCOMPARE(e->text(), shown);
    QCOMPARE(e->cursorPosition(), int(shown.size()));

    ScriptedDialogs dialogs;
    if (!refusedChar.isEmpty())
        dialogs.expectMessage(forms::FieldBinder::unstorableMessage(caption, refusedChar));
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    const QString count = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 IS NOT NULL").arg(table, field);
    if (refusedChar.isEmpty()) {
        QCOMPARE(f->records()->state(), RecordSet::State::Browse);
        QCOMPARE(db.scalar(QStringLiteral("SELECT %1 FROM %2").arg(field, table)).toString(), shown);
    } else {
        // Nothing written, nothing lost: the record is still being included with the text and
        // the edit holds the focus for the correction.
        QCOMPARE(f->records()->state(), RecordSet::State::Insert);
        QCOMPARE(e->text(), shown);
        QCOMPARE(f->focusWidget(), e);
        QCOMPARE(db.scalar(count).toInt(), 0);
    }
}

void TestReliability::cadastraButtonsFollowTheRights_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("right");
    QTest::newRow("budget unit form opens the unit types") << "unidades"
                                                           << "Tipo/Unidade";
    QTest::newRow("sector form opens the budget units") << "setores"
                                                        << "Unidades Orçamentárias";
}

void TestReliability::cadastraButtonsFollowTheRights() {
    QFETCH(QString, form);
    QFETCH(QString, right);
    TestDatabase db;
    QVERIFY_DB(db);
    // A clerk with the right to this register only, and a colleague with the other one too.
    insertRows(
        db, {"USUARIOS|COD_USUARIO=00000005|USUARIO=CLERK", "USUARIOS|COD_USUARIO=00000006|USUARIO=CHEFE"});
    const QString own = form == QLatin1String("setores") ? QStringLiteral("Setores")
                                                         : QStringLiteral("Unidades Orçamentárias");
    QVERIFY(db.insert("USUARIOS_ACESSOS", {{"ACESSO", "1"}, {"COD_USUARIO", "00000005"}, {"TITULO", own}}));
    QVERIFY(db.insert("USUARIOS_ACESSOS", {{"ACESSO", "1"}, {"COD_USUARIO", "00000006"}, {"TITULO", own}}));
    QVERIFY(db.insert("USUARIOS_ACESSOS", {{"ACESSO", "2"}, {"COD_USUARIO", "00000006"}, {"TITULO", right}}));

    core::currentUser().code = QStringLiteral("00000005");
    {
        auto f = openForm(form);
        auto* b = qobject_cast<QAbstractButton*>(f->control(QStringLiteral("SpeedButton2")));
        QVERIFY(b);
        QVERIFY(!b->isEnabled());
        // The state refresh of every action leaves it so.
        click(f.get(), "Botao_Incluir");
        QVERIFY(!b->isEnabled());
        click(f.get(), "Botao_Cancelar");
        QVERIFY(!b->isEnabled());
        // The Pesquisa button beside it only reads, and stays usable.
        QVERIFY(f->control(QStringLiteral("SpeedButton1"))->isEnabled());
    }
    core::currentUser().code = QStringLiteral("00000006");
    {
        auto f = openForm(form);
        QVERIFY(f->control(QStringLiteral("SpeedButton2"))->isEnabled());
    }
}

void TestReliability::serverRestartsWhileEditing() {
    if (!TestServer::available()) QSKIP("no Firebird server program on this machine");
    TestServer server;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QString location = server.address() + QStringLiteral(":") + server.dataFolder() +
                             QStringLiteral("/KORVALIS_PROTOCOLO.fdb");
    QVERIFY2(db::createDatabase(location, &error), qPrintable(error));
    // Remote mode, as an office workstation runs.
    core::initialiseAppValues(4);
    core::appValues().profile.remoteLocation = location;
    const core::ConnectionTarget target = core::buildConnectionTarget(core::appValues().profile, QString());
    QVERIFY2(core::openMainConnection(target, &error), qPrintable(error));

    auto f = openForm(QStringLiteral("tiposprocessos"));
    const int restarts = 3;
    for (int round = 1; round <= restarts; ++round) {
        click(f.get(), "Botao_Incluir");
        const QString name = QStringLiteral("TIPO DEPOIS DA QUEDA %1").arg(round);
        typeAndLeave(f.get(), "Campo2", name);

        QVERIFY2(server.stop(&error), qPrintable(error));
        QVERIFY2(server.start(&error), qPrintable(error));
        {
            // Told once, in Portuguese; the record stays on screen, still being included.
            ScriptedDialogs dialogs;
            dialogs.expectMessage(core::lostConnectionMessage());
            click(f.get(), "Botao_Salvar");
            VERIFY_DIALOGS(dialogs);
            QCOMPARE(dialogs.shown().size(), 1);
        }
        QVERIFY(core::mainConnectionLost());
        QVERIFY(f->records()->isEditing());
        QCOMPARE(edit(f.get(), "Campo2")->text(), name);
        QVERIFY(f->control(QStringLiteral("Botao_Salvar"))->isEnabled());
        {
            // The next action opens the connection again with the same values and saves.
            ScriptedDialogs dialogs;
            click(f.get(), "Botao_Salvar");
            VERIFY_DIALOGS(dialogs);
            QVERIFY(dialogs.shown().isEmpty());
        }
        QVERIFY(!core::mainConnectionLost());
        QCOMPARE(f->records()->state(), RecordSet::State::Browse);
        QCOMPARE(core::mainConnection().databaseName(), location);
        QSqlQuery q(core::mainConnection());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM TIPOPROCESSO")) && q.next());
        QCOMPARE(q.value(0).toInt(), round);
    }
    qInfo("server restarts survived while editing: %d", restarts);

    // The main menu after a restart: told once, the rights read before are kept (not all greyed),
    // and the next activation reads them again on a new connection.
    {
        QSqlQuery q(core::mainConnection());
        QVERIFY(
            q.exec(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO) VALUES ('00000001', 'ADM')")));
        QVERIFY(
            q.exec(QStringLiteral("INSERT INTO USUARIOS_ACESSOS (ACESSO, COD_USUARIO, TITULO) VALUES ('1', "
                                  "'00000001', 'Tipos de Processos')")));
    }
    core::currentUser().code = QStringLiteral("00000001");
    app::TFrm_Principal window;
    auto typesEntry = [&] {
        for (const auto& e : window.menuEntries())
            if (e.spec.title == QLatin1String("Tipos de Processos")) return e.action->isEnabled();
        return false;
    };
    QVERIFY(window.applyAccessRights());
    QVERIFY(typesEntry());
    QVERIFY2(server.stop(&error), qPrintable(error));
    QVERIFY2(server.start(&error), qPrintable(error));
    {
        ScriptedDialogs dialogs;
        dialogs.expectMessage(core::lostConnectionMessage());
        QVERIFY(!window.applyAccessRights());
        VERIFY_DIALOGS(dialogs);
        QVERIFY(typesEntry());
        QVERIFY(window.applyAccessRights());
        QVERIFY(typesEntry());
        QCOMPARE(dialogs.shown().size(), 1);
    }

    // A server that stays away: the user is told once, however often he tries.
    QVERIFY2(server.stop(&error), qPrintable(error));
    {
        ScriptedDialogs dialogs;
        dialogs.expectMessage(core::lostConnectionMessage());
        click(f.get(), "Botao_Incluir");
        click(f.get(), "Botao_Incluir");
        VERIFY_DIALOGS(dialogs);
        QCOMPARE(dialogs.shown().size(), 1);
    }
    f.reset();
    core::mainConnection().close();
}

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
