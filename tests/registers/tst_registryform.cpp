#include "core/menucommands.h"
#include "forms/common/fieldbinder.h"
#include "forms/common/formwindow.h"
#include "forms/common/registryform.h"
#include "forms/registers/interessados.h"
#include "forms/registers/registers.h"
#include "forms/registers/setores.h"
#include "forms/registers/tiposprocessos.h"
#include "forms/registers/tipounidade.h"
#include "forms/registers/unidades.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"
#include "tests/support/typing.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <functional>
#include <memory>

using forms::RecordSet;
using forms::RegistryForm;
using testsupport::child;
using testsupport::click;
using testsupport::edit;
using testsupport::retype;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

// The members of the pattern and what each must show; a new register adds its row here.
struct Member {
    QString tag;
    QString menuTitle;
    std::function<RegistryForm*()> make;
    std::function<bool()> referenceSet;
    QString formName;
    QString title;
    QString table;
    QString codeField;
    QString nameField;
    int width;
    QString nameMessage;
    QStringList moreEdits = {}; // edits after Campo2, in tab order
    bool codeZeroFill = false;  // a typed or cleared code is padded with "0" to the width
    // What a save needs besides the name (the code of an existing unit type or unit), given in
    // insert or edit; the referenced row is created when missing.
    std::function<void(TestDatabase&, RecordSet*)> fillOthers = {};
    bool nameKeepsCase = false; // the name is stored as typed instead of in upper case
};

// Gives the record a reference to a row of another table that exists.
std::function<void(TestDatabase&, RecordSet*)> referTo(const QString& table, const QVariantMap& row,
                                                       const QString& field, const QString& typed) {
    return [=](TestDatabase& db, RecordSet* records) {
        const QString key = row.firstKey();
        if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(table, key),
                      {row.value(key)})
                .toInt() == 0)
            db.insert(table, row);
        records->setValue(field, typed);
    };
}

const QList<Member>& members() {
    static const QList<Member> list{
        {"TiposProcessos",
         "Tipos de Processos",
         [] { return new registers::TFrm_TiposProcessos(nullptr); },
         [] { return !registers::Frm_TiposProcessos.isNull(); },
         "Frm_TiposProcessos",
         "Tipos de Processos",
         "TIPOPROCESSO",
         "IDTIPO",
         "TIPO",
         4,
         "Atenção,\rprocedimento cancelado, Tipo Processo não informado!",
         {"Campo3"}},
        {"TipoUnidade", "Tipo/Unidade", [] { return new registers::TFrm_TipoUnidade(nullptr); },
         [] { return !registers::Frm_TipoUnidade.isNull(); }, "Frm_TipoUnidade", "Tipo/Unidade",
         "TIPOUNIDADE", "IDTIPO", "TIPO", 2, "Atenção,\rprocedimento cancelado, Tipo Unidade não informado!"},
        {"Interessados",
         "Requerentes/Titulares",
         [] { return new registers::TFrm_Interessados(nullptr); },
         [] { return !registers::Frm_Interessados.isNull(); },
         "Frm_Interessados",
         "Requerentes / Titulares",
         "INTERESSADOS",
         "IDINTERESSADO",
         "INTERESSADO",
         6,
         "Atenção,\rprocedimento cancelado, Requerente/Titular não informado!",
         {"Campo3", "Campo4", "Campo5", "Campo6", "Campo7", "Campo8", "Campo9", "Campo10", "Campo11",
          "Campo12", "Campo13", "Campo14", "Campo15", "Campo16", "Campo17"},
         true},
        {"Unidades",
         "Unidades Orçamentárias",
         [] { return new registers::TFrm_Unidades(nullptr); },
         [] { return !registers::Frm_Unidades.isNull(); },
         "Frm_Unidades",
         "Unidades",
         "UNIDADES",
         "IDUNIDADE",
         "UNIDADE",
         4,
         "Atenção,\rprocedimento cancelado, Unidade não informada!",
         {"Campo3", "Campo4"},
         true,
         referTo("TIPOUNIDADE", {{"IDTIPO", "01"}, {"TIPO", "ADMINISTRACAO DIRETA"}}, "TIPO_UNIDADE", "1")},
        {"Setores",
         "Setores",
         [] { return new registers::TFrm_Setores(nullptr); },
         [] { return !registers::Frm_Setores.isNull(); },
         "Frm_Setores",
         "Setores",
         "SETORES",
         "IDSETOR",
         "SETOR",
         6,
         "Atenção,\rprocedimento cancelado, Setor não informado!",
         {"Campo3"},
         true,
         referTo("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "GABINETE"}}, "IDUNIDADE", "1"),
         true},
    };
    return list;
}

void addMemberRows() {
    QTest::addColumn<int>("member");
    for (int i = 0; i < members().size(); ++i)
        QTest::newRow(qPrintable(members().at(i).tag)) << i;
}

int memberIndex(const QString& tag) {
    for (int i = 0; i < members().size(); ++i)
        if (members().at(i).tag == tag) return i;
    return -1;
}

// After Incluir or Alterar: the fields other than the name that a save needs.
void fillOthers(TestDatabase& db, const Member& m, RegistryForm* f) {
    if (m.fillOthers) m.fillOthers(db, f->records());
}

void insertRow(TestDatabase& db, const Member& m, const QString& code, const QString& name) {
    db.insert(m.table, {{m.codeField, code}, {m.nameField, name}});
}

QString storedName(TestDatabase& db, const Member& m, const QString& code) {
    return db
        .scalar(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(m.nameField, m.table, m.codeField),
                {code})
        .toString();
}

int storedCount(TestDatabase& db, const Member& m) {
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(m.table)).toInt();
}

