#pragma once

#include <functional>

namespace core {

// SIGTERM (the desktop session closing, `kill`) and SIGINT (Ctrl+C in a terminal) end the client
// through its own event loop instead of killing it between two statements. A thread of its own
// waits for them and writes a byte to a pipe; the event loop reads it and runs the request like
// any other event, where every Qt call is allowed.

// Catches the two signals from now on: first thing in main, before the application object and
// before any other thread exists, so that every thread started later leaves them to the one
// thread that waits for them. False when that could not be set up: the signals then keep their
// default action.
bool catchTerminationSignals();

// What to do on a request, once the application object exists; a signal caught before is
// handled as soon as the event loop runs.
void onTerminationRequest(std::function<void()> handler);

// A termination signal arrived (also before the event loop ran).
bool terminationRequested();

} // namespace core
