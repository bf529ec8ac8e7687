#include "db/update.h"

#include "db/database.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <ibase.h>

namespace db {

namespace {

// Positions in the list (1-based, as the progress counts them).
constexpr int kMakeYearNotNull = 12;
constexpr int kDropProcessKey = 13;
constexpr int kAddProcessKey = 14;

const QStringList kNewProcessKey{QStringLiteral("IDPROCESSO"), QStringLiteral("ANO")};

struct Run {
    bool ok;
    QString error;
};

QString statusText(const ISC_STATUS* status) {
    QString text;
    char buffer[512];
    const ISC_STATUS* p = status;
    while (fb_interpret(buffer, sizeof buffer, &p)) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QString::fromUtf8(buffer);
    }
    return text;
}

// Runs one statement in a transaction of its own that does not wait on locks, committed at once.
// The program's connection waits on locks, and a change of structure waits for every other
// workstation to let go of the table: through it the update would hang for as long as anyone
// keeps a window open. Refused at once instead, the statement is skipped like any other.
Run execute(QSqlDatabase& connection, const QString& sql) {
    const QVariant handle = connection.driver()->handle();
    // The Firebird driver hands out its attachment handle (an integer handle type).
    if (!handle.isValid() || handle.metaType().sizeOf() != int(sizeof(isc_db_handle)) ||
        qstrcmp(connection.driverName().toLatin1(), "QIBASE") != 0)
        return {false, QStringLiteral("A conexão não é uma conexão Firebird.")};
    isc_db_handle db = *static_cast<const isc_db_handle*>(handle.constData());
    static char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                         isc_tpb_nowait};
    ISC_STATUS_ARRAY status{};
    isc_tr_handle transaction = 0;
    if (isc_start_transaction(status, &transaction, 1, &db, short(sizeof tpb), tpb))
        return {false, statusText(status)};
    const QByteArray text = sql.toUtf8();
    if (isc_dsql_execute_immediate(status, &db, &transaction, 0, text.constData(), 3, nullptr)) {
        const QString error = statusText(status);
        ISC_STATUS_ARRAY ignored{};
        isc_rollback_transaction(ignored, &transaction);
        return {false, error};
    }
    // Structure changes are checked and applied at commit: a refusal shows here.
    if (isc_commit_transaction(status, &transaction)) {
        const QString error = statusText(status);
        ISC_STATUS_ARRAY ignored{};
        isc_rollback_transaction(ignored, &transaction);
        return {false, error};
    }
    return {true, QString()};
}

int count(QSqlDatabase& connection, const QString& sql) {
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    return q.exec(sql) && q.next() ? q.value(0).toInt() : 0;
}

QString quoted(const QString& identifier) {
    QString text = identifier;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString primaryKeyName(QSqlDatabase& connection, const QString& table) {
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT RDB$CONSTRAINT_NAME FROM RDB$RELATION_CONSTRAINTS "
                             "WHERE RDB$RELATION_NAME = ? AND RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'"));
    q.addBindValue(table);
    return q.exec() && q.next() ? q.value(0).toString().trimmed() : QString();
}

// The key can hold only distinct, present number-year pairs: name the first pair that stops it.
QString whyNoNewKey(QSqlDatabase& connection) {
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT FIRST 1 IDPROCESSO FROM PROCESSOS WHERE ANO IS NULL")) && q.next())
        return QStringLiteral(
                   "Há processos sem ano e sem data (por exemplo o processo número %1); informe o ano "
                   "deles e execute a atualização novamente.")
            .arg(q.value(0).toString());
    if (q.exec(QStringLiteral("SELECT FIRST 1 IDPROCESSO, ANO FROM PROCESSOS GROUP BY IDPROCESSO, ANO "
                              "HAVING COUNT(*) > 1")) &&
        q.next())
        return QStringLiteral(
                   "Há processos repetidos com o mesmo número e ano (por exemplo %1/%2); corrija-os e "
                   "execute a atualização novamente.")
            .arg(q.value(0).toString(), q.value(1).toString());
    return QStringLiteral(
        "O banco de dados recusou a alteração, provavelmente porque outra estação está usando "
        "a tabela de processos. Feche o sistema nas outras estações e execute a atualização "
        "novamente.");
}

} // namespace

