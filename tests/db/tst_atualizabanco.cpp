#include "app/atualizabancodados.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/publiclookup.h"
#include "db/database.h"
#include "db/update.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testserver.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using testsupport::child;
using testsupport::ScriptedDialogs;

namespace {

const QString kSuccess = QStringLiteral("Atualização do Banco de Dados realizada com sucesso!");
const QString kBackupLine =
    QStringLiteral("\n\nCópia de segurança do banco de dados feita antes da atualização: %1");
const QString kIncomplete =
    QStringLiteral("Atenção,\nA atualização do Banco de Dados ficou incompleta: a chave dos "
                   "processos não passou a ser número e ano e continua como estava.\n");

QList<QVariantList> select(QSqlDatabase connection, const QString& sql) {
    QList<QVariantList> out;
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        QTest::qFail(qPrintable(sql + QStringLiteral(": ") + q.lastError().text()), __FILE__, __LINE__);
        return out;
    }
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << (q.value(i).typeId() == QMetaType::QString ? QVariant(q.value(i).toString().trimmed())
                                                              : q.value(i));
        out << row;
    }
    return out;
}

bool run(QSqlDatabase connection, const QString& sql) {
    QSqlQuery q(connection);
    if (q.exec(sql)) return true;
    QTest::qFail(qPrintable(sql + QStringLiteral(": ") + q.lastError().text()), __FILE__, __LINE__);
    return false;
}

