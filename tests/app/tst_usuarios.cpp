#include "app/pesquisausuarios.h"
#include "app/principal.h"
#include "app/senha.h"
#include "app/usuarios.h"
#include "app/wiring.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/menucommands.h"
#include "core/menutree.h"
#include "core/routines.h"
#include "core/session.h"
#include "core/users.h"
#include "forms/common/formwindow.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/lookupdialog.h"
#include "forms/common/lookupresult.h"
#include "forms/registers/pesqusuario02.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"
#include "tests/support/typing.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSqlQuery>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <memory>

using app::TFrm_Usuarios;
using testsupport::child;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::typeText;

namespace {

const QString kCpf = QStringLiteral("111.444.777-35");
const QString kOtherCpf = QStringLiteral("529.982.247-25");
const QString kProcessos = QStringLiteral("Processos");
const QString kSetoresReport = QStringLiteral("Relatório dos Setores - Ordem Numérica");

// The titles a list should hold: the menu's entries of one kind below the top level, in order.
QStringList menuTitles(core::MenuKind kind) {
    QStringList titles;
    for (const core::MenuEntrySpec& e : core::menuTree())
        if (e.level > 0 && e.kind == kind) titles << e.title;
    return titles;
}

// The users form on screen and active, so that focus moves as the user sees it.
struct UsersForm {
    TFrm_Usuarios* form;
    std::unique_ptr<TFrm_Usuarios> owned;

    // A form opened here on the given user.
    explicit UsersForm(const QString& code = app::firstUserCode())
        : owned(std::make_unique<TFrm_Usuarios>(nullptr)) {
        form = owned.get();
        QString error;
        QVERIFY2(form->reload(code, &error), qPrintable(error));
        form->show();
        activate();
    }
    // A form opened by someone else (the menu).
    explicit UsersForm(QWidget* opened)
        : form(qobject_cast<TFrm_Usuarios*>(opened)) {
        QVERIFY(form);
        activate();
    }
    void activate() {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }

    QLineEdit* edit(const char* name) const { return child<QLineEdit>(form, QString::fromLatin1(name)); }
    QPushButton* button(const char* name) const {
        return child<QPushButton>(form, QString::fromLatin1(name));
    }
    QListWidget* list(const char* name) const { return child<QListWidget>(form, QString::fromLatin1(name)); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Types into a field, replacing what it holds; the focus stays there.
    void type(const char* name, const QString& text) const {
        QLineEdit* e = edit(name);
        e->setFocus();
        e->selectAll();
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Backspace);
        else
            typeText(e, text);
    }
    // Types and leaves the field with Tab.
    void enter(const char* name, const QString& text) const {
        type(name, text);
        QTest::keyClick(edit(name), Qt::Key_Tab);
    }
    void check(const QStringList& titles) const {
        for (const char* name : {"clbCadastros", "clbRelatorios", "clbOutros"}) {
            QListWidget* l = list(name);
            for (int i = 0; i < l->count(); ++i)
                if (titles.contains(l->item(i)->text())) l->item(i)->setCheckState(Qt::Checked);
        }
    }
    void uncheck(const QStringList& titles) const {
        for (const char* name : {"clbCadastros", "clbRelatorios", "clbOutros"}) {
            QListWidget* l = list(name);
            for (int i = 0; i < l->count(); ++i)
                if (titles.contains(l->item(i)->text())) l->item(i)->setCheckState(Qt::Unchecked);
        }
    }
    QStringList checked() const {
        return TFrm_Usuarios::checkedTexts(list("clbCadastros")) +
               TFrm_Usuarios::checkedTexts(list("clbRelatorios")) +
               TFrm_Usuarios::checkedTexts(list("clbOutros"));
    }
    bool listsEmpty() const {
        return list("clbCadastros")->count() == 0 && list("clbRelatorios")->count() == 0 &&
               list("clbOutros")->count() == 0;
    }
    // Incluir and every field of a complete new user.
    void fillNewUser(const QString& code, const QString& name, const QString& password, const QString& cpf,
                     const QString& unit) const {
        click("Botao_Incluir");
        enter("Campo1", code);
        enter("Campo2", name);
        enter("Campo3", password);
        enter("Campo4", password);
        enter("CAMPO6", routines::digitsOnly(cpf));
        enter("Campo5", unit);
    }
};

} // namespace

class TestUsuarios : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void statesAndWindow();
    void checkListsFromTheMenu();
    void contextMenuChecksAndUnchecksAll();
    void newUserWithTwoGrantsEndsTheProgram();
    void alterarShowsPlainPasswordAndGrantsCancelarRestores();
    void alterarRewritesTheGrants();
    void grantsStoredBeforeANewEntryKeepTheirMeaning();
    void saveChecksInOrder_data();
    void saveChecksInOrder();
    void cpfCheckOnLeaving_data();
    void cpfCheckOnLeaving();
    void unitCodeFetchesItsName();
    void unitLookupAndRegister();
    void passwordsTheColumnCannotHold_data();
    void passwordsTheColumnCannotHold();
    void failedSaveDoesNotLinger();
    void deletionThroughSearchTakesTheGrants();
    void refusedDeletionIsUndoneSilently();
    void searchDialog();
    void lookupByUnitListsOnlyThatUnit();
    void loginWithTheNewUsersPassword();
    void grantedRightsTakeEffectAtTheNextRun();
    void rightsRaceBetweenTwoAdministrators_data();
    void rightsRaceBetweenTwoAdministrators();
    void lastWayIntoUserManagement_data();
    void lastWayIntoUserManagement();
    void twoAdministratorsTakeTheRightFromEachOther_data();
    void twoAdministratorsTakeTheRightFromEachOther();
    void passwordShiftOfTheInstallation();

private:
    QStringList storedTitles(const QString& code);
    void addUser(const QString& code, const QString& name, const QString& password, const QString& unit,
                 const QStringList& grants = {});
    std::unique_ptr<TestDatabase> m_db;
    int m_endings = 0;
};

void TestUsuarios::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    core::initialiseAppValues(0);
    app::wireMenuCommands();
    app::setProgramEnding([this] { ++m_endings; });
}

void TestUsuarios::init() {
    m_endings = 0;
    m_db = std::make_unique<TestDatabase>(true);
    QVERIFY_DB(*m_db);
    const QStringList units{"SECRETARIA DE ADMINISTRAÇÃO", "SECRETARIA DE SAÚDE", "GABINETE DO PREFEITO"};
    for (int i = 0; i < units.size(); ++i)
        QVERIFY(m_db->insert("UNIDADES", {{"IDUNIDADE", QStringLiteral("000%1").arg(i + 1)},
                                          {"UNIDADE", units.at(i)},
                                          {"TIPO_UNIDADE", "01"}}));
    forms::lookupResult().reset();
}

void TestUsuarios::cleanup() {
    m_db.reset();
}

void TestUsuarios::addUser(const QString& code, const QString& name, const QString& password,
                           const QString& unit, const QStringList& grants) {
    QVERIFY(m_db->insert("USUARIOS", {{"COD_USUARIO", code},
                                      {"USUARIO", name},
                                      {"SENHA", routines::scrambleUp(password)},
                                      {"CONFIRMACAO", routines::scrambleUp(password)},
                                      {"CPF", kOtherCpf},
                                      {"PROTOCOLISTA", "SIM"},
                                      {"IDUNIDADE", unit}}));
    for (int i = 0; i < grants.size(); ++i)
        QVERIFY(m_db->insert(
            "USUARIOS_ACESSOS",
            {{"ACESSO", QString::number(i + 1)}, {"COD_USUARIO", code}, {"TITULO", grants.at(i)}}));
}

