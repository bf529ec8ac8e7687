#include "core/audit.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace core::audit {

namespace {

QString textOf(const QVariant& v) {
    // Text blobs come back as bytes or as text depending on the driver's mood; the connection
    // speaks UTF-8 either way.
    if (v.typeId() == QMetaType::QByteArray) return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

const QString kRowColumns = QStringLiteral("T.ID, T.MOMENTO, T.USUARIO, T.ENDERECO, T.PROGRAMA, T.TABELA, "
                                           "T.CHAVE, T.PROCESSO, T.ACAO, T.ALTERACOES");

// Reads the ten columns of kRowColumns starting at `first`.
TrailRow rowAt(const QSqlQuery& q, int first) {
    TrailRow r;
    r.id = q.value(first).toLongLong();
    r.moment = q.value(first + 1).toDateTime();
    r.user = q.value(first + 2).toString();
    r.addressNull = q.isNull(first + 3);
    r.address = q.value(first + 3).toString();
    r.programNull = q.isNull(first + 4);
    r.program = q.value(first + 4).toString();
    r.table = q.value(first + 5).toString();
    r.keyNull = q.isNull(first + 6);
    r.key = q.value(first + 6).toString();
    r.processNull = q.isNull(first + 7);
    r.process = q.value(first + 7).toString();
    r.action = q.value(first + 8).toString().trimmed();
    r.changesNull = q.isNull(first + 9);
    r.changes = textOf(q.value(first + 9));
    return r;
}

bool readValue(const QString& text, int* pos, QString* value, bool* isNull, bool* hidden) {
    *isNull = false;
    *hidden = false;
    value->clear();
    if (*pos >= text.size()) return false;
    if (text.at(*pos) == QLatin1Char('~')) {
        *isNull = true;
        ++*pos;
        return true;
    }
    if (text.at(*pos) == QLatin1Char('*')) {
        *hidden = true;
        ++*pos;
        return true;
    }
    const int colon = text.indexOf(QLatin1Char(':'), *pos);
    if (colon < 0) return false;
    bool ok = false;
    const int length = text.mid(*pos, colon - *pos).toInt(&ok);
    if (!ok || length < 0 || colon + 1 + length > text.size()) return false;
    *value = text.mid(colon + 1, length);
    *pos = colon + 1 + length;
    return true;
}

} // namespace

bool setSessionUser(const QSqlDatabase db, const QString& code, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT RDB$SET_CONTEXT('USER_SESSION', 'PROTOCOLO_USUARIO', CAST(? AS "
                             "VARCHAR(40))) FROM RDB$DATABASE"));
    q.addBindValue(code);
    if (q.exec() && q.next()) return true;
    if (error) *error = q.lastError().text();
    return false;
}

QList<Change> parseChanges(const QString& text) {
    QList<Change> changes;
    int pos = 0;
    while (pos < text.size()) {
        const int bar = text.indexOf(QLatin1Char('|'), pos);
        if (bar < 0) break;
        Change c;
        c.column = text.mid(pos, bar - pos);
        pos = bar + 1;
        if (!readValue(text, &pos, &c.before, &c.beforeNull, &c.beforeHidden)) break;
        if (pos >= text.size() || text.at(pos) != QLatin1Char('|')) break;
        ++pos;
        if (!readValue(text, &pos, &c.after, &c.afterNull, &c.afterHidden)) break;
        if (pos < text.size() && text.at(pos) == QLatin1Char('\n')) ++pos;
        changes << c;
    }
    return changes;
}

QString valueText(bool isNull, bool hidden, const QString& text) {
    if (hidden) return QStringLiteral("alterada");
    if (isNull) return QStringLiteral("(vazio)");
    return text;
}

QString actionName(const QString& code) {
    if (code == QLatin1String("I")) return QStringLiteral("Inclusão");
    if (code == QLatin1String("A")) return QStringLiteral("Alteração");
    if (code == QLatin1String("E")) return QStringLiteral("Exclusão");
    return code;
}

QString changesSummary(const QString& text, int maxChars) {
    QStringList parts;
    for (const Change& c : parseChanges(text)) {
        if (c.beforeHidden || c.afterHidden) {
            parts << QStringLiteral("%1: alterada").arg(c.column);
            continue;
        }
        QString before = valueText(c.beforeNull, false, c.before).simplified();
        QString after = valueText(c.afterNull, false, c.after).simplified();
        parts << (c.beforeNull ? QStringLiteral("%1: %2").arg(c.column, after)
                               : QStringLiteral("%1: %2 → %3").arg(c.column, before, after));
    }
    QString summary = parts.join(QStringLiteral("; "));
    if (summary.size() > maxChars) summary = summary.left(maxChars - 1) + QChar(0x2026);
    return summary;
}

QString genesisHash() {
    return QString(64, QLatin1Char('0'));
}

QString sealHash(qint64 seq, const QString& previous, const TrailRow& row) {
    // Each field with a mark of its own for "none", so that an empty text and a missing one,
    // or a value moved from one field to the next, never hash alike.
    auto field = [](bool isNull, const QString& value) {
        return isNull ? QStringLiteral("N") : QStringLiteral("V") + value;
    };
    const QStringList fields{QString::number(seq),
                             previous,
                             QString::number(row.id),
                             row.moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                             row.user,
                             field(row.addressNull, row.address),
                             field(row.programNull, row.program),
                             row.table,
                             field(row.keyNull, row.key),
                             field(row.processNull, row.process),
                             row.action,
                             field(row.changesNull, row.changes)};
    QByteArray bytes;
    for (const QString& f : fields) {
        const QByteArray utf8 = f.toUtf8();
        bytes += QByteArray::number(utf8.size()) + ':' + utf8 + '\x1f';
    }
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

SealResult sealPending(QSqlDatabase db, int maxRows) {
    SealResult result;
    {
        // Nothing waiting: no transaction, no lock.
        QSqlQuery probe(db);
        probe.setForwardOnly(true);
        if (!probe.exec(QStringLiteral("SELECT FIRST 1 ID FROM TRILHA_PENDENTES"))) {
            result.error = probe.lastError().text();
            return result;
        }
        if (!probe.next()) return result;
    }
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    auto fail = [&](const QSqlQuery& q, bool busy) {
        result.error = busy ? QString() : q.lastError().text();
        result.busy = busy;
        result.sealed = 0;
        db.rollback();
        return result;
    };
    QSqlQuery lock(db);
    // The head row's lock: a second desk sealing at the same time waits here and then finds the
    // row changed under it, and leaves the rows to the first.
    if (!lock.exec(QStringLiteral("UPDATE TRILHA_CABECA SET SEQ = SEQ WHERE ID = 1")))
        return fail(lock, true);
    if (lock.numRowsAffected() == 0) {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO TRILHA_CABECA (ID, SEQ, HASH) VALUES (1, 0, ?)"));
        insert.addBindValue(genesisHash());
        if (!insert.exec()) return fail(insert, true);
    }
    // The chain goes on from the last seal stored, not from what the head row says.
    qint64 seq = 0;
    QString previous = genesisHash();
    {
        QSqlQuery last(db);
        last.setForwardOnly(true);
        if (!last.exec(QStringLiteral("SELECT FIRST 1 SEQ, HASH FROM TRILHA_SELOS ORDER BY SEQ DESC")))
            return fail(last, false);
        if (last.next()) {
            seq = last.value(0).toLongLong();
            // CHAR comes back padded to the client's character width.
            previous = last.value(1).toString().trimmed();
        }
    }
    QList<TrailRow> rows;
    {
        QSqlQuery pending(db);
        pending.setForwardOnly(true);
        pending.prepare(
            QStringLiteral("SELECT FIRST %1 %2 FROM TRILHA_PENDENTES P JOIN TRILHA T ON T.ID = P.ID "
                           "ORDER BY P.ID")
                .arg(maxRows)
                .arg(kRowColumns));
        if (!pending.exec()) return fail(pending, false);
        while (pending.next())
            rows << rowAt(pending, 0);
    }
    QSqlQuery seal(db);
    seal.prepare(QStringLiteral("INSERT INTO TRILHA_SELOS (SEQ, ID, ANTERIOR, HASH, SELADO_EM) VALUES (?, ?, "
                                "?, ?, CURRENT_TIMESTAMP)"));
    QSqlQuery done(db);
    done.prepare(QStringLiteral("DELETE FROM TRILHA_PENDENTES WHERE ID = ?"));
    for (const TrailRow& row : std::as_const(rows)) {
        ++seq;
        const QString hash = sealHash(seq, previous, row);
        seal.addBindValue(seq);
        seal.addBindValue(row.id);
        seal.addBindValue(previous);
        seal.addBindValue(hash);
        if (!seal.exec()) return fail(seal, false);
        done.addBindValue(row.id);
        if (!done.exec()) return fail(done, false);
        previous = hash;
    }
    QSqlQuery head(db);
    head.prepare(QStringLiteral("UPDATE TRILHA_CABECA SET SEQ = ?, HASH = ? WHERE ID = 1"));
    head.addBindValue(seq);
    head.addBindValue(previous);
    if (!head.exec()) return fail(head, false);
    if (!db.commit()) {
        result.error = db.lastError().text();
        db.rollback();
        return result;
    }
    result.sealed = int(rows.size());
    return result;
}

Anchor currentAnchor(QSqlDatabase db, QString* error) {
    Anchor anchor;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(
            QStringLiteral("SELECT FIRST 1 SEQ, HASH, SELADO_EM, ID FROM TRILHA_SELOS ORDER BY SEQ DESC"))) {
        if (error) *error = q.lastError().text();
        return anchor;
    }
    if (q.next()) {
        anchor.seq = q.value(0).toLongLong();
        anchor.hash = q.value(1).toString().trimmed();
        anchor.sealedAt = q.value(2).toDateTime();
        anchor.rowId = q.value(3).toLongLong();
    }
    return anchor;
}

QString anchorText(const Anchor& anchor) {
    return QStringLiteral("Selo %1 | %2 | %3")
        .arg(anchor.seq)
        .arg(anchor.sealedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), anchor.hash);
}

