#include "app/dashboardchart.h"
#include "app/principal.h"
#include "app/wiring.h"
#include "core/appvalues.h"
#include "core/menucommands.h"
#include "core/session.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QChartView>
#include <QLabel>
#include <QTest>
#include <memory>

using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

// The chart of pending processes beside the main window's calendar: shown to a user with its
// right, read again on activation at most once a minute (the test moves the clock), at once from
// its menu entry, and a failed read shows a line in its place without any box.
class TestDashboardChart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void activationReadsAtMostOnceAMinute();
    void hiddenWithoutTheRight();
    void longNamesKeepTheirOwnBars();
    // Last: it removes the table the others read.
    void failedReadIsQuiet();

private:
    void send(const QString& registro, const QString& process, const QString& unit, int daysAgo);
    std::unique_ptr<TestDatabase> m_db;
    QDateTime m_now;
};

namespace {
const QString kUser = QStringLiteral("00000002");
const QString kTitle = QStringLiteral("Painel de Pendências");
} // namespace

void TestDashboardChart::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    core::initialiseAppValues(0);
    app::wireMenuCommands();
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    QVERIFY(m_db->insert("USUARIOS", {{"COD_USUARIO", kUser}, {"USUARIO", "ANA"}, {"PROTOCOLISTA", "NAO"}}));
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "OBRAS"}}));
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0002"}, {"UNIDADE", "ÁGUA E ESGOTO"}}));
    QVERIFY(m_db->insert("UNIDADES",
                         {{"IDUNIDADE", "0003"}, {"UNIDADE", "SECRETARIA MUNICIPAL DE ADMINISTRAÇÃO"}}));
    QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", "0004"}, {"UNIDADE", "SECRETARIA MUNICIPAL DE SAÚDE"}}));
    QVERIFY(m_db->insert("UNIDADES",
                         {{"IDUNIDADE", "0005"}, {"UNIDADE", "SECRETARIA MUNICIPAL ADJUNTA DE SAÚDE"}}));
    QVERIFY(m_db->insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARÁ"}}));
    QVERIFY(m_db->insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0001"}, {"DIAS", 10}}));
    for (const char* p : {"00000001", "00000002", "00000003"})
        QVERIFY(m_db->insert("PROCESSOS", {{"IDPROCESSO", p}, {"ANO", "2026"}, {"IDTIPOPROCESSO", "0001"}}));
}

void TestDashboardChart::init() {
    QVERIFY(m_db->exec("DELETE FROM USUARIOS_ACESSOS"));
    QVERIFY(m_db->exec("DELETE FROM TRAMITACAO"));
    core::currentUser().code = kUser;
    m_now = QDateTime(QDate::currentDate(), QTime(9, 0));
}

void TestDashboardChart::send(const QString& registro, const QString& process, const QString& unit,
                              int daysAgo) {
    QVERIFY(m_db->insert("TRAMITACAO", {{"REGISTRO", registro},
                                        {"IDPROCESSO", process},
                                        {"ANO", "2026"},
                                        {"IDUNIDADE", unit},
                                        {"COD_USUARIO_DESTINO", kUser},
                                        {"DATA", m_now.date().addDays(-daysAgo)},
                                        {"HORA", QTime(8, 0)}}));
}

void TestDashboardChart::activationReadsAtMostOnceAMinute() {
    QVERIFY(m_db->insert("USUARIOS_ACESSOS", {{"ACESSO", "1"}, {"COD_USUARIO", kUser}, {"TITULO", kTitle}}));
    send("00000001", "00000001", "0001", 20);
    ScriptedDialogs dialogs;
    app::TFrm_Principal window;
    window.dashboard()->setClock([this] { return m_now; });
    window.show();
    QVERIFY(window.dashboard()->isVisible());
    QCOMPARE(window.dashboard()->readCount(), 1);
    const QString one = QStringLiteral("Pendências por unidade orçamentária. OBRAS: 1 pendente, 1 atrasado.");
    QCOMPARE(window.dashboard()->accessibleDescription(), one);
    auto* view = window.dashboard()->findChild<QChartView*>(QStringLiteral("graficoPendencias"));
    QVERIFY(view && view->isVisible());
    QCOMPARE(view->accessibleDescription(), one);
    QCOMPARE(view->chart()->title(), QStringLiteral("Pendências por unidade"));

    // Within the minute an activation keeps the figures it has.
    send("00000002", "00000002", "0002", 0);
    m_now = m_now.addSecs(59);
    window.FormActivate();
    QCOMPARE(window.dashboard()->readCount(), 1);
    QCOMPARE(window.dashboard()->accessibleDescription(), one);

    // A minute later it reads them again; units in Brazilian order.
    m_now = m_now.addSecs(1);
    window.FormActivate();
    QCOMPARE(window.dashboard()->readCount(), 2);
    const QString two = QStringLiteral("Pendências por unidade orçamentária. ÁGUA E ESGOTO: 1 pendente, "
                                       "0 atrasados; OBRAS: 1 pendente, 1 atrasado.");
    QCOMPARE(window.dashboard()->accessibleDescription(), two);

    // The menu entry reads them now, whatever their age.
    send("00000003", "00000003", "0001", 0);
    window.openEntry(kTitle);
    QCOMPARE(window.dashboard()->loads().size(), 2);
    QCOMPARE(window.dashboard()->loads().at(1).waiting, 2);
    QCOMPARE(window.dashboard()->loads().at(1).overdue, 1);
    VERIFY_DIALOGS(dialogs);
}

void TestDashboardChart::hiddenWithoutTheRight() {
    QVERIFY(m_db->insert("USUARIOS_ACESSOS",
                         {{"ACESSO", "1"}, {"COD_USUARIO", kUser}, {"TITULO", "Pesquisa Processos"}}));
    ScriptedDialogs dialogs;
    app::TFrm_Principal window;
    window.dashboard()->setClock([this] { return m_now; });
    window.show();
    QVERIFY(!window.dashboard()->isVisible());
    QCOMPARE(window.dashboard()->readCount(), 0);
    // Granted later, it shows on the next activation.
    QVERIFY(m_db->insert("USUARIOS_ACESSOS", {{"ACESSO", "2"}, {"COD_USUARIO", kUser}, {"TITULO", kTitle}}));
    window.FormActivate();
    QVERIFY(window.dashboard()->isVisible());
    QCOMPARE(window.dashboard()->readCount(), 1);
    QCOMPARE(window.dashboard()->accessibleDescription(), QStringLiteral("Nenhum processo pendente."));
    // Nothing to draw is said in words, not left as empty axes.
    auto* notice = window.dashboard()->findChild<QLabel*>(QStringLiteral("avisoPainel"));
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("Nenhum processo pendente."));
    QVERIFY(!window.dashboard()->findChild<QChartView*>(QStringLiteral("graficoPendencias"))->isVisible());
    // The panel says when it read the figures.
    auto* readAt = window.dashboard()->findChild<QLabel*>(QStringLiteral("LidoEm"));
    QVERIFY(readAt && readAt->isVisible());
    QCOMPARE(readAt->text(), QStringLiteral("Lido às ") + m_now.toString(QStringLiteral("hh:mm:ss")));
    VERIFY_DIALOGS(dialogs);
}

