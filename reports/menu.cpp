#include "reports/reports.h"

#include "app/core/menucommands.h"

namespace reports {

void registerMenuCommands() {}

} // namespace reports
