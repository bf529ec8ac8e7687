#pragma once

#include <functional>

namespace core {

// SIGTERM (the desktop session closing, `kill`) and SIGINT (Ctrl+C in a terminal) end the client
// through its own event loop instead of killing it between two statements. The signal handler
// only writes a byte to a pipe; the event loop reads it and runs `onRequest` like any other
// event, where every Qt call is allowed. Installed once per process; false when the pipe or the
// handlers could not be set up (the signals then keep their default action).
bool installTerminationSignals(std::function<void()> onRequest);

// A termination signal arrived (also before the event loop ran).
bool terminationRequested();

} // namespace core
