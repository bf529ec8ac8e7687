#pragma once

#include "core/routing.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

// The in-tray worked on several movements at once: the same transition run on each movement of a
// selection, one after the other, each in its own transaction through the functions of
// core/routing.h, so that every rule of the single action (and the holder rule of a sending) holds
// for each one. A refusal stops nothing but its own movement; what was done stays done when the
// user cancels half way; the summary lists both. No widgets here: the pending list drives it and
// shows the progress and the summary.
namespace core::batch {

enum class Action { ElectronicReceipt, PhysicalReceipt, Archiving, Unarchiving, SendingOn };

// One selected movement, as the list last read it.
struct Item {
    routing::MovementStamps stamps; // stamps.registro: the movement
    QString process;                // IDPROCESSO
    QString year;                   // ANO
    QString subject;                // ASSUNTO of the process, as the list showed it
};

// What became of one movement.
struct Result {
    enum Kind {
        Done,
        Refused,   // a rule refused it; text is the refusal, nothing was written
        Failed,    // the database failed; text is its own message
        NotStarted // the batch was cancelled or the connection was lost before its turn
    };
    Item item;
    Kind kind = NotStarted;
    QString text;
    QString newRegister; // a sending: the movement written
};

// What the whole batch does: the action, the reason of an archiving pair and, for a sending, the
// destination and dispatch every movement goes with (unit, destination, its name, sender,
// dispatch; the process, its subject and the register number are taken per movement).
struct Request {
    Action action = Action::ElectronicReceipt;
    QString reason;
    routing::Sending sending;
};

// Called after each movement with the number done so far and the total; false cancels the rest.
// The window processes its events here, so it stays alive and "Cancelar" is heard.
using Progress = std::function<bool(int done, int total)>;

struct Summary {
    Action action = Action::ElectronicReceipt;
    routing::Sending sending; // a sending: where every movement went
    QList<Result> results;
    bool cancelled = false;
    bool connectionLost = false;
    int count(Result::Kind kind) const;
};

// Runs the batch on the connection: every item in the order given, each in its own transaction.
// A lost connection stops the batch (the rest is not started); the user has been told once.
Summary run(const QSqlDatabase& db, const Request& request, const QList<Item>& items,
            const Progress& progress = {});

// The one question of a batch, naming the count ("Deseja Receber Eletronicamente os 5 Processos
// selecionados ?").
QString question(Action action, int count);
// What the action is called in the progress window and the summary.
QString actionName(Action action);
// The line of the progress window ("Recebendo eletronicamente: 3 de 40 processos...").
QString progressText(Action action, int done, int total);
// The summary as plain text, the lines the window shows, prints and copies.
QString summaryText(const Summary& summary);
// "Processo 00000001/2019 - Registro 00000003"
QString itemText(const Item& item);

} // namespace core::batch
