#include "core/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace core {

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_requested{false};

} // namespace

bool catchTerminationSignals() {
    if (g_pipe[0] >= 0) return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return false;
    // The two signals are blocked in this thread and so in every thread started after it (the
    // database engine's included), and taken by one waiting thread of their own. A signal
    // handler would interrupt whatever thread it lands on, an engine thread in the middle of
    // its work among them, after which the engine was seen never to finish the detach.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    std::thread([set] {
        for (;;) {
            int signal = 0;
            if (::sigwait(&set, &signal) != 0) continue;
            g_requested.store(true);
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
        }
    }).detach();
    return true;
}

void onTerminationRequest(std::function<void()> handler) {
    if (g_pipe[0] < 0 || !QCoreApplication::instance()) return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [handler = std::move(handler)] {
        char buffer[16];
        [[maybe_unused]] const ssize_t read = ::read(g_pipe[0], buffer, sizeof buffer);
        if (handler) handler();
    });
}

bool terminationRequested() {
    return g_requested.load();
}

} // namespace core