std::unique_ptr<RegistryForm> openForm(const Member& m, const QString& connection = QString()) {
    std::unique_ptr<RegistryForm> f(m.make());
    if (!connection.isEmpty()) f->records()->setConnectionName(connection);
    QString error;
    if (!f->reload(&error)) qWarning("reload: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

bool enabled(RegistryForm* f, const char* name) {
    return f->control(QString::fromLatin1(name))->isEnabled();
}

} // namespace

class TestRegistryForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openedFromMenuAndDestroyedWhenClosed_data() { addMemberRows(); }
    void openedFromMenuAndDestroyedWhenClosed();
    void layoutOfTheWindow_data() { addMemberRows(); }
    void layoutOfTheWindow();
    void firstCodeOnEmptyTable_data() { addMemberRows(); }
    void firstCodeOnEmptyTable();
    void nextCodeAfterStoredCodes_data();
    void nextCodeAfterStoredCodes();
    void stateTable_data();
    void stateTable();
    void saveChecksThenSaves_data() { addMemberRows(); }
    void saveChecksThenSaves();
    void alterationOpensOnlyTheName_data() { addMemberRows(); }
    void alterationOpensOnlyTheName();
    void clearedCodeCannotBePosted_data() { addMemberRows(); }
    void clearedCodeCannotBePosted();
    void applyFailureThenCancelThenAnotherSave_data() { addMemberRows(); }
    void applyFailureThenCancelThenAnotherSave();
    void refusedAlterationIsUndoneByCancel_data() { addMemberRows(); }
    void refusedAlterationIsUndoneByCancel();
    void duplicateCodeRaceBetweenTwoWorkstations_data() { addMemberRows(); }
    void duplicateCodeRaceBetweenTwoWorkstations();
    void codeOverflowIsRefused_data() { addMemberRows(); }
    void codeOverflowIsRefused();
    void quoteStoredAsTyped_data() { addMemberRows(); }
    void quoteStoredAsTyped();
    void deletion_data() { addMemberRows(); }
    void deletion();
    void deletionRefusedByDatabaseIsUndoneSilently_data() { addMemberRows(); }
    void deletionRefusedByDatabaseIsUndoneSilently();
    void searchBeforeChoosingAColumn();
    void columnChoiceAndNearestKeySearch();
    void enterMovesFocusToTheNextControl();
    void doubleClickShowsTheEditingTab();
};

void TestRegistryForm::initTestCase() {
    registers::registerMenuCommands();
}

