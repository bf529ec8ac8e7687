#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <functional>

// The audit trail (TRILHA): the database writes a row for every change in the writing
// transaction; the program names the user of the connection, seals the committed rows into one
// hash chain and checks the chain.
namespace core::audit {

// Puts the user's code in the connection's context, where the trail's triggers read who wrote.
// Runs right after the login and whenever the connection is opened again.
bool setSessionUser(const QSqlDatabase db, const QString& code, QString* error = nullptr);

// One changed column of a trail row. A value never written (a password, a picture) is `hidden`.
struct Change {
    QString column;
    QString before;
    QString after;
    bool beforeNull = true;
    bool afterNull = true;
    bool beforeHidden = false;
    bool afterHidden = false;
};
// Reads the ALTERACOES text of a row ("COLUMN|old|new" lines, each value "~", "*" or
// "<length>:<text>"). A text it cannot read ends the list where it breaks.
QList<Change> parseChanges(const QString& text);
// A value as the window shows it: "(vazio)", "alterada" for a hidden one, or the text.
QString valueText(bool isNull, bool hidden, const QString& text);
// "Inclusão", "Alteração", "Exclusão" for I, A, E.
QString actionName(const QString& code);
// The one-line summary the lists show: "SETOR: A → B; ...".
QString changesSummary(const QString& text, int maxChars = 300);

// The hash that seals nothing yet (the first seal's "previous").
QString genesisHash();

struct TrailRow {
    qint64 id = 0;
    QDateTime moment;
    QString user, address, program, table, key, process, action, changes;
    bool addressNull = false, programNull = false, keyNull = false, processNull = false, changesNull = false;
};
// SHA-256 (hex) of a seal: its number, the previous seal's hash and its row's content.
QString sealHash(qint64 seq, const QString& previous, const TrailRow& row);

struct SealResult {
    int sealed = 0;
    bool busy = false; // another desk was sealing: its seals take these rows
    QString error;
};
// Seals up to maxRows rows written and committed since the last seal, in the order of their
// numbers, each chained to the one before, in a transaction of its own under the lock of the
// chain's head row. Cheap when there is nothing to seal.
SealResult sealPending(QSqlDatabase db, int maxRows = 2000);

// The head of the chain: what a later check compares, printed or kept apart from the database.
struct Anchor {
    qint64 seq = 0;
    QString hash;
    QDateTime sealedAt;
    qint64 rowId = 0;
    bool isValid() const { return seq > 0 && hash.size() == 64; }
};
Anchor currentAnchor(QSqlDatabase db, QString* error = nullptr);
// "Selo <n> | <data hora> | <hash>" and back.
QString anchorText(const Anchor& anchor);
Anchor parseAnchor(const QString& text);

struct CheckResult {
    bool ok = false;
    qint64 rows = 0;        // seals read
    qint64 brokenSeq = 0;   // the first seal that does not hold (0: none)
    qint64 brokenRowId = 0; // its trail row (or the unsealed row found)
    QString problem;        // in words for the user; empty when ok
    double rowsPerSecond = 0; // seals read and checked per second
    qint64 elapsedMs = 0;
    bool anchorChecked = false;
};
// Seals what is pending, then reads every seal in order and checks the chain: numbers without a
// gap, each chained to the previous hash, each hash the one of its row's content as stored now,
// the head row at the last seal, no trail row without a seal, and, when given, the anchor's seal
// with the anchor's hash. `progress(done, total)` is called every few thousand rows; false stops.
CheckResult verifyChain(QSqlDatabase db, const std::function<bool(qint64, qint64)>& progress = {},
                        const Anchor* anchor = nullptr);

} // namespace core::audit