// The structure the program relies on, one line per column, key and index, in a fixed order:
// two databases with the same lines have the same tables, types, not-null flags, keys and indices.
QStringList catalogue(QSqlDatabase connection) {
    QStringList lines;
    const auto columns = select(
        connection,
        QStringLiteral(
            "SELECT RF.RDB$RELATION_NAME, RF.RDB$FIELD_NAME, F.RDB$FIELD_TYPE, "
            "COALESCE(F.RDB$CHARACTER_LENGTH, F.RDB$FIELD_LENGTH), COALESCE(F.RDB$FIELD_SUB_TYPE, 0), "
            "COALESCE(F.RDB$CHARACTER_SET_ID, -1), COALESCE(RF.RDB$NULL_FLAG, 0) "
            "FROM RDB$RELATION_FIELDS RF JOIN RDB$RELATIONS R ON R.RDB$RELATION_NAME = RF.RDB$RELATION_NAME "
            "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
            "WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0"));
    for (const auto& c : columns)
        lines << QStringLiteral("column %1.%2 type %3(%4) subtype %5 charset %6 notnull %7")
                     .arg(c[0].toString(), c[1].toString(), c[2].toString(), c[3].toString(), c[4].toString(),
                          c[5].toString(), c[6].toString());
    const auto keys =
        select(connection, QStringLiteral("SELECT C.RDB$RELATION_NAME, C.RDB$CONSTRAINT_NAME, "
                                          "S.RDB$FIELD_POSITION, S.RDB$FIELD_NAME "
                                          "FROM RDB$RELATION_CONSTRAINTS C JOIN RDB$INDEX_SEGMENTS S "
                                          "ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
                                          "WHERE C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'"));
    for (const auto& k : keys)
        lines << QStringLiteral("key %1 %2 %3 %4")
                     .arg(k[0].toString(), k[1].toString(), k[2].toString(), k[3].toString());
    const auto indices = select(
        connection,
        QStringLiteral("SELECT I.RDB$RELATION_NAME, I.RDB$INDEX_NAME, COALESCE(I.RDB$UNIQUE_FLAG, 0), "
                       "COALESCE(I.RDB$INDEX_TYPE, 0), S.RDB$FIELD_POSITION, S.RDB$FIELD_NAME "
                       "FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
                       "WHERE COALESCE(I.RDB$SYSTEM_FLAG, 0) = 0"));
    for (const auto& i : indices)
        lines << QStringLiteral("index %1 %2 unique %3 descending %4 segment %5 %6")
                     .arg(i[0].toString(), i[1].toString(), i[2].toString(), i[3].toString(), i[4].toString(),
                          i[5].toString());
    // Procedures and triggers by name, table, firing and state: the update brings them as they are.
    const auto triggers =
        select(connection, QStringLiteral("SELECT RDB$TRIGGER_NAME, RDB$RELATION_NAME, RDB$TRIGGER_TYPE, "
                                          "COALESCE(RDB$TRIGGER_INACTIVE, 0) FROM RDB$TRIGGERS "
                                          "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    for (const auto& t : triggers)
        lines << QStringLiteral("trigger %1 on %2 type %3 inactive %4")
                     .arg(t[0].toString(), t[1].toString(), t[2].toString(), t[3].toString());
    const auto procedures = select(connection, QStringLiteral("SELECT RDB$PROCEDURE_NAME FROM RDB$PROCEDURES "
                                                              "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    for (const auto& p : procedures)
        lines << QStringLiteral("procedure %1").arg(p[0].toString());
    lines.sort();
    return lines;
}

// Every row of the tables the update touches, as text, in the columns an older database has
// too; the years are compared on their own.
QStringList contents(QSqlDatabase connection) {
    QStringList lines;
    const QStringList queries{
        QStringLiteral("SELECT IDPROCESSO, DATA, HORA, ASSUNTO, PROCESSO, COD_USUARIO FROM PROCESSOS"),
        QStringLiteral("SELECT REGISTRO, IDPROCESSO, DATA, HORA, DESPACHO, DATA_RECEBIMENTO FROM TRAMITACAO"),
        QStringLiteral("SELECT IDUNIDADE, UNIDADE FROM UNIDADES"),
        QStringLiteral("SELECT COD_USUARIO, USUARIO FROM USUARIOS")};
    for (const QString& sql : queries)
        for (const auto& row : select(connection, sql)) {
            QStringList fields;
            for (const QVariant& v : row)
                fields << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            lines << fields.join(QLatin1Char('|'));
        }
    lines.sort();
    return lines;
}

} // namespace

class TestAtualizaBanco : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowAndButtons();
    void olderDatabaseReachesNewSchema();
    void upToDateDatabaseOnlyRebuildsKeyAndIndices();
    void keyThatCannotBeBuiltKeepsTheOldOne_data();
    void keyThatCannotBeBuiltKeepsTheOldOne();
    void tableHeldByAnotherWorkstation();
    void missingSchemaIndicesAreCreated();
    void indexOfAnEarlierShapeIsRebuilt_data();
    void indexOfAnEarlierShapeIsRebuilt();
    void partsLeftInactiveAreReported_data();
    void partsLeftInactiveAreReported();
    void stoppedUpdateLeavesAKey_data();
    void stoppedUpdateLeavesAKey();
    void nearlyFullDisk_data();
    void nearlyFullDisk();
    void remoteModeAsksForTheServersBackup_data();
    void remoteModeAsksForTheServersBackup();
    void cleanupTestCase();

private:
    // Creates a database in the temporary folder, runs the script on it and opens it as the
    // program's connection.
    void openDatabase(const QString& file, const QStringList& statements);
    void openOlderDatabase();
    // The catalogue of a database just built by the creation tool.
    QStringList newDatabaseCatalogue();
    // Where the window's next run will put its backup (empty in remote mode).
    static QString nextBackup();
    // Runs the update through the window, answering its final message.
    void runWindow(const QString& expectedMessage, db::UpdateOutcome* outcome);

    // A database with the older schema and `processes` more processes (each with a movement),
    // made once per size and copied for each case (it is closed then, so a copy is whole).
    QString olderTemplate(int processes);

    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_templates;
    std::unique_ptr<testsupport::TestServer> m_server;
    // Figures of the stopped updates, printed at the end.
    int m_faults = 0;
    int m_withoutKey = 0;
    int m_invalid = 0;
    int m_finishedBeforeKill = 0;
};

void TestAtualizaBanco::initTestCase() {
    core::initialiseAppValues(0);
}

void TestAtualizaBanco::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestAtualizaBanco::cleanup() {
    core::mainConnection().close();
    m_dir.reset();
}

void TestAtualizaBanco::openDatabase(const QString& file, const QStringList& statements) {
    const QString path = m_dir->filePath(file);
    QString error;
    QVERIFY2(db::createEmptyDatabase(path, &error), qPrintable(error));
    core::ConnectionTarget target;
    target.database = path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    target.workingFolder = m_dir->path();
    QVERIFY2(core::openMainConnection(target, &error), qPrintable(error));
    for (const QString& statement : statements)
        QVERIFY(run(core::mainConnection(), statement));
}

void TestAtualizaBanco::openOlderDatabase() {
    QFile script(QStringLiteral(PROTOCOLO_OLDER_SCHEMA));
    QVERIFY2(script.open(QIODevice::ReadOnly), qPrintable(script.fileName()));
    openDatabase(QStringLiteral("OLDER.fdb"), db::splitStatements(QString::fromUtf8(script.readAll())));
}

QStringList TestAtualizaBanco::newDatabaseCatalogue() {
    const QString path = m_dir->filePath(QStringLiteral("NEW.fdb"));
    QString error;
    if (!db::createDatabase(path, &error)) {
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        return {};
    }
    QStringList lines;
    {
        QSqlDatabase conn = core::openNamedConnection(QStringLiteral("new-database"), path, &error);
        lines = catalogue(conn);
        conn.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("new-database"));
    return lines;
}

QString TestAtualizaBanco::nextBackup() {
    const core::ConnectionTarget target = core::mainConnectionTarget();
    if (target.mode == core::ConnectionMode::Remote) return QString();
    const QString file = QFileInfo(target.database).fileName();
    for (int attempt = 1;; ++attempt) {
        const QString path = target.workingFolder + QLatin1Char('/') +
                             app::backupFileName(file, QDate::currentDate(), attempt);
        if (!QFileInfo::exists(path)) return path;
    }
}

void TestAtualizaBanco::runWindow(const QString& expectedMessage, db::UpdateOutcome* outcome) {
    ScriptedDialogs dialogs;
    // In the local modes every run starts with a backup of its own, named in the final message.
    const QString backup = nextBackup();
    dialogs.expectMessage(backup.isEmpty() ? expectedMessage : expectedMessage + kBackupLine.arg(backup));
    app::TFrm_AtualizaBancoDados window;
    auto* atualizar = child<QPushButton>(&window, QStringLiteral("Botao_Atualizar"));
    auto* fechar = child<QPushButton>(&window, QStringLiteral("Botao_Fechar"));
    auto* progress = child<QProgressBar>(&window, QStringLiteral("ProgressBar1"));
    QVERIFY(atualizar && fechar && progress);
    // While it runs, neither button can be pressed.
    QList<int> steps;
    bool buttonsStayedDisabled = true;
    connect(progress, &QProgressBar::valueChanged, &window, [&](int value) {
        steps << value;
        buttonsStayedDisabled = buttonsStayedDisabled && !atualizar->isEnabled() && !fechar->isEnabled();
    });
    // The window goes on turning while the copy is made (its bar busy meanwhile).
    bool turnedWhileCopying = false;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, &window, [&] {
        if (progress->maximum() == 0 && progress->minimum() == 0) turnedWhileCopying = true;
    });
    watch.start();
    atualizar->click();
    watch.stop();
    *outcome = window.lastOutcome();
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(turnedWhileCopying, !backup.isEmpty());
    QCOMPARE(steps.first(), 1);
    QCOMPARE(steps.size(), 25);
    QCOMPARE(progress->maximum(), 25);
    QCOMPARE(progress->value(), 25);
    QCOMPARE(progress->text(), QStringLiteral("100%"));
    QVERIFY(buttonsStayedDisabled);
    QVERIFY(atualizar->isEnabled());
    QVERIFY(fechar->isEnabled());
    QCOMPARE(outcome->backupFile, backup);
    if (!backup.isEmpty()) QVERIFY(QFileInfo(backup).size() > 0);
}

void TestAtualizaBanco::windowAndButtons() {
    openOlderDatabase();
    app::TFrm_AtualizaBancoDados window;
    QCOMPARE(window.objectName(), QStringLiteral("Frm_AtualizaBancoDados"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Atualizar Banco de Dados"));
    QCOMPARE(child<QPushButton>(&window, QStringLiteral("Botao_Atualizar"))->text(),
             QStringLiteral("&Atualizar      "));
    QCOMPARE(child<QPushButton>(&window, QStringLiteral("Botao_Fechar"))->text(),
             QStringLiteral("&Fechar     "));
    QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    auto* progress = child<QProgressBar>(&window, QStringLiteral("ProgressBar1"));
    QVERIFY(progress->isTextVisible());
    QCOMPARE(progress->palette().color(QPalette::Highlight), QColor(0, 128, 0)); // green

    // Fechar closes the window opened from the menu.
    testsupport::onNextModal([](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("Frm_AtualizaBancoDados"));
        child<QPushButton>(w, QStringLiteral("Botao_Fechar"))->click();
    });
    app::openAtualizaBancoDados(nullptr);
    QVERIFY(!app::Frm_AtualizaBancoDados);
}

void TestAtualizaBanco::olderDatabaseReachesNewSchema() {
    openOlderDatabase();
    const QStringList expected = newDatabaseCatalogue();
    QSqlDatabase conn = core::mainConnection();
    QVERIFY(catalogue(conn) != expected);
    const QStringList before = contents(conn);
    QCOMPARE(before.size(), 8);
    const QStringList olderStructure = catalogue(conn);

    db::UpdateOutcome outcome;
    runWindow(kSuccess, &outcome);
    QVERIFY(outcome.complete);
    QVERIFY(outcome.missing.isEmpty());
    // The backup taken first is the database as it was: restored, it has the older structure and rows.
    const QString gbak = QStandardPaths::findExecutable(QStringLiteral("gbak"));
    if (!gbak.isEmpty()) {
        const QString restored = m_dir->filePath(QStringLiteral("RESTAURADO.fdb"));
        QProcess restore;
        restore.start(gbak, {QStringLiteral("-c"), QStringLiteral("-user"),
                             QString::fromLatin1(core::kDbaUser), QStringLiteral("-password"),
                             QString::fromLatin1(core::kDbaPassword), outcome.backupFile, restored});
        QVERIFY(restore.waitForFinished(60000));
        QVERIFY2(restore.exitCode() == 0, restore.readAllStandardError().constData());
        {
            QString error;
            QSqlDatabase copy = core::openNamedConnection(QStringLiteral("restored"), restored, &error);
            QVERIFY2(copy.isOpen(), qPrintable(error));
            QCOMPARE(catalogue(copy), olderStructure);
            QCOMPARE(contents(copy), before);
            copy.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("restored"));
    }
    QCOMPARE(outcome.yearsFilled, 1);
    // Only the drops of the two indices the older database never had were refused.
    QCOMPARE(outcome.refused, (QList<int>{20, 24}));
    // The indices the older database lacks come from the schema itself; the catalogue comparison
    // below shows that none is missing afterwards.
    QStringList schemaNames;
    for (const db::SchemaIndex& index : db::schemaIndices())
        schemaNames << index.name;
    for (const QString& name : std::as_const(outcome.indicesCreated))
        QVERIFY2(schemaNames.contains(name), qPrintable(name));
    QVERIFY(outcome.indicesCreated.contains(QStringLiteral("TRAMITACAO_PROCESSO")));
    QVERIFY(outcome.indicesCreated.contains(QStringLiteral("TRAMITACAO_DESTINO")));
    // The process types' deadlines arrive in a table of their own, with the index the listing of
    // stopped processes reads in order.
    // The table of each process's latest movement arrives with the procedure and triggers that
    // keep it, and is filled once from the movements already there.
    // The audit trail arrives the same way: its tables, the exception its guards raise, the
    // procedure that writes it and a trigger on each traced table.
    QCOMPARE(outcome.tablesCreated,
             (QStringList{QStringLiteral("PRAZOS_TIPOPROCESSO"), QStringLiteral("ULTIMA_TRAMITACAO"),
                          QStringLiteral("CONSULTA_SEGREDO"), QStringLiteral("TRILHA"),
                          QStringLiteral("TRILHA_SELOS"), QStringLiteral("TRILHA_PENDENTES"),
                          QStringLiteral("TRILHA_CABECA")}));
    // The citizens' look-up gets the installation's own random secret.
    QVERIFY(outcome.secretCreated);
    const QByteArray secret = core::consulta::readSecret(conn);
    QCOMPARE(secret.size(), 32);
    QStringList routines;
    for (const auto& list : {db::schemaExceptions(), db::schemaProcedures(), db::schemaTriggers()})
        for (const db::SchemaObject& object : list)
            routines << object.name;
    QCOMPARE(outcome.routinesCreated, routines);
    for (const QString& name : {QStringLiteral("TRILHA_IMUTAVEL"), QStringLiteral("TRILHA_GRAVA"),
                                QStringLiteral("PROCESSOS_TRILHA"), QStringLiteral("TRAMITACAO_TRILHA")})
        QVERIFY2(routines.contains(name), qPrintable(name));
    // Nothing the update itself wrote is in the trail: the rows were there before it.
    QCOMPARE(select(conn, QStringLiteral("SELECT COUNT(*) FROM TRILHA")).first().first().toInt(), 0);
    QVERIFY(outcome.latestFilled);
    const QList<QVariantList> latest{
        {"00000001", "2011", "00000001"}, {"00000002", "2012", "00000003"}, {"00000003", "2010", "00000002"}};
    const QString latestQuery =
        QStringLiteral("SELECT IDPROCESSO, ANO, REGISTRO FROM ULTIMA_TRAMITACAO ORDER BY IDPROCESSO");
    QCOMPARE(select(conn, latestQuery), latest);
    QVERIFY(outcome.indicesCreated.contains(QStringLiteral("TRAMITACAO_PARADOS")));
    QCOMPARE(catalogue(conn), expected);

    // No row lost; the process without a year took it from its date, and the movements took
    // their process's year.
    QCOMPARE(select(conn, QStringLiteral("SELECT COUNT(*) FROM PROCESSOS")).first().first().toInt(), 3);
    QCOMPARE(select(conn, QStringLiteral("SELECT IDPROCESSO, ANO FROM PROCESSOS ORDER BY IDPROCESSO")),
             (QList<QVariantList>{{"00000001", "2011"}, {"00000002", "2012"}, {"00000003", "2010"}}));
    QCOMPARE(
        select(conn, QStringLiteral("SELECT REGISTRO, IDPROCESSO, ANO FROM TRAMITACAO ORDER BY REGISTRO")),
        (QList<QVariantList>{{"00000001", "00000001", "2011"},
                             {"00000002", "00000003", "2010"},
                             {"00000003", "00000002", "2012"}}));
    QCOMPARE(select(conn, QStringLiteral("SELECT PROCESSO FROM PROCESSOS WHERE IDPROCESSO = '00000001'"))
                 .first()
                 .first()
                 .toString(),
             QStringLiteral("Texto do pedido"));
    const QStringList after = contents(conn);
    QCOMPARE(after, before);

    // A second run changes nothing more.
    runWindow(kSuccess, &outcome);
    QVERIFY(outcome.complete);
    QCOMPARE(outcome.yearsFilled, 0);
    QVERIFY(outcome.tablesCreated.isEmpty());
    QVERIFY(outcome.indicesCreated.isEmpty());
    QVERIFY(outcome.routinesCreated.isEmpty());
    QVERIFY(!outcome.latestFilled);
    // The secret stays: the codes on the receipts printed so far keep working.
    QVERIFY(!outcome.secretCreated);
    QCOMPARE(core::consulta::readSecret(conn), secret);
    QCOMPARE(select(conn, latestQuery), latest);
    QCOMPARE(catalogue(conn), expected);
    QCOMPARE(contents(conn), after);
    // The triggers the update added keep the table: a new sending becomes its process's latest.
    QVERIFY(run(conn, QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, DATA, HORA) "
                                     "VALUES ('00000004', '00000001', '2011', '2030-01-01', '10:00:00')")));
    QCOMPARE(
        select(conn, QStringLiteral("SELECT REGISTRO FROM ULTIMA_TRAMITACAO WHERE IDPROCESSO = '00000001'")),
        (QList<QVariantList>{{"00000004"}}));
    // ... and the trail's: the sending is traced, by a client that did not say who it is.
    QCOMPARE(select(conn, QStringLiteral("SELECT USUARIO, TABELA, CHAVE, PROCESSO, ACAO FROM TRILHA")),
             (QList<QVariantList>{{"desconhecido", "TRAMITACAO", "00000004", "00000001/2011", "I"}}));
    // The new table works as the schema made it: a type's deadline goes with the type.
    QVERIFY(run(conn, QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES ('0900', 'PRAZO')")));
    QVERIFY(run(conn, QStringLiteral("INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) VALUES ('0900', 30)")));
    QVERIFY(run(conn, QStringLiteral("DELETE FROM TIPOPROCESSO WHERE IDTIPO = '0900'")));
    QCOMPARE(select(conn, QStringLiteral("SELECT COUNT(*) FROM PRAZOS_TIPOPROCESSO")).first().first().toInt(),
             0);
}

void TestAtualizaBanco::upToDateDatabaseOnlyRebuildsKeyAndIndices() {
    openDatabase(QStringLiteral("NEW.fdb"), db::schemaStatements());
    QSqlDatabase conn = core::mainConnection();
    QVERIFY(run(conn, QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO) "
                                     "VALUES ('00000001', '2018', '2018-02-01', 'A')")));
    QVERIFY(run(conn, QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO) "
                                     "VALUES ('00000001', '2019', '2019-02-01', 'B')")));
    QVERIFY(run(conn, QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, DATA_RECEBIMENTO) "
                                     "VALUES ('00000001', '00000001', '2019', '2019-02-02')")));
    const QStringList structure = catalogue(conn);
    const QStringList rows = contents(conn);
    const auto indexIds = [&] {
        return select(conn,
                      QStringLiteral("SELECT RDB$INDEX_NAME, RDB$INDEX_ID FROM RDB$INDICES WHERE "
                                     "RDB$INDEX_NAME IN ('PK_PROCESSOS', 'TRAMITACAO_I1', 'TRAMITACAO_I2', "
                                     "'PROCESSOS_I1', 'PROCESSOS_I2') ORDER BY 1"));
    };
    const auto idsBefore = indexIds();
    QCOMPARE(idsBefore.size(), 5);

    db::UpdateOutcome outcome;
    runWindow(kSuccess, &outcome);
    QVERIFY(outcome.complete);
    QVERIFY(outcome.indicesCreated.isEmpty());
    QVERIFY(outcome.routinesCreated.isEmpty());
    QVERIFY(!outcome.latestFilled);
    QCOMPARE(catalogue(conn), structure);
    QCOMPARE(contents(conn), rows);
    // The columns exist already; the key and the four indices were dropped and built again.
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15, 16, 17})
        QVERIFY2(outcome.refused.contains(n), qPrintable(QString::number(n)));
    for (int n : {13, 14, 18, 19, 20, 21, 22, 23, 24, 25})
        QVERIFY2(!outcome.refused.contains(n), qPrintable(QString::number(n)));
}

