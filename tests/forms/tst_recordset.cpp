#include "forms/common/recordset.h"
#include "tests/support/testdatabase.h"

#include <QSignalSpy>
#include <QTest>

using forms::FieldType;
using forms::LocateResult;
using forms::RecordSet;
using testsupport::TestDatabase;

namespace {

void setUpTypes(RecordSet& rs) {
    rs.setQuery(QStringLiteral("SELECT A.IDTIPO, A.TIPO FROM TIPOPROCESSO A ORDER BY A.IDTIPO"));
    rs.setFields(
        {forms::keyField(QStringLiteral("IDTIPO"), 4), forms::textField(QStringLiteral("TIPO"), 100)});
    rs.setUpdateTable(QStringLiteral("TIPOPROCESSO"));
}

void addTypes(TestDatabase& db, const QStringList& codes) {
    for (const QString& c : codes)
        db.insert(QStringLiteral("TIPOPROCESSO"), {{"IDTIPO", c}, {"TIPO", QStringLiteral("TIPO ") + c}});
}

QStringList storedTypes(TestDatabase& db) {
    QStringList out;
    for (const auto& r :
         db.rows(QStringLiteral("SELECT IDTIPO || '=' || COALESCE(TIPO, '<null>') FROM TIPOPROCESSO "
                                "ORDER BY IDTIPO")))
        out << r.value(0).toString();
    return out;
}

} // namespace

class TestRecordSet : public QObject {
    Q_OBJECT
private slots:
    void readsRowsWithParametersAndDecodesTextBlobs();
    void fieldsFromQueryWhenNoneDeclared();
    void writesInsertUpdateDeleteByKeyOnly();
    void joinedFieldsAreNeverWritten();
    void quotesAndAccentsStoredAsTyped();
    void errorRollsBackWholeBatchAndKeepsChangesPending();
    void cancelUpdatesRestoresEveryPendingChange();
    void postRefusesMissingRequiredAndTooLongText();
    void cancelDropsInsertAndRestoresEdit();
    void typingNeverEditsInBrowse();
    void fieldHandlersRunOnceWithoutRecursion();
    void afterInsertHookCanRefuseTheInsertion();
    void masterAndDetailsInOneTransaction();
    void secondConnectionIsUsedWhenNamed();
    void nearestKeySearch_data();
    void nearestKeySearch();
    void searchWithoutOrderOrWithIncompatibleKey();
    void sortKeepsCurrentRecordAndPostReorders();
};

void TestRecordSet::readsRowsWithParametersAndDecodesTextBlobs() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.exec(
        QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO, PROCESSO) VALUES (?, ?, ?, ?)"),
        {"00000001", "2019", QStringLiteral("Ação de cobrança"), QStringLiteral("Instrução\r\nlinha 2 'ç'")});
    db.exec(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO) VALUES (?, ?, ?)"),
            {"00000001", "2018", "OUTRO"});
    RecordSet rs;
    rs.setQuery(
        QStringLiteral("SELECT IDPROCESSO, ANO, ASSUNTO, PROCESSO, DATA FROM PROCESSOS WHERE ANO = :P_ANO"));
    rs.setFields({forms::keyField("IDPROCESSO", 8), forms::keyField("ANO", 4),
                  forms::textField("ASSUNTO", 255), forms::memoField("PROCESSO"), forms::dateField("DATA")});
    rs.setParameter(QStringLiteral("P_ANO"), QStringLiteral("2019"));
    QVERIFY2(rs.open(), qPrintable(rs.lastError()));
    QCOMPARE(rs.rowCount(), 1);
    QCOMPARE(rs.state(), RecordSet::State::Browse);
    QCOMPARE(rs.text("assunto"), QStringLiteral("Ação de cobrança"));
    QCOMPARE(rs.value("PROCESSO").metaType().id(), QMetaType::QString);
    QCOMPARE(rs.text("PROCESSO"), QStringLiteral("Instrução\r\nlinha 2 'ç'"));
    QVERIFY(rs.value("DATA").isNull());
    QCOMPARE(rs.text("DATA"), QString());
}

