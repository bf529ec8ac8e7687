#pragma once

namespace app {

// Fills core::menuCommands() with every window, report and utility of the program.
void wireMenuCommands();

// The entries the shell itself answers ("Ajuda").
void registerShellCommands();

} // namespace app
