#include "db/update.h"

#include "core/publiclookup.h"
#include "core/readquery.h"
#include "db/database.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

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

// A transaction of the update's own that does not wait on locks. The program's connection waits
// on locks, and a change of structure waits for every other workstation to let go of the table:
// through it the update would hang for as long as anyone keeps a window open. Refused at once
// instead, the statement is skipped like any other. A statement the database refuses inside it is
// undone on its own (the engine wraps each statement in a savepoint); the others stay.
class Transaction {
public:
    explicit Transaction(QSqlDatabase& connection) {
        if (!core::firebirdAttachment(connection, &m_db)) {
            m_error = QStringLiteral("A conexão não é uma conexão Firebird.");
            return;
        }
        static char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                             isc_tpb_nowait};
        ISC_STATUS_ARRAY status{};
        if (isc_start_transaction(status, &m_transaction, 1, &m_db, short(sizeof tpb), tpb))
            m_error = core::firebirdStatusText(status);
    }
    ~Transaction() { rollback(); }
    bool started() const { return m_transaction != 0; }
    QString startError() const { return m_error; }

    Run execute(const QString& sql) {
        if (!started()) return {false, m_error};
        ISC_STATUS_ARRAY status{};
        const QByteArray text = sql.toUtf8();
        if (isc_dsql_execute_immediate(status, &m_db, &m_transaction, 0, text.constData(), 3, nullptr))
            return {false, core::firebirdStatusText(status)};
        return {true, QString()};
    }
    // Structure changes are checked and applied at commit: a refusal shows here, and undoes all.
    Run commit() {
        if (!started()) return {false, m_error};
        ISC_STATUS_ARRAY status{};
        if (isc_commit_transaction(status, &m_transaction)) {
            const QString error = core::firebirdStatusText(status);
            rollback();
            return {false, error};
        }
        m_transaction = 0;
        return {true, QString()};
    }
    void rollback() {
        if (!m_transaction) return;
        ISC_STATUS_ARRAY ignored{};
        if (isc_rollback_transaction(ignored, &m_transaction)) m_transaction = 0;
    }

private:
    isc_db_handle m_db = 0;
    isc_tr_handle m_transaction = 0;
    QString m_error;
};

