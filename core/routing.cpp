#include "core/routing.h"

#include "core/clock.h"
#include "core/connection.h"
#include "core/routines.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace core::routing {

namespace {

using core::isLockConflict;
using core::kLockAttempts;

const QString kCancelled = QStringLiteral("Atenção, procedimento cancelado!");

QString cancelledBecause(const QString& reason) {
    return kCancelled + QStringLiteral(" ") + reason;
}

// "Atenção," + line break + the rest: the messages of the sending checks.
QString attention(const QString& rest) {
    return QStringLiteral("Atenção,\r") + rest;
}

// A null of the column's kind when the value is empty, so that the driver binds NULL.
QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

struct StampColumns {
    const char* date;
    const char* time;
    const char* reason; // nullptr for the receipts
    const char* condition;
};

// Each stamp writes its pair (and reason) only while its conditions still hold in the stored row:
// a stamp another workstation wrote in the meantime is never overwritten.
StampColumns columnsOf(Stamp stamp) {
    switch (stamp) {
    case Stamp::ElectronicReceipt:
        return {"DATA_RECEBIMENTO", "HORA_RECEBIMENTO", nullptr, "DATA_RECEBIMENTO IS NULL"};
    case Stamp::PhysicalReceipt:
        return {"DATA_RECEBIMENTO_FISICO", "HORA_RECEBIMENTO_FISICO", nullptr,
                "DATA_RECEBIMENTO_FISICO IS NULL"};
    case Stamp::Archiving:
        return {"DATA_ARQUIVAMENTO", "HORA_ARQUIVAMENTO", "MOTIVO_ARQUIVAMENTO",
                "DATA_RECEBIMENTO IS NOT NULL AND DATA_ARQUIVAMENTO IS NULL"};
    case Stamp::Unarchiving:
        return {"DATA_DESARQUIVAMENTO", "HORA_DESARQUIVAMENTO", "MOTIVO_DESARQUIVAMENTO",
                "DATA_RECEBIMENTO IS NOT NULL AND DATA_DESARQUIVAMENTO IS NULL AND DATA_ARQUIVAMENTO IS "
                "NOT NULL"};
    }
    return {};
}

bool needsReason(Stamp stamp) {
    return stamp == Stamp::Archiving || stamp == Stamp::Unarchiving;
}

Outcome refused(const QString& text) {
    return {Outcome::Refused, text};
}

Outcome failed(const QString& text) {
    return {Outcome::Failed, text};
}

// Runs `work` in a transaction of its own and commits what it did; a lock another desk held is met
// by starting again, a refusal or a failure rolls everything back.
// A failure that found the connection gone: the user has been told once, and the outcome says so.
Outcome noteLost(const QSqlDatabase& db, Outcome outcome) {
    if (outcome.kind == Outcome::Failed && noteConnectionFailure(db)) {
        outcome.connectionLost = true;
        outcome.text = lostConnectionMessage();
    }
    return outcome;
}

Outcome lostOutcome() {
    Outcome o = failed(lostConnectionMessage());
    o.connectionLost = true;
    return o;
}

template <typename Work> Outcome inTransaction(const QSqlDatabase& database, Work work) {
    QSqlDatabase db = database;
    // A connection found lost before is opened again first (the server restarted meanwhile).
    if (!ensureConnection(db)) return lostOutcome();
    for (int attempt = 1;; ++attempt) {
        if (!db.transaction()) return noteLost(db, failed(db.lastError().text()));
        Outcome outcome = work(db);
        if (outcome.done()) {
            if (db.commit()) return outcome;
            outcome = failed(db.lastError().text());
        }
        db.rollback();
        if (outcome.kind == Outcome::Failed && isLockConflict(outcome.text) && attempt < kLockAttempts)
            continue;
        return noteLost(db, outcome);
    }
}

enum class LockResult { Held, Missing, Failed };

// Locks the process row until the transaction ends and reads its latest movement under that lock,
// in one statement: every sending, archiving and unarchiving of the process (and the process
// form's changes) takes the same lock first, so their checks and writes follow one another instead
// of crossing. Over a network each statement costs a prepare and an execution round trip, and the
// decision needs both answers. The registrant comes with them.
LockResult lockProcessReadLatest(const QSqlDatabase& db, const QString& process, const QString& year,
                                 QString* registrant, LatestMovement* latest, QString* error) {
    *latest = LatestMovement();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral(
            "EXECUTE BLOCK (P VARCHAR(8) = ?, Y VARCHAR(4) = ?) RETURNS (FOUND SMALLINT, REGISTRANT "
            "VARCHAR(8), REGISTRO VARCHAR(8), DESTINATION VARCHAR(8), SENT_ON DATE, SENT_AT TIME, "
            "ARCHIVED DATE, UNARCHIVED DATE) AS BEGIN "
            "FOUND = 0; "
            "FOR SELECT COD_USUARIO FROM PROCESSOS WHERE IDPROCESSO = :P AND ANO = :Y WITH LOCK "
            "INTO :REGISTRANT DO FOUND = 1; "
            // "+ 0" keeps the optimizer on the process's own index, as in readLatest().
            "IF (FOUND = 1) THEN SELECT FIRST 1 REGISTRO, COD_USUARIO_DESTINO, DATA, HORA, "
            "DATA_ARQUIVAMENTO, DATA_DESARQUIVAMENTO FROM TRAMITACAO WHERE IDPROCESSO = :P AND ANO = :Y "
            "ORDER BY DATA + 0 DESC, HORA + 0 DESC, REGISTRO || '' DESC "
            "INTO :REGISTRO, :DESTINATION, :SENT_ON, :SENT_AT, :ARCHIVED, :UNARCHIVED; "
            "SUSPEND; END"))) {
        *error = q.lastError().text();
        return LockResult::Failed;
    }
    q.addBindValue(process);
    q.addBindValue(year);
    if (!q.exec() || !q.next()) {
        *error = q.lastError().text();
        return LockResult::Failed;
    }
    if (q.value(0).toInt() != 1) return LockResult::Missing;
    if (registrant) *registrant = q.value(1).toString().trimmed();
    if (!q.value(2).isNull()) {
        latest->registro = q.value(2).toString();
        latest->destination = q.value(3).toString().trimmed();
        latest->date = q.value(4).toDate();
        latest->time = q.value(5).toTime();
        latest->archived = !q.value(6).isNull() && q.value(7).isNull();
    }
    return LockResult::Held;
}

