#pragma once

class QApplication;

namespace app {

// The whole start-up sequence, then the event loop; returns the program's exit code.
int runClient(QApplication& application);

} // namespace app
