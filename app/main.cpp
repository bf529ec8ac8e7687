#include "app/startup.h"
#include "core/termination.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Before anything else, so that closing the session during the start-up ends it cleanly too.
    core::catchTerminationSignals();
    QApplication application(argc, argv);
    return app::runClient(application);
}
