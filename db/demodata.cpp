#include "db/database.h"

namespace db {

bool addDemoData(QSqlDatabase& connection, QString* errorText)
{
    Q_UNUSED(connection);
    Q_UNUSED(errorText);
    return true;
}

} // namespace db