QStringList updateStatements() {
    return {
        QStringLiteral("ALTER TABLE UNIDADES ADD TIPO_UNIDADE VARCHAR(2);"),
        // A text blob, as in a new database: the attached-documents list is read and written as text.
        QStringLiteral("ALTER TABLE PROCESSOS ADD DOCUMENTOS_ANEXADOS BLOB SUB_TYPE TEXT"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD DATA_RECEBIMENTO_FISICO DATE"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD HORA_RECEBIMENTO_FISICO TIME"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD DATA_ARQUIVAMENTO DATE"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD HORA_ARQUIVAMENTO TIME"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD MOTIVO_ARQUIVAMENTO VARCHAR(300)"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD DATA_DESARQUIVAMENTO DATE"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD HORA_DESARQUIVAMENTO TIME"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD MOTIVO_DESARQUIVAMENTO VARCHAR(300)"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD ANO VARCHAR(4)"),
        // Firebird 3 refuses writes to its catalogue (RDB$RELATION_FIELDS); its own statement
        // marks the column not null and checks the rows.
        QStringLiteral("ALTER TABLE PROCESSOS ALTER ANO SET NOT NULL"),
        QStringLiteral("ALTER TABLE PROCESSOS DROP CONSTRAINT PK_PROCESSOS"),
        QStringLiteral("ALTER TABLE PROCESSOS ADD CONSTRAINT PK_PROCESSOS PRIMARY KEY (IDPROCESSO,ANO)"),
        QStringLiteral("ALTER TABLE USUARIOS ADD IDTITULAR VARCHAR(6)"),
        QStringLiteral("ALTER TABLE USUARIOS ADD IDUNIDADE VARCHAR(4)"),
        QStringLiteral("ALTER TABLE TRAMITACAO ADD IDUNIDADE VARCHAR(4)"),
        QStringLiteral("DROP INDEX TRAMITACAO_I1"),
        QStringLiteral("CREATE DESCENDING INDEX TRAMITACAO_I1 ON TRAMITACAO (DATA_RECEBIMENTO)"),
        QStringLiteral("DROP INDEX TRAMITACAO_I2"),
        QStringLiteral("CREATE DESCENDING INDEX TRAMITACAO_I2 ON TRAMITACAO (HORA_RECEBIMENTO)"),
        QStringLiteral("DROP INDEX PROCESSOS_I1"),
        QStringLiteral("CREATE INDEX PROCESSOS_I1 ON PROCESSOS (IDPROCESSO)"),
        QStringLiteral("DROP INDEX PROCESSOS_I2"),
        QStringLiteral("CREATE INDEX PROCESSOS_I2 ON PROCESSOS (ANO)"),
    };
}

QStringList primaryKeyColumns(QSqlDatabase& connection, const QString& table) {
    QStringList columns;
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT S.RDB$FIELD_NAME FROM RDB$RELATION_CONSTRAINTS C "
                             "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
                             "WHERE C.RDB$RELATION_NAME = ? AND C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY' "
                             "ORDER BY S.RDB$FIELD_POSITION"));
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            columns << q.value(0).toString().trimmed();
    return columns;
}

namespace {

// Creates the objects whose name `existsQuery` (one parameter, the name) does not find.
QStringList createMissing(QSqlDatabase& connection, const QList<SchemaObject>& objects,
                          const QString& existsQuery, QString* errorText) {
    QStringList created;
    for (const SchemaObject& object : objects) {
        QSqlQuery q(connection);
        q.setForwardOnly(true);
        q.prepare(existsQuery);
        q.addBindValue(object.name);
        if (!q.exec() || !q.next()) {
            if (errorText) *errorText = q.lastError().text();
            continue;
        }
        if (q.value(0).toInt() > 0) continue;
        q.finish();
        const Run run = execute(connection, object.statement);
        if (run.ok)
            created << object.name;
        else if (errorText)
            *errorText = run.error + QStringLiteral("\n") + object.statement;
    }
    return created;
}

} // namespace

QStringList createMissingTables(QSqlDatabase& connection, QString* errorText) {
    return createMissing(connection, schemaTables(),
                         QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?"),
                         errorText);
}

QStringList createMissingRoutines(QSqlDatabase& connection, QString* errorText) {
    QStringList created = createMissing(
        connection, schemaProcedures(),
        QStringLiteral("SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = ?"), errorText);
    created += createMissing(connection, schemaTriggers(),
                             QStringLiteral("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = ?"),
                             errorText);
    return created;
}

