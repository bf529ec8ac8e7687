#pragma once

namespace processes {

// Registers the process windows under their menu titles (core::menuCommands()).
void registerMenuCommands();

} // namespace processes