// After a statement changed nothing or collided with another workstation's: the refusal the stored
// row gives now, or the database's text when the row gives none.
Outcome explainUnchanged(const QSqlDatabase& db, Stamp stamp, const QString& registro,
                         const QString& databaseText) {
    QString error;
    const MovementStamps stored = readStamps(db, registro, &error);
    if (!error.isEmpty()) return failed(databaseText.isEmpty() ? error : databaseText);
    if (stored.registro.isEmpty()) return refused(noProcessMessage());
    const QString refusal = stampRefusal(stamp, stored);
    if (!refusal.isEmpty()) return refused(refusal);
    return failed(databaseText);
}

} // namespace

// --- messages -------------------------------------------------------------------------------------

QString cancelledMessage() {
    return kCancelled;
}
QString noProcessMessage() {
    return cancelledBecause(QStringLiteral("Não existe processo."));
}
QString alreadyReceivedMessage() {
    return cancelledBecause(QStringLiteral("Documento já recebido."));
}
QString receiveFirstMessage() {
    return cancelledBecause(QStringLiteral("Primeiro receba processo."));
}
QString alreadyArchivedMessage() {
    return cancelledBecause(QStringLiteral("Documento já arquivado."));
}
QString notArchivedMessage() {
    return cancelledBecause(QStringLiteral("Documento já Desarquivado ou não Arquivado."));
}
QString archivedProcessMessage() {
    return cancelledBecause(QStringLiteral("Processo arquivado."));
}
QString alreadyForwardedMessage() {
    return cancelledBecause(QStringLiteral("Processo já tramitado por outro usuário."));
}
QString heldByAnotherUserMessage() {
    return cancelledBecause(QStringLiteral("Processo encontra-se com outro usuário."));
}
QString dispatchCharactersMessage() {
    return cancelledBecause(QStringLiteral("O Despacho contém caracteres que não podem ser gravados."));
}
QString archiveReasonMissingMessage() {
    return cancelledBecause(QStringLiteral("para arquivar processo é obrigatório o Motivo do Arquivamento."));
}
QString unarchiveReasonMissingMessage() {
    return cancelledBecause(
        QStringLiteral("para desarquivar processo é obrigatório o Motivo do Desarquivamento."));
}
QString reasonTooLongMessage(Stamp stamp, int length) {
    const QString what = stamp == Stamp::Unarchiving ? QStringLiteral("Motivo do Desarquivamento")
                                                     : QStringLiteral("Motivo do Arquivamento");
    return cancelledBecause(
        QStringLiteral("O %1 tem %2 caracteres; o máximo é %3.").arg(what).arg(length).arg(kReasonWidth));
}
QString reasonCharactersMessage(Stamp stamp) {
    const QString what = stamp == Stamp::Unarchiving ? QStringLiteral("Motivo do Desarquivamento")
                                                     : QStringLiteral("Motivo do Arquivamento");
    return cancelledBecause(QStringLiteral("O %1 contém caracteres que não podem ser gravados.").arg(what));
}
QString processMissingMessage() {
    return attention(QStringLiteral("procedimento cancelado, Processo não informado!"));
}
QString unitMissingMessage() {
    return attention(QStringLiteral("procedimento cancelado, Unidade Orçamentária não informada!"));
}
QString destinationMissingMessage() {
    return attention(QStringLiteral("procedimento cancelado, Usuário Destino não informado!"));
}
QString destinationIsSenderMessage() {
    return attention(
        QStringLiteral("procedimento cancelado, Usuário Destino não pode ser quem está tramitando!"));
}
QString registersExhaustedMessage() {
    return cancelledBecause(QStringLiteral("Os números de registro de tramitação (99999999) se esgotaram."));
}