void TestRecordSet::fieldsFromQueryWhenNoneDeclared() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.exec(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA) VALUES (?, ?, ?, ?)"),
            {"00000007", "2019", QDate(2019, 3, 4), QTime(9, 30, 0)});
    RecordSet rs;
    rs.setQuery(QStringLiteral("SELECT A.IDPROCESSO, A.DATA, A.HORA FROM PROCESSOS A"));
    QVERIFY2(rs.open(), qPrintable(rs.lastError()));
    QCOMPARE(rs.fieldCount(), 3);
    QCOMPARE(rs.fieldType(rs.fieldIndex("DATA")), FieldType::Date);
    QCOMPARE(rs.fieldType(rs.fieldIndex("HORA")), FieldType::Time);
    QCOMPARE(rs.fieldWidth(rs.fieldIndex("IDPROCESSO")), 8);
    QCOMPARE(rs.text("DATA"), QStringLiteral("04/03/2019"));
    QCOMPARE(rs.text("HORA"), QStringLiteral("09:30:00"));
}

void TestRecordSet::writesInsertUpdateDeleteByKeyOnly() {
    TestDatabase db;
    QVERIFY_DB(db);
    addTypes(db, {"0001", "0002", "0003"});
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    // Another workstation renames 0002 after we read it: the row is still found by its key.
    db.exec(QStringLiteral("UPDATE TIPOPROCESSO SET TIPO = 'MUDADO' WHERE IDTIPO = '0002'"));
    rs.setCurrentRow(1);
    QVERIFY(rs.edit());
    QVERIFY(rs.setValue("TIPO", "ALTERADO"));
    QVERIFY(rs.post());
    rs.setCurrentRow(2);
    QVERIFY(rs.deleteCurrent());
    QVERIFY(rs.append());
    QVERIFY(rs.setValue("IDTIPO", "0004"));
    QVERIFY(rs.setValue("TIPO", "NOVO"));
    QVERIFY(rs.post());
    QVERIFY(rs.hasPendingChanges());
    QCOMPARE(rs.applyUpdates(), 0);
    QVERIFY(!rs.hasPendingChanges());
    QCOMPARE(storedTypes(db), (QStringList{"0001=TIPO 0001", "0002=ALTERADO", "0004=NOVO"}));
}