void TestUsuarios::statesAndWindow() {
    ScriptedDialogs dialogs;
    UsersForm w;
    const QList<const char*> fields{"Campo1", "Campo2", "Campo3", "Campo4", "CAMPO6", "Campo5"};
    auto buttons = [&] {
        QString s;
        for (const char* b : {"Botao_Incluir", "Botao_Salvar", "Botao_Alterar", "Botao_Cancelar",
                              "Botao_Pesquisar", "Botao_Excluir", "Botao_Fechar"})
            s += w.button(b)->isEnabled() ? '1' : '0';
        return s;
    };
    auto editable = [&] {
        QString s;
        for (const char* f : fields)
            s += forms::looksEditable(w.edit(f)) ? 'w' : 's';
        return s;
    };

    // Browsing a user.
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));
    QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000001"));
    QCOMPARE(w.edit("Campo2")->text(), QStringLiteral("ADMINISTRADOR"));
    QCOMPARE(buttons(), QStringLiteral("1010111"));
    QCOMPARE(editable(), QStringLiteral("ssssss"));
    QVERIFY(w.edit("Campo1")->isReadOnly());
    QVERIFY(!w.list("clbCadastros")->isEnabled());
    QVERIFY(w.listsEmpty());
    QCOMPARE(QApplication::focusWidget(), w.button("Botao_Incluir"));
    QVERIFY(!child<QPushButton>(w.form, "AtivaDesativaBotoes")->isVisible());
    QCOMPARE(child<QPushButton>(w.form, "AtivaDesativaBotoes")->text(), QStringLiteral("Ativa/Des.Botões"));
    QVERIFY(!w.form->findChild<QTableView*>());
    QVERIFY(!w.form->findChild<QLineEdit*>("PROCURA"));
    QVERIFY(!w.form->findChild<QTabWidget*>());
    QCOMPARE(forms::silverColour(), w.edit("CampoE1")->palette().color(QPalette::Base));
    QCOMPARE(w.edit("CampoE1")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(child<QToolButton>(w.form, "Botao_PesquisaUnidade")->text(), QStringLiteral("&1"));
    QCOMPARE(child<QToolButton>(w.form, "Botao_PesquisaUnidade")->toolTip(), QStringLiteral("Pesquisa"));
    QCOMPARE(child<QToolButton>(w.form, "Botao_CadastraUnidade")->text(), QStringLiteral("&2"));
    QCOMPARE(child<QToolButton>(w.form, "Botao_CadastraUnidade")->toolTip(), QStringLiteral("Cadastra"));
    // The passwords are masked with "&".
    for (const char* secret : {"Campo3", "Campo4"}) {
        QLineEdit* e = w.edit(secret);
        QCOMPARE(e->echoMode(), QLineEdit::Password);
        QCOMPARE(e->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, e), int('&'));
        QVERIFY(e->maxLength() > 10); // a longer password is refused on saving, never cut
    }
    QCOMPARE(w.edit("Campo3")->displayText(), QString(5, QLatin1Char('&'))); // "admin", stored shifted

    // Inserting.
    w.click("Botao_Incluir");
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários - Incluindo"));
    QCOMPARE(buttons(), QStringLiteral("0101000"));
    QCOMPARE(editable(), QStringLiteral("wwwwww"));
    QCOMPARE(QApplication::focusWidget(), w.edit("Campo1"));
    QVERIFY(w.list("clbCadastros")->isEnabled());
    QVERIFY(!w.listsEmpty());
    QVERIFY(w.checked().isEmpty());
    QCOMPARE(child<QCheckBox>(w.form, "DBCheckBox1")->isChecked(), false);
    QCOMPARE(w.form->records()->text("PROTOCOLISTA"), QStringLiteral("NAO"));
    // Enter moves through the fields in their order; the lists are skipped. The CPF is left empty
    // on the way.
    dialogs.expectMessage(TFrm_Usuarios::cpfInvalidMessage());
    QList<QWidget*> order{QApplication::focusWidget()};
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        order << QApplication::focusWidget();
    }
    QStringList names;
    for (QWidget* o : order)
        names << o->objectName();
    QCOMPARE(names, QStringList({"Campo1", "Campo2", "Campo3", "Campo4", "CAMPO6", "DBCheckBox1", "Campo5",
                                 "Botao_Salvar"}));
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.list("clbCadastros")->focusPolicy(), Qt::ClickFocus);
    w.click("Botao_Cancelar");
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));
    QVERIFY(w.listsEmpty());
    QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000001"));

    // Editing.
    w.click("Botao_Alterar");
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários - Alterando"));
    QCOMPARE(buttons(), QStringLiteral("0101000"));
    QCOMPARE(editable(), QStringLiteral("swwwww"));
    QVERIFY(w.edit("Campo1")->isReadOnly());
    QCOMPARE(QApplication::focusWidget(), w.edit("Campo2"));
    w.click("Botao_Cancelar");

    // Browsing with no user.
    QVERIFY(w.form->reload("99999999"));
    QCOMPARE(buttons(), QStringLiteral("1000101"));
    QCOMPARE(w.edit("Campo1")->text(), QString());
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::checkListsFromTheMenu() {
    ScriptedDialogs dialogs;
    // Built from the live main menu when there is one, else from the menu's own description: the
    // same titles, without accelerators, hidden entries included.
    for (bool withMainWindow : {false, true}) {
        std::unique_ptr<app::TFrm_Principal> main;
        if (withMainWindow) {
            main = std::make_unique<app::TFrm_Principal>();
            core::currentUser().code = "00000001";
            QVERIFY(main->applyAccessRights());
        }
        UsersForm w;
        w.click("Botao_Incluir");
        QCOMPARE(TFrm_Usuarios::itemTexts(w.list("clbCadastros")), menuTitles(core::MenuKind::Window));
        QCOMPARE(TFrm_Usuarios::itemTexts(w.list("clbRelatorios")), menuTitles(core::MenuKind::Report));
        QCOMPARE(TFrm_Usuarios::itemTexts(w.list("clbOutros")),
                 QStringList(
                     {"Atualiza Banco de Dados", "Renova Código de Consulta Pública", "Tipos de Unidades"}));
        QVERIFY(TFrm_Usuarios::itemTexts(w.list("clbCadastros")).contains("Tramitação"));
        QVERIFY(TFrm_Usuarios::itemTexts(w.list("clbCadastros")).contains("Usuários..."));
        QVERIFY(TFrm_Usuarios::itemTexts(w.list("clbCadastros")).contains("Painel de Pendências"));
        QVERIFY(TFrm_Usuarios::itemTexts(w.list("clbCadastros")).contains("Trilha de Auditoria"));
        QCOMPARE(TFrm_Usuarios::itemTexts(w.list("clbCadastros")).size(), 14);
        // The thirteen register listings and "Processos parados".
        QCOMPARE(TFrm_Usuarios::itemTexts(w.list("clbRelatorios")).size(), 14);
        w.click("Botao_Cancelar");
        QVERIFY(w.listsEmpty());
    }
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::contextMenuChecksAndUnchecksAll() {
    ScriptedDialogs dialogs;
    UsersForm w;
    w.click("Botao_Incluir");
    QListWidget* reports = w.list("clbRelatorios");
    QCOMPARE(reports->contextMenuPolicy(), Qt::CustomContextMenu);
    auto* menu = child<QMenu>(reports, "Menu_clbRelatorios");
    QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Liberar todos"));
    QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("Bloquear todos"));
    menu->actions().at(0)->trigger();
    QCOMPARE(TFrm_Usuarios::checkedTexts(reports), TFrm_Usuarios::itemTexts(reports));
    QVERIFY(TFrm_Usuarios::checkedTexts(w.list("clbCadastros")).isEmpty()); // only that list
    menu->actions().at(1)->trigger();
    QVERIFY(TFrm_Usuarios::checkedTexts(reports).isEmpty());
    // The menu pops up where the list is right-clicked.
    bool popped = false;
    QTimer::singleShot(0, menu, [&] {
        popped = menu->isVisible();
        menu->close();
    });
    emit reports->customContextMenuRequested(QPoint(10, 10));
    QTRY_VERIFY(popped);
    w.click("Botao_Cancelar");
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::newUserWithTwoGrantsEndsTheProgram() {
    ScriptedDialogs dialogs;
    bool ran = false;
    testsupport::onNextModal([&](QWidget* opened) {
        auto closeAnyway = qScopeGuard([opened] { forms::closeWindow(static_cast<QDialog*>(opened)); });
        UsersForm w(opened);
        ran = true;
        QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000001")); // opened on the first user
        w.fillNewUser("12", "Maria da Silva", "segredo", kCpf, "3");
        QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000012"));
        QCOMPARE(w.edit("Campo2")->text(), QStringLiteral("MARIA DA SILVA"));
        child<QCheckBox>(w.form, "DBCheckBox1")->click();
        w.check({kProcessos, kSetoresReport});
        w.click("Botao_Salvar");
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));
        QVERIFY(w.listsEmpty());
        QVERIFY(w.form->rightsChanged());
        QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000012"));
        QCOMPARE(m_endings, 0); // not while the window is open
        w.click("Botao_Fechar");
    });
    QVERIFY(core::menuCommands().contains("Usuários..."));
    dialogs.expectMessage("Atenção, o Protocolo-Korvalis será desativado para atualizar acesso dos Usuários");
    QVERIFY(core::menuCommands().open("Usuários...", nullptr));
    QVERIFY(ran);
    QVERIFY(app::Frm_Usuarios.isNull());
    QCOMPARE(m_endings, 1);
    VERIFY_DIALOGS(dialogs);

    const auto user =
        m_db->rows("SELECT COD_USUARIO, USUARIO, SENHA, CONFIRMACAO, CPF, PROTOCOLISTA, IDUNIDADE "
                   "FROM USUARIOS WHERE COD_USUARIO = ?",
                   {"00000012"});
    QCOMPARE(user.size(), 1);
    QCOMPARE(user.at(0).at(1).toString(), QStringLiteral("MARIA DA SILVA"));
    QCOMPARE(user.at(0).at(2).toString(), routines::scrambleUp("segredo"));
    QCOMPARE(user.at(0).at(3).toString(), routines::scrambleUp("segredo"));
    QVERIFY(user.at(0).at(2).toString() != QStringLiteral("segredo"));
    QCOMPARE(user.at(0).at(4).toString(), kCpf);
    QCOMPARE(user.at(0).at(5).toString(), QStringLiteral("SIM"));
    QCOMPARE(user.at(0).at(6).toString(), QStringLiteral("0003"));
    const auto grants = m_db->rows(
        "SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO = ? ORDER BY ACESSO", {"00000012"});
    QCOMPARE(grants, (QList<QVariantList>{{"1", kProcessos}, {"2", kSetoresReport}}));
}

