#include "bench/benchdata.h"

#include "core/connection.h"
#include "db/database.h"
#include "db/update.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace bench {

namespace {

// Runs one server-side block with its counts bound; false with the database's text.
bool run(const char* what, const QString& block, const QVariantList& values, QString* error) {
    QElapsedTimer clock;
    clock.start();
    QSqlDatabase db = core::mainConnection();
    db.transaction();
    QSqlQuery q(db);
    if (!q.prepare(block)) {
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what), q.lastError().text());
        db.rollback();
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec() || !db.commit()) {
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what), q.lastError().text());
        db.rollback();
        return false;
    }
    QTextStream(stdout) << "  " << what << ": " << clock.elapsed() << " ms" << Qt::endl;
    return true;
}

// The key and date of process I, shared by the two blocks that need them (see the class comment).
const char* kProcessKey = R"(
    K = MOD(I, 366);
    D = DATEADD(K DAY TO DATE '2016-01-01');
    Y = 2013 + MOD(I / 366, 7);
    IF (EXTRACT(MONTH FROM D) = 2 AND EXTRACT(DAY FROM D) = 29) THEN Y = 2016;
    D = CAST(Y || '-' || EXTRACT(MONTH FROM D) || '-' || EXTRACT(DAY FROM D) AS DATE);
    NUM = LPAD(EXTRACT(MONTH FROM D), 2, '0') || LPAD(EXTRACT(DAY FROM D), 2, '0') || LPAD(I / 366 + 1, 4, '0');
)";

bool fillLatest(QString* error) {
    QElapsedTimer clock;
    clock.start();
    QSqlDatabase db = core::mainConnection();
    if (!db::fillLatestMovements(db, error)) return false;
    QTextStream(stdout) << "  latest movements filled: " << clock.elapsed() << " ms" << Qt::endl;
    return true;
}

} // namespace

QString BenchDatabase::userCode(int n) {
    return QStringLiteral("%1").arg(n, 8, 10, QLatin1Char('0'));
}