void TestRegistryForm::openedFromMenuAndDestroyedWhenClosed() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRow(db, m, QString(m.width, '0').replace(m.width - 1, 1, '1'), "PRIMEIRO");
    QVERIFY(core::menuCommands().contains(m.menuTitle));
    bool sawOpen = false;
    testsupport::onNextModal([&](QWidget* w) {
        // A failed check must not leave the modal window open.
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        auto* f = qobject_cast<RegistryForm*>(w);
        QVERIFY(f);
        sawOpen = true;
        QCOMPARE(f->objectName(), m.formName);
        QVERIFY(m.referenceSet());
        QCOMPARE(f->windowTitle(), m.title);
        QCOMPARE(child<QLabel>(f, "Titulo")->text(), m.title);
        QVERIFY(!child<QLabel>(f, "Titulo")->isVisible());
        QCOMPARE(f->records()->rowCount(), 1);
        QCOMPARE(f->pages()->currentIndex(), 0);
        QCOMPARE(f->focusWidget(), child<QPushButton>(f, "Botao_Incluir"));
        // Escape does nothing. The title bar's close request is the window's Fechar: while a
        // record is being edited it is refused with a reason, and otherwise closes as Fechar does.
        QTest::keyClick(f, Qt::Key_Escape);
        QVERIFY(f->isVisible());
        QTest::mouseClick(child<QPushButton>(f, "Botao_Alterar"), Qt::LeftButton);
        {
            ScriptedDialogs dialogs;
            dialogs.expectMessage("Conclua ou cancele a operação em andamento antes de fechar esta janela.");
            f->close();
            QCoreApplication::processEvents();
            QVERIFY(f->isVisible());
            VERIFY_DIALOGS(dialogs);
        }
        QTest::mouseClick(child<QPushButton>(f, "Botao_Cancelar"), Qt::LeftButton);
        f->close();
        QVERIFY(f->isVisible()); // the press is queued behind the window system's event
        QTRY_VERIFY(!f->isVisible());
        closeAnyway.dismiss();
    });
    QVERIFY(core::menuCommands().open(m.menuTitle, nullptr));
    QVERIFY(sawOpen);
    QVERIFY(!m.referenceSet());
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(w->objectName() != m.formName);
}

void TestRegistryForm::layoutOfTheWindow() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    for (int i = 1; i <= 12; ++i)
        insertRow(db, m, QString::number(i).rightJustified(m.width, '0'),
                  QStringLiteral("TIPO DE EXEMPLO NUMERO %1").arg(i));
    auto f = openForm(m);
    auto* pages = f->pages();
    QCOMPARE(pages->objectName(), QStringLiteral("PageControl1"));
    QCOMPARE(pages->count(), 2);
    QCOMPARE(pages->tabText(0), QStringLiteral("Unidades"));
    QCOMPARE(pages->tabText(1), QStringLiteral("Pesquisa"));
    QCOMPARE(pages->widget(0)->objectName(), QStringLiteral("TabSheet1"));
    QCOMPARE(pages->widget(1)->objectName(), QStringLiteral("TabSheet2"));
    // The buttons: captions, a column at the left, top to bottom.
    const QList<std::pair<const char*, const char*>> buttons{
        {"Botao_Incluir", "&Incluir"},   {"Botao_Salvar", "&Salvar"},   {"Botao_Alterar", "&Alterar"},
        {"Botao_Cancelar", "&Cancelar"}, {"Botao_Excluir", "&Excluir"}, {"Botao_Fechar", "&Fechar"}};
    int lastY = -1;
    for (const auto& [name, caption] : buttons) {
        auto* b = child<QPushButton>(f.get(), name);
        QCOMPARE(b->text(), QString::fromUtf8(caption));
        QVERIFY(b->y() > lastY);
        QVERIFY(b->geometry().right() < edit(f.get(), "Campo1")->x());
        lastY = b->y();
    }
    auto* hidden = child<QPushButton>(f.get(), "AtivaDesativaBotoes");
    QCOMPARE(hidden->text(), QStringLiteral("Ativa Desativa Botões"));
    QVERIFY(!hidden->isVisible());
    // Each edit under its caption label, which is its buddy; Campo2 below Campo1.
    for (const char* name : {"Campo1", "Campo2"}) {
        auto* e = edit(f.get(), name);
        auto* label = child<QLabel>(f.get(), QStringLiteral("L") + name);
        QCOMPARE(label->buddy(), e);
        QCOMPARE(label->x(), e->x());
        QVERIFY(label->geometry().bottom() <= e->y());
        QVERIFY(e->geometry().right() < pages->width());
    }
    QVERIFY(edit(f.get(), "Campo2")->y() > edit(f.get(), "Campo1")->y());
    QCOMPARE(edit(f.get(), "Campo1")->maxLength(), m.width);
    QCOMPARE(edit(f.get(), "Campo2")->maxLength(), 100);
    // Tab order: the edits, then Salvar, Incluir, Alterar, Cancelar, Excluir, Fechar.
    const QStringList expectedChain = QStringList{"Campo1", "Campo2"} + m.moreEdits +
                                      QStringList{"Botao_Salvar",   "Botao_Incluir", "Botao_Alterar",
                                                  "Botao_Cancelar", "Botao_Excluir", "Botao_Fechar"};
    QStringList chain;
    QWidget* w = edit(f.get(), "Campo1");
    for (int i = 0; i < expectedChain.size(); ++i, w = w->nextInFocusChain()) {
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible())
            w = w->nextInFocusChain();
        chain << w->objectName();
    }
    QCOMPARE(chain, expectedChain);
    // The list: grid read-only, skipped by Tab, with the member's column titles.
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    QCOMPARE(grid->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Código"));
    QCOMPARE(grid->model()->rowCount(), 12);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe"));

    // A picture of both tabs, for looking at.
    if (const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        click(f.get(), "Botao_Alterar");
        QVERIFY(f->grab().save(dir + "/" + m.formName + "-editing.png"));
        click(f.get(), "Botao_Cancelar");
        pages->setCurrentIndex(1);
        grid->horizontalHeader()->sectionClicked(1);
        QTest::keyClicks(child<QLineEdit>(f.get(), "PROCURA"), "TIPO DE EXEMPLO NUMERO 5");
        QVERIFY(f->grab().save(dir + "/" + m.formName + "-list.png"));
    }
}