// --- checks ---------------------------------------------------------------------------------------

QString stampRefusal(Stamp stamp, const MovementStamps& m) {
    switch (stamp) {
    case Stamp::ElectronicReceipt:
        return m.received.isValid() ? alreadyReceivedMessage() : QString();
    case Stamp::PhysicalReceipt:
        // The paper file may arrive before the electronic receipt.
        return m.physicallyReceived.isValid() ? alreadyReceivedMessage() : QString();
    case Stamp::Archiving:
        if (!m.received.isValid()) return receiveFirstMessage();
        if (m.archived.isValid()) return alreadyArchivedMessage();
        return {};
    case Stamp::Unarchiving:
        if (!m.received.isValid()) return receiveFirstMessage();
        if (m.unarchived.isValid() || !m.archived.isValid()) return notArchivedMessage();
        return {};
    }
    return {};
}

QString reasonRefusal(Stamp stamp, const QString& reason) {
    if (!needsReason(stamp)) return {};
    if (reason.isEmpty())
        return stamp == Stamp::Archiving ? archiveReasonMissingMessage() : unarchiveReasonMissingMessage();
    if (reason.size() > kReasonWidth) return reasonTooLongMessage(stamp, reason.size());
    // The columns hold WIN1252: a character outside it would make the database refuse the statement.
    if (!routines::fitsWin1252(reason)) return reasonCharactersMessage(stamp);
    return {};
}

QString sendingStartRefusal(const MovementStamps& shown) {
    if (shown.registro.isEmpty()) return {};
    return shown.archived.isValid() != shown.unarchived.isValid() ? archivedProcessMessage() : QString();
}

SendingRefusal sendingRefusal(const Sending& s) {
    // The names stand for the codes: a process or user that does not exist fails like an empty one.
    if (s.subject.isEmpty()) return {processMissingMessage(), QStringLiteral("Campo2")};
    if (s.unit.isEmpty()) return {unitMissingMessage(), QStringLiteral("Campo4")};
    if (s.destinationName.isEmpty()) return {destinationMissingMessage(), QString()};
    if (s.destination == s.sender) return {destinationIsSenderMessage(), QString()};
    // DESPACHO holds WIN1252: anything else would make the database refuse the whole sending.
    if (!routines::fitsWin1252(s.dispatch)) return {dispatchCharactersMessage(), QStringLiteral("Campo3")};
    return {};
}