void TestAtualizaBanco::keyThatCannotBeBuiltKeepsTheOldOne_data() {
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("oldKey");
    QTest::addColumn<QString>("why");
    QTest::newRow("process without year or date")
        << QStringList{"UPDATE PROCESSOS SET DATA = NULL WHERE IDPROCESSO = '00000003'"}
        << QStringList{"IDPROCESSO"}
        << "Há processos sem ano e sem data (por exemplo o processo número 00000003); informe o ano deles e "
           "execute a atualização novamente.";
    // A database whose key held the date let the same number and year be registered twice.
    QTest::newRow("duplicate number and year")
        << QStringList{"ALTER TABLE PROCESSOS ALTER DATA SET NOT NULL",
                       "ALTER TABLE PROCESSOS DROP CONSTRAINT PK_PROCESSOS",
                       "ALTER TABLE PROCESSOS ADD CONSTRAINT PK_PROCESSOS PRIMARY KEY (IDPROCESSO, DATA)",
                       "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO) VALUES ('00000002', '2012', "
                       "'2012-08-01', 'REPETIDO')"}
        << QStringList{"IDPROCESSO", "DATA"}
        << "Há processos repetidos com o mesmo número e ano (por exemplo 00000002/2012); corrija-os e "
           "execute a "
           "atualização novamente.";
}

