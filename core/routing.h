#pragma once

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QTime>

#include <optional>

// Movements of a process (TRAMITACAO) and their transitions: the register number of a new
// movement, the sending, the four stamps (electronic receipt, physical receipt, archiving,
// unarchiving) and the rule that decides which movements wait for a user. The windows ask the
// questions and show the messages; everything that decides or writes lives here, so that it runs
// the same from every window and can be checked without one.
namespace core::routing {

// The stamps of one movement, as a list or a window last read them.
struct MovementStamps {
    QString registro;         // REGISTRO
    QDate received;           // DATA_RECEBIMENTO
    QDate physicallyReceived; // DATA_RECEBIMENTO_FISICO
    QDate archived;           // DATA_ARQUIVAMENTO
    QDate unarchived;         // DATA_DESARQUIVAMENTO
};

enum class Stamp { ElectronicReceipt, PhysicalReceipt, Archiving, Unarchiving };

// Width of the two reason columns (MOTIVO_ARQUIVAMENTO, MOTIVO_DESARQUIVAMENTO).
inline constexpr int kReasonWidth = 300;
// Width of REGISTRO: eight digits.
inline constexpr int kRegisterWidth = 8;

// --- messages ---------------------------------------------------------------------------------

QString cancelledMessage();       // "Atenção, procedimento cancelado!"
QString noProcessMessage();       // the pending list is empty
QString alreadyReceivedMessage(); // both receipts
QString receiveFirstMessage();    // archiving or unarchiving before the electronic receipt
QString alreadyArchivedMessage(); // archiving twice
QString notArchivedMessage();     // unarchiving what is not archived or already unarchived
QString archivedProcessMessage(); // sending on from an archived movement
// The process moved on (another desk sent it, or the list was read before it did) since the
// window read it.
QString alreadyForwardedMessage();
// The process stands in another user's in-tray (or, before its first sending, with the user who
// registered it): only its holder sends it on.
QString heldByAnotherUserMessage();
// A dispatch holding characters the database's character set cannot store.
QString dispatchCharactersMessage();
QString archiveReasonMissingMessage();
QString unarchiveReasonMissingMessage();
// A reason longer than its column: the length typed and the limit.
QString reasonTooLongMessage(Stamp stamp, int length);
// A reason holding characters the database's character set cannot store.
QString reasonCharactersMessage(Stamp stamp);
// The checks of a sending, in their order ("Atenção," line break, ...).
QString processMissingMessage();
QString unitMissingMessage();
QString destinationMissingMessage();
QString destinationIsSenderMessage();
// A register number past 99999999.
QString registersExhaustedMessage();

// --- checks -----------------------------------------------------------------------------------

// The refusal of a stamp on the movement as given, conditions in their order; empty when the
// stamp may go on (the reason is asked afterwards).
QString stampRefusal(Stamp stamp, const MovementStamps& movement);
// The refusal of the reason typed for archiving or unarchiving; empty when it may be stored. A
// reason counts as missing only when it has no character at all: blanks are a reason.
QString reasonRefusal(Stamp stamp, const QString& reason);
// Sending on from the movement shown: refused while it is archived and not unarchived (exactly one
// of the two dates set). An empty register (nothing shown) is never refused.
QString sendingStartRefusal(const MovementStamps& shown);

// What a sending is about to write, with the names looked up for its codes.
struct Sending {
    QString registro;
    QString process;         // IDPROCESSO
    QString year;            // ANO
    QString subject;         // ASSUNTO of the process found; empty when there is none
    QString unit;            // IDUNIDADE
    QString destination;     // COD_USUARIO_DESTINO
    QString destinationName; // USUARIO_DESTINO of the user found; empty when there is none
    QString sender;          // COD_USUARIO: the user sending
    QString dispatch;        // DESPACHO, as typed
    QDate date;              // DATA
    QTime time;              // HORA
    // The process's latest movement as the sender saw it: the register the sending starts from, or
    // empty for a process seen without movements (its first sending). Unset for a process picked
    // through the search, which the window never saw standing anywhere. Checked under the process's
    // lock when the movement is written.
    std::optional<QString> expectedLatest;
};

// The first failing check of a sending, in order, with the control that takes the focus (empty
// when none does).
struct SendingRefusal {
    QString message;
    QString focus;
    bool refused() const { return !message.isEmpty(); }
};
SendingRefusal sendingRefusal(const Sending& sending);

// --- reading ----------------------------------------------------------------------------------

// The register number of a new movement: the greatest stored plus one, eight digits. Empty with
// the reason in errorText when the database cannot be read or the numbers have run out.
QString nextRegister(const QSqlDatabase& db, QString* errorText);

// The stamps of a movement as stored now; registro empty when there is no such movement.
MovementStamps readStamps(const QSqlDatabase& db, const QString& registro, QString* errorText = nullptr);

// The SELECT of the pending list of the user given as :UM (the movements addressed to the user
// that no later movement of the same process, addressed to somebody else, follows), with the
// names of the process, sector, destination and sender, newest receipt first. The two text blobs
// (dispatch, instruction) are left out: nothing in the list shows them.
QString pendingQuery();
// The pending rule alone, on TRAMITACAO as A, for the user given as :UM: the condition of
// pendingQuery(), shared by the list that reads its rows in windows.
QString pendingCondition();

// --- writing ----------------------------------------------------------------------------------

// The clock of this workstation, to the second: the stamps and the send times are written and
// compared to the second.
QDateTime workstationNow();

// The latest movement of a process by send date, time and register number: where the process is.
struct LatestMovement {
    QString registro; // empty when the process has no movement
    QString destination;
    QDate date;
    QTime time;
    bool archived = false; // archived and not unarchived
};
bool readLatest(const QSqlDatabase& db, const QString& process, const QString& year, LatestMovement* latest,
                QString* errorText);

struct Outcome {
    enum Kind {
        Done,    // written
        Refused, // a condition failed, also one another workstation made fail first; text is the
                 // refusal, nothing was written
        Failed   // the database failed; text is its own message, nothing was written
    };
    Outcome() = default;
    Outcome(Kind k, QString t = {})
        : kind(k)
        , text(std::move(t)) {}
    Kind kind = Failed;
    QString text;
    // Failed because another workstation took the register number first.
    bool registerTaken = false;
    // Failed because the connection to the database is gone; the user has been told (once), and
    // the next action opens it again.
    bool connectionLost = false;
    // The send date and time written: the workstation's clock, or one second after the process's
    // latest movement where that clock is behind it.
    QDateTime sentAt;
    bool done() const { return kind == Done; }
};

// Stamps one movement: checks the conditions on the values given (as the list showed them) and the
// reason, then writes the date, time (and reason) in one transaction, only where the movement is
// still unstamped. Archiving and unarchiving lock the process and go on only while the movement is
// still its latest, so that a process is never archived and sent on at once. When another workstation stamped
// first, nothing changes and the outcome is the refusal the list would have shown had it been read after
// that.
Outcome stamp(const QSqlDatabase& db, Stamp stamp, const MovementStamps& movement, const QString& reason = {},
              const QDateTime& now = workstationNow());

// Inserts the movement of a sending in one transaction after its checks. Under a lock of the
// process it checks that the sender holds it (the destination of its latest movement, or before
// any sending the user who registered it), that it has not moved since the window saw it and that
// it is not archived; so two desks can never both send the same process on. A register number
// another workstation took first fails (Failed, registerTaken); nothing is written then.
Outcome send(const QSqlDatabase& db, const Sending& sending);

// How many register numbers a sending draws before a number taken by other desks is told.
constexpr int kRegisterAttempts = 5;

// send() with the register number drawn where it has none, and drawn again (read after the other
// desk's commit) when another desk took it first, up to kRegisterAttempts times; the date and time
// are the workstation's at each attempt. `sending` holds the number and moment of the last
// attempt.
Outcome sendDrawingRegister(const QSqlDatabase& db, Sending& sending);

} // namespace core::routing
