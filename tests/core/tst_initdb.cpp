// The database creation tool, run as the administrator runs it.
#include "core/connection.h"
#include "core/routines.h"
#include "tests/support/testserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Runs the tool with `input` on its standard input (closed afterwards: never a terminal). With
// fileBlocks, through a shell that limits the size of the files it writes to that many 1 KiB
// blocks and ignores the signal of reaching it: writes then fail as on a full disk.
Run initdb(const QStringList& arguments, const QByteArray& input = {}, int fileBlocks = 0) {
    QProcess p;
    if (fileBlocks > 0) {
        QStringList shell{QStringLiteral("-c"),
                          QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"").arg(fileBlocks),
                          QStringLiteral(PROTOCOLO_INITDB)};
        p.start(QStringLiteral("/bin/bash"), shell + arguments);
    } else {
        p.start(QStringLiteral(PROTOCOLO_INITDB), arguments);
    }
    if (!p.waitForStarted()) return {};
    p.write(input);
    p.closeWriteChannel();
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
    void passwordFromStandardInput();
    void fullDiskLeavesNothingBehind();
    void existingDatabaseOnAServerIsKept();
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
    r = initdb({QStringLiteral("--admin-password-stdin"), path}, "abc\n");
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
        << QStringList{QStringLiteral("--admin-password-stdin"), QStringLiteral("nao/existe/x.fdb")} << 1
        << QStringLiteral("não foi possível criar o banco");
    // No silent default: without a terminal to ask on, the password must be given.
    QTest::newRow("no password and no terminal")
        << QStringList{QStringLiteral("x.fdb")} << 2 << QStringLiteral("--admin-password-stdin");
    QTest::newRow("empty password") << QStringList{QStringLiteral("--admin-password-stdin"),
                                                   QStringLiteral("x.fdb")}
                                    << 2 << QStringLiteral("não pode ser vazia");
    QTest::newRow("both ways of giving it")
        << QStringList{QStringLiteral("--admin-password-stdin"), QStringLiteral("--admin-password"),
                       QStringLiteral("abc"), QStringLiteral("x.fdb")}
        << 2 << QStringLiteral("não os dois");
}

void TestInitDb::refusals() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    for (QString& a : arguments)
        if (a.endsWith(QLatin1String(".fdb"))) a = dir.filePath(a);
    // Standard input holds a password only where the row asks for one (and is otherwise empty).
    const QByteArray input =
        QTest::currentDataTag() == QByteArray("empty password") ? QByteArray("\n") : QByteArray("segredo\n");
    const Run r = initdb(arguments, input);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    // Nothing is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

void TestInitDb::passwordFromStandardInput() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("NOVO.fdb"));
    const Run r = initdb({QStringLiteral("--admin-password-stdin"), path}, "Sênha2\r\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    {
        QString error;
        QSqlDatabase c = core::openNamedConnection(QStringLiteral("check"), path, &error);
        QVERIFY2(c.isOpen(), qPrintable(error));
        QSqlQuery q(c);
        QVERIFY(q.exec(QStringLiteral("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO = '00000001'")));
        QVERIFY(q.next());
        QCOMPARE(routines::scrambleDown(q.value(0).toString()), QStringLiteral("Sênha2"));
        q.finish();
        c.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

void TestInitDb::fullDiskLeavesNothingBehind() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CHEIO.fdb"));
    // The disk fills while the empty database is written, while its tables are made, and while
    // the first user and the demonstration rows go in. (With no room even for the engine's own
    // lock files the engine itself crashes; that is outside this tool.)
    for (const int blocks : {1200, 1600, 1950}) {
        const Run r = initdb({QStringLiteral("--demo"), QStringLiteral("--admin-password-stdin"), path},
                             "abc\n", blocks);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("protocolo-initdb: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("nada ficou gravado")), qPrintable(r.err));
        QVERIFY2(!QFileInfo::exists(path),
                 qPrintable(QStringLiteral("left behind after %1 blocks").arg(blocks)));
    }
    // With room again the same command succeeds: no "já existe" from a half-written file.
    const Run r = initdb({QStringLiteral("--demo"), QStringLiteral("--admin-password-stdin"), path}, "abc\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
}

void TestInitDb::existingDatabaseOnAServerIsKept() {
    if (!testsupport::TestServer::available()) QSKIP("no Firebird server program on this machine");
    testsupport::TestServer server;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QString location =
        server.address() + QStringLiteral(":") + server.dataFolder() + QStringLiteral("/ESCRITORIO.fdb");
    Run r = initdb({QStringLiteral("--admin-password-stdin"), location}, "abc\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    // A second run on the office's database fails and must leave it as it was.
    r = initdb({QStringLiteral("--admin-password-stdin"), location}, "xyz\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("protocolo-initdb: não foi possível criar o banco")),
             qPrintable(r.err));
    {
        QSqlDatabase c = core::openNamedConnection(QStringLiteral("office"), location, &error);
        QVERIFY2(c.isOpen(), qPrintable(error));
        QSqlQuery q(c);
        QVERIFY(q.exec(QStringLiteral("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO = '00000001'")) &&
                q.next());
        QCOMPARE(routines::scrambleDown(q.value(0).toString()), QStringLiteral("abc"));
        q.finish();
        c.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("office"));
}

QTEST_GUILESS_MAIN(TestInitDb)
#include "tst_initdb.moc"