void TestAtualizaBanco::keyThatCannotBeBuiltKeepsTheOldOne() {
    QFETCH(QStringList, setup);
    QFETCH(QStringList, oldKey);
    QFETCH(QString, why);
    openOlderDatabase();
    QSqlDatabase conn = core::mainConnection();
    for (const QString& sql : setup)
        QVERIFY(run(conn, sql));
    const int processes =
        select(conn, QStringLiteral("SELECT COUNT(*) FROM PROCESSOS")).first().first().toInt();

    db::UpdateOutcome outcome;
    runWindow(kIncomplete + why, &outcome);
    QVERIFY(!outcome.complete);
    // The old key was dropped, the new one refused, and the old one put back.
    QVERIFY(!outcome.refused.contains(13));
    QVERIFY(outcome.refused.contains(14));
    QCOMPARE(db::primaryKeyColumns(conn, QStringLiteral("PROCESSOS")), oldKey);
    QCOMPARE(select(conn, QStringLiteral("SELECT COUNT(*) FROM PROCESSOS")).first().first().toInt(),
             processes);
    // Everything else was still done.
    QCOMPARE(select(conn, QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE "
                                         "RDB$RELATION_NAME = 'TRAMITACAO' AND RDB$FIELD_NAME = 'IDUNIDADE'"))
                 .first()
                 .first()
                 .toInt(),
             1);
}