void TestRegistryForm::firstCodeOnEmptyTable() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    auto f = openForm(m);
    QVERIFY(enabled(f.get(), "Botao_Incluir"));
    QVERIFY(enabled(f.get(), "Botao_Fechar"));
    for (const char* off : {"Botao_Salvar", "Botao_Alterar", "Botao_Cancelar", "Botao_Excluir"})
        QVERIFY2(!enabled(f.get(), off), off);
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QString(m.width - 1, '0') + "1");
    QVERIFY(edit(f.get(), "Campo1")->hasFocus());
    QCOMPARE(f->windowTitle(), m.title + " - Incluindo");
}

void TestRegistryForm::nextCodeAfterStoredCodes_data() {
    QTest::addColumn<int>("member");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("TiposProcessos 0001..0012") << 0 << QStringList{"0001", "0002", "0012"} << "0013";
    QTest::newRow("TiposProcessos typed 25 is greatest in text order")
        << 0 << QStringList{"0001", "0030", "25"} << "0026";
    QTest::newRow("TiposProcessos 0099 to 0100") << 0 << QStringList{"0099"} << "0100";
    QTest::newRow("TipoUnidade 01..12") << 1 << QStringList{"01", "12"} << "13";
    QTest::newRow("TipoUnidade typed 5 proposes 06 even when 06 exists")
        << 1 << QStringList{"06", "5"} << "06";
    QTest::newRow("Unidades 0001..0009") << memberIndex("Unidades") << QStringList{"0001", "0009"} << "0010";
    QTest::newRow("Setores 000099 to 000100")
        << memberIndex("Setores") << QStringList{"000001", "000099"} << "000100";
}

void TestRegistryForm::nextCodeAfterStoredCodes() {
    QFETCH(int, member);
    QFETCH(QStringList, stored);
    QFETCH(QString, proposed);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    for (const QString& c : stored)
        insertRow(db, m, c, "X" + c);
    auto f = openForm(m);
    click(f.get(), "Botao_Incluir");
    QCOMPARE(f->records()->text(m.codeField), proposed);
    QCOMPARE(edit(f.get(), "Campo1")->text(), proposed);
}

void TestRegistryForm::stateTable_data() {
    QTest::addColumn<int>("member");
    QTest::addColumn<QString>("state");
    // Incluir Salvar Alterar Cancelar Excluir Fechar Grid Procura Campo1 Campo2, as 0/1
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("caption");
    for (int i = 0; i < members().size(); ++i) {
        const Member& m = members().at(i);
        QTest::addRow("%s browse, no records", qPrintable(m.tag)) << i << "empty"
                                                                  << "1000011100" << m.title;
        QTest::addRow("%s browse, records", qPrintable(m.tag)) << i << "browse"
                                                               << "1010111100" << m.title;
        QTest::addRow("%s insert", qPrintable(m.tag)) << i << "insert"
                                                      << "0101000011" << m.title + " - Incluindo";
        QTest::addRow("%s edit", qPrintable(m.tag)) << i << "edit"
                                                    << "0101000001" << m.title + " - Alterando";
    }
}

