#include "app/principal.h"
#include "app/wiring.h"
#include "core/activity.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/menucommands.h"
#include "core/rights.h"
#include "core/session.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <memory>

using testsupport::child;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using Entry = app::TFrm_Principal::MenuEntry;
using core::MenuKind;

namespace {

const QString kUser = QStringLiteral("00000002");

// Enabled and visible flags of every entry, in menu order.
using MenuState = QList<QPair<bool, bool>>;

MenuState stateOf(const app::TFrm_Principal& window) {
    MenuState state;
    for (const Entry& e : window.menuEntries())
        state.append({e.enabled, e.action->isVisible()});
    return state;
}

QList<Entry> entriesTitled(const app::TFrm_Principal& window, const QString& title, int level) {
    QList<Entry> found;
    for (const Entry& e : window.menuEntries())
        if (e.spec.title == title && e.spec.level == level) found << e;
    return found;
}

// The one entry of that title and level, as it is now.
Entry entry(const app::TFrm_Principal& window, const QString& title, int level) {
    const QList<Entry> found = entriesTitled(window, title, level);
    if (found.size() != 1)
        QTest::qFail(qPrintable(QStringLiteral("%1 entries titled %2").arg(found.size()).arg(title)),
                     __FILE__, __LINE__);
    return found.value(0);
}

} // namespace

class TestPrincipal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void menuMatchesTheTree();
    void userWithoutGrants();
    void grantEnablesItsEntry_data();
    void grantEnablesItsEntry();
    void stoppedProcessesEntryAndStoredRights();
    void grantsThatChangeNothing_data();
    void grantsThatChangeNothing();
    void tramitacaoStaysInvisible();
    void statusBarShowsUserAndLastAction();
    void activationAppliesRightsAgain();
    void readFailureShowsErrorAndSkips();
    void menuEntryOpensThroughRegistry();
    void aboutBox();
    void exitConfirmation();
    void windowContents();

private:
    void grant(const QStringList& titles);
    std::unique_ptr<TestDatabase> m_db;
};

void TestPrincipal::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    core::initialiseAppValues(0);
    m_db = std::make_unique<TestDatabase>();
    QVERIFY_DB(*m_db);
    QVERIFY(m_db->insert("USUARIOS", {{"COD_USUARIO", kUser}, {"USUARIO", "ANA"}, {"PROTOCOLISTA", "NAO"}}));
}

void TestPrincipal::init() {
    QVERIFY(m_db->exec("DELETE FROM USUARIOS_ACESSOS"));
    core::currentUser().code = kUser;
}

void TestPrincipal::cleanup() {
    if (!core::mainConnection().isOpen()) QVERIFY(core::mainConnection().open());
}

void TestPrincipal::cleanupTestCase() {
    m_db.reset();
}