void TestUsuarios::alterarShowsPlainPasswordAndGrantsCancelarRestores() {
    ScriptedDialogs dialogs;
    addUser("00000005", "JOSE", "abc", "0002", {kProcessos, "Tipos de Unidades", kSetoresReport});
    UsersForm w("00000005");
    const QString stored = routines::scrambleUp("abc");
    QCOMPARE(w.edit("Campo3")->text(), stored);
    QCOMPARE(w.edit("CampoE1")->text(), QStringLiteral("SECRETARIA DE SAÚDE"));
    QVERIFY(child<QCheckBox>(w.form, "DBCheckBox1")->isChecked());

    w.click("Botao_Alterar");
    QCOMPARE(w.edit("Campo3")->text(), QStringLiteral("abc"));
    QCOMPARE(w.edit("Campo4")->text(), QStringLiteral("abc"));
    QCOMPARE(w.edit("Campo3")->displayText(), QStringLiteral("&&&"));
    QCOMPARE(w.form->records()->text("SENHA"), QStringLiteral("abc"));
    QCOMPARE(w.checked(), QStringList({kProcessos, kSetoresReport, "Tipos de Unidades"}));
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        QVERIFY(w.form->grab().save(QDir(dir).filePath("frm_usuarios.png")));
    }
    w.type("Campo2", "OUTRO NOME");

    w.click("Botao_Cancelar");
    QCOMPARE(w.edit("Campo2")->text(), QStringLiteral("JOSE"));
    QCOMPARE(w.edit("Campo3")->text(), stored);
    QCOMPARE(w.form->records()->text("SENHA"), stored);
    QCOMPARE(w.form->records()->text("CONFIRMACAO"), stored);
    QVERIFY(w.listsEmpty());
    QVERIFY(!w.form->records()->hasPendingChanges());
    QVERIFY(!w.form->rightsChanged());
    QCOMPARE(m_db->scalar("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO='00000005'").toString(), stored);
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::alterarRewritesTheGrants() {
    ScriptedDialogs dialogs;
    addUser("00000005", "JOSE", "abc", "0002", {kProcessos, "Tipos de Unidades", kSetoresReport});
    UsersForm w("00000005");
    w.click("Botao_Alterar");
    // The password is left as it was; one grant goes, another comes.
    w.list("clbCadastros")
        ->item(menuTitles(core::MenuKind::Window).indexOf(kProcessos))
        ->setCheckState(Qt::Unchecked);
    w.check({"Empresa"});
    w.click("Botao_Salvar");
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));
    QVERIFY(w.form->rightsChanged());
    const auto grants = m_db->rows(
        "SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO = ? ORDER BY ACESSO", {"00000005"});
    QCOMPARE(grants,
             (QList<QVariantList>{{"1", "Empresa"}, {"2", kSetoresReport}, {"3", "Tipos de Unidades"}}));
    QCOMPARE(m_db->scalar("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO='00000005'").toString(),
             routines::scrambleUp("abc"));
    // The first user's grants are untouched.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000001'").toInt(),
             core::grantableTitles().size());
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::grantsStoredBeforeANewEntryKeepTheirMeaning() {
    // Grants written before "Processos parados" joined the menu, numbered by the older lists: they
    // are read back by title, so the same items are checked and the new report is not.
    ScriptedDialogs dialogs;
    const QString usersReport = QStringLiteral("Relatório dos Usuários - Ordem Alfabética");
    const QString parados = QStringLiteral("Processos parados");
    addUser("00000005", "JOSE", "abc", "0002",
            {kProcessos, kSetoresReport, usersReport, "Tipos de Unidades"});
    UsersForm w("00000005");
    w.click("Botao_Alterar");
    QCOMPARE(w.checked(), QStringList({kProcessos, kSetoresReport, usersReport, "Tipos de Unidades"}));
    const QStringList reports = TFrm_Usuarios::checkedTexts(w.list("clbRelatorios"));
    QListWidget* list = w.list("clbRelatorios");
    int row = -1;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == parados) row = i;
    QVERIFY(row >= 0);
    QCOMPARE(list->item(row)->checkState(), Qt::Unchecked);
    QCOMPARE(list->item(row - 1)->text(),
             QStringLiteral("Relatório dos Requerentes/Titulares - Ordem Alfabética"));
    QVERIFY(!reports.contains(parados));
    // Granted now, it takes its place in menu order among the others.
    list->item(row)->setCheckState(Qt::Checked);
    w.click("Botao_Salvar");
    QCOMPARE(m_db->rows("SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO = ? ORDER BY ACESSO",
                        {"00000005"}),
             (QList<QVariantList>{{"1", kProcessos},
                                  {"2", kSetoresReport},
                                  {"3", parados},
                                  {"4", usersReport},
                                  {"5", "Tipos de Unidades"}}));
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::saveChecksInOrder_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cpf");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString cpfMsg = TFrm_Usuarios::cpfCheckMessage();
    QTest::newRow("cpf first, all empty") << ""
                                          << ""
                                          << ""
                                          << "" << cpfMsg << "";
    QTest::newRow("cpf before the rest") << "7"
                                         << "ANA"
                                         << ""
                                         << "1" << cpfMsg << "";
    QTest::newRow("code") << ""
                          << "" << kCpf << "" << TFrm_Usuarios::codeMissingMessage() << "Campo1";
    QTest::newRow("name, called Função")
        << "7"
        << "" << kCpf << "" << TFrm_Usuarios::nameMissingMessage() << "Campo2";
    QTest::newRow("name blank") << "7"
                                << " " << kCpf << "1" << TFrm_Usuarios::nameMissingMessage() << "Campo2";
    QTest::newRow("unit missing") << "7"
                                  << "ANA" << kCpf << "" << TFrm_Usuarios::unitMissingMessage() << "";
    QTest::newRow("unit unknown") << "7"
                                  << "ANA" << kCpf << "77" << TFrm_Usuarios::unitMissingMessage() << "";
}