void TestAtualizaBanco::tableHeldByAnotherWorkstation() {
    openOlderDatabase();
    QSqlDatabase conn = core::mainConnection();
    const QString name = QStringLiteral("other-workstation");
    {
        QString error;
        QSqlDatabase other = core::openNamedConnection(name, m_dir->filePath("OLDER.fdb"), &error);
        QVERIFY2(other.isOpen(), qPrintable(error));
        // The other workstation is in the middle of reading a process by its number: the update
        // neither waits for it nor leaves the table without its key.
        QVERIFY(other.transaction());
        {
            QSqlQuery reading(other);
            QVERIFY(
                reading.exec(QStringLiteral("SELECT ASSUNTO FROM PROCESSOS WHERE IDPROCESSO = '00000001'")));
            QVERIFY(reading.next());

            db::UpdateOutcome outcome;
            runWindow(kIncomplete +
                          QStringLiteral("O banco de dados recusou a alteração, provavelmente porque outra "
                                         "estação está usando a tabela de processos. Feche o sistema nas "
                                         "outras estações e execute a atualização novamente."),
                      &outcome);
            QVERIFY(!outcome.complete);
            QVERIFY(!outcome.serverText.isEmpty());
            QCOMPARE(db::primaryKeyColumns(conn, QStringLiteral("PROCESSOS")), QStringList{"IDPROCESSO"});
            QCOMPARE(select(conn, QStringLiteral("SELECT COUNT(*) FROM PROCESSOS")).first().first().toInt(),
                     3);
        }
        other.rollback();
        other.close();
    }
    QSqlDatabase::removeDatabase(name);

    // Once the other workstation has let go, running it again finishes the work.
    db::UpdateOutcome outcome;
    runWindow(kSuccess, &outcome);
    QVERIFY(outcome.complete);
    QCOMPARE(db::primaryKeyColumns(conn, QStringLiteral("PROCESSOS")),
             (QStringList{QStringLiteral("IDPROCESSO"), QStringLiteral("ANO")}));
    QCOMPARE(catalogue(conn), newDatabaseCatalogue());
}

void TestAtualizaBanco::missingSchemaIndicesAreCreated() {
    openDatabase(QStringLiteral("NEW.fdb"), db::schemaStatements());
    QSqlDatabase conn = core::mainConnection();
    const QList<db::SchemaIndex> indices = db::schemaIndices();
    QVERIFY(indices.size() >= 6);
    QCOMPARE(indices.first().name, QStringLiteral("PROCESSOS_I1"));
    QVERIFY(run(conn, QStringLiteral("DROP INDEX TRAMITACAO_PROCESSO")));
    QVERIFY(run(conn, QStringLiteral("DROP INDEX TRAMITACAO_DESTINO")));
    QString error;
    QCOMPARE(db::createMissingIndices(conn, &error),
             (QStringList{QStringLiteral("TRAMITACAO_PROCESSO"), QStringLiteral("TRAMITACAO_DESTINO")}));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(db::createMissingIndices(conn, &error).isEmpty());
}

void TestAtualizaBanco::indexOfAnEarlierShapeIsRebuilt_data() {
    QTest::addColumn<QString>("earlier"); // an index of the schema's name as an earlier version made it
    QTest::newRow("one column") << "CREATE INDEX TRAMITACAO_DESTINO ON TRAMITACAO (COD_USUARIO_DESTINO)";
    QTest::newRow("ascending") << "CREATE INDEX TRAMITACAO_PENDENTES ON TRAMITACAO (COD_USUARIO_DESTINO, "
                                  "DATA_RECEBIMENTO, HORA_RECEBIMENTO, REGISTRO)";
    QTest::newRow("other order") << "CREATE DESCENDING INDEX TRAMITACAO_PENDENTES ON TRAMITACAO "
                                    "(COD_USUARIO_DESTINO, HORA_RECEBIMENTO, DATA_RECEBIMENTO, REGISTRO)";
    QTest::newRow("unique") << "CREATE UNIQUE INDEX TRAMITACAO_DESTINO ON TRAMITACAO (COD_USUARIO_DESTINO, "
                               "REGISTRO)";
}

