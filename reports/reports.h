#pragma once

namespace reports {

// Registers the listing entries of the menu under their titles (core::menuCommands()).
void registerMenuCommands();

} // namespace reports