void TestRecordSet::joinedFieldsAreNeverWritten() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOUNIDADE", {{"IDTIPO", "03"}, {"TIPO", "AUTARQUIA"}});
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "SAUDE"}, {"TIPO_UNIDADE", "03"}});
    RecordSet rs;
    rs.setQuery(
        QStringLiteral("SELECT A.IDUNIDADE, A.UNIDADE, A.TIPO_UNIDADE, A.CNPJ, B.TIPO FROM UNIDADES A LEFT "
                       "JOIN TIPOUNIDADE B ON A.TIPO_UNIDADE = B.IDTIPO ORDER BY A.IDUNIDADE"));
    rs.setFields({forms::keyField("IDUNIDADE", 4), forms::textField("UNIDADE", 100),
                  forms::textField("TIPO_UNIDADE", 2), forms::textField("CNPJ", 18),
                  forms::joinedField("TIPO", 100)});
    rs.setUpdateTable("UNIDADES");
    QVERIFY(rs.open());
    QCOMPARE(rs.text("TIPO"), QStringLiteral("AUTARQUIA"));
    QVERIFY(rs.edit());
    QVERIFY(rs.setValue("TIPO", "SO NA TELA"));
    QVERIFY(rs.setValue("UNIDADE", "SAUDE E BEM ESTAR"));
    QVERIFY(rs.append());
    QVERIFY(rs.setValue("IDUNIDADE", "0002"));
    QVERIFY(rs.setValue("TIPO", "NOME BUSCADO"));
    QCOMPARE(rs.applyUpdates(), 0); // UNIDADES has no TIPO column: writing it would fail
    QCOMPARE(db.scalar("SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE = '0001'").toString(),
             QStringLiteral("SAUDE E BEM ESTAR"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM UNIDADES").toInt(), 2);
    QCOMPARE(db.scalar("SELECT TIPO FROM TIPOUNIDADE WHERE IDTIPO = '03'").toString(),
             QStringLiteral("AUTARQUIA"));
}

void TestRecordSet::quotesAndAccentsStoredAsTyped() {
    TestDatabase db;
    QVERIFY_DB(db);
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    const QString typed = QStringLiteral("CERTIDÃO D'ÁGUA; DROP TABLE TIPOPROCESSO --");
    QVERIFY(rs.append());
    rs.setValue("IDTIPO", "0'1");
    rs.setValue("TIPO", typed);
    QCOMPARE(rs.applyUpdates(), 0);
    QCOMPARE(db.scalar("SELECT TIPO FROM TIPOPROCESSO WHERE IDTIPO = ?", {"0'1"}).toString(), typed);
    // And found again by that key for an alteration and a deletion.
    QVERIFY(rs.edit());
    rs.setValue("TIPO", typed + "!");
    QCOMPARE(rs.applyUpdates(), 0);
    QCOMPARE(db.scalar("SELECT TIPO FROM TIPOPROCESSO WHERE IDTIPO = ?", {"0'1"}).toString(), typed + "!");
    QVERIFY(rs.deleteCurrent());
    QCOMPARE(rs.applyUpdates(), 0);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM TIPOPROCESSO").toInt(), 0);
}

void TestRecordSet::errorRollsBackWholeBatchAndKeepsChangesPending() {
    TestDatabase db;
    QVERIFY_DB(db);
    addTypes(db, {"0001"});
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    QVERIFY(rs.edit());
    rs.setValue("TIPO", "ALTERADO");
    QVERIFY(rs.append());
    rs.setValue("IDTIPO", "0002");
    rs.setValue("TIPO", "BOM");
    QVERIFY(rs.append());
    rs.setValue("IDTIPO", "0001"); // the key exists: the database refuses
    rs.setValue("TIPO", "DUPLICADO");
    QVERIFY(rs.post());
    QCOMPARE(rs.applyUpdates(), 1);
    QVERIFY(rs.lastError().contains("PK_TIPOPROCESSO"));
    QCOMPARE(storedTypes(db), QStringList{"0001=TIPO 0001"});
    QVERIFY(rs.hasPendingChanges());
    QCOMPARE(rs.rowCount(), 3);
    // Fixing the refused row lets the whole batch through.
    rs.last();
    QVERIFY(rs.edit());
    rs.setValue("IDTIPO", "0003");
    QCOMPARE(rs.applyUpdates(), 0);
    QCOMPARE(storedTypes(db), (QStringList{"0001=ALTERADO", "0002=BOM", "0003=DUPLICADO"}));
}

void TestRecordSet::cancelUpdatesRestoresEveryPendingChange() {
    TestDatabase db;
    QVERIFY_DB(db);
    addTypes(db, {"0001", "0002", "0003"});
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    QVERIFY(rs.edit());
    rs.setValue("TIPO", "ALTERADO");
    QVERIFY(rs.post());
    rs.setCurrentRow(1);
    QVERIFY(rs.deleteCurrent());
    QVERIFY(rs.append());
    rs.setValue("IDTIPO", "0009");
    QVERIFY(rs.post());
    QCOMPARE(rs.rowCount(), 3);
    QSignalSpy reset(&rs, &RecordSet::rowsReset);
    rs.cancelUpdates();
    QVERIFY(!rs.hasPendingChanges());
    QCOMPARE(reset.count(), 1);
    QStringList shown;
    for (int r = 0; r < rs.rowCount(); ++r)
        shown << rs.valueAt(r, 0).toString() + "=" + rs.valueAt(r, 1).toString();
    QCOMPARE(shown, (QStringList{"0001=TIPO 0001", "0002=TIPO 0002", "0003=TIPO 0003"}));
    QCOMPARE(rs.applyUpdates(), 0);
    QCOMPARE(storedTypes(db), (QStringList{"0001=TIPO 0001", "0002=TIPO 0002", "0003=TIPO 0003"}));
}

void TestRecordSet::postRefusesMissingRequiredAndTooLongText() {
    TestDatabase db;
    QVERIFY_DB(db);
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    QVERIFY(rs.append());
    rs.setValue("TIPO", "SEM CODIGO");
    QVERIFY(!rs.post());
    QVERIFY(rs.lastError().contains("IDTIPO"));
    QCOMPARE(rs.state(), RecordSet::State::Insert);
    rs.setValue("IDTIPO", "00001");
    QVERIFY(!rs.post());
    QCOMPARE(rs.state(), RecordSet::State::Insert);
    rs.setValue("IDTIPO", "0001");
    QVERIFY(rs.post());
    QCOMPARE(rs.state(), RecordSet::State::Browse);
}

void TestRecordSet::cancelDropsInsertAndRestoresEdit() {
    TestDatabase db;
    QVERIFY_DB(db);
    addTypes(db, {"0001", "0002"});
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    rs.setCurrentRow(1);
    QVERIFY(rs.append());
    QCOMPARE(rs.rowCount(), 3);
    rs.cancel();
    QCOMPARE(rs.rowCount(), 2);
    QCOMPARE(rs.state(), RecordSet::State::Browse);
    QVERIFY(rs.edit());
    rs.setValue("TIPO", "OUTRO");
    rs.cancel();
    QCOMPARE(rs.text("TIPO"), QStringLiteral("TIPO 0002"));
    QVERIFY(!rs.hasPendingChanges());
}

void TestRecordSet::typingNeverEditsInBrowse() {
    TestDatabase db;
    QVERIFY_DB(db);
    addTypes(db, {"0001"});
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    QVERIFY(!rs.setValue("TIPO", "X"));
    QCOMPARE(rs.state(), RecordSet::State::Browse);
    QCOMPARE(rs.text("TIPO"), QStringLiteral("TIPO 0001"));
}

void TestRecordSet::fieldHandlersRunOnceWithoutRecursion() {
    TestDatabase db;
    QVERIFY_DB(db);
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    int runs = 0;
    rs.addFieldChange("IDTIPO", [&] {
        ++runs;
        const QString t = rs.text("IDTIPO");
        if (t.size() < 4) rs.setValue("IDTIPO", QString(4 - t.size(), '0') + t); // sets its own field again
        rs.setValue("TIPO", "NOME DE " + rs.text("IDTIPO"));
    });
    QSignalSpy changed(&rs, &RecordSet::fieldChanged);
    QVERIFY(rs.append());
    rs.setValue("IDTIPO", "12");
    QCOMPARE(runs, 1);
    QCOMPARE(rs.text("IDTIPO"), QStringLiteral("0012"));
    QCOMPARE(rs.text("TIPO"), QStringLiteral("NOME DE 0012"));
    QCOMPARE(changed.count(), 3);
    rs.setValue("IDTIPO", ""); // a cleared code is padded to zeros
    QCOMPARE(rs.text("IDTIPO"), QStringLiteral("0000"));
    QCOMPARE(runs, 2);
}

void TestRecordSet::afterInsertHookCanRefuseTheInsertion() {
    TestDatabase db;
    QVERIFY_DB(db);
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    bool refuse = true;
    bool secondRan = false;
    rs.addAfterInsert([&] {
        if (refuse)
            rs.cancel();
        else
            rs.setValue("IDTIPO", "0001");
    });
    rs.addAfterInsert([&] { secondRan = true; });
    QVERIFY(!rs.append());
    QVERIFY(!secondRan);
    QCOMPARE(rs.rowCount(), 0);
    QCOMPARE(rs.state(), RecordSet::State::Browse);
    refuse = false;
    QVERIFY(rs.append());
    QVERIFY(secondRan);
    QCOMPARE(rs.text("IDTIPO"), QStringLiteral("0001"));
}

void TestRecordSet::masterAndDetailsInOneTransaction() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("USUARIOS", {{"COD_USUARIO", "00000005"}, {"USUARIO", "MARIA"}});
    db.insert("USUARIOS_ACESSOS", {{"ACESSO", "1"}, {"COD_USUARIO", "00000005"}, {"TITULO", "Setores"}});
    db.insert("USUARIOS_ACESSOS", {{"ACESSO", "2"}, {"COD_USUARIO", "00000005"}, {"TITULO", "Processos"}});

    RecordSet user;
    user.setQuery("SELECT COD_USUARIO, USUARIO FROM USUARIOS WHERE COD_USUARIO = :UM");
    user.setFields({forms::keyField("COD_USUARIO", 8), forms::textField("USUARIO", 100)});
    user.setUpdateTable("USUARIOS");
    user.setParameter("UM", "00000005");
    RecordSet grants;
    grants.setQuery(
        "SELECT ACESSO, COD_USUARIO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO = :COD_USUARIO "
        "ORDER BY ACESSO");
    grants.setFields(
        {forms::keyField("ACESSO", 100), forms::keyField("COD_USUARIO", 8), forms::textField("TITULO", 200)});
    grants.setUpdateTable("USUARIOS_ACESSOS");
    grants.setParameter("COD_USUARIO", "00000005");
    QVERIFY(user.open());
    QVERIFY(grants.open());
    QCOMPARE(grants.rowCount(), 2);

    // Rewriting the grants reuses their keys: the deletions must reach the database first.
    QVERIFY(user.edit());
    user.setValue("USUARIO", "MARIA SILVA");
    while (!grants.isEmpty())
        grants.deleteCurrent();
    const QStringList titles{"Processos", "Usuários...", "Tipos de Processos"};
    for (int i = 0; i < titles.size(); ++i) {
        grants.append();
        grants.setValue("ACESSO", QString::number(i + 1));
        grants.setValue("COD_USUARIO", "00000005");
        grants.setValue("TITULO", titles.at(i));
    }
    QString error;
    QCOMPARE(RecordSet::applyUpdates({&user, &grants}, &error), 0);
    QCOMPARE(db.scalar("SELECT USUARIO FROM USUARIOS").toString(), QStringLiteral("MARIA SILVA"));
    QStringList stored;
    for (const auto& r : db.rows("SELECT ACESSO, TITULO FROM USUARIOS_ACESSOS ORDER BY ACESSO"))
        stored << r.value(1).toString();
    QCOMPARE(stored, titles);

    // A refused detail row takes the master's change back with it.
    QVERIFY(user.edit());
    user.setValue("USUARIO", "NAO GRAVA");
    grants.append();
    grants.setValue("ACESSO", "1"); // already there
    grants.setValue("COD_USUARIO", "00000005");
    QCOMPARE(RecordSet::applyUpdates({&user, &grants}, &error), 1);
    QVERIFY(!error.isEmpty());
    QCOMPARE(db.scalar("SELECT USUARIO FROM USUARIOS").toString(), QStringLiteral("MARIA SILVA"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM USUARIOS_ACESSOS").toInt(), 3);
}

void TestRecordSet::secondConnectionIsUsedWhenNamed() {
    TestDatabase db;
    QVERIFY_DB(db);
    addTypes(db, {"0001"});
    db.openSecondConnection("estacao2");
    RecordSet rs;
    setUpTypes(rs);
    rs.setConnectionName("estacao2");
    QCOMPARE(rs.database().connectionName(), QStringLiteral("estacao2"));
    QVERIFY(rs.open());
    QVERIFY(rs.append());
    rs.setValue("IDTIPO", "0002");
    QCOMPARE(rs.applyUpdates(), 0);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM TIPOPROCESSO").toInt(), 2);
}

void TestRecordSet::nearestKeySearch_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expectedCode");
    QTest::addColumn<int>("result");
    QTest::newRow("exact code") << "IDTIPO"
                                << "0003"
                                << "0003" << int(LocateResult::Found);
    QTest::newRow("prefix of a code") << "IDTIPO"
                                      << "001"
                                      << "0012" << int(LocateResult::Found);
    QTest::newRow("1 lies after every code beginning with 0") << "IDTIPO"
                                                              << "1"
                                                              << "25" << int(LocateResult::Found);
    QTest::newRow("past every value: last row") << "IDTIPO"
                                                << "9"
                                                << "25" << int(LocateResult::PastEnd);
    QTest::newRow("name prefix") << "TIPO"
                                 << "CERT"
                                 << "0012" << int(LocateResult::Found);
    QTest::newRow("case does not separate words: a finds ALVARA") << "TIPO"
                                                                  << "a"
                                                                  << "25" << int(LocateResult::Found);
    QTest::newRow("accents do not either: cért finds CERTIDAO") << "TIPO"
                                                                << "cért"
                                                                << "0012" << int(LocateResult::Found);
}

void TestRecordSet::nearestKeySearch() {
    QFETCH(QString, field);
    QFETCH(QString, key);
    QFETCH(QString, expectedCode);
    QFETCH(int, result);
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0003"}, {"TIPO", "REQUERIMENTO"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0012"}, {"TIPO", "CERTIDAO"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "25"}, {"TIPO", "ALVARA"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "BAIXA"}});
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    QVERIFY(rs.sortBy(field));
    QCOMPARE(int(rs.locateNearest(key)), result);
    QCOMPARE(rs.text("IDTIPO"), expectedCode);
}

