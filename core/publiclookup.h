#pragma once

#include <QByteArray>
#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <memory>

// The citizen's own look-up of a process: the verification code printed on the receipt, the
// installation's secret it is made from, and the state of a process as the public may see it.
// Shared by the client (receipt, process form, renewal of the secret) and the lookup service.
namespace core::consulta {

// --- verification code ------------------------------------------------------------------------

// Eight characters from an alphabet without the look-alikes 0/O and 1/I: 40 bits, read out on
// the phone or typed from paper without doubt.
inline constexpr int kCodeLength = 8;
inline constexpr char kCodeAlphabet[] = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";

// The process number as stored: digits left-padded with "0" to 8 ("123" -> "00000123"); empty
// when it is not 1 to 8 digits. The year: 4 digits or empty.
QString normaliseNumber(const QString& typed);
QString normaliseYear(const QString& typed);
// A typed code: upper case, blanks and hyphens left out.
QString normaliseCode(const QString& typed);

// HMAC-SHA256 of "number/year" under the secret, written in the alphabet above. Number and year
// are normalised first, so "123" and "00000123" give the same code. Empty when the secret is
// empty or number/year are not valid.
QString verificationCode(const QByteArray& secret, const QString& number, const QString& year);
// Compares in constant time (the time taken does not tell how many characters were right).
bool codeMatches(const QByteArray& secret, const QString& number, const QString& year, const QString& typed);

// --- the installation's secret (table CONSULTA_SEGREDO, one row) --------------------------------

// The stored secret (raw bytes); empty with the reason when there is none or it cannot be read.
QByteArray readSecret(const QSqlDatabase& db, QString* errorText = nullptr);
// Writes a random secret when the table holds none; a secret already there is kept (codes
// printed on receipts keep working). True when one is there afterwards.
bool ensureSecret(QSqlDatabase& db, QString* errorText = nullptr, bool* created = nullptr);
// Replaces the secret by a new random one: every code printed so far stops working.
bool renewSecret(QSqlDatabase& db, QString* errorText = nullptr);
// The confirmation asked before renewing, and the message after it.
QString renewConfirmationText();
QString renewedText();

// --- the public state of a process ----------------------------------------------------------

// One movement as the public sees it: the destination unit's name and the dates, nothing else.
struct PublicMovement {
    QString unit;
    QDate sent;
    QDate received;
};

struct PublicStatus {
    QString number; // 8 digits
    QString year;
    QDate registered;
    bool sent = false; // has at least one movement
    QString unit;      // where it is now (the latest movement's destination unit)
    QDate since;       // the latest movement's sending date
    QDate received;    // the latest movement's electronic receipt; null when not received
    bool archived = false;
    QDate archivedOn;
    QList<PublicMovement> movements; // oldest first
};

enum class LookupResult {
    Found,
    NotFound, // unknown process or wrong code: the same answer, so numbers cannot be probed
    Invalid,  // number, year or code not in their form
    Failed    // the database did not answer (errorText)
};

// Checks the code against the secret and reads the process's state: the process row by its key,
// its row of ULTIMA_TRAMITACAO by its key and its movements through TRAMITACAO_PROCESSO. No
// personal data is read.
LookupResult lookup(const QSqlDatabase& db, const QByteArray& secret, const QString& number,
                    const QString& year, const QString& code, PublicStatus* status,
                    QString* errorText = nullptr);

// The same look-up with its two statements prepared once, for a program that answers many (the
// lookup service keeps one per connection): preparing costs more than running them. Both run in
// one transaction, so they see the process in one state.
class Reader {
public:
    explicit Reader(const QSqlDatabase& db);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    LookupResult lookup(const QByteArray& secret, const QString& number, const QString& year,
                        const QString& code, PublicStatus* status, QString* errorText = nullptr);

private:
    struct Statements;
    QSqlDatabase m_db;
    std::unique_ptr<Statements> m_statements;
};

// The state in words, as the page and the JSON say it.
QString situationText(const PublicStatus& status);
QJsonObject toJson(const PublicStatus& status);

// The address printed on the receipt and encoded in its QR code: the installation's public
// address with number, year and code as query values. Empty when no public address is set.
QString lookupUrl(const QString& publicAddress, const QString& number, const QString& year,
                  const QString& code);

} // namespace core::consulta