void TestUsuarios::saveChecksInOrder() {
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, cpf);
    QFETCH(QString, unit);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    ScriptedDialogs dialogs;
    UsersForm w;
    w.click("Botao_Incluir");
    if (!code.isEmpty()) w.enter("Campo1", code);
    if (!name.isEmpty()) w.enter("Campo2", name);
    if (!cpf.isEmpty()) w.enter("CAMPO6", routines::digitsOnly(cpf));
    if (!unit.isEmpty()) w.enter("Campo5", unit);
    w.check({kProcessos});
    dialogs.expectMessage(message);
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    if (!focus.isEmpty()) QCOMPARE(QApplication::focusWidget(), w.edit(qPrintable(focus)));
    // The save stopped: still inserting with what was typed, nothing written.
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários - Incluindo"));
    QCOMPARE(w.checked(), QStringList{kProcessos});
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS").toInt(), 1);
    QVERIFY(!w.form->rightsChanged());
    w.click("Botao_Cancelar");
}

void TestUsuarios::cpfCheckOnLeaving_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::newRow("left empty") << "" << false;
    QTest::newRow("wrong check digit") << "11144477736" << false;
    QTest::newRow("typed in part") << "1114447" << false;
    QTest::newRow("repeated digits") << "11111111111" << false;
    QTest::newRow("valid") << "11144477735" << true;
}

void TestUsuarios::cpfCheckOnLeaving() {
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    ScriptedDialogs dialogs;
    addUser("00000005", "JOSE", "abc", "0002");
    UsersForm w("00000005");
    // Only while inserting or editing.
    w.enter("CAMPO6", "");
    QCOMPARE(w.edit("CAMPO6")->text(), kOtherCpf);

    w.click("Botao_Alterar");
    if (!valid) dialogs.expectMessage(TFrm_Usuarios::cpfInvalidMessage());
    w.type("CAMPO6", typed);
    typeText(w.edit("CAMPO6"), "x-"); // letters and signs are not taken
    QTest::keyClick(w.edit("CAMPO6"), Qt::Key_Tab);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.form->records()->text("CPF"), valid ? kCpf : QString());
    QCOMPARE(forms::FieldBinder::editText(w.edit("CAMPO6")), valid ? kCpf : QString());
    QCOMPARE(QApplication::focusWidget(), child<QCheckBox>(w.form, "DBCheckBox1")); // the focus moved on
    w.click("Botao_Cancelar");
    QCOMPARE(w.edit("CAMPO6")->text(), kOtherCpf);
}

