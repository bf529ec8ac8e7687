#include "core/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace core {

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_requested{false};

extern "C" void onTerminationSignal(int) {
    // Only what is safe inside a signal handler: a flag and a write.
    const int saved = errno;
    g_requested.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool installTerminationSignals(std::function<void()> onRequest) {
    if (g_pipe[0] >= 0) return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return false;
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onRequest = std::move(onRequest)] {
        char buffer[16];
        [[maybe_unused]] const ssize_t read = ::read(g_pipe[0], buffer, sizeof buffer);
        if (onRequest) onRequest();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

bool terminationRequested() {
    return g_requested.load();
}

} // namespace core
