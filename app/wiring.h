#pragma once

namespace app {

// Fills core::menuCommands() with every window, report and utility of the program.
void wireMenuCommands();

} // namespace app
