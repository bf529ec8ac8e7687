#include "forms/common/fieldbinder.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/recordset.h"
#include "tests/support/testdatabase.h"
#include "tests/support/typing.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using forms::Entry;
using forms::FieldBinder;
using forms::RecordSet;
using testsupport::TestDatabase;

namespace {

// An applicant row read into a record set, the binder's usual company.
struct Applicants {
    RecordSet records;
    Applicants() {
        records.setQuery(
            "SELECT IDINTERESSADO, INTERESSADO, TIPO, CNPJ, CEP, EMAIL, DDD_TELEFONE FROM INTERESSADOS "
            "ORDER BY IDINTERESSADO");
        records.setFields({forms::keyField("IDINTERESSADO", 6), forms::textField("INTERESSADO", 100),
                           forms::textField("TIPO", 20), forms::textField("CNPJ", 18),
                           forms::textField("CEP", 10), forms::textField("EMAIL", 100),
                           forms::textField("DDD_TELEFONE", 3)});
        records.setUpdateTable("INTERESSADOS");
    }
};

void leave(QWidget* w) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

} // namespace

class TestFieldBinder : public QObject {
    Q_OBJECT
private slots:
    void entryForcesCase_data();
    void entryForcesCase();
    void maskStoresPunctuation_data();
    void maskStoresPunctuation();
    void maxLengthIsTheFieldWidth();
    void typingInBrowseNeverEdits();
    void leavingHandsTextToFieldAndFieldPushesBack();
    void postTakesTheTextStillBeingTyped();
    void checkBoxComboAndMemo();
    void editableColours();
    void postalCodeKey_data();
    void postalCodeKey();
    void paddedKeyOnlyOnItsColumn();
};

void TestFieldBinder::entryForcesCase_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("upper") << int(Entry::Upper) << "joão da silva"
                           << "JOÃO DA SILVA";
    QTest::newRow("lower") << int(Entry::Lower) << "Protocolo@Prefeitura.AL.gov.br"
                           << "protocolo@prefeitura.al.gov.br";
    QTest::newRow("as typed") << int(Entry::AsTyped) << "Setor de Obras"
                              << "Setor de Obras";
    QTest::newRow("digits") << int(Entry::Digits) << "12a3-4"
                            << "1234";
}

void TestFieldBinder::entryForcesCase() {
    QFETCH(int, entry);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TestDatabase db;
    QVERIFY_DB(db);
    Applicants a;
    QVERIFY(a.records.open());
    FieldBinder binder(&a.records);
    QLineEdit edit;
    binder.bind(&edit, "INTERESSADO", Entry(entry));
    QVERIFY(a.records.append());
    testsupport::typeText(&edit, typed);
    QCOMPARE(edit.text(), shown);
    leave(&edit);
    QCOMPARE(a.records.text("INTERESSADO"), shown);
}

void TestFieldBinder::maskStoresPunctuation_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("whole CNPJ") << "11222333000181"
                                << "11.222.333/0001-81";
    QTest::newRow("nothing typed is empty") << ""
                                            << "";
    QTest::newRow("part keeps the positions") << "11222"
                                              << "11.222.   /    -  ";
}

void TestFieldBinder::maskStoresPunctuation() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    TestDatabase db;
    QVERIFY_DB(db);
    Applicants a;
    QVERIFY(a.records.open());
    FieldBinder binder(&a.records);
    QLineEdit edit;
    binder.bind(&edit, "CNPJ", Entry::Upper, "##.###.###/####-##");
    QVERIFY(a.records.append());
    a.records.setValue("IDINTERESSADO", "000001");
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, typed);
    leave(&edit);
    QCOMPARE(a.records.text("CNPJ"), stored);
    QCOMPARE(a.records.value("CNPJ").isNull(), stored.isEmpty());
    QCOMPARE(a.records.applyUpdates(), 0);
    QCOMPARE(db.scalar("SELECT CNPJ FROM INTERESSADOS").toString(), stored);
    // Read back into the mask unchanged.
    QCOMPARE(FieldBinder::editText(&edit), stored);
}

void TestFieldBinder::maxLengthIsTheFieldWidth() {
    TestDatabase db;
    QVERIFY_DB(db);
    Applicants a;
    QVERIFY(a.records.open());
    FieldBinder binder(&a.records);
    QLineEdit code, ddd;
    binder.bind(&code, "IDINTERESSADO");
    binder.bind(&ddd, "DDD_TELEFONE");
    QCOMPARE(code.maxLength(), 6);
    QCOMPARE(ddd.maxLength(), 3);
    QVERIFY(a.records.append());
    QTest::keyClicks(&ddd, "08299");
    QCOMPARE(ddd.text(), QStringLiteral("082"));
}

