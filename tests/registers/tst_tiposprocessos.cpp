// The process types register's deadline, "Prazo (dias)": kept in a table of its own beside the
// type, written with the type in one transaction, cleared to mean "no deadline", refused when it
// is not a whole number of days, and gone with the type when the type is deleted.
#include "forms/common/recordset.h"
#include "forms/registers/tiposprocessos.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <memory>

using registers::TFrm_TiposProcessos;
using testsupport::child;
using testsupport::click;
using testsupport::edit;
using testsupport::nextTabStop;
using testsupport::retype;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

std::unique_ptr<TFrm_TiposProcessos> openForm() {
    auto f = std::make_unique<TFrm_TiposProcessos>(nullptr);
    QString error;
    if (!f->reload(&error)) qWarning("reload: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

// The stored deadline of a type: its days, or invalid when the type has none.
QVariant storedDays(TestDatabase& db, const QString& type) {
    return db.scalar(QStringLiteral("SELECT DIAS FROM PRAZOS_TIPOPROCESSO WHERE IDTIPO = ?"), {type});
}

// Puts the current type into editing and types a deadline.
void alterDeadline(TFrm_TiposProcessos* f, const QString& days) {
    click(f, "Botao_Alterar");
    retype(f, "Campo3", days);
}

} // namespace

class TestTiposProcessos : public QObject {
    Q_OBJECT
private slots:
    void deadlineFieldBesideTheName();
    void newTypeSavedWithItsDeadline();
    void deadlineChangedAndCleared();
    void refusesWhatIsNotAWholeNumberOfDays_data();
    void refusesWhatIsNotAWholeNumberOfDays();
    void refusedTypeWritesNoDeadline();
    void deletingTheTypeRemovesItsDeadline();
};

void TestTiposProcessos::deadlineFieldBesideTheName() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARA"}});
    db.insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0001"}, {"DIAS", 15}});
    auto f = openForm();
    QLineEdit* prazo = edit(f.get(), "Campo3");
    QCOMPARE(child<QLabel>(f.get(), "LCampo3")->text(), QStringLiteral("Prazo (dias)"));
    QCOMPARE(child<QLabel>(f.get(), "LCampo3")->buddy(), prazo);
    QCOMPARE(nextTabStop(edit(f.get(), "Campo2")), prazo);
    QCOMPARE(prazo->maxLength(), 4);
    QCOMPARE(prazo->text(), QStringLiteral("15"));
    // Browsing: read-only like the other edits; altering opens it with the name.
    QVERIFY(prazo->isReadOnly());
    click(f.get(), "Botao_Alterar");
    QVERIFY(!prazo->isReadOnly());
    QVERIFY(edit(f.get(), "Campo1")->isReadOnly());
}

void TestTiposProcessos::newTypeSavedWithItsDeadline() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARA"}});
    auto f = openForm();
    ScriptedDialogs dialogs;
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("0002"));
    retype(f.get(), "Campo2", QStringLiteral("certidão"));
    retype(f.get(), "Campo3", QStringLiteral("30"));
    click(f.get(), "Botao_Salvar");
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    QCOMPARE(db.scalar("SELECT TIPO FROM TIPOPROCESSO WHERE IDTIPO = '0002'").toString(),
             QStringLiteral("CERTIDÃO"));
    QCOMPARE(storedDays(db, "0002").toInt(), 30);
    // A new type left without a deadline has no row at all.
    click(f.get(), "Botao_Incluir");
    retype(f.get(), "Campo2", QStringLiteral("OFICIO"));
    click(f.get(), "Botao_Salvar");
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM TIPOPROCESSO").toInt(), 3);
    QVERIFY(!storedDays(db, "0003").isValid());
    QVERIFY(!f->records()->isEditing());
}

