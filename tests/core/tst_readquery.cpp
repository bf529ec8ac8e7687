#include "core/connection.h"
#include "core/readquery.h"
#include "tests/support/testdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using testsupport::TestDatabase;

// The reads that go straight through the Firebird client library: they must hand over the same
// values as Qt's driver, see what other workstations commit, keep their statements, and leave
// nothing behind when the connection closes.
class TestReadQuery : public QObject {
    Q_OBJECT
private slots:
    void sameValuesAsTheDriver_data();
    void sameValuesAsTheDriver();
    void readsWhatOthersCommit();
    void statementPreparedOnce();
    void refusalsCarryTheServersText();
    void closingLeavesNoAttachment();
    void idleConnectionLetsGo();
};

void TestReadQuery::sameValuesAsTheDriver_data() {
    QTest::addColumn<QString>("expr");
    QTest::addColumn<QVariant>("param");
    const QVariant none;
    QTest::newRow("accented text") << "CAST(? AS VARCHAR(20))"
                                   << QVariant(QStringLiteral("Ação nº 5 – teste"));
    QTest::newRow("text with spaces kept") << "CAST(? AS VARCHAR(20))" << QVariant(QStringLiteral("  ab  "));
    QTest::newRow("empty text") << "CAST(? AS VARCHAR(20))" << QVariant(QString(""));
    QTest::newRow("null text") << "CAST(? AS VARCHAR(20))" << QVariant(QMetaType::fromType<QString>());
    QTest::newRow("char padded") << "CAST(? AS CHAR(6))" << QVariant(QStringLiteral("ab"));
    QTest::newRow("smallint") << "CAST(? AS SMALLINT)" << QVariant(-12);
    QTest::newRow("integer from text") << "CAST(? AS INTEGER)" << QVariant(QStringLiteral("2026"));
    QTest::newRow("bigint") << "CAST(? AS BIGINT)" << QVariant(qlonglong(9000000000LL));
    QTest::newRow("numeric") << "CAST(? AS NUMERIC(10,2))" << QVariant(1234.56);
    QTest::newRow("double") << "CAST(? AS DOUBLE PRECISION)" << QVariant(0.125);
    QTest::newRow("date") << "CAST(? AS DATE)" << QVariant(QDate(2026, 2, 28));
    QTest::newRow("time") << "CAST(? AS TIME)" << QVariant(QTime(23, 59, 58, 120));
    QTest::newRow("timestamp") << "CAST(? AS TIMESTAMP)"
                               << QVariant(QDateTime(QDate(2016, 1, 1), QTime(7, 5, 3)));
    QTest::newRow("null date") << "CAST(? AS DATE)" << QVariant(QMetaType::fromType<QDate>());
    QTest::newRow("count") << "(SELECT COUNT(*) FROM RDB$DATABASE WHERE 1 = ?)" << QVariant(1);
    QTest::newRow("text blob") << "CAST(? AS BLOB SUB_TYPE TEXT)"
                               << QVariant(QStringLiteral("Despacho: ação"));
    QTest::newRow("no parameter") << "CURRENT_DATE - CURRENT_DATE" << none;
}

void TestReadQuery::sameValuesAsTheDriver() {
    QFETCH(QString, expr);
    QFETCH(QVariant, param);
    TestDatabase db;
    QVERIFY_DB(db);
    const QString sql = QStringLiteral("SELECT %1 FROM RDB$DATABASE").arg(expr);
    const bool bound = expr.contains(QLatin1Char('?'));

    QSqlQuery viaDriver(db.connection());
    viaDriver.setForwardOnly(true);
    QVERIFY(viaDriver.prepare(sql));
    if (bound) viaDriver.addBindValue(param);
    QVERIFY2(viaDriver.exec() && viaDriver.next(), qPrintable(viaDriver.lastError().text()));
    const QVariant expected = viaDriver.value(0);
    viaDriver.finish();

    // Twice: the second run goes through the kept statement.
    for (int run = 0; run < 2; ++run) {
        core::ReadQuery q(db.connection());
        q.prepare(sql);
        if (bound) q.addBindValue(param);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        const QVariant got = q.value(0);
        QCOMPARE(got.isNull(), expected.isNull());
        if (expected.metaType().id() == QMetaType::Double) {
            QCOMPARE(got.toDouble(), expected.toDouble());
        } else {
            QCOMPARE(got.metaType(), expected.metaType());
            QCOMPARE(got, expected);
        }
        QVERIFY(!q.next());
    }
}

