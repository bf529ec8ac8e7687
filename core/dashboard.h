#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace core {

// What waits at one budget unit: the processes whose latest movement went there and is not
// archived, and how many of them are past their type's deadline (as core::waitState counts it).
struct UnitLoad {
    QString unitCode; // empty for movements sent without a unit
    QString unitName; // "Sem unidade" for those
    int waiting = 0;
    int overdue = 0;
};

// The grouped query behind the main window's chart, over ULTIMA_TRAMITACAO (one row per process,
// kept by triggers): its cost follows the number of processes, never the movements. One
// parameter, today's date.
QString dashboardQuery();

// Every unit with something waiting, in the Brazilian order of the unit names. `today` is the
// workstation's date. False with the driver's text when the query fails.
bool loadDashboard(QSqlDatabase connection, const QDate& today, QList<UnitLoad>* loads,
                   QString* errorText = nullptr);

} // namespace core
