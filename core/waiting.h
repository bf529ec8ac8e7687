#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace core {

// How long a movement has been waiting at its destination, and where it stands against the
// deadline of its process type. A deadline is a number of calendar days each stay may last: it
// counts from the day the process was sent to the desk where it waits, so every user who receives
// a process gets the whole deadline of its type. An archived process waits for nobody: it has no
// deadline state, whatever its age.
struct WaitState {
    int daysWaiting = 0;         // today minus the sending day (0 when sent today)
    std::optional<int> daysLeft; // deadline minus days waiting; negative when overdue
    bool overdue() const { return daysLeft && *daysLeft < 0; }
};

// `deadlineDays` empty (or not positive) = the type has no deadline. A sending day after today
// (a workstation whose clock was behind) counts as sent today rather than as a negative wait.
WaitState waitState(const QDate& sent, const QDate& today, std::optional<int> deadlineDays,
                    bool archived = false);

// The deadline column as a clerk and a screen reader read it: "" without a deadline,
// "Vence hoje", "Falta 1 dia", "Faltam 3 dias", "Atrasado 1 dia", "Atrasado 4 dias".
QString deadlineText(const WaitState& state);

// The waiting column: "Hoje", "1 dia", "12 dias".
QString waitingText(const WaitState& state);

} // namespace core
