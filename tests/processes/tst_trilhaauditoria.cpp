#include "core/audit.h"
#include "core/connection.h"
#include "core/session.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/processes/searches.h"
#include "forms/processes/trilhaauditoria.h"
#include "reports/engine/exports.h"
#include "reports/listings/trilha.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace processes;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

// Where the pictures of the window go, to be looked at.
QString picture(const QString& name) {
    const QString folder = qEnvironmentVariable("PROTOCOLO_PICTURES", QDir::tempPath());
    return QDir(folder).filePath(name);
}

QString field(const TFrm_TrilhaAuditoria& w, int row, const char* name) {
    return w.records()->valueAt(row, w.records()->fieldIndex(QString::fromLatin1(name))).toString().trimmed();
}

QStringList changesShown(const TFrm_TrilhaAuditoria& w) {
    auto* table = w.findChild<QTableWidget*>(QStringLiteral("Alteracoes"));
    QStringList lines;
    for (int r = 0; r < table->rowCount(); ++r)
        lines << table->item(r, 0)->text() + QStringLiteral(": ") + table->item(r, 1)->text() +
                     QStringLiteral(" → ") + table->item(r, 2)->text();
    return lines;
}

} // namespace

// The trail window on a real database: what it lists for each filter, a record's history, the
// chain check before and after someone changed the trail, and the process search's entry.
class TestTrilhaAuditoria : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void listsFiltersAndHistory_data();
    void listsFiltersAndHistory();
    void checkNamesTheFirstBrokenRow();
    void processSearchShowsTheProcessTrail();
    void printedTrailCarriesTheAnchor();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestTrilhaAuditoria::init() {
    m_db = std::make_unique<TestDatabase>(true);
    QVERIFY_DB(*m_db);
    core::currentUser().code = QStringLiteral("00000001");
    QSqlDatabase conn = m_db->connection();
    QVERIFY(core::audit::setSessionUser(conn, QStringLiteral("00000001")));
    for (const char* sql :
         {"INSERT INTO SETORES (IDSETOR, SETOR, IDUNIDADE) VALUES ('000001', 'Protocolo', '0001')",
          "UPDATE SETORES SET SETOR = 'Protocolo Geral' WHERE IDSETOR = '000001'",
          "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO) VALUES ('00000001', '2018', '2018-03-02', "
          "'ALVARÁ')",
          "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, DATA, HORA, COD_USUARIO_DESTINO, DESPACHO) "
          "VALUES "
          "('00000001', '00000001', '2018', '2018-03-02', '10:00:00', '00000001', 'Para análise.')",
          "UPDATE TRAMITACAO SET DATA_RECEBIMENTO = '2018-03-03', HORA_RECEBIMENTO = '08:15:00'",
          "UPDATE PROCESSOS SET ASSUNTO = 'ALVARÁ DE CONSTRUÇÃO'",
          "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, ASSUNTO) VALUES ('00000002', '2018', '2018-03-04', "
          "'CERTIDÃO')",
          "DELETE FROM SETORES"})
        QVERIFY(m_db->exec(QString::fromUtf8(sql)));
}

void TestTrilhaAuditoria::cleanup() {
    m_db.reset();
    core::currentUser() = core::CurrentUser();
}

void TestTrilhaAuditoria::listsFiltersAndHistory_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("rows"); // TABELA CHAVE ACAO, newest first
    QTest::newRow("everything the user did")
        << ""
        << ""
        << ""
        << QStringList{"SETORES 000001 E",      "PROCESSOS 00000002/2018 I", "PROCESSOS 00000001/2018 A",
                       "TRAMITACAO 00000001 A", "TRAMITACAO 00000001 I",     "PROCESSOS 00000001/2018 I",
                       "SETORES 000001 A",      "SETORES 000001 I"};
    QTest::newRow("a table") << "TRAMITACAO"
                             << ""
                             << "" << QStringList{"TRAMITACAO 00000001 A", "TRAMITACAO 00000001 I"};
    QTest::newRow("a record") << "PROCESSOS"
                              << "00000001/2018"
                              << "" << QStringList{"PROCESSOS 00000001/2018 A", "PROCESSOS 00000001/2018 I"};
    QTest::newRow("deletions") << ""
                               << ""
                               << "E" << QStringList{"SETORES 000001 E"};
}

