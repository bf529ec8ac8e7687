// The database creation tool, run as the administrator runs it.
#include "core/connection.h"
#include "core/routines.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run initdb(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral(PROTOCOLO_INITDB), arguments);
    Run r;
    if (!p.waitForFinished(120000)) return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray fileHead(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(8192) : QByteArray();
}

} // namespace

class TestInitDb : public QObject {
    Q_OBJECT
private slots:
    void createsWithDemoThenRefusesTheSameFile();
    void refusals_data();
    void refusals();
};

void TestInitDb::createsWithDemoThenRefusesTheSameFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("NOVO.fdb"));
    Run r = initdb(
        {QStringLiteral("--demo"), QStringLiteral("--admin-password"), QStringLiteral("Sênha1"), path});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out.trimmed(), QStringLiteral("Banco criado: ") + path);
    {
        QString error;
        QSqlDatabase c = core::openNamedConnection(QStringLiteral("check"), path, &error);
        QVERIFY2(c.isOpen(), qPrintable(error));
        QSqlQuery q(c);
        QVERIFY(q.exec(
            QStringLiteral("SELECT SENHA, PROTOCOLISTA FROM USUARIOS WHERE COD_USUARIO = '00000001'")));
        QVERIFY(q.next());
        QCOMPARE(routines::scrambleDown(q.value(0).toString()), QStringLiteral("Sênha1"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("SIM"));
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM USUARIOS")));
        QVERIFY(q.next());
        QVERIFY(q.value(0).toInt() >= 3); // the demonstration users too
        q.finish();
        c.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    // A second run on the same file: refused, the file untouched.
    const QByteArray before = fileHead(path);
    r = initdb({path});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("já existe")), qPrintable(r.err));
    QCOMPARE(fileHead(path), before);
}

void TestInitDb::refusals_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QStringList{} << 2 << QStringLiteral("DATABASE_FILE");
    QTest::newRow("two files") << QStringList{QStringLiteral("a.fdb"), QStringLiteral("b.fdb")} << 2
                               << QStringLiteral("DATABASE_FILE");
    QTest::newRow("password too long") << QStringList{QStringLiteral("--admin-password"),
                                                      QStringLiteral("12345678901"), QStringLiteral("x.fdb")}
                                       << 2 << QStringLiteral("até 10 caracteres");
    QTest::newRow("folder that does not exist")
        << QStringList{QStringLiteral("nao/existe/x.fdb")} << 1 << QStringLiteral("protocolo-initdb: ");
}

void TestInitDb::refusals() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    for (QString& a : arguments)
        if (a.endsWith(QLatin1String(".fdb"))) a = dir.filePath(a);
    const Run r = initdb(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    // Nothing is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

QTEST_GUILESS_MAIN(TestInitDb)
#include "tst_initdb.moc"
