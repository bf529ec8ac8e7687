#include "core/handoff.h"

#include "core/menucommands.h"

namespace core {

RoutingHandOff& routingHandOff() {
    static RoutingHandOff handOff;
    return handOff;
}

bool openRouting(QWidget* parent, const QString& process, const QString& year, const QString& movement) {
    RoutingHandOff& handOff = routingHandOff();
    handOff.process = process;
    handOff.year = year;
    handOff.movement = movement;
    return menuCommands().open(QStringLiteral("Tramitação"), parent);
}

} // namespace core
