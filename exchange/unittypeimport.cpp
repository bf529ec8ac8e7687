#include "exchange/unittypeimport.h"

#include "core/routines.h"
#include "exchange/spreadsheet.h"

#include <QSqlError>
#include <QSqlQuery>

namespace exchange {

QString unitTypeSheetPath(const QString& workingFolder) {
    return workingFolder + QStringLiteral("/A/IDUnidades.xls");
}

bool readUnitTypeSheet(Spreadsheet& sheet, const QString& path, QList<UnitTypeRow>* rows,
                       QString* errorText) {
    if (!sheet.open(path, errorText)) return false;
    rows->clear();
    for (int row = kFirstUnitTypeRow; row <= kLastUnitTypeRow; ++row)
        rows->append({sheet.cell(row, QStringLiteral("A")), sheet.cell(row, QStringLiteral("B"))});
    sheet.quit();
    return true;
}

QStringList unitTypeCodes(QSqlDatabase& connection, QString* errorText) {
    QStringList codes;
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT IDTIPO FROM TIPOUNIDADE"))) {
        if (errorText) *errorText = q.lastError().text();
        return codes;
    }
    while (q.next())
        codes << q.value(0).toString();
    return codes;
}

ReplaceResult replaceUnitTypes(QSqlDatabase& connection, const QStringList& storedCodes,
                               const QList<UnitTypeRow>& rows, const std::function<void()>& step) {
    ReplaceResult result;
    if (!connection.transaction()) {
        result.errorText = connection.lastError().text();
        return result;
    }
    {
        // Each code is deleted once, from the list read beforehand: a row the database keeps
        // is not met again.
        QSqlQuery remove(connection);
        remove.prepare(QStringLiteral("DELETE FROM TIPOUNIDADE WHERE IDTIPO = ?"));
        for (const QString& code : storedCodes) {
            if (step) step();
            remove.addBindValue(code);
            if (remove.exec())
                ++result.deleted;
            else
                ++result.refused;
        }
        QSqlQuery insert(connection);
        insert.prepare(QStringLiteral("INSERT INTO TIPOUNIDADE (IDTIPO, TIPO) VALUES (?, ?)"));
        for (const UnitTypeRow& row : rows) {
            if (step) step();
            const QString code = row.code.trimmed();
            if (code.isEmpty()) {
                ++result.refused;
                continue;
            }
            insert.addBindValue(routines::zeroFill(code, 2));
            insert.addBindValue(row.name.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                                   : QVariant(row.name));
            if (insert.exec())
                ++result.inserted;
            else
                ++result.refused;
        }
    }
    if (connection.commit()) {
        result.committed = true;
    } else {
        result.errorText = connection.lastError().text();
        connection.rollback();
    }
    return result;
}

} // namespace exchange
