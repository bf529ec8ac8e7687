#include "app/startup.h"

#include "app/core/appvalues.h"
#include "app/wiring.h"

#include <QApplication>

#ifndef PROTOCOLO_PROFILE
#define PROTOCOLO_PROFILE 0
#endif

namespace app {

int runClient(QApplication& application)
{
    core::initialiseAppValues(PROTOCOLO_PROFILE);
    wireMenuCommands();
    return application.exec();
}

} // namespace app