void TestAtualizaBanco::indexOfAnEarlierShapeIsRebuilt() {
    QFETCH(QString, earlier);
    openOlderDatabase();
    QSqlDatabase conn = core::mainConnection();
    QVERIFY(run(conn, earlier));
    const QString name = earlier.section(QStringLiteral(" INDEX "), 1).section(QLatin1Char(' '), 0, 0);
    const QStringList expected = newDatabaseCatalogue();

    db::UpdateOutcome outcome;
    runWindow(kSuccess, &outcome);
    QVERIFY(outcome.complete);
    QCOMPARE(outcome.indicesRebuilt, QStringList{name});
    QVERIFY(!outcome.indicesCreated.contains(name));
    QCOMPARE(catalogue(conn), expected);

    // A second run finds every index as the schema has it.
    runWindow(kSuccess, &outcome);
    QVERIFY(outcome.indicesRebuilt.isEmpty());
    QVERIFY(outcome.indicesCreated.isEmpty());
    QCOMPARE(catalogue(conn), expected);
}

void TestAtualizaBanco::partsLeftInactiveAreReported_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("part");
    QTest::newRow("trigger") << "ALTER TRIGGER PROCESSOS_ULTIMA INACTIVE"
                             << "gatilho PROCESSOS_ULTIMA (inativo)";
    QTest::newRow("index") << "ALTER INDEX PROCESSOS_O_DATA INACTIVE"
                           << "índice PROCESSOS_O_DATA (inativo)";
}

// Success is told only when the catalogue holds every part of the schema at work: a part present
// but switched off (as the searches bench leaves them when stopped half-way) is named instead.
void TestAtualizaBanco::partsLeftInactiveAreReported() {
    QFETCH(QString, setup);
    QFETCH(QString, part);
    openDatabase(QStringLiteral("NEW.fdb"), db::schemaStatements());
    QSqlDatabase conn = core::mainConnection();
    QVERIFY(db::missingSchemaParts(conn).isEmpty());
    QVERIFY(run(conn, setup));
    db::UpdateOutcome outcome;
    runWindow(QStringLiteral("Atenção,\nA atualização do Banco de Dados ficou incompleta. Faltam no banco de "
                             "dados: %1.\nVerifique o espaço livre no disco do banco de dados e a conexão, e "
                             "execute a atualização novamente.")
                  .arg(part),
              &outcome);
    QVERIFY(!outcome.complete);
    QCOMPARE(outcome.missing, QStringList{part});
}

QString TestAtualizaBanco::olderTemplate(int processes) {
    const QString path = m_templates.filePath(QStringLiteral("OLDER-%1.fdb").arg(processes));
    if (QFileInfo::exists(path)) return path;
    QFile script(QStringLiteral(PROTOCOLO_OLDER_SCHEMA));
    QString error;
    if (!script.open(QIODevice::ReadOnly) || !db::createEmptyDatabase(path, &error)) {
        QTest::qFail(qPrintable(script.fileName() + error), __FILE__, __LINE__);
        return {};
    }
    const QString name = QStringLiteral("template");
    {
        QSqlDatabase conn = core::openNamedConnection(name, path, &error);
        if (!conn.isOpen()) QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        for (const QString& statement : db::splitStatements(QString::fromUtf8(script.readAll())))
            run(conn, statement);
        if (processes > 0)
            run(conn, QStringLiteral(
                          "EXECUTE BLOCK AS DECLARE I INTEGER = 100; DECLARE N VARCHAR(8); BEGIN "
                          "WHILE (I < %1) DO BEGIN N = LPAD(I, 8, '0'); "
                          "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, ASSUNTO, COD_USUARIO) "
                          "VALUES (:N, '2015', '2015-05-05', '10:00:00', 'PEDIDO ' || :N, '00000001'); "
                          "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, COD_USUARIO_DESTINO, DATA, HORA, "
                          "DESPACHO, COD_USUARIO) VALUES (:N, :N, '00000001', '2015-05-06', '08:00:00', "
                          "'Despacho do processo ' || :N, '00000001'); I = I + 1; END END")
                          .arg(processes + 100));
        conn.close();
    }
    QSqlDatabase::removeDatabase(name);
    return path;
}

void TestAtualizaBanco::stoppedUpdateLeavesAKey_data() {
    QTest::addColumn<int>("stopAt");  // the child stops for good after this step (see db::UpdateCheckpoint)
    QTest::addColumn<int>("delayMs"); // or, with stopAt 0, is killed this long after it began
    QTest::addColumn<bool>("server");
    for (int n = 1; n <= db::kAfterIndices; ++n)
        QTest::newRow(qPrintable(QStringLiteral("after step %1").arg(n))) << n << 0 << false;
    // On a larger database the kill falls wherever the update happens to be, commits included.
    for (int delay : {100, 250, 400, 550, 700, 850, 1000, 1200})
        QTest::newRow(qPrintable(QStringLiteral("after %1 ms").arg(delay))) << 0 << delay << false;
    // Through a server the killed client's transaction is rolled back by the server.
    QTest::newRow("server, after step 13") << 13 << 0 << true;
    QTest::newRow("server, after step 14") << 14 << 0 << true;
}