void TestDashboardChart::failedReadIsQuiet() {
    QVERIFY(m_db->insert("USUARIOS_ACESSOS", {{"ACESSO", "1"}, {"COD_USUARIO", kUser}, {"TITULO", kTitle}}));
    ScriptedDialogs dialogs; // any box would fail the test
    app::TFrm_Principal window;
    window.dashboard()->setClock([this] { return m_now; });
    window.show();
    QCOMPARE(window.dashboard()->readCount(), 1);
    // The table goes away (with what depends on it): every read from now on fails.
    for (const char* sql :
         {"DROP TRIGGER TRAMITACAO_ULTIMA", "DROP TRIGGER PROCESSOS_ULTIMA", "DROP TRIGGER PRAZOS_ULTIMA",
          "DROP PROCEDURE ULTIMA_TRAMITACAO_CALCULA", "DROP TABLE ULTIMA_TRAMITACAO"})
        QVERIFY(m_db->exec(sql));
    for (int minute = 1; minute <= 3; ++minute) {
        m_now = m_now.addSecs(60);
        window.FormActivate();
    }
    QCOMPARE(window.dashboard()->readCount(), 4);
    auto* notice = window.dashboard()->findChild<QLabel*>(QStringLiteral("avisoPainel"));
    QVERIFY(notice && notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("Não foi possível ler as pendências agora; o painel será "
                                            "atualizado na próxima vez."));
    QVERIFY(!window.dashboard()->findChild<QChartView*>(QStringLiteral("graficoPendencias"))->isVisible());
    VERIFY_DIALOGS(dialogs);
}

void TestDashboardChart::longNamesKeepTheirOwnBars() {
    // Names that begin alike are shortened to what tells them apart; two that shorten alike
    // carry their codes. Equal captions would be drawn as one bar.
    QVERIFY(m_db->insert("USUARIOS_ACESSOS", {{"ACESSO", "1"}, {"COD_USUARIO", kUser}, {"TITULO", kTitle}}));
    send("00000001", "00000001", "0003", 1);
    send("00000002", "00000002", "0004", 1);
    send("00000003", "00000003", "0005", 1);
    ScriptedDialogs dialogs;
    app::TFrm_Principal window;
    window.dashboard()->setClock([this] { return m_now; });
    window.show();
    auto* view = window.dashboard()->findChild<QChartView*>(QStringLiteral("graficoPendencias"));
    const auto axes = view->chart()->axes(Qt::Vertical);
    QCOMPARE(axes.size(), 1);
    auto* units = qobject_cast<QBarCategoryAxis*>(axes.first());
    QVERIFY(units);
    // Drawn from the bottom up: the first unit in alphabetical order is the last category.
    QCOMPARE(units->categories(), (QStringList{"SECRETARIA … DE SAÚDE", "SECRETARIA … ADMINISTRAÇÃO",
                                               "SECRETARIA … DE SAÚDE (0005)"}));
    VERIFY_DIALOGS(dialogs);
}

QTEST_MAIN(TestDashboardChart)
#include "tst_dashboardchart.moc"