void TestPrincipal::grant(const QStringList& titles) {
    int n = int(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS").toInt());
    for (const QString& title : titles)
        QVERIFY(m_db->insert("USUARIOS_ACESSOS",
                             {{"ACESSO", QString::number(++n)}, {"COD_USUARIO", kUser}, {"TITULO", title}}));
}

void TestPrincipal::menuMatchesTheTree() {
    app::TFrm_Principal window;
    const auto& tree = core::menuTree();
    QCOMPARE(window.menuEntries().size(), tree.size());
    QMenuBar* bar = child<QMenuBar>(&window, "MainMenu1");
    QStringList topLevel;
    for (QAction* a : bar->actions())
        topLevel << a->text();
    QCOMPARE(topLevel,
             (QStringList{"&Empresa", "&Cadastros", "&TCE/AL", "&Usuários", "&Apoio", "&Sobre", "Sa&ir"}));
    for (int i = 0; i < tree.size(); ++i) {
        const Entry& e = window.menuEntries().at(i);
        QCOMPARE(
            e.action->text().remove(e.action->text().indexOf('&'), e.action->text().contains('&') ? 1 : 0),
            tree.at(i).title);
        QCOMPARE(app::TFrm_Principal::kindOf(e.action), int(tree.at(i).kind));
        QCOMPARE(e.action->isSeparator(), tree.at(i).separator());
        // Entries hidden in the design are hidden from the start; nothing else is.
        QCOMPARE(e.action->isVisible(), !tree.at(i).hidden);
    }
    // "Relatório dos Setores - Ordem Numérica" sits under Cadastros > Relatórios.
    const Entry report = entry(window, "Relatório dos Setores - Ordem Numérica", 2);
    QVERIFY(report.action);
    QCOMPARE(report.action->associatedObjects().size(), 1);
}

void TestPrincipal::userWithoutGrants() {
    app::TFrm_Principal window;
    QVERIFY(window.applyAccessRights());
    for (const Entry& e : window.menuEntries()) {
        const QString what = e.spec.title.isEmpty() ? QStringLiteral("separator") : e.spec.title;
        if (e.spec.level == 0) {
            QVERIFY2(e.enabled && e.action->isVisible(), qPrintable(what));
            continue;
        }
        switch (e.spec.kind) {
        case MenuKind::TopOrSeparator: // separators: greyed, still there unless hidden in the design
            QVERIFY2(!e.enabled, qPrintable(what));
            QCOMPARE(e.action->isVisible(), !e.spec.hidden);
            break;
        case MenuKind::Window: // every window entry disappears
            QVERIFY2(!e.enabled && !e.action->isVisible(), qPrintable(what));
            break;
        case MenuKind::Report:
        case MenuKind::Utility: // greyed but shown
            QVERIFY2(!e.enabled && e.action->isVisible(), qPrintable(what));
            break;
        case MenuKind::Always: // headers and "Ajuda"
            QVERIFY2(e.enabled, qPrintable(what));
            QCOMPARE(e.action->isVisible(), !e.spec.hidden);
            break;
        }
    }
    QVERIFY(entry(window, "Ajuda", 1).enabled);
    QVERIFY(!entry(window, "Atualiza Banco de Dados", 1).enabled);
    QVERIFY(entry(window, "Recebe dados - TCE/AL", 1).enabled);
    QVERIFY(!entry(window, "Tipos de Unidades", 2).enabled);
}

void TestPrincipal::grantEnablesItsEntry_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("visible");
    QTest::newRow("window Empresa") << "Empresa" << 1 << true;
    QTest::newRow("report") << "Relatório dos Setores - Ordem Numérica" << 2 << true;
    QTest::newRow("utility") << "Atualiza Banco de Dados" << 1 << true;
    QTest::newRow("third-level utility") << "Tipos de Unidades" << 2 << true;
    QTest::newRow("users window") << "Usuários..." << 1 << true;
    QTest::newRow("processes report") << "Processos parados" << 2 << true;
}

void TestPrincipal::grantEnablesItsEntry() {
    QFETCH(QString, title);
    QFETCH(int, level);
    QFETCH(bool, visible);
    app::TFrm_Principal without;
    QVERIFY(without.applyAccessRights());
    const MenuState before = stateOf(without);

    grant({title});
    app::TFrm_Principal window;
    QVERIFY(window.applyAccessRights());
    const MenuState after = stateOf(window);
    const Entry granted = entry(window, title, level);
    QVERIFY(granted.enabled);
    QVERIFY(granted.action->isEnabled());
    QCOMPARE(granted.action->isVisible(), visible);
    // Only that entry changed: the top-level entry of the same name ("Empresa", "Usuários") and the
    // sibling reports keep their state.
    int changed = 0;
    for (int i = 0; i < after.size(); ++i)
        if (after.at(i) != before.at(i)) {
            ++changed;
            QCOMPARE(window.menuEntries().at(i).action, granted.action);
        }
    QCOMPARE(changed, 1);
}