// Runs one statement in a transaction of its own, committed at once.
Run execute(QSqlDatabase& connection, const QString& sql) {
    Transaction transaction(connection);
    if (!transaction.started()) return {false, transaction.startError()};
    const Run run = transaction.execute(sql);
    if (!run.ok) return run;
    return transaction.commit();
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
        Run run = execute(connection, object.statement);
        if (!run.ok) {
            // An update killed while it created this object leaves the catalogue rows of its
            // rolled-back work behind (an index name of the table, a field) until someone reads
            // them: reading the catalogue clears them, and the creation is tried once more.
            for (const char* table :
                 {"RDB$RELATIONS", "RDB$RELATION_FIELDS", "RDB$FIELDS", "RDB$INDICES", "RDB$INDEX_SEGMENTS",
                  "RDB$RELATION_CONSTRAINTS", "RDB$GENERATORS", "RDB$PROCEDURES", "RDB$PROCEDURE_PARAMETERS",
                  "RDB$TRIGGERS", "RDB$DEPENDENCIES", "RDB$EXCEPTIONS"})
                count(connection, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(table)));
            run = execute(connection, object.statement);
        }
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
    // The triggers raise the exceptions and call the procedures: those come first.
    QStringList created = createMissing(
        connection, schemaExceptions(),
        QStringLiteral("SELECT COUNT(*) FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = ?"), errorText);
    created += createMissing(
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
            "P.IDTIPOPROCESSO, D.DIAS, X.ARQUIVADO FROM (SELECT T.IDPROCESSO, T.ANO, T.REGISTRO, "
            "T.IDUNIDADE, "
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
    bool inactive = false;
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
    q.prepare(
        QStringLiteral("SELECT I.RDB$RELATION_NAME, COALESCE(I.RDB$INDEX_TYPE, 0), "
                       "COALESCE(I.RDB$UNIQUE_FLAG, 0), S.RDB$FIELD_NAME, COALESCE(I.RDB$INDEX_INACTIVE, 0) "
                       "FROM RDB$INDICES I "
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
        shape.inactive = q.value(4).toInt() != 0;
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

int pairStartingBefore(int n) {
    // The key, then the four indices: each dropped and built again.
    switch (n) {
    case kAddProcessKey:
        return kDropProcessKey;
    case 19:
    case 21:
    case 23:
    case 25:
        return n - 1;
    default:
        return 0;
    }
}

UpdateOutcome updateDatabase(QSqlDatabase& connection, const std::function<void(int)>& beforeStatement,
                             const std::function<void(int)>& afterStep) {
    UpdateOutcome outcome;
    // The statements this workstation keeps prepared hold the tables and indices they read: a
    // change of those would be refused as "in use".
    core::releaseReads(connection);
    const QStringList oldKey = primaryKeyColumns(connection, QStringLiteral("PROCESSOS"));
    QString keyError;
    const QStringList statements = updateStatements();
    // The transaction of a pair, open between its two statements.
    std::unique_ptr<Transaction> pair;
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
        const bool opensPair = pairStartingBefore(n + 1) == n;
        const bool closesPair = pairStartingBefore(n) != 0;
        if (opensPair) pair = std::make_unique<Transaction>(connection);
        Run run;
        if (pair) {
            run = pair->execute(statements.at(n - 1));
            if (closesPair) {
                // The building decides for the pair: refused, the drop before it is undone too.
                // A drop that was refused (nothing to drop yet) does not stop the building.
                if (run.ok) {
                    run = pair->commit();
                } else {
                    pair->rollback();
                }
                pair.reset();
            }
        } else {
            run = execute(connection, statements.at(n - 1));
        }
        if (!run.ok) outcome.refused << n;
        // When the old key could not even be dropped, that is the reason worth keeping.
        if (n == kDropProcessKey && !run.ok) keyError = run.error;
        if (n == kAddProcessKey && !run.ok && keyError.isEmpty()) keyError = run.error;
        if (afterStep) afterStep(n);
    }
    outcome.tablesCreated = createMissingTables(connection);
    // The citizens' look-up needs the installation's secret; one already there is kept, or the
    // codes on the receipts printed so far would stop working.
    const bool secretThere = core::consulta::ensureSecret(connection, nullptr, &outcome.secretCreated);
    if (afterStep) afterStep(kAfterTables);
    outcome.routinesCreated = createMissingRoutines(connection);
    if (afterStep) afterStep(kAfterRoutines);
    // Movements recorded before the table or its triggers existed are not in it yet.
    if (outcome.tablesCreated.contains(QStringLiteral("ULTIMA_TRAMITACAO")) ||
        outcome.routinesCreated.contains(QStringLiteral("TRAMITACAO_ULTIMA")) ||
        outcome.routinesCreated.contains(QStringLiteral("PROCESSOS_ULTIMA")) ||
        outcome.routinesCreated.contains(QStringLiteral("PRAZOS_ULTIMA")))
        outcome.latestFilled = fillLatestMovements(connection);
    if (afterStep) afterStep(kAfterLatest);
    outcome.indicesCreated = createMissingIndices(connection, nullptr, &outcome.indicesRebuilt);
    if (afterStep) afterStep(kAfterIndices);

    // What was asked is not proof of what is there: a full disk, a lost connection or another
    // workstation can make any step fail quietly. Only the catalogue, read afterwards, says.
    outcome.missing = missingSchemaParts(connection);
    if (primaryKeyColumns(connection, QStringLiteral("PROCESSOS")) != kNewProcessKey) {
        outcome.complete = false;
        outcome.problem = whyNoNewKey(connection);
        outcome.serverText = keyError;
        if (primaryKeyColumns(connection, QStringLiteral("PROCESSOS")).isEmpty() && !oldKey.isEmpty())
            outcome.problem += QStringLiteral(" A tabela de processos ficou sem chave primária.");
    }
    if (!secretThere && !core::consulta::readSecret(connection).size())
        outcome.missing << QStringLiteral("o segredo da consulta pública (tabela CONSULTA_SEGREDO)");
    if (!outcome.missing.isEmpty()) outcome.complete = false;
    return outcome;
}

namespace {

// The column names and the primary key columns a CREATE TABLE of schema.sql declares (one
// column or constraint a line, as the schema is written).
void tableInSchema(const QString& statement, QStringList* columns, QStringList* key) {
    static const QRegularExpression keyForm(QStringLiteral("PRIMARY\\s+KEY\\s*\\(([^)]*)\\)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = keyForm.match(statement);
    if (m.hasMatch())
        for (const QString& c : m.captured(1).split(QLatin1Char(',')))
            *key << c.trimmed().toUpper();
    // A column line starts with its name and its type; constraints and their continuations do not.
    static const QRegularExpression columnForm(
        QStringLiteral(
            "^\\s*(\\w+)\\s+(VARCHAR|CHAR|SMALLINT|INTEGER|INT|BIGINT|NUMERIC|DECIMAL|DOUBLE|FLOAT|"
            "DATE|TIME|TIMESTAMP|BLOB|BOOLEAN|COMPUTED)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const int open = statement.indexOf(QLatin1Char('('));
    for (const QString& line : statement.mid(open + 1).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch column = columnForm.match(line);
        if (column.hasMatch()) *columns << column.captured(1).toUpper();
    }
}

QStringList namesIn(QSqlDatabase& connection, const QString& sql, const QString& parameter = QString()) {
    QStringList names;
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    q.prepare(sql);
    if (!parameter.isNull()) q.addBindValue(parameter);
    if (q.exec())
        while (q.next())
            names << q.value(0).toString().trimmed();
    return names;
}

} // namespace

QStringList missingSchemaParts(QSqlDatabase& connection) {
    QStringList missing;
    const QStringList tables = namesIn(
        connection,
        QStringLiteral("SELECT RDB$RELATION_NAME FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    if (tables.isEmpty()) return {QStringLiteral("o catálogo do banco de dados não pôde ser lido")};
    for (const SchemaObject& table : schemaTables()) {
        if (!tables.contains(table.name)) {
            missing << QStringLiteral("tabela %1").arg(table.name);
            continue;
        }
        QStringList columns, key;
        tableInSchema(table.statement, &columns, &key);
        const QStringList stored = namesIn(
            connection,
            QStringLiteral("SELECT RDB$FIELD_NAME FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = ?"),
            table.name);
        for (const QString& column : std::as_const(columns))
            if (!stored.contains(column)) missing << QStringLiteral("coluna %1.%2").arg(table.name, column);
        if (!key.isEmpty() && primaryKeyColumns(connection, table.name) != key)
            missing << QStringLiteral("chave primária de %1 (%2)")
                           .arg(table.name, key.join(QStringLiteral(", ")));
    }
    for (const SchemaIndex& index : schemaIndices()) {
        QString readError;
        const IndexShape stored = shapeInDatabase(connection, index.name, &readError);
        const IndexShape wanted = shapeInSchema(index.statement);
        if (stored.table.isEmpty())
            missing << QStringLiteral("índice %1").arg(index.name);
        else if (stored.inactive)
            missing << QStringLiteral("índice %1 (inativo)").arg(index.name);
        else if (!wanted.table.isEmpty() && !(stored == wanted))
            missing << QStringLiteral("índice %1 (com outra definição)").arg(index.name);
    }
    const QStringList procedures =
        namesIn(connection,
                QStringLiteral(
                    "SELECT RDB$PROCEDURE_NAME FROM RDB$PROCEDURES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    for (const SchemaObject& procedure : schemaProcedures())
        if (!procedures.contains(procedure.name))
            missing << QStringLiteral("procedimento %1").arg(procedure.name);
    const QStringList exceptions =
        namesIn(connection,
                QStringLiteral(
                    "SELECT RDB$EXCEPTION_NAME FROM RDB$EXCEPTIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    for (const SchemaObject& exception : schemaExceptions())
        if (!exceptions.contains(exception.name)) missing << QStringLiteral("exceção %1").arg(exception.name);
    const QStringList triggers = namesIn(
        connection,
        QStringLiteral("SELECT RDB$TRIGGER_NAME FROM RDB$TRIGGERS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"));
    const QStringList activeTriggers =
        namesIn(connection,
                QStringLiteral("SELECT RDB$TRIGGER_NAME FROM RDB$TRIGGERS WHERE "
                               "COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND COALESCE(RDB$TRIGGER_INACTIVE, 0) = 0"));
    for (const SchemaObject& trigger : schemaTriggers()) {
        if (!triggers.contains(trigger.name))
            missing << QStringLiteral("gatilho %1").arg(trigger.name);
        else if (!activeTriggers.contains(trigger.name))
            missing << QStringLiteral("gatilho %1 (inativo)").arg(trigger.name);
    }
    return missing;
}

namespace {

QString backupLine(const UpdateOutcome& outcome) {
    if (outcome.backupFile.isEmpty()) return QString();
    return QStringLiteral("\n\nCópia de segurança do banco de dados feita antes da atualização: %1")
        .arg(outcome.backupFile);
}

// The parts the user is told about: the first ones, and how many more.
QString listOf(const QStringList& parts) {
    constexpr int shown = 10;
    QString text = parts.mid(0, shown).join(QStringLiteral(", "));
    if (parts.size() > shown) text += QStringLiteral(" e mais %1").arg(parts.size() - shown);
    return text;
}

} // namespace

QString updateMessage(const UpdateOutcome& outcome) {
    if (outcome.complete)
        return QStringLiteral("Atualização do Banco de Dados realizada com sucesso!") + backupLine(outcome);
    QString text;
    QStringList others = outcome.missing;
    if (!outcome.problem.isEmpty()) {
        text = QStringLiteral(
                   "Atenção,\nA atualização do Banco de Dados ficou incompleta: a chave dos processos não "
                   "passou a ser número e ano e continua como estava.\n") +
               outcome.problem;
        others.removeAll(QStringLiteral("chave primária de PROCESSOS (IDPROCESSO, ANO)"));
        if (!others.isEmpty())
            text += QStringLiteral("\nFaltam também no banco de dados: %1.").arg(listOf(others));
    } else {
        text =
            QStringLiteral("Atenção,\nA atualização do Banco de Dados ficou incompleta. Faltam no banco de "
                           "dados: %1.\nVerifique o espaço livre no disco do banco de dados e a conexão, "
                           "e execute a atualização novamente.")
                .arg(listOf(others));
    }
    return text + backupLine(outcome);
}

qint64 databaseBytes(QSqlDatabase& connection) {
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT CAST(MON$PAGE_SIZE AS BIGINT) * MON$PAGES FROM MON$DATABASE")) ||
        !q.next())
        return -1;
    return q.value(0).toLongLong();
}

qint64 requiredFreeBytes(qint64 databaseBytes) {
    return 2 * qMax<qint64>(databaseBytes, 0) + kFreeSpaceMargin;
}

QString notEnoughSpaceMessage(const QString& folder, qint64 freeBytes, qint64 requiredBytes) {
    const auto megabytes = [](qint64 bytes) {
        return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024));
    };
    return QStringLiteral(
               "Atenção,\nNão há espaço livre suficiente no disco do banco de dados para atualizá-lo "
               "com segurança: há %1 MB livres em %2 e a atualização precisa de %3 MB (a cópia de "
               "segurança feita antes dela e o crescimento do banco).\nO banco de dados não foi "
               "alterado. Libere espaço nesse disco e execute a atualização novamente.")
        .arg(megabytes(freeBytes), folder, megabytes(requiredBytes));
}

namespace {

void addSpbText(QByteArray* spb, char tag, const QByteArray& text) {
    spb->append(tag);
    spb->append(char(text.size() & 0xff));
    spb->append(char((text.size() >> 8) & 0xff));
    spb->append(text);
}

} // namespace

bool backupDatabase(const QString& serviceManager, const QString& database, const QString& backupFile,
                    const QString& userName, const QString& password, QString* errorText) {
    const auto fail = [&](const QString& why) {
        if (errorText) *errorText = why.trimmed();
        return false;
    };
    ISC_STATUS_ARRAY status{};
    isc_svc_handle service = 0;
    QByteArray attach;
    attach.append(char(isc_spb_version));
    attach.append(char(isc_spb_current_version));
    const QByteArray user = userName.toUtf8(), pass = password.toUtf8();
    attach.append(char(isc_spb_user_name));
    attach.append(char(user.size()));
    attach.append(user);
    attach.append(char(isc_spb_password));
    attach.append(char(pass.size()));
    attach.append(pass);
    QByteArray name = serviceManager.toUtf8();
    if (isc_service_attach(status, 0, name.data(), &service, ushort(attach.size()), attach.data()))
        return fail(core::firebirdStatusText(status));
    const auto detach = [&] {
        ISC_STATUS_ARRAY ignored{};
        isc_service_detach(ignored, &service);
    };
    QByteArray start;
    start.append(char(isc_action_svc_backup));
    addSpbText(&start, isc_spb_dbname, database.toUtf8());
    addSpbText(&start, isc_spb_bkp_file, backupFile.toUtf8());
    start.append(char(isc_spb_verbose));
    if (isc_service_start(status, &service, nullptr, ushort(start.size()), start.data())) {
        const QString why = core::firebirdStatusText(status);
        detach();
        return fail(why);
    }
    // The engine reports the backup line by line; an empty line means it has finished.
    QString output;
    bool finished = false;
    char request[] = {isc_info_svc_line};
    char buffer[4096];
    while (!finished) {
        if (isc_service_query(status, &service, nullptr, 0, nullptr, sizeof request, request, sizeof buffer,
                              buffer)) {
            const QString why = core::firebirdStatusText(status);
            detach();
            return fail(why + QLatin1Char('\n') + output.right(2000));
        }
        const char* p = buffer;
        const char* end = buffer + sizeof buffer;
        while (p < end && *p != isc_info_end) {
            const char item = *p++;
            if (item == isc_info_svc_line) {
                const int length = int(isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(p), 2));
                p += 2;
                if (length == 0) {
                    finished = true;
                    break;
                }
                output += QString::fromUtf8(p, length) + QLatin1Char('\n');
                p += length;
            } else if (item == isc_info_truncated || item == isc_info_svc_timeout ||
                       item == isc_info_data_not_ready) {
                break;
            } else {
                detach();
                return fail(QStringLiteral("Resposta inesperada do serviço de cópia de segurança.\n") +
                            output);
            }
        }
    }
    detach();
    // The verbose report of a backup that failed carries the engine's error; one that went to the
    // end closes the file.
    if (output.contains(QStringLiteral("ERROR"), Qt::CaseInsensitive)) return fail(output.right(2000));
    if (!output.contains(QStringLiteral("closing file"), Qt::CaseInsensitive))
        return fail(QStringLiteral("A cópia de segurança não chegou ao fim.\n") + output.right(2000));
    return true;
}

} // namespace db
