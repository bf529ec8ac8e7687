#include "db/update.h"

#include "db/database.h"

#include <QSqlError>
#include <QSqlQuery>

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

Run execute(QSqlDatabase& connection, const QString& sql, const QVariantList& values = {},
            int* affected = nullptr) {
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QVariant& v : values)
            q.addBindValue(v);
        ok = q.exec();
    }
    if (ok && affected) *affected = q.numRowsAffected();
    return {ok, ok ? QString() : q.lastError().text()};
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
QString whyNoNewKey(QSqlDatabase& connection, const QString& serverText) {
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
               "a tabela de processos (%1). Feche o sistema nas outras estações e execute a "
               "atualização novamente.")
        .arg(serverText.trimmed());
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

QStringList createMissingIndices(QSqlDatabase& connection, QString* errorText) {
    QStringList created;
    for (const SchemaIndex& index : schemaIndices()) {
        QSqlQuery q(connection);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = ?"));
        q.addBindValue(index.name);
        if (!q.exec() || !q.next()) {
            if (errorText) *errorText = q.lastError().text();
            continue;
        }
        if (q.value(0).toInt() > 0) continue;
        q.finish();
        const Run run = execute(connection, index.statement);
        if (run.ok)
            created << index.name;
        else if (errorText)
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
            execute(connection,
                    QStringLiteral("UPDATE PROCESSOS SET ANO = CAST(EXTRACT(YEAR FROM DATA) AS VARCHAR(4)) "
                                   "WHERE ANO IS NULL AND DATA IS NOT NULL"),
                    {}, &outcome.yearsFilled);
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
        if (n == kDropProcessKey) {
            keyDropped = run.ok;
            if (!run.ok) keyError = run.error;
        }
        if (n == kAddProcessKey && !run.ok) {
            keyError = run.error;
            if (keyDropped && !oldKey.isEmpty()) {
                QStringList columns;
                for (const QString& c : oldKey)
                    columns << quoted(c);
                execute(connection, QStringLiteral("ALTER TABLE PROCESSOS ADD CONSTRAINT %1 PRIMARY KEY (%2)")
                                        .arg(quoted(oldKeyName), columns.join(QLatin1Char(','))));
            }
        }
    }
    outcome.indicesCreated = createMissingIndices(connection);

    if (primaryKeyColumns(connection, QStringLiteral("PROCESSOS")) != kNewProcessKey) {
        outcome.complete = false;
        outcome.problem = whyNoNewKey(connection, keyError);
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