void TestPrincipal::stoppedProcessesEntryAndStoredRights() {
    // The listing of stopped processes has a "Relatórios" of its own, shown, under the process
    // entries of Cadastros.
    app::TFrm_Principal window;
    const Entry parados = entry(window, "Processos parados", 2);
    QCOMPARE(app::TFrm_Principal::kindOf(parados.action), int(MenuKind::Report));
    const auto* menu = qobject_cast<QMenu*>(parados.action->associatedObjects().value(0));
    QVERIFY(menu);
    QCOMPARE(menu->menuAction()->text().remove('&'), QStringLiteral("Relatórios"));
    QVERIFY(menu->menuAction()->isVisible());
    int header = -1;
    for (int i = 0; i < window.menuEntries().size(); ++i)
        if (window.menuEntries().at(i).action == parados.action) header = i - 1;
    QVERIFY(header > 0);
    QCOMPARE(window.menuEntries().at(header - 2).spec.title, QStringLiteral("Pesquisa Despachos"));
    // Between them, the entry of the main window's chart of pending processes.
    QCOMPARE(window.menuEntries().at(header - 1).spec.title, QStringLiteral("Painel de Pendências"));
    QCOMPARE(app::TFrm_Principal::kindOf(window.menuEntries().at(header - 1).action), int(MenuKind::Window));

    // Rights stored before the entry existed are kept by their titles: they enable what they
    // enabled, and the new report stays greyed until it is granted.
    const QStringList older{"Pesquisa Despachos", "Relatório Tipos de Unidades - Ordem Numérica",
                            "Relatório dos Usuários - Ordem Alfabética"};
    grant(older);
    QVERIFY(window.applyAccessRights());
    for (const QString& title : older)
        QVERIFY2(entriesTitled(window, title, 1).value(0).enabled ||
                     entriesTitled(window, title, 2).value(0).enabled,
                 qPrintable(title));
    QVERIFY(!entry(window, "Processos parados", 2).enabled);
    QVERIFY(entry(window, "Processos parados", 2).action->isVisible());
    QVERIFY(!core::userHasRight(QStringLiteral("Processos parados")));
    grant({"Processos parados"});
    app::TFrm_Principal next;
    QVERIFY(next.applyAccessRights());
    QVERIFY(entry(next, "Processos parados", 2).enabled);
    for (const QString& title : older)
        QVERIFY2(entriesTitled(next, title, 1).value(0).enabled ||
                     entriesTitled(next, title, 2).value(0).enabled,
                 qPrintable(title));
    QVERIFY(core::userHasRight(QStringLiteral("Processos parados")));
}

void TestPrincipal::grantsThatChangeNothing_data() {
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("Relatórios") << QStringList{"Relatórios"};
    QTest::newRow("unmatched title") << QStringList{"Relatório de Coisa Nenhuma"};
    QTest::newRow("different case") << QStringList{"empresa"};
    QTest::newRow("with the accelerator") << QStringList{"&Empresa"};
    QTest::newRow("without accent") << QStringList{"Usuarios..."};
    QTest::newRow("top-level only title") << QStringList{"Cadastros", "Apoio"};
}

void TestPrincipal::grantsThatChangeNothing() {
    QFETCH(QStringList, titles);
    app::TFrm_Principal without;
    QVERIFY(without.applyAccessRights());
    grant(titles);
    app::TFrm_Principal window;
    QVERIFY(window.applyAccessRights());
    QCOMPARE(stateOf(window), stateOf(without));
}

void TestPrincipal::tramitacaoStaysInvisible() {
    grant({"Tramitação", "Processos"});
    app::TFrm_Principal window;
    QVERIFY(window.applyAccessRights());
    const Entry tramitacao = entry(window, "Tramitação", 1);
    QVERIFY(tramitacao.enabled);
    QVERIFY(!tramitacao.action->isVisible());
    const Entry processos = entry(window, "Processos", 1);
    QVERIFY(processos.enabled && processos.action->isVisible());
    QVERIFY(processos.action->isEnabled());
}