// The update is run by a child process (this program started again with --stopped-update) that is
// killed with SIGKILL at a chosen point, as a power cut or a closed task would stop it. The
// database must open, hold a key on PROCESSOS that refuses a repeated number and year, and reach
// the whole schema on the next run.
void TestAtualizaBanco::stoppedUpdateLeavesAKey() {
    QFETCH(int, stopAt);
    QFETCH(int, delayMs);
    QFETCH(bool, server);
    QString location;
    if (server) {
        if (!testsupport::TestServer::available()) QSKIP("No Firebird server program on this machine");
        QString error;
        if (!m_server) {
            m_server = std::make_unique<testsupport::TestServer>();
            QVERIFY2(m_server->start(&error), qPrintable(error));
        }
        location = m_server->address() + QLatin1Char(':') + m_server->dataFolder() +
                   QStringLiteral("/STOP-%1.fdb").arg(stopAt);
        QFile script(QStringLiteral(PROTOCOLO_OLDER_SCHEMA));
        QVERIFY(script.open(QIODevice::ReadOnly));
        QVERIFY2(db::createEmptyDatabase(location, &error), qPrintable(error));
        {
            QSqlDatabase conn = core::openNamedConnection(QStringLiteral("server-setup"), location, &error);
            QVERIFY2(conn.isOpen(), qPrintable(error));
            for (const QString& statement : db::splitStatements(QString::fromUtf8(script.readAll())))
                QVERIFY(run(conn, statement));
            conn.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("server-setup"));
    } else {
        const QString source = olderTemplate(stopAt > 0 ? 0 : 20000);
        QVERIFY(!source.isEmpty());
        location = m_dir->filePath(QStringLiteral("STOP.fdb"));
        QVERIFY(QFile::copy(source, location));
    }

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--stopped-update"), location, QString::number(stopAt)});
    QVERIFY(child.waitForStarted());
    QByteArray said;
    const QByteArray awaited = stopAt > 0 ? QByteArrayLiteral("parado") : QByteArrayLiteral("iniciado");
    while (!said.contains(awaited) && child.state() == QProcess::Running && child.waitForReadyRead(60000))
        said += child.readAllStandardOutput();
    QVERIFY2(said.contains(awaited), said.constData());
    if (delayMs > 0) QTest::qWait(delayMs); // the event loop keeps reading the child's output
    const bool running = child.state() == QProcess::Running;
    child.kill(); // SIGKILL: nothing of the child runs after it
    if (child.state() != QProcess::NotRunning) QVERIFY(child.waitForFinished(30000));
    if (running) {
        ++m_faults;
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    } else {
        ++m_finishedBeforeKill;
    }

    core::ConnectionTarget target;
    target.mode = server ? core::ConnectionMode::Remote : core::ConnectionMode::Local;
    target.database = location;
    target.userName = QString::fromLatin1(core::kDbaUser);
    target.workingFolder = server ? QString() : m_dir->path();
    QString error;
    const bool opened = core::openMainConnection(target, &error);
    QSqlDatabase conn = core::mainConnection();
    const bool readable = opened && !select(conn, QStringLiteral("SELECT COUNT(*) FROM PROCESSOS")).isEmpty();
    if (!readable) ++m_invalid;
    QVERIFY2(readable, qPrintable(error));
    const QStringList key = db::primaryKeyColumns(conn, QStringLiteral("PROCESSOS"));
    if (key.isEmpty()) ++m_withoutKey;
    QVERIFY(!key.isEmpty());
    const QString duplicate = QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO) "
                                             "VALUES ('00000001', '2011', '2011-01-01', 'REPETIDO')");
    // A statement kept prepared holds the table: each check runs in a query of its own.
    const auto accepted = [&](const QString& sql) { return QSqlQuery(conn).exec(sql); };
    QVERIFY2(!accepted(duplicate), "a repeated number and year was accepted");

    // The next run finishes the work.
    const db::UpdateOutcome outcome = db::updateDatabase(conn);
    QVERIFY2(outcome.complete,
             qPrintable(db::updateMessage(outcome) + QLatin1Char('\n') + outcome.serverText));
    QCOMPARE(db::primaryKeyColumns(conn, QStringLiteral("PROCESSOS")),
             (QStringList{QStringLiteral("IDPROCESSO"), QStringLiteral("ANO")}));
    QVERIFY(!accepted(duplicate));
    QCOMPARE(select(conn, QStringLiteral("SELECT COUNT(*) FROM PROCESSOS WHERE IDPROCESSO < '00000100'"))
                 .first()
                 .first()
                 .toInt(),
             3);
}

namespace {

// A small tmpfs of the test's own, unmounted whatever happens.
struct SmallDisk {
    QString folder;
    bool mounted = false;
    SmallDisk(const QString& path, const QString& size)
        : folder(path) {
        QDir().mkpath(folder);
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=") + size, QStringLiteral("tmpfs"), folder});
        mounted = mount.waitForFinished(30000) && mount.exitStatus() == QProcess::NormalExit &&
                  mount.exitCode() == 0;
    }
    ~SmallDisk() {
        if (!mounted) return;
        core::mainConnection().close();
        QProcess::execute(QStringLiteral("umount"), {folder});
    }
};

qint64 freeBytes(const QString& folder) {
    QStorageInfo storage(folder);
    storage.refresh();
    return storage.bytesAvailable();
}

// Fills the disk of `folder` until about `leave` bytes are free; the free bytes left.
qint64 fillUntil(const QString& folder, qint64 leave) {
    QFile filler(folder + QStringLiteral("/ocupado.bin"));
    if (!filler.open(QIODevice::WriteOnly)) return -1;
    qint64 toWrite = (freeBytes(folder) - leave) / 4096 * 4096;
    const QByteArray chunk(1024 * 1024, 'x');
    while (toWrite > 0) {
        const qint64 n = qMin<qint64>(toWrite, chunk.size());
        if (filler.write(chunk.constData(), n) != n) break;
        toWrite -= n;
    }
    filler.close();
    return freeBytes(folder);
}

} // namespace

void TestAtualizaBanco::nearlyFullDisk_data() {
    QTest::addColumn<double>("ofRequired"); // free space left: this share of what the update asks
    QTest::addColumn<qint64>("plus");       // plus these bytes
    QTest::newRow("64 KB") << 0.0 << qint64(64 * 1024);
    QTest::newRow("256 KB") << 0.0 << qint64(256 * 1024);
    QTest::newRow("half the need") << 0.5 << qint64(0);
    QTest::newRow("64 KB short of the need") << 1.0 << qint64(-64 * 1024);
    QTest::newRow("the need") << 1.0 << qint64(0);
    QTest::newRow("ample") << 1.0 << qint64(8 * 1024 * 1024);
}

