#include "forms/registers/registers.h"

#include "app/core/menucommands.h"

namespace registers {

void registerMenuCommands() {}

} // namespace registers
