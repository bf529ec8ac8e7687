#include "app/wiring.h"

#include "forms/registers/registers.h"
#include "reports/reports.h"

namespace app {

void wireMenuCommands()
{
    registers::registerMenuCommands();
    reports::registerMenuCommands();
}

} // namespace app
