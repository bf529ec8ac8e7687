#include "waiting.h"

namespace core {

WaitState waitState(const QDate& sent, const QDate& today, std::optional<int> deadlineDays, bool archived) {
    WaitState state;
    if (sent.isValid() && today.isValid()) state.daysWaiting = qMax<qint64>(0, sent.daysTo(today));
    if (!archived && deadlineDays && *deadlineDays > 0) state.daysLeft = *deadlineDays - state.daysWaiting;
    return state;
}

namespace {
QString days(int n) {
    return n == 1 ? QStringLiteral("1 dia") : QStringLiteral("%1 dias").arg(n);
}
} // namespace

QString deadlineText(const WaitState& state) {
    if (!state.daysLeft) return QString();
    const int left = *state.daysLeft;
    if (left == 0) return QStringLiteral("Vence hoje");
    if (left > 0) return (left == 1 ? QStringLiteral("Falta ") : QStringLiteral("Faltam ")) + days(left);
    return QStringLiteral("Atrasado ") + days(-left);
}

QString waitingText(const WaitState& state) {
    return state.daysWaiting == 0 ? QStringLiteral("Hoje") : days(state.daysWaiting);
}

} // namespace core