bool fillLatestMovements(QSqlDatabase& connection, QString* errorText) {
    // The same "latest" as the procedure the triggers call: the greatest date, time and register
    // number of the process's movements. The clearing and the filling share one transaction.
    const Run run = execute(
        connection,
        QStringLiteral(
            "EXECUTE BLOCK AS BEGIN "
            "DELETE FROM ULTIMA_TRAMITACAO; "
            "INSERT INTO ULTIMA_TRAMITACAO (IDPROCESSO, ANO, REGISTRO, IDUNIDADE, COD_USUARIO_DESTINO, DATA, "
            "IDTIPOPROCESSO, DIAS, ARQUIVADO) "
            "SELECT X.IDPROCESSO, X.ANO, X.REGISTRO, X.IDUNIDADE, X.COD_USUARIO_DESTINO, X.DATA, "
            "P.IDTIPOPROCESSO, D.DIAS, X.ARQUIVADO FROM (SELECT T.IDPROCESSO, T.ANO, T.REGISTRO, T.IDUNIDADE, "
            "T.COD_USUARIO_DESTINO, T.DATA, "
            "IIF(T.DATA_ARQUIVAMENTO IS NOT NULL AND T.DATA_DESARQUIVAMENTO IS NULL, 1, 0) AS ARQUIVADO, "
            "ROW_NUMBER() OVER (PARTITION BY T.IDPROCESSO, T.ANO "
            "ORDER BY T.DATA DESC, T.HORA DESC, T.REGISTRO DESC) AS N "
            "FROM TRAMITACAO T WHERE T.IDPROCESSO IS NOT NULL AND T.ANO IS NOT NULL) X "
            "LEFT JOIN PROCESSOS P ON P.IDPROCESSO = X.IDPROCESSO AND P.ANO = X.ANO "
            "LEFT JOIN PRAZOS_TIPOPROCESSO D ON D.IDTIPO = P.IDTIPOPROCESSO "
            "WHERE X.N = 1; "
            "END"));
    if (!run.ok && errorText) *errorText = run.error;
    return run.ok;
}

namespace {

// What an index is made of, as the schema writes it and as the catalogue holds it.
struct IndexShape {
    QString table;
    QStringList columns;
    bool descending = false;
    bool unique = false;
    bool operator==(const IndexShape& o) const {
        return table == o.table && columns == o.columns && descending == o.descending && unique == o.unique;
    }
};

IndexShape shapeInSchema(const QString& statement) {
    static const QRegularExpression form(
        QStringLiteral(
            "^\\s*CREATE\\s+(UNIQUE\\s+)?(?:(ASC|ASCENDING|DESC|DESCENDING)\\s+)?INDEX\\s+\\w+\\s+ON\\s+"
            "(\\w+)\\s*\\(([^)]*)\\)"),
        QRegularExpression::CaseInsensitiveOption);
    IndexShape shape;
    const QRegularExpressionMatch m = form.match(statement);
    if (!m.hasMatch()) return shape;
    shape.unique = !m.captured(1).isEmpty();
    shape.descending = m.captured(2).startsWith(QLatin1String("DESC"), Qt::CaseInsensitive);
    shape.table = m.captured(3).toUpper();
    for (const QString& column : m.captured(4).split(QLatin1Char(',')))
        shape.columns << column.trimmed().toUpper();
    return shape;
}

// Empty table when the database holds no index of that name.
IndexShape shapeInDatabase(QSqlDatabase& connection, const QString& name, QString* errorText) {
    IndexShape shape;
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT I.RDB$RELATION_NAME, COALESCE(I.RDB$INDEX_TYPE, 0), "
                             "COALESCE(I.RDB$UNIQUE_FLAG, 0), S.RDB$FIELD_NAME FROM RDB$INDICES I "
                             "LEFT JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
                             "WHERE I.RDB$INDEX_NAME = ? ORDER BY S.RDB$FIELD_POSITION"));
    q.addBindValue(name);
    if (!q.exec()) {
        if (errorText) *errorText = q.lastError().text();
        return shape;
    }
    while (q.next()) {
        shape.table = q.value(0).toString().trimmed();
        shape.descending = q.value(1).toInt() == 1;
        shape.unique = q.value(2).toInt() == 1;
        if (!q.value(3).isNull()) shape.columns << q.value(3).toString().trimmed();
    }
    return shape;
}

} // namespace

QStringList createMissingIndices(QSqlDatabase& connection, QString* errorText, QStringList* rebuilt) {
    QStringList created;
    for (const SchemaIndex& index : schemaIndices()) {
        QString readError;
        const IndexShape stored = shapeInDatabase(connection, index.name, &readError);
        if (!readError.isEmpty()) {
            if (errorText) *errorText = readError;
            continue;
        }
        const bool exists = !stored.table.isEmpty();
        // An index of an earlier version under the same name (fewer columns, another direction)
        // would keep the lists it serves slow for good: it is built again as the schema has it.
        const IndexShape wanted = shapeInSchema(index.statement);
        if (exists && (wanted.table.isEmpty() || stored == wanted)) continue;
        if (exists) {
            const Run drop = execute(connection, QStringLiteral("DROP INDEX %1").arg(quoted(index.name)));
            if (!drop.ok) {
                if (errorText) *errorText = drop.error + QStringLiteral("\nDROP INDEX ") + index.name;
                continue;
            }
        }
        const Run run = execute(connection, index.statement);
        if (run.ok && !exists)
            created << index.name;
        else if (run.ok && rebuilt)
            *rebuilt << index.name;
        else if (!run.ok && errorText)
            *errorText = run.error + QStringLiteral("\n") + index.statement;
    }
    return created;
}

