#pragma once

namespace reports {

// Registers the listing entries of the menu under their titles (core::menuCommands()) and the
// process papers under their right-click entry texts (core::openProcessPaper()).
void registerMenuCommands();

} // namespace reports
