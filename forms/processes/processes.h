#pragma once

namespace processes {

// Registers the windows of processes and routing under their menu titles (core::menuCommands()).
void registerMenuCommands();

} // namespace processes