void TestPrincipal::statusBarShowsUserAndLastAction() {
    testsupport::ScriptedDialogs dialogs;
    core::currentUser().name = QStringLiteral("CARLA MENDES");
    app::TFrm_Principal window;
    window.FormActivate();
    // The year label shows the exercise year.
    QCOMPARE(window.yearLabel()->text(), core::appValues().exerciseYear);
    auto* panel = window.statusBar()->findChild<QLabel*>(QStringLiteral("Panel0"));
    QCOMPARE(panel, window.statusPanel());
    QVERIFY(panel->text().startsWith(QStringLiteral("Usuário: CARLA MENDES")));
    // A finished action shows at once, beside the user.
    core::announceFinished(QStringLiteral("Processo 12110001/2026 enviado para PAULO ROBERTO NUNES"));
    QCOMPARE(panel->text(), QStringLiteral("Usuário: CARLA MENDES   |   Processo 12110001/2026 enviado para "
                                           "PAULO ROBERTO NUNES"));
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
        window.resize(1280, 720);
        window.show();
        window.grab().save(dir + "/Frm_Principal.png");
    }
    VERIFY_DIALOGS(dialogs);
}

void TestPrincipal::activationAppliesRightsAgain() {
    app::registerShellCommands();
    app::TFrm_Principal window;
    window.calendar()->setSelectedDate(QDate(2000, 1, 1));
    window.show();
    // The first showing applies the rights at once, whether or not a window manager activates it.
    QVERIFY(!entry(window, "Setores", 1).action->isVisible());
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QAction* sectors = entry(window, "Setores", 1).action;
    QTRY_VERIFY(!sectors->isVisible());
    QVERIFY(!entry(window, "Relatório da Empresa", 2).enabled);
    QCOMPARE(window.calendar()->selectedDate(), QDate::currentDate());

    // Rights granted while the program runs: the next activation (here after the about box
    // closes) enables them, but a hidden entry stays hidden for the rest of the run.
    grant({"Relatório da Empresa", "Setores"});
    window.calendar()->setSelectedDate(QDate(2000, 1, 1));
    testsupport::onNextModal(
        [](QWidget* modal) { QTest::mouseClick(child<QPushButton>(modal, "Botao_Fechar"), Qt::LeftButton); });
    entry(window, "Ajuda", 1).action->trigger();
    QTRY_VERIFY(entry(window, "Relatório da Empresa", 2).enabled);
    QVERIFY(entry(window, "Relatório da Empresa", 2).action->isEnabled());
    QVERIFY(entry(window, "Setores", 1).enabled);
    QVERIFY(!sectors->isVisible());
    QCOMPARE(window.calendar()->selectedDate(), QDate::currentDate());
}

void TestPrincipal::readFailureShowsErrorAndSkips() {
    grant({"Empresa", "Relatório da Empresa"});
    app::TFrm_Principal window;
    ScriptedDialogs dialogs;
    dialogs.expectError(QString());
    core::mainConnection().close();
    QVERIFY(!window.applyAccessRights());
    VERIFY_DIALOGS(dialogs);
    QVERIFY(!dialogs.shown().value(0).trimmed().endsWith(':'));
    // Nothing enabled by the grants and nothing hidden: every governed entry is greyed.
    for (const Entry& e : window.menuEntries()) {
        if (e.spec.level == 0) continue;
        QCOMPARE(e.enabled, e.spec.kind == MenuKind::Always);
        QCOMPARE(e.action->isVisible(), !e.spec.hidden);
    }
    // The activations that follow (the first is the return from the error box) do not repeat it.
    QVERIFY(!window.applyAccessRights());
    QCOMPARE(dialogs.shown().size(), 1);
    // Once the rights can be read again they apply as usual.
    QVERIFY(core::mainConnection().open());
    QVERIFY(window.applyAccessRights());
    QVERIFY(entry(window, "Empresa", 1).enabled);
    QVERIFY(entry(window, "Relatório da Empresa", 2).enabled);
}

