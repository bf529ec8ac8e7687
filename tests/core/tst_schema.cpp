#include "db/database.h"
#include "tests/support/testdatabase.h"

#include <QFile>
#include <QTest>

using testsupport::TestDatabase;

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void columnsReadBackFromCatalogue_data();
    void columnsReadBackFromCatalogue();
    void keysAndIndices();
    void characterSetAndDialect();
    void refusesExistingFile();
};

void TestSchema::columnsReadBackFromCatalogue_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("type"); // as the catalogue describes it
    QTest::addColumn<bool>("notNull");
    QTest::newRow("EMPRESA.IDEMPRESA") << "EMPRESA"
                                       << "IDEMPRESA"
                                       << "VARCHAR(2)" << true;
    QTest::newRow("EMPRESA.LOGO") << "EMPRESA"
                                  << "LOGO"
                                  << "BLOB" << false;
    QTest::newRow("UNIDADES.TIPO_UNIDADE") << "UNIDADES"
                                           << "TIPO_UNIDADE"
                                           << "VARCHAR(2)" << false;
    QTest::newRow("SETORES.IDSETOR") << "SETORES"
                                     << "IDSETOR"
                                     << "VARCHAR(6)" << true;
    QTest::newRow("INTERESSADOS.TIPO") << "INTERESSADOS"
                                       << "TIPO"
                                       << "VARCHAR(20)" << false;
    QTest::newRow("USUARIOS.SENHA") << "USUARIOS"
                                    << "SENHA"
                                    << "VARCHAR(10)" << false;
    QTest::newRow("USUARIOS_ACESSOS.ACESSO") << "USUARIOS_ACESSOS"
                                             << "ACESSO"
                                             << "VARCHAR(100)" << true;
    QTest::newRow("USUARIOS_ACESSOS.TITULO") << "USUARIOS_ACESSOS"
                                             << "TITULO"
                                             << "VARCHAR(200)" << false;
    QTest::newRow("PROCESSOS.ANO") << "PROCESSOS"
                                   << "ANO"
                                   << "VARCHAR(4)" << true;
    QTest::newRow("PROCESSOS.DATA") << "PROCESSOS"
                                    << "DATA"
                                    << "DATE" << false;
    QTest::newRow("PROCESSOS.HORA") << "PROCESSOS"
                                    << "HORA"
                                    << "TIME" << false;
    QTest::newRow("PROCESSOS.PROCESSO") << "PROCESSOS"
                                        << "PROCESSO"
                                        << "BLOB" << false;
    QTest::newRow("TRAMITACAO.MOTIVO_ARQUIVAMENTO") << "TRAMITACAO"
                                                    << "MOTIVO_ARQUIVAMENTO"
                                                    << "VARCHAR(300)" << false;
    QTest::newRow("TRAMITACAO.IDUNIDADE") << "TRAMITACAO"
                                          << "IDUNIDADE"
                                          << "VARCHAR(4)" << false;
}

void TestSchema::columnsReadBackFromCatalogue() {
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, type);
    QFETCH(bool, notNull);
    TestDatabase db;
    QVERIFY_DB(db);
    const auto rows =
        db.rows("SELECT F.RDB$FIELD_TYPE, F.RDB$CHARACTER_LENGTH, COALESCE(RF.RDB$NULL_FLAG, 0) "
                "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
                "WHERE RF.RDB$RELATION_NAME = ? AND RF.RDB$FIELD_NAME = ?",
                {table, column});
    QCOMPARE(rows.size(), 1);
    const int fieldType = rows[0][0].toInt();
    QString described;
    switch (fieldType) {
    case 37:
        described = QStringLiteral("VARCHAR(%1)").arg(rows[0][1].toInt());
        break;
    case 12:
        described = QStringLiteral("DATE");
        break;
    case 13:
        described = QStringLiteral("TIME");
        break;
    case 261:
        described = QStringLiteral("BLOB");
        break;
    default:
        described = QString::number(fieldType);
    }
    QCOMPARE(described, type);
    QCOMPARE(rows[0][2].toInt() == 1, notNull);
}