void TestFieldBinder::typingInBrowseNeverEdits() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("INTERESSADOS", {{"IDINTERESSADO", "000001"}, {"INTERESSADO", "MARIA"}});
    Applicants a;
    QVERIFY(a.records.open());
    FieldBinder binder(&a.records);
    QLineEdit edit;
    binder.bind(&edit, "INTERESSADO");
    QCOMPARE(edit.text(), QStringLiteral("MARIA"));
    QTest::keyClicks(&edit, "X"); // writable by mistake: still no editing
    leave(&edit);
    QCOMPARE(a.records.state(), RecordSet::State::Browse);
    QCOMPARE(a.records.text("INTERESSADO"), QStringLiteral("MARIA"));
    QCOMPARE(edit.text(), QStringLiteral("MARIA"));
    QVERIFY(!a.records.hasPendingChanges());
}

void TestFieldBinder::leavingHandsTextToFieldAndFieldPushesBack() {
    TestDatabase db;
    QVERIFY_DB(db);
    Applicants a;
    QVERIFY(a.records.open());
    a.records.addFieldChange("DDD_TELEFONE", [&] {
        const QString t = a.records.text("DDD_TELEFONE");
        a.records.setValue("DDD_TELEFONE", QString(std::max(0, 3 - int(t.size())), '0') + t);
    });
    FieldBinder binder(&a.records);
    QLineEdit ddd;
    binder.bind(&ddd, "DDD_TELEFONE");
    qRegisterMetaType<QWidget*>();
    QSignalSpy left(&binder, &FieldBinder::left);
    QVERIFY(a.records.append());
    QTest::keyClicks(&ddd, "82");
    QVERIFY(a.records.value("DDD_TELEFONE").isNull()); // nothing reaches the field while typing
    leave(&ddd);
    QCOMPARE(a.records.text("DDD_TELEFONE"), QStringLiteral("082"));
    QCOMPARE(ddd.text(), QStringLiteral("082"));
    QCOMPARE(left.count(), 1);
    QCOMPARE(left.at(0).at(1).toString(), QStringLiteral("DDD_TELEFONE"));
    // A value written by the program (a lookup pick) is shown at once.
    a.records.setValue("DDD_TELEFONE", "7");
    QCOMPARE(ddd.text(), QStringLiteral("007"));
    // Cancelling shows the record's values again.
    a.records.cancel();
    QCOMPARE(ddd.text(), QString());
}

void TestFieldBinder::postTakesTheTextStillBeingTyped() {
    TestDatabase db;
    QVERIFY_DB(db);
    Applicants a;
    QVERIFY(a.records.open());
    FieldBinder binder(&a.records);
    QLineEdit code, name;
    binder.bind(&code, "IDINTERESSADO");
    binder.bind(&name, "INTERESSADO");
    QVERIFY(a.records.append());
    QTest::keyClicks(&code, "000009");
    QTest::keyClicks(&name, "JOSE");
    QVERIFY(a.records.post());
    QCOMPARE(a.records.text("INTERESSADO"), QStringLiteral("JOSE"));
    QCOMPARE(a.records.applyUpdates(), 0);
    QCOMPARE(db.scalar("SELECT INTERESSADO FROM INTERESSADOS WHERE IDINTERESSADO = '000009'").toString(),
             QStringLiteral("JOSE"));
}

