#include "core/menucommands.h"
#include "forms/processes/processes.h"
#include "forms/processes/processos.h"

namespace processes {

void registerMenuCommands() {
    core::menuCommands().add(QStringLiteral("Processos"),
                             [](QWidget* parent, const QString&) { openProcessos(parent); });
}

} // namespace processes