void TestRecordSet::searchWithoutOrderOrWithIncompatibleKey() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.exec("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA) VALUES ('00000001', '2019', ?)",
            {QDate(2019, 5, 2)});
    db.exec("INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA) VALUES ('00000002', '2019', ?)",
            {QDate(2019, 7, 9)});
    RecordSet rs;
    rs.setQuery("SELECT IDPROCESSO, DATA FROM PROCESSOS ORDER BY IDPROCESSO");
    QVERIFY(rs.open());
    QCOMPARE(rs.locateNearest("0001"), LocateResult::NoOrder);
    QVERIFY(rs.sortBy("DATA"));
    QCOMPARE(rs.locateNearest("ABC"), LocateResult::Incompatible);
    QCOMPARE(rs.locateNearest("03/06/2019"), LocateResult::Found);
    QCOMPARE(rs.text("IDPROCESSO"), QStringLiteral("00000002"));
}

void TestRecordSet::sortKeepsCurrentRecordAndPostReorders() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "C"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0002"}, {"TIPO", "A"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0003"}, {"TIPO", "B"}});
    RecordSet rs;
    setUpTypes(rs);
    QVERIFY(rs.open());
    rs.setCurrentRow(2);
    QVERIFY(rs.sortBy("TIPO"));
    QCOMPARE(rs.text("IDTIPO"), QStringLiteral("0003"));
    QCOMPARE(rs.currentRow(), 1);
    QVERIFY(rs.append());
    rs.setValue("IDTIPO", "0004");
    rs.setValue("TIPO", "AA");
    QVERIFY(rs.post());
    QCOMPARE(rs.currentRow(), 1); // A, AA, B, C
    QCOMPARE(rs.text("IDTIPO"), QStringLiteral("0004"));
}

QTEST_MAIN(TestRecordSet)
#include "tst_recordset.moc"
