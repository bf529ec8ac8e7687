#include "core/dashboard.h"

#include "core/collation.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace core {

QString dashboardQuery() {
    // Overdue: the days since the sending exceed the type's deadline (kept in the row by the
    // triggers); a sending day after today (a clock behind) counts as today and so is never
    // overdue, as in waitState. One pass over the table, grouped by the unit's code alone so the
    // server sorts short keys; the names of the few units are joined to the groups afterwards.
    return QStringLiteral(
        "SELECT G.IDUNIDADE, N.UNIDADE, G.PENDENTES, G.ATRASADOS FROM ("
        "SELECT U.IDUNIDADE, COUNT(*) AS PENDENTES, "
        "SUM(IIF(U.DIAS IS NOT NULL AND CAST(? AS DATE) - U.DATA > U.DIAS, 1, 0)) AS ATRASADOS "
        "FROM ULTIMA_TRAMITACAO U "
        "WHERE U.ARQUIVADO = 0 "
        "GROUP BY U.IDUNIDADE) G "
        "LEFT JOIN UNIDADES N ON N.IDUNIDADE = G.IDUNIDADE");
}

bool loadDashboard(QSqlDatabase connection, const QDate& today, QList<UnitLoad>* loads, QString* errorText) {
    loads->clear();
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (!q.prepare(dashboardQuery())) {
        if (errorText) *errorText = q.lastError().text();
        return false;
    }
    q.addBindValue(today);
    if (!q.exec()) {
        if (errorText) *errorText = q.lastError().text();
        return false;
    }
    while (q.next()) {
        UnitLoad load;
        load.unitCode = q.value(0).toString().trimmed();
        load.unitName = q.value(1).toString().trimmed();
        if (load.unitName.isEmpty())
            load.unitName = load.unitCode.isEmpty() ? QStringLiteral("Sem unidade") : load.unitCode;
        load.waiting = q.value(2).toInt();
        load.overdue = q.value(3).toInt();
        loads->append(load);
    }
    if (q.lastError().isValid()) {
        // Part of the units would be a wrong picture: none is shown.
        loads->clear();
        if (errorText) *errorText = q.lastError().text();
        return false;
    }
    std::stable_sort(loads->begin(), loads->end(), [](const UnitLoad& a, const UnitLoad& b) {
        const int byName = compareText(a.unitName, b.unitName);
        return byName != 0 ? byName < 0 : a.unitCode < b.unitCode;
    });
    return true;
}

} // namespace core
