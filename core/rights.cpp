#include "core/rights.h"

#include "core/connection.h"
#include "core/session.h"

#include <QSqlQuery>

namespace core {

bool userHasRight(const QString& menuTitle) {
    if (currentUser().code.isEmpty()) return false;
    // Only grants of a user that still exists count, as for the menu.
    QSqlQuery q(mainConnection());
    q.setForwardOnly(true);
    if (!q.prepare(
            QStringLiteral("SELECT 1 FROM USUARIOS_ACESSOS A WHERE A.COD_USUARIO = ? AND A.TITULO = ? "
                           "AND EXISTS (SELECT 1 FROM USUARIOS U WHERE U.COD_USUARIO = A.COD_USUARIO)")))
        return false;
    q.addBindValue(currentUser().code);
    q.addBindValue(menuTitle);
    // A failed read grants nothing: the button stays disabled.
    return q.exec() && q.next();
}

} // namespace core