void TestRegistryForm::stateTable() {
    QFETCH(int, member);
    QFETCH(QString, state);
    QFETCH(QString, expected);
    QFETCH(QString, caption);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    if (state != "empty") insertRow(db, m, QString(m.width, '0').replace(m.width - 1, 1, '1'), "PRIMEIRO");
    auto f = openForm(m);
    if (state == "insert") click(f.get(), "Botao_Incluir");
    if (state == "edit") click(f.get(), "Botao_Alterar");
    QString seen;
    for (const char* b : {"Botao_Incluir", "Botao_Salvar", "Botao_Alterar", "Botao_Cancelar", "Botao_Excluir",
                          "Botao_Fechar", "DBGrid1", "PROCURA"})
        seen += enabled(f.get(), b) ? '1' : '0';
    for (const char* e : {"Campo1", "Campo2"})
        seen += forms::looksEditable(edit(f.get(), e)) ? '1' : '0';
    QCOMPARE(seen, expected);
    // The search box is white exactly when enabled; read-only edits are silver.
    const QColor procura = child<QLineEdit>(f.get(), "PROCURA")->palette().color(QPalette::Base);
    QCOMPARE(procura, expected.at(7) == '1' ? forms::whiteColour() : forms::silverColour());
    for (const char* e : {"Campo1", "Campo2"}) {
        QLineEdit* w = edit(f.get(), e);
        QCOMPARE(w->palette().color(QPalette::Base),
                 w->isReadOnly() ? forms::silverColour() : forms::whiteColour());
    }
    QCOMPARE(f->windowTitle(), caption);
}

void TestRegistryForm::saveChecksThenSaves() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    ScriptedDialogs dialogs;
    auto f = openForm(m);
    click(f.get(), "Botao_Incluir");
    fillOthers(db, m, f.get());
    const QString code = edit(f.get(), "Campo1")->text();
    dialogs.expectMessage(m.nameMessage);
    click(f.get(), "Botao_Salvar");
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QVERIFY(edit(f.get(), "Campo2")->hasFocus());
    QCOMPARE(storedCount(db, m), 0);
    testsupport::typeText(edit(f.get(), "Campo2"), "certidão negativa");
    const QString name =
        m.nameKeepsCase ? QStringLiteral("certidão negativa") : QStringLiteral("CERTIDÃO NEGATIVA");
    QCOMPARE(edit(f.get(), "Campo2")->text(), name);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedName(db, m, code), name);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(f->windowTitle(), m.title);
    QVERIFY(child<QPushButton>(f.get(), "Botao_Incluir")->hasFocus());
    QCOMPARE(child<QTableView>(f.get(), "DBGrid1")->model()->rowCount(), 1);
}

void TestRegistryForm::alterationOpensOnlyTheName() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    const QString code = QString(m.width, '0').replace(m.width - 1, 1, '1');
    insertRow(db, m, code, "ANTIGO");
    auto f = openForm(m);
    click(f.get(), "Botao_Alterar");
    QVERIFY(edit(f.get(), "Campo1")->isReadOnly());
    QVERIFY(edit(f.get(), "Campo2")->hasFocus());
    // Typing into the read-only code changes nothing.
    QTest::keyClicks(edit(f.get(), "Campo1"), "9");
    fillOthers(db, m, f.get());
    retype(f.get(), "Campo2", "NOVO NOME");
    click(f.get(), "Botao_Salvar");
    QCOMPARE(storedName(db, m, code), QStringLiteral("NOVO NOME"));
    QCOMPARE(storedCount(db, m), 1);
    // Cancelling an alteration gives the old values back.
    click(f.get(), "Botao_Alterar");
    retype(f.get(), "Campo2", "DESCARTADO");
    click(f.get(), "Botao_Cancelar");
    QCOMPARE(edit(f.get(), "Campo2")->text(), QStringLiteral("NOVO NOME"));
    QCOMPARE(storedName(db, m, code), QStringLiteral("NOVO NOME"));
}

void TestRegistryForm::clearedCodeCannotBePosted() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    ScriptedDialogs dialogs;
    auto f = openForm(m);
    click(f.get(), "Botao_Incluir");
    fillOthers(db, m, f.get());
    retype(f.get(), "Campo1", "");
    retype(f.get(), "Campo2", "SEM CODIGO");
    if (m.codeZeroFill) {
        // Code zero-fill turns the cleared code into zeros, which is a code like any other.
        click(f.get(), "Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
        QCOMPARE(storedName(db, m, QString(m.width, '0')), QStringLiteral("SEM CODIGO"));
        return;
    }
    dialogs.expectMessage("Atenção, dados inconsistentes, registro já existente!");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QVERIFY(enabled(f.get(), "Botao_Salvar"));
    QCOMPARE(storedCount(db, m), 0);
}