UpdateOutcome updateDatabase(QSqlDatabase& connection, const std::function<void(int)>& beforeStatement) {
    UpdateOutcome outcome;
    const QStringList oldKey = primaryKeyColumns(connection, QStringLiteral("PROCESSOS"));
    const QString oldKeyName = primaryKeyName(connection, QStringLiteral("PROCESSOS"));
    bool keyDropped = false;
    QString keyError;
    const QStringList statements = updateStatements();
    for (int n = 1; n <= statements.size(); ++n) {
        if (beforeStatement) beforeStatement(n);
        if (n == kMakeYearNotNull) {
            // A process without a year cannot join the key: its registration date gives the year.
            const int withoutYear = count(
                connection,
                QStringLiteral("SELECT COUNT(*) FROM PROCESSOS WHERE ANO IS NULL AND DATA IS NOT NULL"));
            if (withoutYear > 0 &&
                execute(connection,
                        QStringLiteral("UPDATE PROCESSOS SET ANO = CAST(EXTRACT(YEAR FROM DATA) AS "
                                       "VARCHAR(4)) WHERE ANO IS NULL AND DATA IS NOT NULL"))
                    .ok)
                outcome.yearsFilled = withoutYear;
            // While the number alone is the key, a movement's process is unambiguous: movements
            // recorded before they carried the year get their process's, or they would drop out
            // of every list that joins on number and year.
            if (oldKey == QStringList{QStringLiteral("IDPROCESSO")})
                execute(connection,
                        QStringLiteral("UPDATE TRAMITACAO T SET T.ANO = (SELECT P.ANO FROM PROCESSOS P "
                                       "WHERE P.IDPROCESSO = T.IDPROCESSO) "
                                       "WHERE T.ANO IS NULL AND T.IDPROCESSO IS NOT NULL"));
        }
        const Run run = execute(connection, statements.at(n - 1));
        if (!run.ok) outcome.refused << n;
        if (n == kDropProcessKey) {
            keyDropped = run.ok;
            if (!run.ok) keyError = run.error;
        }
        if (n == kAddProcessKey && !run.ok) {
            // When the old key could not even be dropped, that is the reason worth keeping.
            if (keyError.isEmpty()) keyError = run.error;
            if (keyDropped && !oldKey.isEmpty()) {
                QStringList columns;
                for (const QString& c : oldKey)
                    columns << quoted(c);
                execute(connection, QStringLiteral("ALTER TABLE PROCESSOS ADD CONSTRAINT %1 PRIMARY KEY (%2)")
                                        .arg(quoted(oldKeyName), columns.join(QLatin1Char(','))));
            }
        }
    }
    outcome.tablesCreated = createMissingTables(connection);
    outcome.routinesCreated = createMissingRoutines(connection);
    // Movements recorded before the table or its triggers existed are not in it yet.
    if (outcome.tablesCreated.contains(QStringLiteral("ULTIMA_TRAMITACAO")) ||
        outcome.routinesCreated.contains(QStringLiteral("TRAMITACAO_ULTIMA")) ||
        outcome.routinesCreated.contains(QStringLiteral("PROCESSOS_ULTIMA")) ||
        outcome.routinesCreated.contains(QStringLiteral("PRAZOS_ULTIMA")))
        outcome.latestFilled = fillLatestMovements(connection);
    outcome.indicesCreated = createMissingIndices(connection, nullptr, &outcome.indicesRebuilt);

    if (primaryKeyColumns(connection, QStringLiteral("PROCESSOS")) != kNewProcessKey) {
        outcome.complete = false;
        outcome.problem = whyNoNewKey(connection);
        outcome.serverText = keyError;
        if (primaryKeyColumns(connection, QStringLiteral("PROCESSOS")).isEmpty() && !oldKey.isEmpty())
            outcome.problem += QStringLiteral(" A tabela de processos ficou sem chave primária.");
    }
    return outcome;
}

QString updateMessage(const UpdateOutcome& outcome) {
    if (outcome.complete) return QStringLiteral("Atualização do Banco de Dados realizada com sucesso!");
    return QStringLiteral(
               "Atenção,\nA atualização do Banco de Dados ficou incompleta: a chave dos processos não "
               "passou a ser número e ano e continua como estava.\n") +
           outcome.problem;
}

} // namespace db
