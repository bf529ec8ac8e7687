#pragma once

namespace registers {

// Registers the register windows under their menu titles (core::menuCommands()).
void registerMenuCommands();

} // namespace registers