void TestRegistryForm::applyFailureThenCancelThenAnotherSave() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    const QString existing = QString(m.width, '0').replace(m.width - 1, 1, '1');
    insertRow(db, m, existing, "EXISTENTE");
    ScriptedDialogs dialogs;
    auto f = openForm(m);
    click(f.get(), "Botao_Incluir");
    fillOthers(db, m, f.get());
    retype(f.get(), "Campo1", existing); // overwrites the proposal with a stored code
    retype(f.get(), "Campo2", "REPETIDO");
    dialogs.expectMessage("Atenção, dados inconsistentes, confirme informações!");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    // Back in edit, the buttons keep their layout (no state refresh).
    QCOMPARE(f->records()->state(), RecordSet::State::Edit);
    QVERIFY(enabled(f.get(), "Botao_Salvar"));
    QVERIFY(enabled(f.get(), "Botao_Cancelar"));
    QVERIFY(!enabled(f.get(), "Botao_Fechar"));
    QCOMPARE(f->windowTitle(), m.title + " - Incluindo");

    click(f.get(), "Botao_Cancelar");
    // The refused row does not linger: the list shows what the database holds.
    QCOMPARE(f->records()->rowCount(), 1);
    QVERIFY(!f->records()->hasPendingChanges());
    QCOMPARE(f->records()->text(m.nameField), QStringLiteral("EXISTENTE"));
    QCOMPARE(child<QTableView>(f.get(), "DBGrid1")->model()->rowCount(), 1);

    // And a later save of another record goes through without any message.
    click(f.get(), "Botao_Incluir");
    fillOthers(db, m, f.get());
    const QString next = edit(f.get(), "Campo1")->text();
    retype(f.get(), "Campo2", "OUTRO");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(storedName(db, m, next), QStringLiteral("OUTRO"));
    QCOMPARE(storedName(db, m, existing), QStringLiteral("EXISTENTE"));
    QCOMPARE(storedCount(db, m), 2);
}

void TestRegistryForm::refusedAlterationIsUndoneByCancel() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    db.exec("CREATE EXCEPTION E_RECUSADO 'alteracao recusada'");
    db.exec(QStringLiteral(
                "CREATE TRIGGER NAO_ALTERA FOR %1 BEFORE UPDATE AS BEGIN IF (NEW.%2 = 'PROIBIDO') THEN "
                "EXCEPTION E_RECUSADO; END")
                .arg(m.table, m.nameField));
    const QString code = QString(m.width - 1, '0') + "1";
    insertRow(db, m, code, "ORIGINAL");
    ScriptedDialogs dialogs;
    auto f = openForm(m);
    click(f.get(), "Botao_Alterar");
    fillOthers(db, m, f.get());
    retype(f.get(), "Campo2", "PROIBIDO");
    dialogs.expectMessage("Atenção, dados inconsistentes, confirme informações!");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Edit);
    QCOMPARE(f->windowTitle(), m.title + " - Alterando");
    click(f.get(), "Botao_Cancelar");
    QCOMPARE(edit(f.get(), "Campo2")->text(), QStringLiteral("ORIGINAL"));
    QCOMPARE(child<QTableView>(f.get(), "DBGrid1")->model()->index(0, 1).data().toString(),
             QStringLiteral("ORIGINAL"));
    QVERIFY(!f->records()->hasPendingChanges());
    // A later alteration sends only itself.
    click(f.get(), "Botao_Alterar");
    fillOthers(db, m, f.get());
    retype(f.get(), "Campo2", "PERMITIDO");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedName(db, m, code), QStringLiteral("PERMITIDO"));
}