void TestTiposProcessos::deadlineChangedAndCleared() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARA"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0002"}, {"TIPO", "CERTIDAO"}});
    db.insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0002"}, {"DIAS", 10}});
    auto f = openForm();
    ScriptedDialogs dialogs;
    // A type without a deadline gets one; only the deadline changed, the type row stays.
    QCOMPARE(f->records()->text("IDTIPO"), QStringLiteral("0001"));
    alterDeadline(f.get(), QStringLiteral("7"));
    click(f.get(), "Botao_Salvar");
    QCOMPARE(storedDays(db, "0001").toInt(), 7);
    QCOMPARE(db.scalar("SELECT TIPO FROM TIPOPROCESSO WHERE IDTIPO = '0001'").toString(),
             QStringLiteral("ALVARA"));
    // Another deadline replaces the stored one; emptied, the type has none any more.
    f->records()->next();
    QCOMPARE(f->records()->text("IDTIPO"), QStringLiteral("0002"));
    alterDeadline(f.get(), QStringLiteral("45"));
    click(f.get(), "Botao_Salvar");
    QCOMPARE(storedDays(db, "0002").toInt(), 45);
    alterDeadline(f.get(), QString());
    click(f.get(), "Botao_Salvar");
    QVERIFY(!storedDays(db, "0002").isValid());
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PRAZOS_TIPOPROCESSO").toInt(), 1);
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    // Read again, the list holds what was stored.
    QVERIFY(f->reload());
    QCOMPARE(f->records()->text("DIAS"), QStringLiteral("7"));
}

void TestTiposProcessos::refusesWhatIsNotAWholeNumberOfDays_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("zero") << "0";
    QTest::newRow("zeros") << "000";
    QTest::newRow("letters") << "DEZ";
    QTest::newRow("fraction") << "1,5";
    QTest::newRow("negative") << "-3";
}

void TestTiposProcessos::refusesWhatIsNotAWholeNumberOfDays() {
    QFETCH(QString, typed);
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARA"}});
    db.insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0001"}, {"DIAS", 20}});
    auto f = openForm();
    ScriptedDialogs dialogs;
    alterDeadline(f.get(), typed);
    dialogs.expectMessage(QStringLiteral("Atenção,\rprocedimento cancelado, Prazo (dias) deve ser um número "
                                         "inteiro de 1 a 9999, ou vazio para tipo sem prazo!"));
    click(f.get(), "Botao_Salvar");
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    // Still editing, on the deadline, and the stored one untouched.
    QVERIFY(f->records()->isEditing());
    QCOMPARE(QApplication::focusWidget(), edit(f.get(), "Campo3"));
    QCOMPARE(storedDays(db, "0001").toInt(), 20);
    // Corrected, it saves.
    retype(f.get(), "Campo3", QStringLiteral("21"));
    click(f.get(), "Botao_Salvar");
    QCOMPARE(storedDays(db, "0001").toInt(), 21);
}

void TestTiposProcessos::refusedTypeWritesNoDeadline() {
    // The type and its deadline are one transaction: when the server refuses the deadline (here
    // a rule of the test's own), the new type is not stored either and stays on screen.
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARA"}});
    QVERIFY(db.exec("ALTER TABLE PRAZOS_TIPOPROCESSO ADD CONSTRAINT CK_TESTE CHECK (DIAS <> 13)"));
    auto f = openForm();
    ScriptedDialogs dialogs;
    click(f.get(), "Botao_Incluir");
    retype(f.get(), "Campo2", QStringLiteral("CERTIDAO"));
    retype(f.get(), "Campo3", QStringLiteral("13"));
    dialogs.expectMessage(QStringLiteral("Atenção, dados inconsistentes, confirme informações!"));
    click(f.get(), "Botao_Salvar");
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM TIPOPROCESSO").toInt(), 1);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM PRAZOS_TIPOPROCESSO").toInt(), 0);
    QVERIFY(f->records()->isEditing());
    // Another deadline, and both are stored.
    retype(f.get(), "Campo3", QStringLiteral("14"));
    click(f.get(), "Botao_Salvar");
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    QCOMPARE(db.scalar("SELECT TIPO FROM TIPOPROCESSO WHERE IDTIPO = '0002'").toString(),
             QStringLiteral("CERTIDAO"));
    QCOMPARE(storedDays(db, "0002").toInt(), 14);
}

void TestTiposProcessos::deletingTheTypeRemovesItsDeadline() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARA"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0002"}, {"TIPO", "CERTIDAO"}});
    db.insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0001"}, {"DIAS", 5}});
    db.insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0002"}, {"DIAS", 9}});
    auto f = openForm();
    ScriptedDialogs dialogs;
    dialogs.expectQuestion(QStringLiteral("Confirma a Exclusão ?"), true);
    click(f.get(), "Botao_Excluir");
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM TIPOPROCESSO WHERE IDTIPO = '0001'").toInt(), 0);
    QVERIFY(!storedDays(db, "0001").isValid());
    QCOMPARE(storedDays(db, "0002").toInt(), 9);
}

QTEST_MAIN(TestTiposProcessos)
#include "tst_tiposprocessos.moc"