// --- reading --------------------------------------------------------------------------------------

QString nextRegister(const QSqlDatabase& db, QString* errorText) {
    // Served by the descending index on REGISTRO: the greatest number is read without a scan.
    if (!ensureConnection(db)) {
        if (errorText) *errorText = lostConnectionMessage();
        return {};
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(REGISTRO),'0') FROM TRAMITACAO")) || !q.next()) {
        if (errorText)
            *errorText = noteConnectionFailure(db) ? lostConnectionMessage() : q.lastError().text();
        return {};
    }
    bool ok = false;
    const qulonglong greatest = q.value(0).toString().trimmed().toULongLong(&ok);
    const QString next = QString::number(greatest + 1);
    if (!ok || next.size() > kRegisterWidth) {
        if (errorText) *errorText = registersExhaustedMessage();
        return {};
    }
    return next.rightJustified(kRegisterWidth, QLatin1Char('0'));
}

MovementStamps readStamps(const QSqlDatabase& db, const QString& registro, QString* errorText) {
    MovementStamps m;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT REGISTRO, DATA_RECEBIMENTO, DATA_RECEBIMENTO_FISICO, DATA_ARQUIVAMENTO, "
                             "DATA_DESARQUIVAMENTO FROM TRAMITACAO WHERE REGISTRO=?"));
    q.addBindValue(registro);
    if (!q.exec()) {
        if (errorText) *errorText = q.lastError().text();
        return m;
    }
    if (!q.next()) return m;
    m.registro = q.value(0).toString();
    m.received = q.value(1).toDate();
    m.physicallyReceived = q.value(2).toDate();
    m.archived = q.value(3).toDate();
    m.unarchived = q.value(4).toDate();
    return m;
}

bool readLatest(const QSqlDatabase& db, const QString& process, const QString& year, LatestMovement* latest,
                QString* errorText) {
    *latest = LatestMovement();
    // "+ 0" keeps the optimizer on the process's own index: ordered through the date index it
    // would walk the movements of every process.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    bool ok = q.prepare(QStringLiteral(
        "SELECT FIRST 1 REGISTRO, COD_USUARIO_DESTINO, DATA, HORA, DATA_ARQUIVAMENTO, DATA_DESARQUIVAMENTO "
        "FROM TRAMITACAO WHERE IDPROCESSO=? AND ANO=? ORDER BY DATA + 0 DESC, HORA + 0 DESC, REGISTRO || '' "
        "DESC"));
    if (ok) {
        q.addBindValue(process);
        q.addBindValue(year);
        ok = q.exec();
    }
    if (!ok) {
        if (errorText) *errorText = q.lastError().text();
        return false;
    }
    if (q.next()) {
        latest->registro = q.value(0).toString();
        latest->destination = q.value(1).toString().trimmed();
        latest->date = q.value(2).toDate();
        latest->time = q.value(3).toTime();
        latest->archived = !q.value(4).isNull() && q.value(5).isNull();
    }
    return true;
}

QString pendingQuery() {
    // A movement waits for U until a later movement of the same process (same number and year) goes
    // to somebody else; later is a later send date, or the same date and a later time. Written with
    // NOT EXISTS on the key columns so that each candidate looks at its own process's movements
    // through the index on (IDPROCESSO, ANO); the candidates come from the index on the destination.
    // The dispatch and the process's instruction (two text blobs) are not read: the list never shows
    // them, and for a user with thousands of movements waiting, reading them took seconds.
    return QStringLiteral(
               "SELECT A.REGISTRO, A.IDPROCESSO, A.ANO, A.IDSETOR, A.COD_USUARIO_DESTINO, A.DATA, A.HORA, "
               "A.DATA_RECEBIMENTO, A.HORA_RECEBIMENTO, A.ARQUIVADO, A.COD_USUARIO, B.ASSUNTO, "
               "C.SETOR, D.USUARIO AS USUARIO_DESTINO, E.USUARIO AS USUARIO, "
               "A.DATA_RECEBIMENTO_FISICO, A.HORA_RECEBIMENTO_FISICO, A.DATA_ARQUIVAMENTO, "
               "A.HORA_ARQUIVAMENTO, "
               "A.DATA_DESARQUIVAMENTO, A.HORA_DESARQUIVAMENTO "
               "FROM TRAMITACAO A "
               "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
               "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR "
               "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
               "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO "
               "WHERE %1 ORDER BY A.DATA_RECEBIMENTO DESC, A.HORA_RECEBIMENTO DESC")
        .arg(pendingCondition());
}