void TestRegistryForm::duplicateCodeRaceBetweenTwoWorkstations() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    db.openSecondConnection("estacao2");
    ScriptedDialogs dialogs;
    auto first = openForm(m);
    auto second = openForm(m, "estacao2");
    click(first.get(), "Botao_Incluir");
    click(second.get(), "Botao_Incluir");
    fillOthers(db, m, first.get());
    fillOthers(db, m, second.get());
    QCOMPARE(edit(second.get(), "Campo1")->text(), edit(first.get(), "Campo1")->text());
    const QString code = edit(first.get(), "Campo1")->text();
    retype(first.get(), "Campo2", "DA PRIMEIRA");
    retype(second.get(), "Campo2", "DA SEGUNDA");
    click(first.get(), "Botao_Salvar");
    dialogs.expectMessage("Atenção, dados inconsistentes, confirme informações!");
    click(second.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedName(db, m, code), QStringLiteral("DA PRIMEIRA"));
    QCOMPARE(storedCount(db, m), 1);
    QCOMPARE(second->records()->state(), RecordSet::State::Edit);
    // The second workstation takes the next free code and saves.
    retype(second.get(), "Campo1", QString::number(code.toInt() + 1).rightJustified(m.width, '0'));
    click(second.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedCount(db, m), 2);
    QCOMPARE(storedName(db, m, code), QStringLiteral("DA PRIMEIRA"));
}

void TestRegistryForm::codeOverflowIsRefused() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    const QString greatest(m.width, '9');
    insertRow(db, m, greatest, "ULTIMO");
    ScriptedDialogs dialogs;
    auto f = openForm(m);
    const QString next = "1" + QString(m.width, '0');
    dialogs.expectMessage(
        QStringLiteral("Atenção,\rprocedimento cancelado, o próximo código (%1) excede os %2 dígitos "
                       "do código deste cadastro!")
            .arg(next)
            .arg(m.width));
    click(f.get(), "Botao_Incluir");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(f->records()->rowCount(), 1);
    QVERIFY(enabled(f.get(), "Botao_Incluir"));
    QCOMPARE(f->windowTitle(), m.title);
}

void TestRegistryForm::quoteStoredAsTyped() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    auto f = openForm(m);
    click(f.get(), "Botao_Incluir");
    fillOthers(db, m, f.get());
    const QString code = edit(f.get(), "Campo1")->text();
    QTest::keyClicks(edit(f.get(), "Campo2"), "D'AVILA' OR '1'='1");
    click(f.get(), "Botao_Salvar");
    QCOMPARE(storedName(db, m, code), QStringLiteral("D'AVILA' OR '1'='1"));
}

void TestRegistryForm::deletion() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    ScriptedDialogs dialogs;
    {
        auto f = openForm(m);
        dialogs.expectMessage("Atenção, não existe registro para exclusão");
        f->Botao_ExcluirClick(); // the button is disabled on an empty list; the handler still guards
        VERIFY_DIALOGS(dialogs);
    }
    const QString code = QString(m.width, '0').replace(m.width - 1, 1, '1');
    insertRow(db, m, code, "APAGAR");
    auto f = openForm(m);
    dialogs.expectQuestion("Confirma a Exclusão ?", false);
    click(f.get(), "Botao_Excluir");
    QCOMPARE(dialogs.lastQuestionDefault(), core::DialogService::DefaultButton::No);
    QCOMPARE(storedCount(db, m), 1);
    QCOMPARE(f->records()->rowCount(), 1);
    dialogs.expectQuestion("Confirma a Exclusão ?", true);
    click(f.get(), "Botao_Excluir");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedCount(db, m), 0);
    QCOMPARE(f->records()->rowCount(), 0);
    QVERIFY(!enabled(f.get(), "Botao_Excluir"));
    QVERIFY(!enabled(f.get(), "Botao_Alterar"));
}

void TestRegistryForm::deletionRefusedByDatabaseIsUndoneSilently() {
    QFETCH(int, member);
    const Member& m = members().at(member);
    TestDatabase db;
    QVERIFY_DB(db);
    db.exec("CREATE EXCEPTION E_REFERENCIADO 'registro ainda referenciado'");
    db.exec(QStringLiteral("CREATE TRIGGER NAO_APAGA FOR %1 BEFORE DELETE AS BEGIN IF (OLD.%2 = '%3') THEN "
                           "EXCEPTION E_REFERENCIADO; END")
                .arg(m.table, m.codeField, QString(m.width - 1, '0') + "2"));
    for (int i = 1; i <= 3; ++i)
        insertRow(db, m, QString(m.width - 1, '0') + QString::number(i), QStringLiteral("TIPO %1").arg(i));
    ScriptedDialogs dialogs; // no message besides the question
    auto f = openForm(m);
    f->records()->setCurrentRow(1);
    dialogs.expectQuestion("Confirma a Exclusão ?", true);
    click(f.get(), "Botao_Excluir");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedCount(db, m), 3);
    QCOMPARE(f->records()->rowCount(), 3);
    QVERIFY(!f->records()->hasPendingChanges());
    QCOMPARE(f->records()->text(m.nameField), QStringLiteral("TIPO 2"));
    QVERIFY(enabled(f.get(), "Botao_Excluir"));
    // Another deletion afterwards is not dragged down by the refused one.
    f->records()->setCurrentRow(2);
    dialogs.expectQuestion("Confirma a Exclusão ?", true);
    click(f.get(), "Botao_Excluir");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedCount(db, m), 2);
}

