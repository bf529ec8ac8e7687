#include "core/rights.h"

#include "core/connection.h"
#include "core/readquery.h"
#include "core/session.h"

namespace core {

bool userHasRight(const QString& menuTitle) {
    if (currentUser().code.isEmpty()) return false;
    // Only grants of a user that still exists count, as for the menu.
    ReadQuery q(mainConnection());
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

QSet<QString> userRightsAmong(const QStringList& menuTitles) {
    QSet<QString> held;
    if (currentUser().code.isEmpty() || menuTitles.isEmpty()) return held;
    ReadQuery q(mainConnection());
    q.setForwardOnly(true);
    if (!q.prepare(
            QStringLiteral("SELECT A.TITULO FROM USUARIOS_ACESSOS A WHERE A.COD_USUARIO = ? AND A.TITULO "
                           "IN (%1) AND EXISTS (SELECT 1 FROM USUARIOS U WHERE U.COD_USUARIO = "
                           "A.COD_USUARIO)")
                .arg(QStringList(menuTitles.size(), QStringLiteral("?")).join(QStringLiteral(", ")))))
        return held;
    q.addBindValue(currentUser().code);
    for (const QString& title : menuTitles)
        q.addBindValue(title);
    // A failed read grants nothing: the buttons stay disabled.
    if (q.exec())
        while (q.next())
            held.insert(q.value(0).toString());
    return held;
}

} // namespace core