void TestSchema::keysAndIndices() {
    TestDatabase db;
    QVERIFY_DB(db);
    // The ten tables, the deadlines, the latest movements, the look-up secret and the audit trail.
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0").toInt(),
             17);
    // The table of latest movements comes with the procedure and the triggers that keep it; the
    // audit trail with the procedure that writes it, a trigger on each traced table and the
    // guards that keep it append-only.
    QCOMPARE(
        db.rows("SELECT TRIM(RDB$PROCEDURE_NAME) FROM RDB$PROCEDURES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 "
                "ORDER BY 1"),
        (QList<QVariantList>{{"TRILHA_GRAVA"}, {"ULTIMA_TRAMITACAO_CALCULA"}}));
    QList<QVariantList> triggers{{"PRAZOS_ULTIMA", "PRAZOS_TIPOPROCESSO"},
                                 {"PROCESSOS_ULTIMA", "PROCESSOS"},
                                 {"TRAMITACAO_ULTIMA", "TRAMITACAO"},
                                 {"TRILHA_SELOS_SOMENTE_INCLUSAO", "TRILHA_SELOS"},
                                 {"TRILHA_SOMENTE_INCLUSAO", "TRILHA"}};
    for (const char* table :
         {"EMPRESA", "TIPOUNIDADE", "UNIDADES", "SETORES", "TIPOPROCESSO", "PRAZOS_TIPOPROCESSO",
          "INTERESSADOS", "USUARIOS", "USUARIOS_ACESSOS", "PROCESSOS", "TRAMITACAO", "CONSULTA_SEGREDO"})
        triggers << QVariantList{QString::fromLatin1(table) + QStringLiteral("_TRILHA"),
                                 QString::fromLatin1(table)};
    std::sort(triggers.begin(), triggers.end(), [](const QVariantList& a, const QVariantList& b) {
        return a.first().toString() < b.first().toString();
    });
    QCOMPARE(db.rows("SELECT TRIM(RDB$TRIGGER_NAME), TRIM(RDB$RELATION_NAME) FROM RDB$TRIGGERS "
                     "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1"),
             triggers);
    // Primary key of PROCESSOS is number and year, by name.
    const auto pk = db.rows("SELECT S.RDB$FIELD_NAME FROM RDB$RELATION_CONSTRAINTS C "
                            "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
                            "WHERE C.RDB$CONSTRAINT_NAME = 'PK_PROCESSOS' ORDER BY S.RDB$FIELD_POSITION");
    QCOMPARE(pk.size(), 2);
    QCOMPARE(pk[0][0].toString().trimmed(), QStringLiteral("IDPROCESSO"));
    QCOMPARE(pk[1][0].toString().trimmed(), QStringLiteral("ANO"));
    const auto access = db.rows("SELECT S.RDB$FIELD_NAME FROM RDB$RELATION_CONSTRAINTS C "
                                "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
                                "WHERE C.RDB$RELATION_NAME = 'USUARIOS_ACESSOS' AND C.RDB$CONSTRAINT_TYPE = "
                                "'PRIMARY KEY' ORDER BY S.RDB$FIELD_POSITION");
    QCOMPARE(access.size(), 2);
    QCOMPARE(access[0][0].toString().trimmed(), QStringLiteral("ACESSO"));
    // The named indices, with their direction (1 = descending).
    const QList<std::tuple<QString, QString, QString, int>> indices{
        {"PROCESSOS_I1", "PROCESSOS", "IDPROCESSO", 0},
        {"PROCESSOS_I2", "PROCESSOS", "ANO", 0},
        {"TRAMITACAO_I1", "TRAMITACAO", "DATA_RECEBIMENTO", 1},
        {"TRAMITACAO_I2", "TRAMITACAO", "HORA_RECEBIMENTO", 1},
        {"TRAMITACAO_REGISTRO_DESC", "TRAMITACAO", "REGISTRO", 1},
    };
    for (const auto& [name, table, column, descending] : indices) {
        const auto r =
            db.rows("SELECT I.RDB$RELATION_NAME, S.RDB$FIELD_NAME, COALESCE(I.RDB$INDEX_TYPE, 0) "
                    "FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
                    "WHERE I.RDB$INDEX_NAME = ?",
                    {name});
        QVERIFY2(r.size() == 1, qPrintable(name));
        QCOMPARE(r[0][0].toString().trimmed(), table);
        QCOMPARE(r[0][1].toString().trimmed(), column);
        QCOMPARE(r[0][2].toInt(), descending);
    }
    // Movement look-ups by process and by destination user are indexed: the destination in the
    // movement number's order (the dispatch search) and in the pending list's.
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM RDB$INDEX_SEGMENTS S JOIN RDB$INDICES I ON I.RDB$INDEX_NAME = "
                       "S.RDB$INDEX_NAME WHERE I.RDB$RELATION_NAME = 'TRAMITACAO' AND S.RDB$FIELD_NAME = "
                       "'COD_USUARIO_DESTINO' AND S.RDB$FIELD_POSITION = 0")
                 .toInt(),
             2);
    // So are the processes by the user who typed them (the process form's list).
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM RDB$INDEX_SEGMENTS S JOIN RDB$INDICES I ON I.RDB$INDEX_NAME = "
                       "S.RDB$INDEX_NAME WHERE I.RDB$RELATION_NAME = 'PROCESSOS' AND S.RDB$FIELD_NAME = "
                       "'COD_USUARIO'")
                 .toInt(),
             1);
}

void TestSchema::characterSetAndDialect() {
    TestDatabase db;
    QVERIFY_DB(db);
    QCOMPARE(db.scalar("SELECT TRIM(RDB$CHARACTER_SET_NAME) FROM RDB$DATABASE").toString(),
             QStringLiteral("WIN1252"));
    QCOMPARE(db.scalar("SELECT MON$SQL_DIALECT FROM MON$DATABASE").toInt(), 3);
    // Accented text and a quote are stored as typed.
    QVERIFY(db.exec("INSERT INTO SETORES (IDSETOR, SETOR) VALUES (?, ?)", {"000001", "Gestão d'Água"}));
    QCOMPARE(db.scalar("SELECT SETOR FROM SETORES").toString(), QStringLiteral("Gestão d'Água"));
}

void TestSchema::refusesExistingFile() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QByteArray before = [&] {
        QFile f(db.path());
        f.open(QIODevice::ReadOnly);
        return f.read(4096);
    }();
    QString error;
    QVERIFY(!db::createDatabase(db.path(), &error));
    QVERIFY2(error.contains(QStringLiteral("já existe")), qPrintable(error));
    QFile f(db.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.read(4096), before);
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