QString pendingCondition() {
    // "+ 0" keeps the date and time indices out of the inner look-up: a database whose index
    // statistics are those of its creation (filled afterwards) has the optimizer combine them
    // with the (IDPROCESSO, ANO) index, and each candidate then walks half the date index, which
    // took minutes for a busy desk. A process's few movements are read through its own index.
    return QStringLiteral(
        "A.COD_USUARIO_DESTINO = :UM AND NOT EXISTS (SELECT 1 FROM TRAMITACAO BB "
        "WHERE BB.IDPROCESSO = A.IDPROCESSO AND BB.ANO = A.ANO AND BB.COD_USUARIO_DESTINO <> :UM "
        "AND (BB.DATA + 0 > A.DATA OR (BB.DATA + 0 = A.DATA AND BB.HORA + 0 > A.HORA)))");
}

// --- writing --------------------------------------------------------------------------------------

QDateTime workstationNow() {
    const QDateTime now = core::now();
    const QTime t = now.time();
    return QDateTime(now.date(), QTime(t.hour(), t.minute(), t.second()));
}

Outcome stamp(const QSqlDatabase& database, Stamp stamp, const MovementStamps& movement,
              const QString& reason, const QDateTime& now) {
    const QString refusal = stampRefusal(stamp, movement);
    if (!refusal.isEmpty()) return refused(refusal);
    const QString reasonProblem = reasonRefusal(stamp, reason);
    if (!reasonProblem.isEmpty()) return refused(reasonProblem);

    const StampColumns c = columnsOf(stamp);
    QString sql =
        QStringLiteral("UPDATE TRAMITACAO SET %1=?, %2=?").arg(QLatin1String(c.date), QLatin1String(c.time));
    if (c.reason) sql += QStringLiteral(", %1=?").arg(QLatin1String(c.reason));
    // The register comes back when the row was stamped (NULL when nothing matched): asking the
    // statement how many rows it changed would cost one more round trip.
    sql += QStringLiteral(" WHERE REGISTRO=? AND ") + QLatin1String(c.condition) +
           QStringLiteral(" RETURNING REGISTRO");

    // Archiving decides whether the process can still be sent on: it waits for a sending of the
    // same process and applies only to the movement where the process still stands.
    const bool holdsTheProcess = stamp == Stamp::Archiving || stamp == Stamp::Unarchiving;
    Outcome outcome = inTransaction(database, [&](const QSqlDatabase& db) -> Outcome {
        if (holdsTheProcess) {
            QSqlQuery which(db);
            which.setForwardOnly(true);
            which.prepare(QStringLiteral("SELECT IDPROCESSO, ANO FROM TRAMITACAO WHERE REGISTRO=?"));
            which.addBindValue(movement.registro);
            if (!which.exec()) return failed(which.lastError().text());
            if (!which.next()) return refused(noProcessMessage());
            const QString process = which.value(0).toString();
            const QString year = which.value(1).toString();
            QString error;
            LatestMovement latest;
            switch (lockProcessReadLatest(db, process, year, nullptr, &latest, &error)) {
            case LockResult::Failed:
                return failed(error);
            case LockResult::Missing:
                // A movement of a process that is not registered has no row to lock; its latest
                // movement is still checked.
                if (!readLatest(db, process, year, &latest, &error)) return failed(error);
                break;
            case LockResult::Held:
                break;
            }
            if (latest.registro != movement.registro) return refused(alreadyForwardedMessage());
        }
        QSqlQuery q(db);
        bool ok = q.prepare(sql);
        if (ok) {
            q.addBindValue(now.date());
            q.addBindValue(QTime(now.time().hour(), now.time().minute(), now.time().second()));
            // The reason goes as typed, blanks and apostrophes included.
            if (c.reason) q.addBindValue(reason);
            q.addBindValue(movement.registro);
            ok = q.exec();
        }
        if (!ok) return failed(q.lastError().text());
        // Nothing matched: another workstation stamped first.
        if (!q.next() || q.value(0).isNull()) return failed(QString());
        return {Outcome::Done, QString()};
    });
    if (outcome.kind != Outcome::Failed || outcome.connectionLost) return outcome;
    // Another workstation stamped first (nothing matched, or its update collided with ours).
    return explainUnchanged(database, stamp, movement.registro, outcome.text);
}

