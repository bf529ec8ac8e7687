#include "app/datamodule.h"

#include "core/connection.h"

#include <QCoreApplication>

namespace app {

TDM_Orvel_Principal::TDM_Orvel_Principal(QObject* parent)
    : QObject(parent) {
    setObjectName(QStringLiteral("DM_Orvel_Principal"));
    const QString name = QString::fromLatin1(core::kMainConnection);
    // An already registered connection is kept as it is: a test may have opened it on its own database.
    if (!QSqlDatabase::contains(name)) QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), name);
    DM_Orvel_Principal = this;
}

TDM_Orvel_Principal::~TDM_Orvel_Principal() {
    if (DM_Orvel_Principal == this) DM_Orvel_Principal = nullptr;
}

QSqlDatabase TDM_Orvel_Principal::sqlConnectionPrincipal() const {
    return core::mainConnection();
}

TDM_Orvel_Principal* ensureDataModule() {
    if (!DM_Orvel_Principal) new TDM_Orvel_Principal(QCoreApplication::instance());
    return DM_Orvel_Principal;
}

} // namespace app