void TestTrilhaAuditoria::listsFiltersAndHistory() {
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QString, action);
    QFETCH(QStringList, rows);
    ScriptedDialogs dialogs;
    TFrm_TrilhaAuditoria w(nullptr);
    TrailFilter f;
    f.to = QDate::currentDate();
    f.from = f.to.addDays(-30);
    // What this user did (the first user's creation is in the trail too, by "desconhecido").
    f.user = QStringLiteral("00000001");
    f.table = table;
    f.key = key;
    f.action = action;
    w.applyFilter(f);
    w.resize(1180, 680);
    w.show();
    QTRY_VERIFY(w.records()->isComplete());
    QStringList listed;
    for (int r = 0; r < w.records()->rowCount(); ++r)
        listed << field(w, r, "TABELA") + QLatin1Char(' ') + field(w, r, "CHAVE") + QLatin1Char(' ') +
                      field(w, r, "ACAO");
    QCOMPARE(listed, rows);
    // The filter fields say what is listed.
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("Tabela"))->currentText(),
             table.isEmpty() ? QStringLiteral("(todas)") : table);
    QCOMPARE(w.filterFromFields().key, key);
    if (QTest::currentDataTag() != QLatin1String("everything the user did")) return;

    // The current row's changes, column by column: who changed the process's subject, and how.
    const int subject = int(rows.indexOf(QStringLiteral("PROCESSOS 00000001/2018 A")));
    w.records()->setCurrentRow(subject);
    QCOMPARE(field(w, subject, "USUARIO"), QStringLiteral("00000001"));
    QCOMPARE(changesShown(w), QStringList{"ASSUNTO: ALVARÁ → ALVARÁ DE CONSTRUÇÃO"});
    QApplication::processEvents();
    QVERIFY(w.grab().save(picture(QStringLiteral("trilha-auditoria.png"))));

    // A record's whole history, oldest first, whatever the other filters.
    w.findChild<QPushButton*>(QStringLiteral("Botao_Historico"))->click();
    QTRY_VERIFY(w.records()->isComplete());
    QCOMPARE(w.records()->rowCount(), 2);
    QCOMPARE(field(w, 0, "ACAO"), QStringLiteral("I"));
    QCOMPARE(field(w, 1, "ACAO"), QStringLiteral("A"));
    // The period is open, and says so.
    QCOMPARE(w.findChild<QDateEdit*>(QStringLiteral("DataInicial"))->text(), QStringLiteral("(sem limite)"));
    QVERIFY(!w.filterFromFields().from.isValid());
    w.records()->setCurrentRow(0);
    QCOMPARE(changesShown(w), (QStringList{"IDPROCESSO: (vazio) → 00000001", "ANO: (vazio) → 2018",
                                           "DATA: (vazio) → 2018-03-02", "ASSUNTO: (vazio) → ALVARÁ"}));
    VERIFY_DIALOGS(dialogs);
}

void TestTrilhaAuditoria::checkNamesTheFirstBrokenRow() {
    ScriptedDialogs dialogs;
    TFrm_TrilhaAuditoria w(nullptr);
    TrailFilter f;
    f.to = QDate::currentDate();
    f.from = f.to.addDays(-30);
    w.applyFilter(f);
    w.resize(1180, 680);
    w.show();
    QTRY_VERIFY(w.records()->isComplete());
    auto* result = w.findChild<QLabel*>(QStringLiteral("LResultado"));
    auto* progress = w.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    w.findChild<QPushButton*>(QStringLiteral("Botao_Verificar"))->click();
    const qint64 rows = m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM TRILHA")).toLongLong();
    QVERIFY2(result->text().startsWith(QStringLiteral("Trilha íntegra. %1 linhas verificadas").arg(rows)),
             qPrintable(result->text()));
    QCOMPARE(progress->value(), progress->maximum());
    // The anchor shown, kept and typed back at a later check, holds while nothing changed.
    const QString anchor = result->text().section(QStringLiteral("Âncora atual: "), 1);
    QVERIFY(core::audit::parseAnchor(anchor).isValid());
    w.findChild<QLineEdit*>(QStringLiteral("Ancora"))->setText(anchor);
    w.findChild<QPushButton*>(QStringLiteral("Botao_Verificar"))->click();
    QVERIFY2(result->text().startsWith(QStringLiteral("Trilha íntegra.")), qPrintable(result->text()));

    // Someone changes who made the fourth change, through SQL as SYSDBA.
    QSqlDatabase isql = m_db->openSecondConnection(QStringLiteral("isql"));
    for (const QString& sql : {QStringLiteral("ALTER TRIGGER TRILHA_SOMENTE_INCLUSAO INACTIVE"),
                               QStringLiteral("UPDATE TRILHA SET USUARIO = '00000009' WHERE ID = 4")}) {
        QVERIFY(isql.transaction());
        QVERIFY(QSqlQuery(isql).exec(sql));
        QVERIFY(isql.commit());
    }
    const QString problem = QStringLiteral(
        "O conteúdo da linha 4 não confere com o selo 4: foi alterada ou incluída por fora do sistema.");
    dialogs.expectMessage(QStringLiteral("Atenção,\n") + problem);
    w.findChild<QPushButton*>(QStringLiteral("Botao_Verificar"))->click();
    QVERIFY2(result->text().startsWith(QStringLiteral("Trilha violada: ") + problem),
             qPrintable(result->text()));
    QApplication::processEvents();
    QVERIFY(w.grab().save(picture(QStringLiteral("trilha-auditoria-violada.png"))));
    VERIFY_DIALOGS(dialogs);
}