bool BenchDatabase::create(QString* error, const QString& keptPath, bool* existed) {
    if (keptPath.isEmpty() && !m_dir.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    m_path = keptPath.isEmpty() ? m_dir.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb")) : keptPath;
    const bool there = QFileInfo::exists(m_path);
    if (existed) *existed = there;
    core::ConnectionTarget target;
    target.database = m_path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    return (there || db::createDatabase(m_path, error)) && core::openMainConnection(target, error);
}

bool BenchDatabase::openOrFill(const Volume& volume, QTextStream& out) {
    QString error;
    bool existed = false;
    if (!create(&error, qEnvironmentVariable("PROTOCOLO_BENCH_DB"), &existed)) {
        out << "database: " << error << Qt::endl;
        return false;
    }
    if (existed) {
        out << "reusing " << m_path << Qt::endl;
        return true;
    }
    out << "filling " << volume.processes << " processes and " << volume.movements << " movements"
        << Qt::endl;
    if (!fill(volume, &error)) {
        out << error << Qt::endl;
        return false;
    }
    return true;
}

bool BenchDatabase::fill(const Volume& v, QString* error) {
    const int unrouted = (v.processes + v.unroutedEvery - 1) / v.unroutedEvery;
    const int routed = v.processes - unrouted;
    return run("units",
               QStringLiteral(
                   "EXECUTE BLOCK (N INTEGER = ?) AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= N) DO "
                   "BEGIN INSERT INTO UNIDADES (IDUNIDADE, UNIDADE, TIPO_UNIDADE) VALUES (LPAD(:I, 4, "
                   "'0'), 'SECRETARIA MUNICIPAL ' || :I, '01'); I = I + 1; END END"),
               {v.units}, error) &&
           run("users",
               QStringLiteral(
                   "EXECUTE BLOCK (N INTEGER = ?, UNITS INTEGER = ?) AS DECLARE I INTEGER = 1; BEGIN "
                   "WHILE (I <= N) DO BEGIN INSERT INTO USUARIOS (COD_USUARIO, USUARIO, PROTOCOLISTA, "
                   "IDUNIDADE) VALUES (LPAD(:I, 8, '0'), 'SERVIDOR ' || :I, 'SIM', LPAD(MOD(:I, :UNITS) "
                   "+ 1, 4, '0')); I = I + 1; END END"),
               {v.users, v.units}, error) &&
           run("process types",
               QStringLiteral(
                   "EXECUTE BLOCK (N INTEGER = ?) AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= N) DO "
                   "BEGIN INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES (LPAD(:I, 4, '0'), 'TIPO DE "
                   "PROCESSO ' || :I); I = I + 1; END END"),
               {v.processTypes}, error) &&
           run("applicants",
               QStringLiteral(
                   "EXECUTE BLOCK (N INTEGER = ?) AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= N) DO "
                   "BEGIN INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO, TIPO, CIDADE, UF) "
                   "VALUES (LPAD(:I, 6, '0'), 'REQUERENTE NÚMERO ' || :I || ' DA SILVA', '1 - Pessoa "
                   "Física', 'MACEIÓ', 'AL'); I = I + 1; END END"),
               {v.applicants}, error) &&
           run("processes",
               QStringLiteral(
                   "EXECUTE BLOCK (N INTEGER = ?, USERS INTEGER = ?, APPLICANTS INTEGER = ?, TYPES "
                   "INTEGER = ?, EVERY INTEGER = ?) AS DECLARE I INTEGER = 0; DECLARE K INTEGER; "
                   "DECLARE Y INTEGER; DECLARE D DATE; DECLARE NUM VARCHAR(8); BEGIN WHILE (I < N) DO "
                   "BEGIN %1 INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, IDTITULAR, "
                   "IDREQUERENTE, ASSUNTO, RG, CPF, COMPROVANTE_RESIDENCIA, CARTEIRA_PROFISSIONAL, "
                   "IDTIPOPROCESSO, COD_USUARIO) VALUES (:NUM, :Y, :D, DATEADD(MOD(:I, 36000) SECOND TO "
                   "TIME '08:00:00'), LPAD(MOD(:I, :APPLICANTS) + 1, 6, '0'), LPAD(MOD(:I * 7, "
                   ":APPLICANTS) + 1, 6, '0'), 'SOLICITAÇÃO DE CERTIDÃO NÚMERO ' || :I, 'X', 'N', 'N', "
                   "'X', LPAD(MOD(:I, :TYPES) + 1, 4, '0'), LPAD(MOD(:I / :EVERY, :USERS) + 1, 8, "
                   "'0')); I = I + 1; END END")
                   .arg(QLatin1String(kProcessKey)),
               {v.processes, v.users, v.applicants, v.processTypes, v.unroutedEvery}, error) &&
           run("movement triggers off", QStringLiteral("ALTER TRIGGER TRAMITACAO_ULTIMA INACTIVE"), {},
               error) &&
           run("movements",
               QStringLiteral(
                   "EXECUTE BLOCK (M INTEGER = ?, ROUTED INTEGER = ?, EVERY INTEGER = ?, USERS INTEGER = ?, "
                   "UNITS "
                   "INTEGER = ?) AS DECLARE J INTEGER = 0; DECLARE I INTEGER; DECLARE S INTEGER; DECLARE R "
                   "INTEGER; DECLARE OWNER INTEGER; DECLARE K INTEGER; DECLARE Y INTEGER; DECLARE D DATE; "
                   "DECLARE NUM VARCHAR(8); BEGIN WHILE (J < M) DO BEGIN R = MOD(J, ROUTED); S = J / ROUTED; "
                   "I = EVERY * (R / (EVERY - 1)) + MOD(R, EVERY - 1) + 1; %1 OWNER = MOD(I / EVERY, USERS); "
                   "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDUNIDADE, COD_USUARIO, "
                   "COD_USUARIO_DESTINO, DATA, HORA, DESPACHO, DATA_RECEBIMENTO, HORA_RECEBIMENTO) VALUES "
                   "(LPAD(:J + 1, 8, '0'), :NUM, :Y, LPAD(MOD(:OWNER + :S + 1, :UNITS) + 1, 4, '0'), "
                   "LPAD(MOD(:OWNER + :S, :USERS) + 1, 8, '0'), LPAD(MOD(:OWNER + :S + 1, :USERS) + 1, 8, "
                   "'0'), "
                   "DATEADD(3 * :S DAY TO :D), DATEADD(MOD(:J, 36000) SECOND TO TIME '08:00:00'), "
                   "'ENCAMINHE-SE "
                   "PARA PARECER.', IIF(MOD(:J, 10) = 0, NULL, DATEADD(3 * :S + 1 DAY TO :D)), IIF(MOD(:J, "
                   "10) = "
                   "0, NULL, TIME '09:30:00')); J = J + 1; END END")
                   .arg(QLatin1String(kProcessKey)),
               {v.movements, routed, v.unroutedEvery, v.users, v.units}, error) &&
           // The latest-movement table is written once from all of them, as the database update
           // writes it for an older database, rather than a million times by its trigger.
           fillLatest(error) &&
           run("movement triggers on", QStringLiteral("ALTER TRIGGER TRAMITACAO_ULTIMA ACTIVE"), {}, error);
}

} // namespace bench
