// protocolo-consulta: the citizens' look-up of a process, beside the office's Firebird server.
// Usage: protocolo-consulta [--config FILE]   (default /etc/protocolo/consulta.conf)
#include "consulta/server.h"
#include "consulta/settings.h"

#include <QCoreApplication>
#include <QStringList>

#include <pthread.h>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString path = QString::fromLatin1(consulta::kDefaultSettingsFile);
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if ((args.at(i) == QLatin1String("--config") || args.at(i) == QLatin1String("-c")) &&
            i + 1 < args.size()) {
            path = args.at(++i);
        } else {
            std::fprintf(stderr, "uso: protocolo-consulta [--config ARQUIVO]\n");
            return 2;
        }
    }
    consulta::Settings settings;
    QString error;
    if (!consulta::loadSettings(path, &settings, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The requests are served by the library's own threads; this one only waits for the order to
    // stop (systemd's SIGTERM, or Ctrl+C).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    consulta::Service service(settings);
    if (!service.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::fprintf(stderr, "protocolo-consulta escutando em %s:%u\n", qPrintable(settings.listenAddress),
                 unsigned(service.port()));
    std::fflush(stderr);
    int received = 0;
    sigwait(&stopSignals, &received);
    service.stop();
    return 0;
}