Anchor parseAnchor(const QString& text) {
    Anchor anchor;
    const QStringList parts = text.trimmed().split(QLatin1Char('|'));
    if (parts.size() != 3) return anchor;
    QString first = parts.at(0).trimmed();
    if (!first.startsWith(QLatin1String("Selo "))) return anchor;
    anchor.seq = first.mid(5).trimmed().toLongLong();
    anchor.sealedAt = QDateTime::fromString(parts.at(1).trimmed(), QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    anchor.hash = parts.at(2).trimmed().toLower();
    return anchor;
}

CheckResult verifyChain(QSqlDatabase db, const std::function<bool(qint64, qint64)>& progress,
                        const Anchor* anchor) {
    CheckResult result;
    QElapsedTimer clock;
    clock.start();
    // What is waiting is sealed first, so the check covers everything committed until now.
    for (int round = 0; round < 1000; ++round) {
        const SealResult sealed = sealPending(db, 5000);
        if (sealed.sealed == 0) break;
    }
    auto broken = [&](qint64 seq, qint64 rowId, const QString& problem) {
        result.ok = false;
        result.brokenSeq = seq;
        result.brokenRowId = rowId;
        result.problem = problem;
    };
    qint64 total = 0;
    {
        QSqlQuery count(db);
        count.setForwardOnly(true);
        if (count.exec(QStringLiteral("SELECT FIRST 1 SEQ FROM TRILHA_SELOS ORDER BY SEQ DESC")) &&
            count.next())
            total = count.value(0).toLongLong();
    }
    // The speed is the chain's reading and hashing, without the sealing before it.
    QElapsedTimer reading;
    reading.start();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT S.SEQ, S.ID, S.ANTERIOR, S.HASH, T.ID, %1 FROM TRILHA_SELOS S "
                               "LEFT JOIN TRILHA T ON T.ID = S.ID ORDER BY S.SEQ")
                    .arg(kRowColumns.mid(QStringLiteral("T.ID, ").size())))) {
        result.problem = q.lastError().text();
        return result;
    }
    qint64 expected = 1;
    QString previous = genesisHash();
    bool ok = true;
    while (q.next()) {
        const qint64 seq = q.value(0).toLongLong();
        const qint64 id = q.value(1).toLongLong();
        if (seq != expected) {
            broken(expected, id,
                   QStringLiteral("O selo %1 não existe: a linha selada antes da linha %2 foi removida.")
                       .arg(expected)
                       .arg(id));
            ok = false;
            break;
        }
        if (q.value(2).toString().trimmed() != previous) {
            broken(seq, id,
                   QStringLiteral("O selo %1 (linha %2) não continua o selo anterior: a cadeia foi refeita a "
                                  "partir daqui.")
                       .arg(seq)
                       .arg(id));
            ok = false;
            break;
        }
        if (q.isNull(4)) {
            broken(seq, id, QStringLiteral("A linha %1 (selo %2) foi removida da trilha.").arg(id).arg(seq));
            ok = false;
            break;
        }
        TrailRow row = rowAt(q, 4);
        const QString hash = q.value(3).toString().trimmed();
        if (sealHash(seq, previous, row) != hash) {
            broken(
                seq, id,
                QStringLiteral("O conteúdo da linha %1 não confere com o selo %2: foi alterada ou incluída "
                               "por fora do sistema.")
                    .arg(id)
                    .arg(seq));
            ok = false;
            break;
        }
        if (anchor && anchor->seq == seq) {
            result.anchorChecked = true;
            if (anchor->hash != hash) {
                broken(seq, id,
                       QStringLiteral("O selo %1 (linha %2) não confere com a âncora guardada: a trilha foi "
                                      "reescrita até esse ponto.")
                           .arg(seq)
                           .arg(id));
                ok = false;
                break;
            }
        }
        previous = hash;
        ++expected;
        ++result.rows;
        if (progress && result.rows % 5000 == 0 && !progress(result.rows, total)) {
            result.problem = QStringLiteral("Verificação interrompida.");
            return result;
        }
    }
    const qint64 readingMs = reading.elapsed();
    const qint64 lastSeq = expected - 1;
    if (ok && anchor && anchor->isValid() && !result.anchorChecked) {
        broken(anchor->seq, 0,
               QStringLiteral("O selo %1 da âncora guardada não existe mais: a trilha foi truncada.")
                   .arg(anchor->seq));
        ok = false;
    }
    if (ok) {
        // The newest rows removed with their seals leave the head row ahead of the chain.
        QSqlQuery head(db);
        head.setForwardOnly(true);
        if (head.exec(QStringLiteral("SELECT SEQ, HASH FROM TRILHA_CABECA WHERE ID = 1")) && head.next()) {
            const qint64 headSeq = head.value(0).toLongLong();
            if (headSeq != lastSeq || head.value(1).toString().trimmed() != previous) {
                broken(
                    lastSeq + 1, 0,
                    QStringLiteral("A cabeça da cadeia indica o selo %1, mas o último selo é o %2: os selos "
                                   "mais recentes foram removidos.")
                        .arg(headSeq)
                        .arg(lastSeq));
                ok = false;
            }
        }
    }
    if (ok) {
        // A row put in the trail behind the triggers' back has no seal and is not waiting for one.
        QSqlQuery stray(db);
        stray.setForwardOnly(true);
        if (stray.exec(QStringLiteral("SELECT FIRST 1 T.ID FROM TRILHA T WHERE NOT EXISTS (SELECT 1 FROM "
                                      "TRILHA_SELOS S WHERE S.ID = T.ID) AND NOT EXISTS (SELECT 1 FROM "
                                      "TRILHA_PENDENTES P WHERE P.ID = T.ID) ORDER BY T.ID")) &&
            stray.next()) {
            const qint64 id = stray.value(0).toLongLong();
            broken(0, id,
                   QStringLiteral("A linha %1 não tem selo: foi incluída por fora do sistema.").arg(id));
            ok = false;
        }
    }
    result.ok = ok;
    result.elapsedMs = clock.elapsed();
    result.rowsPerSecond = readingMs > 0 ? result.rows * 1000.0 / readingMs : double(result.rows);
    if (progress) progress(result.rows, total);
    return result;
}

} // namespace core::audit