void TestAtualizaBanco::nearlyFullDisk() {
    QFETCH(double, ofRequired);
    QFETCH(qint64, plus);
    const QString source = olderTemplate(5000);
    QVERIFY(!source.isEmpty());
    const QStringList expected = newDatabaseCatalogue();
    SmallDisk disk(m_dir->filePath(QStringLiteral("disco")), QStringLiteral("64m"));
    if (!disk.mounted) QSKIP("A tmpfs cannot be mounted here (needs root)");
    const QString path = disk.folder + QStringLiteral("/OLDER.fdb");
    QVERIFY(QFile::copy(source, path));
    core::ConnectionTarget target;
    target.database = path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    target.workingFolder = disk.folder;
    QString error;
    QVERIFY2(core::openMainConnection(target, &error), qPrintable(error));
    QSqlDatabase conn = core::mainConnection();
    const QStringList structureBefore = catalogue(conn);
    const qint64 size = db::databaseBytes(conn);
    const qint64 required = db::requiredFreeBytes(size);
    const qint64 free = fillUntil(disk.folder, qint64(ofRequired * double(required)) + plus);
    QVERIFY(free >= 0);
    qInfo("database %lld bytes, update asks for %lld, free %lld", size, required, free);

    ScriptedDialogs dialogs;
    app::TFrm_AtualizaBancoDados window;
    const bool refused = free < required;
    const QString backup = nextBackup();
    dialogs.expectMessage(refused ? db::notEnoughSpaceMessage(disk.folder, free, required)
                                  : kSuccess + kBackupLine.arg(backup));
    child<QPushButton>(&window, QStringLiteral("Botao_Atualizar"))->click();
    VERIFY_DIALOGS(dialogs);
    if (refused) {
        QVERIFY(!window.lastOutcome().complete);
        QCOMPARE(catalogue(conn), structureBefore);
        QVERIFY(!QFileInfo::exists(backup));
    } else {
        QVERIFY(window.lastOutcome().complete);
        QVERIFY(QFileInfo(backup).size() > 0);
        QCOMPARE(catalogue(conn), expected);
        qInfo("after the update: database %lld bytes, backup %lld bytes, free %lld", db::databaseBytes(conn),
              QFileInfo(backup).size(), freeBytes(disk.folder));
    }

    // Whatever happened, the database opens again and answers.
    conn.close();
    QVERIFY2(core::openMainConnection(target, &error), qPrintable(error));
    QVERIFY(!select(core::mainConnection(), QStringLiteral("SELECT COUNT(*) FROM PROCESSOS")).isEmpty());
    QSqlDatabase reopened = core::mainConnection();
    QVERIFY(!db::primaryKeyColumns(reopened, QStringLiteral("PROCESSOS")).isEmpty());
}

void TestAtualizaBanco::remoteModeAsksForTheServersBackup_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

// A server's disk is out of sight: the user confirms the server's own backup instead.
void TestAtualizaBanco::remoteModeAsksForTheServersBackup() {
    QFETCH(bool, answer);
    if (!testsupport::TestServer::available()) QSKIP("No Firebird server program on this machine");
    QString error;
    if (!m_server) {
        m_server = std::make_unique<testsupport::TestServer>();
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }
    const QString location = m_server->address() + QLatin1Char(':') + m_server->dataFolder() +
                             QStringLiteral("/REMOTO-%1.fdb").arg(answer);
    QVERIFY2(db::createEmptyDatabase(location, &error), qPrintable(error));
    core::ConnectionTarget target;
    target.mode = core::ConnectionMode::Remote;
    target.database = location;
    target.userName = QStringLiteral("SYSDBA");
    QVERIFY2(core::openMainConnection(target, &error), qPrintable(error));
    QSqlDatabase conn = core::mainConnection();
    QFile script(QStringLiteral(PROTOCOLO_OLDER_SCHEMA));
    QVERIFY(script.open(QIODevice::ReadOnly));
    for (const QString& statement : db::splitStatements(QString::fromUtf8(script.readAll())))
        QVERIFY(run(conn, statement));
    const QStringList before = catalogue(conn);

    if (answer) {
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(app::remoteUpdateQuestion(), true);
        dialogs.expectMessage(kSuccess);
        app::TFrm_AtualizaBancoDados window;
        child<QPushButton>(&window, QStringLiteral("Botao_Atualizar"))->click();
        VERIFY_DIALOGS(dialogs);
        QCOMPARE(dialogs.lastQuestionDefault(), core::DialogService::DefaultButton::No);
        QVERIFY(window.lastOutcome().complete);
        QVERIFY(window.lastOutcome().backupFile.isEmpty());
        QCOMPARE(catalogue(conn), newDatabaseCatalogue());
    } else {
        ScriptedDialogs dialogs;
        dialogs.expectQuestion(app::remoteUpdateQuestion(), false);
        app::TFrm_AtualizaBancoDados window;
        child<QPushButton>(&window, QStringLiteral("Botao_Atualizar"))->click();
        VERIFY_DIALOGS(dialogs);
        QVERIFY(child<QPushButton>(&window, QStringLiteral("Botao_Atualizar"))->isEnabled());
        QCOMPARE(catalogue(conn), before);
    }
    QVERIFY(app::remoteUpdateQuestion().contains(QStringLiteral("\"Office server\", passo 6")));
}

void TestAtualizaBanco::cleanupTestCase() {
    core::mainConnection().close();
    if (m_server) m_server->stop();
    if (m_faults + m_finishedBeforeKill > 0)
        qInfo(
            "Atualizações interrompidas com SIGKILL: %d (mais %d que terminaram antes); bancos deixados sem "
            "chave: %d; bancos inválidos: %d",
            m_faults, m_finishedBeforeKill, m_withoutKey, m_invalid);
}

namespace {

// The child's side of stoppedUpdateLeavesAKey: runs the update on a database and stops for good
// after step `stopAt`, saying so, until it is killed; with stopAt 0 it says when it begins.
int runStoppedUpdate(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString database = QString::fromLocal8Bit(argv[2]);
    const int stopAt = QByteArray(argv[3]).toInt();
    QString error;
    QSqlDatabase conn = core::openNamedConnection(QStringLiteral("stopped-update"), database, &error);
    if (!conn.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const auto say = [](const char* text) {
        std::fputs(text, stdout);
        std::fflush(stdout);
    };
    if (stopAt == 0) say("iniciado\n");
    QElapsedTimer clock;
    clock.start();
    db::updateDatabase(conn, {}, [&](int step) {
        if (step != stopAt) return;
        say("parado\n");
        for (;;)
            pause();
    });
    // Not stopped: the test learns how long an update of this database takes.
    std::fprintf(stderr, "update finished in %lld ms\n", clock.elapsed());
    return stopAt == 0 ? 0 : 3;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], "--stopped-update") == 0) return runStoppedUpdate(argc, argv);
    QApplication app(argc, argv);
    TestAtualizaBanco test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_atualizabanco.moc"