void TestUsuarios::unitCodeFetchesItsName() {
    ScriptedDialogs dialogs;
    UsersForm w;
    w.click("Botao_Incluir");
    w.enter("Campo1", "1x2"); // only digits reach the code
    QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000012"));
    w.enter("Campo5", "3");
    QCOMPARE(w.edit("Campo5")->text(), QStringLiteral("0003"));
    QCOMPARE(w.edit("CampoE1")->text(), QStringLiteral("GABINETE DO PREFEITO"));
    w.enter("Campo5", "77");
    QCOMPARE(w.edit("Campo5")->text(), QStringLiteral("0077"));
    QCOMPARE(w.edit("CampoE1")->text(), QString());
    w.enter("Campo5", "2");
    QCOMPARE(w.edit("CampoE1")->text(), QStringLiteral("SECRETARIA DE SAÚDE"));
    w.click("Botao_Cancelar");
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::unitLookupAndRegister() {
    ScriptedDialogs dialogs;
    UsersForm w;
    // A pick while browsing is discarded.
    testsupport::onNextModal([](QWidget* d) {
        auto* lookup = static_cast<forms::LookupDialog*>(d);
        lookup->records()->setCurrentRow(1);
        lookup->DBGrid1DblClick();
    });
    QTest::mouseClick(child<QToolButton>(w.form, "Botao_PesquisaUnidade"), Qt::LeftButton);
    QCOMPARE(w.edit("Campo5")->text(), QString());

    w.click("Botao_Incluir");
    QString caption;
    testsupport::onNextModal([&](QWidget* d) {
        caption = d->windowTitle();
        auto* lookup = static_cast<forms::LookupDialog*>(d);
        lookup->records()->setCurrentRow(1);
        lookup->DBGrid1DblClick();
    });
    QTest::mouseClick(child<QToolButton>(w.form, "Botao_PesquisaUnidade"), Qt::LeftButton);
    QCOMPARE(caption, QStringLiteral("Pesquisa Unidades"));
    QCOMPARE(w.edit("Campo5")->text(), QStringLiteral("0002"));
    QCOMPARE(w.edit("CampoE1")->text(), QStringLiteral("SECRETARIA DE SAÚDE"));

    // "&2" opens the budget-unit register; afterwards nothing in the form changes.
    QString opened;
    testsupport::onNextModal([&](QWidget* d) {
        opened = d->objectName();
        forms::closeWindow(static_cast<QDialog*>(d));
    });
    QTest::mouseClick(child<QToolButton>(w.form, "Botao_CadastraUnidade"), Qt::LeftButton);
    QCOMPARE(opened, QStringLiteral("Frm_Unidades"));
    QCOMPARE(w.edit("Campo5")->text(), QStringLiteral("0002"));
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários - Incluindo"));
    w.click("Botao_Cancelar");
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::passwordsTheColumnCannotHold_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    // Shifted down by two, the euro sign and the non-breaking blank leave WIN1252.
    QTest::newRow("euro in the password") << QStringLiteral("€uro") << QStringLiteral("€uro")
                                          << TFrm_Usuarios::passwordCharactersMessage("Senha") << "Campo3";
    QTest::newRow("blank in the confirmation")
        << QStringLiteral("abc") << QStringLiteral("a\u00A0b")
        << TFrm_Usuarios::passwordCharactersMessage("Confirmação") << "Campo4";
    QTest::newRow("longer than the column") << QStringLiteral("12345678901") << QStringLiteral("abc")
                                            << TFrm_Usuarios::passwordTooLongMessage("Senha") << "Campo3";
    QTest::newRow("longer confirmation") << QStringLiteral("segredo") << QStringLiteral("segredo12345")
                                         << TFrm_Usuarios::passwordTooLongMessage("Confirmação") << "Campo4";
}

void TestUsuarios::passwordsTheColumnCannotHold() {
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    ScriptedDialogs dialogs;
    UsersForm w;
    w.fillNewUser("20", "ANA", "x", kCpf, "1");
    w.check({kProcessos});
    w.enter("Campo3", password);
    w.enter("Campo4", confirmation);
    // The edits take everything typed, also beyond what the column holds: the save says so
    // instead of a password cut short that the user could never type at the login.
    QCOMPARE(w.edit("Campo3")->text(), password);
    QCOMPARE(w.edit("Campo4")->text(), confirmation);
    dialogs.expectMessage(message);
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(QApplication::focusWidget(), w.edit(qPrintable(focus)));
    // Nothing written, the passwords still as typed.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS WHERE COD_USUARIO='00000020'").toInt(), 0);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000020'").toInt(), 0);
    QCOMPARE(w.form->records()->text("SENHA"), password);
    QCOMPARE(w.form->records()->text("CONFIRMACAO"), confirmation);
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários - Incluindo"));

    // Corrected, it saves.
    w.enter("Campo3", "boa");
    w.enter("Campo4", "boa");
    w.click("Botao_Salvar");
    QCOMPARE(m_db->scalar("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO='00000020'").toString(),
             routines::scrambleUp("boa"));
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::failedSaveDoesNotLinger() {
    ScriptedDialogs dialogs;
    UsersForm w;
    // A new user under the first user's code: the database refuses the row.
    w.fillNewUser("1", "OUTRO", "nova", kCpf, "2");
    w.check({kProcessos});
    dialogs.expectMessage(TFrm_Usuarios::saveErrorMessage());
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    // Back in editing with the plain passwords and the lists as they were; the window keeps its
    // layout (no state refresh), so the code can still be corrected.
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários - Incluindo"));
    QVERIFY(w.form->records()->isEditing());
    QVERIFY(forms::looksEditable(w.edit("Campo1")));
    QCOMPARE(w.form->records()->text("SENHA"), QStringLiteral("nova"));
    QCOMPARE(w.form->records()->text("CONFIRMACAO"), QStringLiteral("nova"));
    QCOMPARE(w.checked(), QStringList{kProcessos});
    QVERIFY(!w.form->rightsChanged());
    // Nothing half-saved: the first user and its grants are as they were.
    QCOMPARE(m_db->scalar("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO='00000001'").toString(),
             QStringLiteral("ADMINISTRADOR"));
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000001'").toInt(),
             core::grantableTitles().size());

    // A second try fails the same way, the passwords never shifted twice.
    dialogs.expectMessage(TFrm_Usuarios::saveErrorMessage());
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.form->records()->text("SENHA"), QStringLiteral("nova"));

    // Cancelar returns to what the database holds.
    w.click("Botao_Cancelar");
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));
    QVERIFY(!w.form->records()->hasPendingChanges());
    QVERIFY(!w.form->grants()->hasPendingChanges());
    QCOMPARE(w.form->records()->rowCount(), 1);
    QCOMPARE(w.edit("Campo2")->text(), QStringLiteral("ADMINISTRADOR"));
    QVERIFY(w.listsEmpty());

    // An alteration refused (the user removed meanwhile by another workstation) does the same.
    QSqlDatabase other = m_db->openSecondConnection("other");
    addUser("00000005", "JOSE", "abc", "0002", {kProcessos});
    QVERIFY(w.form->reload("00000005"));
    w.click("Botao_Alterar");
    w.type("Campo2", "JOSE ALTERADO");
    QSqlQuery gone(other);
    QVERIFY(gone.exec("DELETE FROM USUARIOS WHERE COD_USUARIO = '00000005'"));
    dialogs.expectMessage(TFrm_Usuarios::saveErrorMessage());
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.form->records()->text("SENHA"), QStringLiteral("abc"));
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000005'").toInt(), 1);
    w.click("Botao_Cancelar");
    QCOMPARE(w.edit("Campo2")->text(), QStringLiteral("JOSE"));
    QCOMPARE(w.form->records()->text("SENHA"), routines::scrambleUp("abc"));

    // A refused new user whose code is then corrected is saved whole under the new code.
    w.fillNewUser("1", "OUTRO", "nova", kCpf, "2");
    w.check({kProcessos});
    dialogs.expectMessage(TFrm_Usuarios::saveErrorMessage());
    w.click("Botao_Salvar");
    w.enter("Campo1", "50");
    w.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));
    QCOMPARE(m_db->scalar("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO='00000050'").toString(),
             routines::scrambleUp("nova"));
    QCOMPARE(m_db->rows("SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000050'"),
             (QList<QVariantList>{{"1", kProcessos}}));
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000001'").toInt(),
             core::grantableTitles().size());
}