Outcome send(const QSqlDatabase& database, const Sending& s) {
    const SendingRefusal refusal = sendingRefusal(s);
    if (refusal.refused()) return refused(refusal.message);
    return inTransaction(database, [&](const QSqlDatabase& db) -> Outcome {
        QString registrant;
        QString error;
        LatestMovement latest;
        switch (lockProcessReadLatest(db, s.process, s.year, &registrant, &latest, &error)) {
        case LockResult::Failed:
            return failed(error);
        case LockResult::Missing:
            return refused(processMissingMessage());
        case LockResult::Held:
            break;
        }
        if (s.expectedLatest && *s.expectedLatest != latest.registro)
            return refused(alreadyForwardedMessage());
        // One holder: the destination of the latest movement, or before the first sending the user
        // who registered the process (older rows may lack either; then nobody is refused).
        const QString holder = latest.registro.isEmpty() ? registrant : latest.destination;
        if (!holder.isEmpty() && holder != s.sender) return refused(heldByAnotherUserMessage());
        if (latest.archived) return refused(archivedProcessMessage());

        // The pending rule compares send times: a workstation whose clock is behind the previous
        // sender's (or a sending within the same second) would leave the process waiting in both
        // in-trays, so the new movement is always at least a second after the latest.
        QDateTime at(s.date, QTime(s.time.hour(), s.time.minute(), s.time.second()));
        if (!latest.registro.isEmpty()) {
            const QDateTime last(latest.date, latest.time);
            if (last.isValid() && at <= last) at = last.addSecs(1);
        }
        QSqlQuery q(db);
        bool ok = q.prepare(QStringLiteral(
            "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDUNIDADE, COD_USUARIO_DESTINO, COD_USUARIO, "
            "DATA, HORA, DESPACHO) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        if (ok) {
            q.addBindValue(s.registro);
            q.addBindValue(s.process);
            q.addBindValue(s.year);
            q.addBindValue(s.unit);
            q.addBindValue(s.destination);
            q.addBindValue(s.sender);
            q.addBindValue(at.date());
            q.addBindValue(at.time());
            q.addBindValue(textOrNull(s.dispatch));
            ok = q.exec();
        }
        if (!ok) {
            Outcome o = failed(q.lastError().text());
            o.registerTaken = isKeyViolation(o.text);
            return o;
        }
        Outcome done{Outcome::Done, QString()};
        done.sentAt = at;
        return done;
    });
}

Outcome sendDrawingRegister(const QSqlDatabase& db, Sending& s) {
    Outcome outcome;
    for (int attempt = 1; attempt <= kRegisterAttempts; ++attempt) {
        if (s.registro.isEmpty() || attempt > 1) {
            QString error;
            s.registro = nextRegister(db, &error);
            if (s.registro.isEmpty()) {
                outcome = Outcome(Outcome::Failed, error);
                outcome.connectionLost = error == lostConnectionMessage();
                return outcome;
            }
        }
        const QDateTime now = workstationNow();
        s.date = now.date();
        s.time = now.time();
        outcome = send(db, s);
        if (!outcome.registerTaken) break;
    }
    return outcome;
}

} // namespace core::routing