void TestTrilhaAuditoria::processSearchShowsTheProcessTrail() {
    ScriptedDialogs dialogs;
    registerSearchCommands();
    TFrm_PesqProcesso search(nullptr);
    search.show();
    QComboBox* years = search.exercicios();
    years->setCurrentIndex(years->findText(QStringLiteral("2018")));
    emit years->activated(years->currentIndex());
    QTRY_VERIFY(search.records()->isComplete());
    search.records()->setCurrentRow(0);
    std::unique_ptr<QMenu> menu(search.buildContextMenu(&search));
    QAction* entry = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == trailEntryTitle()) entry = a;
    QVERIFY(entry);
    // The process and its movement, oldest first.
    QStringList listed;
    QString title;
    testsupport::onNextModal([&](QWidget* d) {
        auto* w = static_cast<TFrm_TrilhaAuditoria*>(d);
        title = w->windowTitle();
        QTRY_VERIFY(w->records()->isComplete());
        for (int r = 0; r < w->records()->rowCount(); ++r)
            listed << field(*w, r, "TABELA") + QLatin1Char(' ') + field(*w, r, "ACAO");
        w->grab().save(picture(QStringLiteral("trilha-processo.png")));
        w->reject();
    });
    entry->trigger();
    QCOMPARE(title, QStringLiteral("Trilha de Auditoria - Processo 00000001/2018"));
    QCOMPARE(listed, (QStringList{"PROCESSOS I", "TRAMITACAO I", "TRAMITACAO A", "PROCESSOS A"}));
    // Without the trail's right the entry says so and opens nothing.
    QVERIFY(m_db->exec(QStringLiteral("DELETE FROM USUARIOS_ACESSOS WHERE TITULO = 'Trilha de Auditoria'")));
    dialogs.expectMessage(QStringLiteral("Atenção, sem acesso à Trilha de Auditoria."));
    entry->trigger();
    VERIFY_DIALOGS(dialogs);
}

void TestTrilhaAuditoria::printedTrailCarriesTheAnchor() {
    ScriptedDialogs dialogs;
    // "Imprimir" hands the window's filter to the report engine.
    QString sql, title;
    QVariantMap params;
    registerTrailReport([&](QWidget*, const QString& s, const QVariantMap& p, const QString& t) {
        sql = s;
        params = p;
        title = t;
    });
    TFrm_TrilhaAuditoria w(nullptr);
    TrailFilter f;
    f.table = QStringLiteral("TRAMITACAO");
    f.oldestFirst = true;
    w.applyFilter(f);
    w.findChild<QPushButton*>(QStringLiteral("Botao_Imprimir"))->click();
    registerTrailReport({});
    QVERIFY(!sql.isEmpty());
    QString error;
    std::unique_ptr<reports::Report> report = reports::buildTrailReport(sql, params, title, &error);
    QVERIFY2(report, qPrintable(error));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("trilha.txt"));
    const reports::PreparedReport prepared = reports::prepare(*report);
    QVERIFY2(reports::exportReport(*report, prepared, reports::ExportFormat::Text, file, &error),
             qPrintable(error));
    QFile text(file);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString printed = QString::fromUtf8(text.readAll());
    // Both changes of the movement, oldest first, each column written out, and the anchor.
    const int sent = int(printed.indexOf(QStringLiteral("DESPACHO: (vazio) → Para análise.")));
    const int received = int(printed.indexOf(QStringLiteral("DATA_RECEBIMENTO: (vazio) → 2018-03-03")));
    QVERIFY2(sent > 0 && received > sent, qPrintable(printed));
    const core::audit::Anchor anchor = core::audit::currentAnchor(m_db->connection());
    QVERIFY2(printed.contains(core::audit::anchorText(anchor)), qPrintable(printed));
    const QString pdf = picture(QStringLiteral("trilha-auditoria.pdf"));
    QVERIFY(reports::exportReport(*report, prepared, reports::ExportFormat::Pdf, pdf, &error));
    VERIFY_DIALOGS(dialogs);
}

QTEST_MAIN(TestTrilhaAuditoria)
#include "tst_trilhaauditoria.moc"