void TestPrincipal::menuEntryOpensThroughRegistry() {
    grant({"Setores", "Relatório dos Setores - Ordem Alfabética"});
    QStringList opened;
    QWidget* parentSeen = nullptr;
    core::menuCommands().add(QStringLiteral("Setores"), [&](QWidget* parent, const QString& title) {
        opened << title;
        parentSeen = parent;
    });
    app::TFrm_Principal window;
    QVERIFY(window.applyAccessRights());
    entry(window, "Setores", 1).action->trigger();
    QCOMPARE(opened, QStringList{"Setores"});
    QCOMPARE(parentSeen, &window);
    // A granted entry whose window this build does not have says so, and opens nothing.
    ScriptedDialogs dialogs;
    dialogs.expectMessage("Atenção,\r\"Relatório dos Setores - Ordem Alfabética\" ainda não está disponível "
                          "nesta versão do sistema.");
    entry(window, "Relatório dos Setores - Ordem Alfabética", 2).action->trigger();
    QCOMPARE(opened.size(), 1);
    VERIFY_DIALOGS(dialogs);
}

void TestPrincipal::aboutBox() {
    app::registerShellCommands();
    app::TFrm_Principal window;
    QMap<QString, QString> labels;
    bool noCloseButton = false;
    QString buttonText;
    testsupport::onNextModal([&](QWidget* modal) {
        for (const char* name : {"Sistema", "Versao", "Desenvolvedor", "Telefone", "Email", "Site"}) {
            QLabel* label = child<QLabel>(modal, name);
            labels.insert(QString::fromLatin1(name), label->text());
            QVERIFY(label->alignment() & Qt::AlignHCenter);
        }
        noCloseButton = !(modal->windowFlags() & Qt::WindowCloseButtonHint);
        QPushButton* close = child<QPushButton>(modal, "Botao_Fechar");
        buttonText = close->text();
        QTest::mouseClick(close, Qt::LeftButton);
    });
    window.openEntry(QStringLiteral("Ajuda"));
    const core::AppValues& v = core::appValues();
    QCOMPARE(labels.value("Sistema"), QStringLiteral("Protocolo-Korvalis  |  Versão 2013"));
    QVERIFY(labels.value("Versao").startsWith(QStringLiteral("Atualizado em ")));
    QCOMPARE(labels.value("Versao"), v.updateStamp);
    QCOMPARE(labels.value("Desenvolvedor"), QStringLiteral("K O R V A L I S"));
    QCOMPARE(labels.value("Telefone"), v.makerPhone);
    QCOMPARE(labels.value("Email"), v.makerEmail);
    QCOMPARE(labels.value("Site"), v.makerSite);
    QVERIFY(!v.makerPhone.isEmpty());
    QVERIFY(noCloseButton);
    QCOMPARE(buttonText, QStringLiteral("&Fechar"));
}

void TestPrincipal::exitConfirmation() {
    app::TFrm_Principal window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.applyAccessRights());
    const MenuState before = stateOf(window);
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(QStringLiteral("Deseja Finalizar a Aplicação ?"), false);
    QAction* sair = entry(window, "Sair", 0).action;
    sair->trigger();
    QVERIFY(window.isVisible());
    QCOMPARE(dialogs.lastQuestionDefault(), core::DialogService::DefaultButton::Yes);
    QCOMPARE(stateOf(window), before);
    dialogs.expectQuestion(QStringLiteral("Deseja Finalizar a Aplicação ?"), true);
    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
    VERIFY_DIALOGS(dialogs);
}

void TestPrincipal::windowContents() {
    app::TFrm_Principal window;
    QCOMPARE(app::Frm_Principal, &window);
    QLabel* year = child<QLabel>(&window, "LabelAno");
    QVERIFY(year->font().bold() && year->font().underline());
    QCOMPARE(year->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QVERIFY(child<QCalendarWidget>(&window, "calendario"));
    QStatusBar* status = child<QStatusBar>(&window, "StatusBar_Principal");
    QCOMPARE(window.statusBar(), status);
    QVERIFY(child<QWidget>(&window, "Image1"));
}

QTEST_MAIN(TestPrincipal)
#include "tst_principal.moc"