void TestRegistryForm::searchBeforeChoosingAColumn() {
    TestDatabase db;
    QVERIFY_DB(db);
    insertRow(db, members().at(0), "0001", "A");
    ScriptedDialogs dialogs;
    auto f = openForm(members().at(0));
    f->pages()->setCurrentIndex(1);
    auto* procura = child<QLineEdit>(f.get(), "PROCURA");
    dialogs.expectMessage("Tipo de Informação incompatível com campo selecionado");
    QTest::keyClicks(procura, "1");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(procura->text(), QString());
}

void TestRegistryForm::columnChoiceAndNearestKeySearch() {
    const Member& m = members().at(0);
    TestDatabase db;
    QVERIFY_DB(db);
    const QList<std::pair<QString, QString>> rows{
        {"0001", "BAIXA"}, {"0003", "REQUERIMENTO"}, {"0012", "CERTIDAO"}, {"0040", "ALVARA"}};
    for (const auto& [code, name] : rows)
        insertRow(db, m, code, name);
    auto f = openForm(m);
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    auto* procura = child<QLineEdit>(f.get(), "PROCURA");
    ScriptedDialogs dialogs;
    grid->horizontalHeader()->sectionClicked(1);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe Tipo Processo"));
    QCOMPARE(procura->text(), QString());
    QVERIFY(procura->hasFocus());
    QCOMPARE(grid->model()->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), forms::whiteColour());
    QCOMPARE(grid->model()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), forms::silverColour());
    // Ordered by name now: ALVARA, BAIXA, CERTIDAO, REQUERIMENTO.
    QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("ALVARA"));
    QTest::keyClicks(procura, "ce");
    QCOMPARE(procura->text(), QStringLiteral("CE"));
    QCOMPARE(f->records()->text("TIPO"), QStringLiteral("CERTIDAO"));
    QCOMPARE(grid->currentIndex().row(), 2);

    grid->horizontalHeader()->sectionClicked(0);
    QCOMPARE(child<QLabel>(f.get(), "LProcura")->text(), QStringLiteral("Informe Código"));
    QTest::keyClicks(procura, "0003");
    QCOMPARE(f->records()->text("IDTIPO"), QStringLiteral("0003"));
    // No padding in this register: 3 lies after every code beginning with 0, past the end here.
    procura->clear();
    QTest::keyClicks(procura, "3");
    QCOMPARE(f->records()->text("IDTIPO"), QStringLiteral("0040"));
    VERIFY_DIALOGS(dialogs);
}

void TestRegistryForm::enterMovesFocusToTheNextControl() {
    const Member& m = members().at(0);
    TestDatabase db;
    QVERIFY_DB(db);
    auto f = openForm(m);
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    click(f.get(), "Botao_Incluir");
    QVERIFY(edit(f.get(), "Campo1")->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(edit(f.get(), "Campo2")->hasFocus());
    QTest::keyClicks(edit(f.get(), "Campo2"), "ALVARA");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    for (const QString& more : m.moreEdits) {
        QVERIFY(edit(f.get(), qPrintable(more))->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    }
    QVERIFY(child<QPushButton>(f.get(), "Botao_Salvar")->hasFocus());
    QCOMPARE(f->records()->state(), RecordSet::State::Insert); // Enter in an edit never saves
    // Enter on the focused button presses it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(storedName(db, m, "0001"), QStringLiteral("ALVARA"));
}

void TestRegistryForm::doubleClickShowsTheEditingTab() {
    const Member& m = members().at(0);
    TestDatabase db;
    QVERIFY_DB(db);
    insertRow(db, m, "0001", "PRIMEIRO");
    insertRow(db, m, "0002", "SEGUNDO");
    auto f = openForm(m);
    f->pages()->setCurrentIndex(1);
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    const QRect second = grid->visualRect(grid->model()->index(1, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(f->pages()->currentIndex(), 0);
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("0002"));
    QCOMPARE(edit(f.get(), "Campo2")->text(), QStringLiteral("SEGUNDO"));
}

QTEST_MAIN(TestRegistryForm)
#include "tst_registryform.moc"