void TestUsuarios::deletionThroughSearchTakesTheGrants() {
    ScriptedDialogs dialogs;
    addUser("00000005", "JOSE", "abc", "0002", {kProcessos, kSetoresReport});
    addUser("00000006", "MARIA", "abc", "0002", {kProcessos});
    bool ran = false;
    testsupport::onNextModal([&](QWidget* opened) {
        auto closeAnyway = qScopeGuard([opened] { forms::closeWindow(static_cast<QDialog*>(opened)); });
        UsersForm w(opened);
        // "&Pesquisar": typing 5 finds 00000005, Enter confirms it.
        testsupport::onNextModal([&](QWidget* search) {
            auto closeSearch = qScopeGuard([search] { forms::closeWindow(static_cast<QDialog*>(search)); });
            QCOMPARE(search->objectName(), QStringLiteral("Frm_PesquisaUsuarios"));
            auto* procura = child<QLineEdit>(search, "PROCURA");
            typeText(procura, "5");
            QTest::keyClick(procura, Qt::Key_Return);
            QVERIFY(!search->isVisible());
            closeSearch.dismiss();
        });
        w.click("Botao_Pesquisar");
        QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000005"));
        QCOMPARE(w.edit("Campo2")->text(), QStringLiteral("JOSE"));
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));

        dialogs.expectQuestion("Confirma a Exclusão ?", false);
        w.click("Botao_Excluir");
        QCOMPARE(dialogs.lastQuestionDefault(), core::DialogService::DefaultButton::No);
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS WHERE COD_USUARIO='00000005'").toInt(), 1);

        dialogs.expectQuestion("Confirma a Exclusão ?", true);
        w.click("Botao_Excluir");
        QCOMPARE(w.edit("Campo1")->text(), QString());
        QVERIFY(!w.button("Botao_Excluir")->isEnabled());
        QVERIFY(!w.button("Botao_Alterar")->isEnabled());
        ran = true;
        w.click("Botao_Fechar");
    });
    QVERIFY(core::menuCommands().open("Usuários...", nullptr));
    QVERIFY(ran);
    VERIFY_DIALOGS(dialogs);
    // A deletion is no change of rights: the program goes on.
    QCOMPARE(m_endings, 0);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS WHERE COD_USUARIO='00000005'").toInt(), 0);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000005'").toInt(), 0);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000006'").toInt(), 1);
}

void TestUsuarios::refusedDeletionIsUndoneSilently() {
    ScriptedDialogs dialogs;
    addUser("00000007", "PEDRO", "abc", "0001", {kProcessos, kSetoresReport});
    UsersForm w("00000007");
    // Another workstation removes the user row first: the deletion finds nothing and is refused.
    QSqlDatabase other = m_db->openSecondConnection("other");
    QSqlQuery gone(other);
    QVERIFY(gone.exec("DELETE FROM USUARIOS WHERE COD_USUARIO = '00000007'"));
    dialogs.expectQuestion("Confirma a Exclusão ?", true);
    w.click("Botao_Excluir");
    VERIFY_DIALOGS(dialogs); // no message
    QCOMPARE(w.edit("Campo1")->text(), QStringLiteral("00000007"));
    QVERIFY(!w.form->records()->hasPendingChanges());
    QVERIFY(!w.form->grants()->hasPendingChanges());
    // The grants' deletion went back with it: one transaction.
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS WHERE COD_USUARIO='00000007'").toInt(), 2);
}

void TestUsuarios::searchDialog() {
    ScriptedDialogs dialogs;
    addUser("00000005", "JOSE", "abc", "0002");
    addUser("00000010", "MARIA", "abc", "0002");
    app::TFrm_PesquisaUsuarios d(nullptr);
    QVERIFY(d.load());
    d.show();
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QCOMPARE(d.windowTitle(), QStringLiteral("Pesquisa"));
    QCOMPARE(child<QLabel>(&d, "LProcura")->text(), QStringLiteral("Informe Conta"));
    auto* grid = child<QTableView>(&d, "DBGrid1");
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, QStringList({"Código", "Usuário", "C P F"}));
    QCOMPARE(grid->model()->rowCount(), 3);
    auto* procura = child<QLineEdit>(&d, "PROCURA");
    QCOMPARE(QApplication::focusWidget(), procura);

    // The code is padded to eight digits while searching.
    typeText(procura, "10");
    QCOMPARE(d.records()->text("COD_USUARIO"), QStringLiteral("00000010"));
    // Another column: as typed, in upper case.
    grid->horizontalHeader()->sectionClicked(1);
    QCOMPARE(child<QLabel>(&d, "LProcura")->text(), QStringLiteral("Informe Usuário"));
    QCOMPARE(d.gridModel()->columnColour(1), forms::whiteColour());
    QCOMPARE(d.gridModel()->columnColour(0), forms::silverColour());
    typeText(procura, "jo");
    QCOMPARE(procura->text(), QStringLiteral("JO"));
    QCOMPARE(d.records()->text("COD_USUARIO"), QStringLiteral("00000005"));
    // Down goes to the grid; Enter there confirms.
    QTest::keyClick(procura, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), grid);
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.chosen(), QStringList({"00000005", "JOSE", kOtherCpf}));

    // With no row, confirming says so and the dialog stays.
    QVERIFY(m_db->exec("DELETE FROM USUARIOS"));
    app::TFrm_PesquisaUsuarios empty(nullptr);
    QVERIFY(empty.load());
    empty.show();
    empty.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&empty));
    dialogs.expectMessage("Registro não Selecionado !");
    QTest::keyClick(child<QLineEdit>(&empty, "PROCURA"), Qt::Key_Return);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.lastMessageTitle(), QStringLiteral("A T E N Ç Ã O"));
    QVERIFY(empty.isVisible());
    QTest::mouseClick(child<QPushButton>(&empty, "Botao_Fechar"), Qt::LeftButton);
    QVERIFY(!empty.isVisible());
    QVERIFY(empty.chosen().isEmpty());
}