void TestReadQuery::readsWhatOthersCommit() {
    TestDatabase db;
    QVERIFY_DB(db);
    QSqlDatabase other = db.openSecondConnection(QStringLiteral("outraEstacao"));
    QVERIFY(other.isOpen());
    const QString sql = QStringLiteral("SELECT TIPO FROM TIPOPROCESSO WHERE IDTIPO = ?");
    auto read = [&](QString* value) {
        core::ReadQuery q(db.connection());
        q.prepare(sql);
        q.addBindValue(QStringLiteral("0001"));
        if (!q.exec()) return false;
        *value = q.next() ? q.value(0).toString() : QStringLiteral("<nenhum>");
        return true;
    };
    QString value;
    QVERIFY(read(&value));
    QCOMPARE(value, QStringLiteral("<nenhum>"));

    QVERIFY(other.transaction());
    QSqlQuery w(other);
    QVERIFY(w.exec(QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES ('0001', 'Licença')")));
    // Written and not committed: the read neither waits for it nor sees it.
    QVERIFY(read(&value));
    QCOMPARE(value, QStringLiteral("<nenhum>"));
    QVERIFY(other.commit());
    // Committed: the same kept transaction and statement see it at the next read.
    QVERIFY(read(&value));
    QCOMPARE(value, QStringLiteral("Licença"));

    QVERIFY(other.transaction());
    QVERIFY(w.exec(QStringLiteral("UPDATE TIPOPROCESSO SET TIPO = 'Alvará' WHERE IDTIPO = '0001'")));
    QVERIFY(read(&value));
    QCOMPARE(value, QStringLiteral("Licença"));
    QVERIFY(other.commit());
    QVERIFY(read(&value));
    QCOMPARE(value, QStringLiteral("Alvará"));
}

void TestReadQuery::statementPreparedOnce() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM USUARIOS WHERE COD_USUARIO <> ?");
    for (int i = 0; i < 3; ++i) {
        core::ReadQuery q(db.connection());
        q.prepare(sql);
        q.addBindValue(QString::number(i));
        QVERIFY2(q.exec() && q.next(), qPrintable(q.lastError().text()));
    }
    // Two at once: the second cannot share the first's open cursor and gets one of its own.
    core::ReadQuery a(db.connection());
    core::ReadQuery b(db.connection());
    for (core::ReadQuery* q : {&a, &b}) {
        q->prepare(sql);
        q->addBindValue(QStringLiteral("x"));
        QVERIFY(q->exec());
    }
    QVERIFY(a.next() && b.next());
    QCOMPARE(a.value(0), b.value(0));

    QSqlQuery mon(db.connection());
    QVERIFY(mon.prepare(QStringLiteral("SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$ATTACHMENT_ID = "
                                       "CURRENT_CONNECTION AND MON$SQL_TEXT = ?")));
    mon.addBindValue(sql);
    QVERIFY(mon.exec() && mon.next());
    QCOMPARE(mon.value(0).toInt(), 2);
}

void TestReadQuery::refusalsCarryTheServersText() {
    TestDatabase db;
    QVERIFY_DB(db);
    core::ReadQuery q(db.connection());
    QVERIFY(!q.exec(QStringLiteral("SELECT NADA FROM TABELA_QUE_NAO_EXISTE")));
    QVERIFY2(q.lastError().databaseText().contains(QLatin1String("TABELA_QUE_NAO_EXISTE")),
             qPrintable(q.lastError().text()));
    QVERIFY(!q.next());

    q.prepare(QStringLiteral("SELECT 1 FROM RDB$DATABASE WHERE 1 = ?"));
    QVERIFY(!q.exec());
    QVERIFY(q.lastError().isValid());

    // A refusal leaves the connection's reads usable.
    QVERIFY(q.exec(QStringLiteral("SELECT 7 FROM RDB$DATABASE")) && q.next());
    QCOMPARE(q.value(0).toInt(), 7);
}

void TestReadQuery::closingLeavesNoAttachment() {
    TestDatabase db;
    QVERIFY_DB(db);
    QSqlDatabase other = db.openSecondConnection(QStringLiteral("observador"));
    QVERIFY(other.isOpen());
    auto attachments = [&] {
        QSqlQuery q(other);
        q.exec(QStringLiteral(
            "SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION "
            "AND MON$SYSTEM_FLAG = 0"));
        return q.next() ? q.value(0).toInt() : -1;
    };
    QSqlDatabase main = db.connection();
    {
        core::ReadQuery q(main);
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM USUARIOS")) && q.next());
    }
    QCOMPARE(attachments(), 1);
    core::releaseReads(main);
    main.close();
    QCOMPARE(attachments(), 0);

    // Opened again, the connection prepares anew on its new attachment.
    QVERIFY(main.open());
    core::ReadQuery q(main);
    QVERIFY2(q.exec(QStringLiteral("SELECT COUNT(*) FROM USUARIOS")) && q.next(),
             qPrintable(q.lastError().text()));
}

void TestReadQuery::idleConnectionLetsGo() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM UNIDADES");
    auto kept = [&] {
        QSqlQuery mon(db.connection());
        mon.prepare(QStringLiteral("SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$ATTACHMENT_ID = "
                                   "CURRENT_CONNECTION AND MON$SQL_TEXT = ?"));
        mon.addBindValue(sql);
        return mon.exec() && mon.next() ? mon.value(0).toInt() : -1;
    };
    core::setIdleRelease(200);
    {
        core::ReadQuery q(db.connection());
        QVERIFY(q.exec(sql) && q.next());
        // Held by a query: kept however long it takes.
        QTest::qWait(600);
        QCOMPARE(kept(), 1);
    }
    QCOMPARE(kept(), 1);
    // Let go by everybody and left alone: the statement goes (the database update could not
    // change what it reads while it stays).
    QTRY_COMPARE_WITH_TIMEOUT(kept(), 0, 5000);
    core::ReadQuery again(db.connection());
    QVERIFY2(again.exec(sql) && again.next(), qPrintable(again.lastError().text()));
    core::setIdleRelease(60000);
}

QTEST_GUILESS_MAIN(TestReadQuery)
#include "tst_readquery.moc"