void TestFieldBinder::checkBoxComboAndMemo() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("USUARIOS", {{"COD_USUARIO", "00000001"}, {"PROTOCOLISTA", "NAO"}});
    RecordSet users;
    users.setQuery("SELECT COD_USUARIO, PROTOCOLISTA FROM USUARIOS");
    users.setFields({forms::keyField("COD_USUARIO", 8), forms::textField("PROTOCOLISTA", 3)});
    users.setUpdateTable("USUARIOS");
    QVERIFY(users.open());
    FieldBinder userBinder(&users);
    QCheckBox clerk;
    userBinder.bind(&clerk, "PROTOCOLISTA");
    QVERIFY(!clerk.isChecked());
    clerk.click(); // browsing: the box goes back
    QVERIFY(!clerk.isChecked());
    QCOMPARE(users.text("PROTOCOLISTA"), QStringLiteral("NAO"));
    QVERIFY(users.edit());
    clerk.click();
    QCOMPARE(users.text("PROTOCOLISTA"), QStringLiteral("SIM"));
    QCOMPARE(users.applyUpdates(), 0);
    QCOMPARE(db.scalar("SELECT PROTOCOLISTA FROM USUARIOS").toString(), QStringLiteral("SIM"));

    Applicants a;
    QVERIFY(a.records.open());
    FieldBinder binder(&a.records);
    QComboBox kind;
    kind.addItems({QStringLiteral("1 - Pessoa Física"), QStringLiteral("2 - Pessoa Jurídica")});
    binder.bind(&kind, "TIPO");
    QVERIFY(a.records.append());
    a.records.setValue("TIPO", QStringLiteral("1 - Pessoa Física"));
    QCOMPARE(kind.currentIndex(), 0);
    QTest::keyClick(&kind, Qt::Key_Down);
    QCOMPARE(a.records.text("TIPO"), QStringLiteral("2 - Pessoa Jurídica"));

    RecordSet process;
    process.setQuery("SELECT IDPROCESSO, ANO, PROCESSO FROM PROCESSOS");
    process.setFields(
        {forms::keyField("IDPROCESSO", 8), forms::keyField("ANO", 4), forms::memoField("PROCESSO")});
    process.setUpdateTable("PROCESSOS");
    QVERIFY(process.open());
    FieldBinder processBinder(&process);
    QPlainTextEdit memo;
    processBinder.bind(&memo, "PROCESSO");
    QVERIFY(process.append());
    process.setValue("IDPROCESSO", "00000001");
    process.setValue("ANO", "2019");
    const QString text = QStringLiteral("Requer certidão de tempo de serviço.\nAnexos: RG e CPF.");
    memo.setPlainText(text);
    leave(&memo);
    QCOMPARE(process.text("PROCESSO"), text);
    QCOMPARE(process.applyUpdates(), 0);
    QCOMPARE(QString::fromUtf8(db.scalar("SELECT PROCESSO FROM PROCESSOS").toByteArray()), text);
}

void TestFieldBinder::editableColours() {
    QLineEdit e;
    forms::setEditable(&e, false);
    QVERIFY(e.isReadOnly());
    QCOMPARE(e.palette().color(QPalette::Base), QColor(192, 192, 192));
    QVERIFY(!forms::looksEditable(&e));
    forms::setEditable(&e, true);
    QVERIFY(!e.isReadOnly());
    QCOMPARE(e.palette().color(QPalette::Base), QColor(255, 255, 255));
    QVERIFY(forms::looksEditable(&e));
    QCheckBox k;
    forms::setEditable(&k, false);
    QVERIFY(!k.isEnabled());
}

void TestFieldBinder::postalCodeKey_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("key");
    QTest::newRow("573") << "573"
                         << "57.300-000";
    QTest::newRow("57") << "57"
                        << "57.000-000";
    QTest::newRow("whole") << "57300123"
                           << "57.300-123";
    QTest::newRow("punctuation typed") << "57.30"
                                       << "57.300-000";
    QTest::newRow("more digits than places") << "5730012399"
                                             << "57.300-123";
}

void TestFieldBinder::postalCodeKey() {
    QFETCH(QString, typed);
    QFETCH(QString, key);
    QCOMPARE(forms::GridSearch::postalCodeKey(typed), key);
    forms::SearchRules rules;
    QCOMPARE(forms::GridSearch::searchKey(typed, "cep", rules), key);
}

void TestFieldBinder::paddedKeyOnlyOnItsColumn() {
    forms::SearchRules rules;
    rules.paddedField = "IDUNIDADE";
    rules.paddedWidth = 4;
    QCOMPARE(forms::GridSearch::searchKey("7", "IDUNIDADE", rules), QStringLiteral("0007"));
    QCOMPARE(forms::GridSearch::searchKey("12345", "IDUNIDADE", rules), QStringLiteral("12345"));
    QCOMPARE(forms::GridSearch::searchKey("7", "IDSETOR", rules), QStringLiteral("7"));
    QCOMPARE(forms::GridSearch::searchKey("573", "UNIDADE", rules), QStringLiteral("573"));
}

QTEST_MAIN(TestFieldBinder)
#include "tst_fieldbinder.moc"