void TestUsuarios::lookupByUnitListsOnlyThatUnit() {
    ScriptedDialogs dialogs;
    addUser("00000005", "JOSE", "abc", "0002");
    addUser("00000006", "MARIA", "abc", "0001");
    addUser("00000007", "PEDRO", "abc", "0002");
    // A caller as the routing form will be: a destination unit and user.
    forms::RecordSet caller;
    caller.setQuery(
        "SELECT CAST('' AS VARCHAR(4)) AS IDUNIDADE, CAST('' AS VARCHAR(8)) AS COD_USUARIO_DESTINO "
        "FROM RDB$DATABASE WHERE 1=0");
    caller.setFields({forms::textField("IDUNIDADE", 4), forms::textField("COD_USUARIO_DESTINO", 8)});
    QVERIFY2(caller.open(), qPrintable(caller.lastError()));
    QVERIFY(caller.append());
    QVERIFY(caller.setValue("IDUNIDADE", "0002"));

    QStringList listed;
    testsupport::onNextModal([&](QWidget* w) {
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        auto* d = qobject_cast<forms::LookupDialog*>(w);
        QVERIFY(d);
        QCOMPARE(d->objectName(), QStringLiteral("Frm_PesqUsuario02"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Pesquisa Usuário"));
        auto* grid = child<QTableView>(d, "DBGrid1");
        QStringList titles;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            titles << grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Código", "Usuário", "CPF", "Protocolista ?"}));
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            listed << grid->model()->index(r, 0).data().toString();
        // The code is searched as typed, not padded.
        QCOMPARE(forms::GridSearch::searchKey("7", "COD_USUARIO", d->spec().search), QStringLiteral("7"));
        d->records()->setCurrentRow(1);
        d->DBGrid1DblClick();
        closeAnyway.dismiss();
    });
    QVERIFY(registers::pesquisaUsuarioDaUnidade(nullptr, &caller));
    QCOMPARE(listed, QStringList({"00000005", "00000007"}));
    QCOMPARE(caller.text("COD_USUARIO_DESTINO"), QStringLiteral("00000007"));
    QVERIFY(forms::lookupResult().selected);
    QCOMPARE(forms::lookupResult().name, QStringLiteral("PEDRO"));
    QVERIFY(registers::Frm_PesqUsuario02.isNull());
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::loginWithTheNewUsersPassword() {
    ScriptedDialogs dialogs;
    // Accents, a blank and signs survive the shift, the WIN1252 column and the way back.
    const QString password = QStringLiteral("Sé nh@ç!1");
    {
        UsersForm w;
        w.fillNewUser("42", "CLARA", password, kCpf, "1");
        w.click("Botao_Salvar");
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Usuários"));
    }
    QCOMPARE(m_db->scalar("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO='00000042'").toString(),
             routines::scrambleUp(password));

    app::TFrm_Senha login;
    login.show();
    login.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&login));
    auto* code = child<QLineEdit>(&login, "Campo1");
    code->setFocus();
    typeText(code, "42");
    QTest::keyClick(code, Qt::Key_Tab);
    QCOMPARE(child<QLineEdit>(&login, "CampoE4")->text(), QStringLiteral("CLARA"));
    typeText(child<QLineEdit>(&login, "Campo2"), password);
    QTest::mouseClick(child<QPushButton>(&login, "Botao_Entrar"), Qt::LeftButton);
    QCOMPARE(login.result(), int(QDialog::Accepted));
    QCOMPARE(core::currentUser().code, QStringLiteral("00000042"));
    QCOMPARE(core::currentUser().name, QStringLiteral("CLARA"));
    QCOMPARE(core::currentUser().protocolist, QStringLiteral("NAO"));
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::grantedRightsTakeEffectAtTheNextRun() {
    ScriptedDialogs dialogs;
    // The grants chosen in the form of this run...
    {
        app::TFrm_Principal current;
        UsersForm w;
        w.fillNewUser("30", "LUCAS", "abc", kCpf, "1");
        w.check({kProcessos, kSetoresReport});
        w.click("Botao_Salvar");
        QVERIFY(w.form->rightsChanged());
    }
    // ...are what the next run's main window shows to that user.
    core::currentUser().code = "00000030";
    app::TFrm_Principal next;
    QVERIFY(next.applyAccessRights());
    QStringList enabled, visibleWindows;
    for (const app::TFrm_Principal::MenuEntry& e : next.menuEntries()) {
        if (e.spec.level == 0 || e.spec.separator()) continue;
        const bool governed = e.spec.kind == core::MenuKind::Window ||
                              e.spec.kind == core::MenuKind::Report || e.spec.kind == core::MenuKind::Utility;
        if (governed && e.enabled) enabled << e.spec.title;
        if (e.spec.kind == core::MenuKind::Window && e.action->isVisible()) visibleWindows << e.spec.title;
    }
    QCOMPARE(enabled, QStringList({kSetoresReport, kProcessos}));
    QCOMPARE(visibleWindows, QStringList{kProcessos});
    VERIFY_DIALOGS(dialogs);
}

QStringList TestUsuarios::storedTitles(const QString& code) {
    // By running number, which must run 1, 2, 3... without gaps.
    QStringList titles;
    const auto rows = m_db->rows("SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO = ?", {code});
    for (int n = 1; n <= rows.size(); ++n)
        for (const QVariantList& r : rows)
            if (r.at(0).toString() == QString::number(n)) titles << r.at(1).toString();
    if (titles.size() != rows.size()) titles << QStringLiteral("(running numbers with gaps)");
    return titles;
}

void TestUsuarios::rightsRaceBetweenTwoAdministrators_data() {
    QTest::addColumn<bool>("otherChangesRights");
    QTest::newRow("the other one changed the rights") << true;
    QTest::newRow("the other one changed the user row") << false;
}

void TestUsuarios::rightsRaceBetweenTwoAdministrators() {
    QFETCH(bool, otherChangesRights);
    ScriptedDialogs dialogs;
    addUser("00000005", "JOSE", "abc", "0002", {kProcessos, "Tipos de Unidades", kSetoresReport});
    // Two administrators on two workstations open the same user and alter him.
    m_db->openSecondConnection("other");
    UsersForm mine("00000005");
    UsersForm theirs("00000005");
    theirs.form->records()->setConnectionName("other");
    theirs.form->grants()->setConnectionName("other");
    QString error;
    QVERIFY2(theirs.form->reload("00000005", &error), qPrintable(error));
    mine.click("Botao_Alterar");
    theirs.click("Botao_Alterar");
    mine.uncheck({kSetoresReport});
    mine.check({"Empresa"});
    const QStringList myChoice = mine.checked();
    if (otherChangesRights) {
        theirs.uncheck({kProcessos});
        theirs.check({"Setores"});
    } else {
        QVERIFY(theirs.form->records()->setValue("USUARIO", "JOSE DA SILVA"));
    }
    const QStringList theirChoice = theirs.checked();
    theirs.click("Botao_Salvar");
    QVERIFY(!theirs.form->records()->isEditing());
    QCOMPARE(storedTitles("00000005"), theirChoice);

    // The second save would mix both choices: refused, the form still editing what was typed.
    dialogs.expectMessage("Atenção, dados inconsistentes, confirme informações!");
    mine.click("Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(mine.form->records()->isEditing());
    QVERIFY(mine.button("Botao_Salvar")->isEnabled());
    QCOMPARE(mine.form->windowTitle(), QStringLiteral("Usuários - Alterando"));
    QCOMPARE(mine.checked(), myChoice);
    QCOMPARE(mine.form->records()->text("SENHA"), QStringLiteral("abc"));
    QCOMPARE(storedTitles("00000005"), theirChoice);
    QCOMPARE(m_db->scalar("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO='00000005'").toString(),
             otherChangesRights ? QStringLiteral("JOSE") : QStringLiteral("JOSE DA SILVA"));

    // Cancelled and altered again, the form shows what is stored now, and the save that follows
    // stores exactly this administrator's choice.
    mine.click("Botao_Cancelar");
    mine.click("Botao_Alterar");
    QCOMPARE(mine.checked(), theirChoice);
    QCOMPARE(mine.edit("Campo2")->text(),
             otherChangesRights ? QStringLiteral("JOSE") : QStringLiteral("JOSE DA SILVA"));
    mine.uncheck(theirChoice);
    mine.check({"Empresa"});
    mine.click("Botao_Salvar");
    QVERIFY(!mine.form->records()->isEditing());
    QCOMPARE(storedTitles("00000005"), QStringList({"Empresa"}));
    VERIFY_DIALOGS(dialogs);
}

void TestUsuarios::lastWayIntoUserManagement_data() {
    QTest::addColumn<QString>("loggedIn");
    QTest::addColumn<bool>("deletes");        // otherwise he unticks "Usuários..." of 00000001 and saves
    QTest::addColumn<bool>("anotherManager"); // 00000002 may manage users too
    QTest::addColumn<QString>("message");     // empty: done
    const QString self = TFrm_Usuarios::selfDeletionMessage();
    const QString last = TFrm_Usuarios::lastManagerMessage();
    QTest::newRow("deleting himself") << "00000001" << true << true << self;
    QTest::newRow("deleting the last manager") << "00000002" << true << false << last;
    QTest::newRow("unticking his own right, the last") << "00000001" << false << false << last;
    QTest::newRow("unticking his own right, another manager left")
        << "00000001" << false << true << QString();
    QTest::newRow("deleting a manager, another left") << "00000002" << true << true << QString();
}

void TestUsuarios::lastWayIntoUserManagement() {
    QFETCH(QString, loggedIn);
    QFETCH(bool, deletes);
    QFETCH(bool, anotherManager);
    QFETCH(QString, message);
    const QString manage = QStringLiteral("Usuários...");
    QVERIFY(core::grantableTitles().contains(manage));
    addUser("00000002", "ANA", "abc", "0001",
            anotherManager ? QStringList{kProcessos, manage} : QStringList{kProcessos});
    // A record the form's checks let through.
    QVERIFY(
        m_db->exec("UPDATE USUARIOS SET CPF = ?, IDUNIDADE = '0001' WHERE COD_USUARIO = '00000001'", {kCpf}));
    core::currentUser().code = loggedIn;
    auto loggedOut = qScopeGuard([] { core::currentUser() = core::CurrentUser(); });
    ScriptedDialogs dialogs;
    UsersForm w("00000001");
    const QStringList before = storedTitles("00000001");
    if (deletes) {
        // Refused at once, or confirmed and done.
        if (message.isEmpty() || message == TFrm_Usuarios::lastManagerMessage())
            dialogs.expectQuestion("Confirma a Exclusão ?", true);
        if (!message.isEmpty()) dialogs.expectMessage(message);
        w.click("Botao_Excluir");
        VERIFY_DIALOGS(dialogs);
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM USUARIOS WHERE COD_USUARIO='00000001'").toInt(),
                 message.isEmpty() ? 0 : 1);
        QCOMPARE(storedTitles("00000001"), message.isEmpty() ? QStringList() : before);
        QCOMPARE(w.edit("Campo1")->text(), message.isEmpty() ? QString() : QStringLiteral("00000001"));
    } else {
        w.click("Botao_Alterar");
        w.uncheck({manage});
        if (!message.isEmpty()) dialogs.expectMessage(message);
        w.click("Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
        // Refused: still editing, nothing lost; done: the right is gone.
        QCOMPARE(w.form->records()->isEditing(), !message.isEmpty());
        QCOMPARE(storedTitles("00000001").contains(manage), !message.isEmpty());
        QCOMPARE(storedTitles("00000001").size(), before.size() - (message.isEmpty() ? 1 : 0));
        if (!message.isEmpty()) w.click("Botao_Cancelar");
    }
    // Somebody can still manage users.
    QVERIFY(
        m_db->scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS A WHERE A.TITULO = ? AND EXISTS (SELECT 1 FROM "
                     "USUARIOS U WHERE U.COD_USUARIO = A.COD_USUARIO)",
                     {manage})
            .toInt() > 0);
}

void TestUsuarios::twoAdministratorsTakeTheRightFromEachOther_data() {
    QTest::addColumn<bool>("deletes"); // this desk deletes the other manager instead of unticking his right
    QTest::newRow("unticking") << false;
    QTest::newRow("deleting") << true;
}

void TestUsuarios::twoAdministratorsTakeTheRightFromEachOther() {
    QFETCH(bool, deletes);
    const QString manage = core::userManagementTitle();
    addUser("00000002", "ANA", "abc", "0001", {kProcessos, manage});
    QVERIFY(
        m_db->exec("UPDATE USUARIOS SET CPF = ?, IDUNIDADE = '0001' WHERE COD_USUARIO = '00000002'", {kCpf}));
    // 00000002, on another desk, is taking the right from 00000001 as this desk saves: his save
    // has written and not yet committed when this one starts.
    const QString path = m_db->path();
    QSemaphore written;
    bool otherDone = false;
    std::unique_ptr<QThread> other(QThread::create([&] {
        QString error;
        {
            QSqlDatabase db = core::openNamedConnection(QStringLiteral("outra_mesa"), path, &error);
            int before = 0;
            if (db.isOpen() && db.transaction() && core::lockHolders(db, manage, &error) &&
                core::countHolders(db, manage, &before, &error) &&
                core::replaceGrants(db, QStringLiteral("00000001"), {kProcessos}, &error)) {
                written.release();
                QThread::msleep(1500);
                otherDone = db.commit();
            } else {
                written.release();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("outra_mesa"));
    }));
    core::currentUser().code = QStringLiteral("00000001");
    auto loggedOut = qScopeGuard([] { core::currentUser() = core::CurrentUser(); });
    ScriptedDialogs dialogs;
    UsersForm w("00000002");
    if (deletes) {
        dialogs.expectQuestion("Confirma a Exclusão ?", true);
    } else {
        w.click("Botao_Alterar");
        w.uncheck({manage});
    }
    other->start();
    QVERIFY(written.tryAcquire(1, 30000));
    // This save waits for the other desk, then counts what it left: nobody but 00000002.
    dialogs.expectMessage(TFrm_Usuarios::lastManagerMessage());
    w.click(deletes ? "Botao_Excluir" : "Botao_Salvar");
    QVERIFY(other->wait(30000));
    QVERIFY(otherDone);
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedTitles("00000002"), QStringList({kProcessos, manage}));
    QCOMPARE(storedTitles("00000001"), QStringList({kProcessos}));
    if (!deletes) w.click("Botao_Cancelar");
}

void TestUsuarios::passwordShiftOfTheInstallation() {
    // An installation whose passwords were stored with another amount keeps it in its profile:
    // the form and the login both use it.
    const quint16 standard = core::appValues().profile.passwordShift;
    QCOMPARE(standard, routines::kPasswordShift);
    auto restore = qScopeGuard([standard] { core::appValues().profile.passwordShift = standard; });
    core::appValues().profile.passwordShift = 7;
    ScriptedDialogs dialogs;
    QVERIFY(m_db->insert("USUARIOS", {{"COD_USUARIO", "00000005"},
                                      {"USUARIO", "JOSE"},
                                      {"SENHA", routines::scrambleUp("velha", 7)},
                                      {"CONFIRMACAO", routines::scrambleUp("velha", 7)},
                                      {"CPF", kOtherCpf},
                                      {"IDUNIDADE", "0001"}}));
    {
        UsersForm w("00000005");
        w.click("Botao_Alterar");
        QCOMPARE(w.form->records()->text("SENHA"), QStringLiteral("velha"));
        w.enter("Campo3", "nova");
        w.enter("Campo4", "nova");
        w.click("Botao_Salvar");
        QVERIFY(!w.form->records()->isEditing());
    }
    QCOMPARE(m_db->scalar("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO='00000005'").toString(),
             routines::scrambleUp("nova", 7));

    app::TFrm_Senha login;
    login.show();
    login.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&login));
    auto* code = child<QLineEdit>(&login, "Campo1");
    code->setFocus();
    typeText(code, "5");
    QTest::keyClick(code, Qt::Key_Tab);
    typeText(child<QLineEdit>(&login, "Campo2"), "nova");
    QTest::mouseClick(child<QPushButton>(&login, "Botao_Entrar"), Qt::LeftButton);
    QCOMPARE(login.result(), int(QDialog::Accepted));
    QCOMPARE(core::currentUser().code, QStringLiteral("00000005"));
    core::currentUser() = core::CurrentUser();
    VERIFY_DIALOGS(dialogs);
}

QTEST_MAIN(TestUsuarios)
#include "tst_usuarios.moc"
