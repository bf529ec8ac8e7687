#include "exchange/unittypeimport.h"

#include "core/routines.h"
#include "exchange/spreadsheet.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace exchange {

namespace {

QString cancelled(const QString& reason) {
    return QStringLiteral("Atenção,\rimportação cancelada, %1 Nenhum tipo de unidade foi alterado.")
        .arg(reason);
}

QString rowRefusal(int sheetRow, const QString& reason) {
    return cancelled(QStringLiteral("linha %1 da planilha: %2.").arg(sheetRow).arg(reason));
}

bool allDigits(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return !text.isEmpty();
}

// The first character of the name that the database cannot store (a pair of surrogates stays
// whole), or an empty text when there is none. Control characters (a line break typed into the
// cell) are refused too: they would show as garbage in every list and report.
QString unstorableCharacter(const QString& name) {
    for (int i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const bool control = c.unicode() < 0x20 || c.unicode() == 0x7F;
        if (!control && routines::fitsWin1252(QString(c))) continue;
        if (c.isHighSurrogate() && i + 1 < name.size()) return name.mid(i, 2);
        return QString(c);
    }
    return QString();
}

QString describeCharacter(const QString& character) {
    const char32_t code = character.size() == 2 ? QChar::surrogateToUcs4(character.at(0), character.at(1))
                                                : char32_t(character.at(0).unicode());
    const QString hex = QStringLiteral("U+%1").arg(quint32(code), 4, 16, QLatin1Char('0')).toUpper();
    if (code < 0x20 || code == 0x7F) return hex;
    return QStringLiteral("\"%1\" (%2)").arg(character, hex);
}

// The stored types the sheet leaves out that a budget unit still uses, as the refusal.
bool typesStillInUse(const QSqlDatabase& db, const QHash<QString, QString>& removed, QString* refusal,
                     QString* error) {
    QStringList codes = removed.keys();
    codes.sort();
    QSqlQuery units(db);
    units.setForwardOnly(true);
    if (!units.prepare(QStringLiteral(
            "SELECT IDUNIDADE, UNIDADE FROM UNIDADES WHERE TIPO_UNIDADE = ? ORDER BY IDUNIDADE"))) {
        *error = units.lastError().text();
        return false;
    }
    for (const QString& code : std::as_const(codes)) {
        units.addBindValue(code);
        if (!units.exec()) {
            *error = units.lastError().text();
            return false;
        }
        int count = 0;
        QString first;
        while (units.next()) {
            if (count++ == 0)
                first = QStringLiteral("%1 - %2").arg(units.value(0).toString(), units.value(1).toString());
        }
        if (count == 0) continue;
        const QString type =
            removed.value(code).isEmpty() ? code : QStringLiteral("%1 - %2").arg(code, removed.value(code));
        const QString users =
            count == 1
                ? QStringLiteral("pela unidade orçamentária %1").arg(first)
                : QStringLiteral("por %1 unidades orçamentárias (a primeira: %2)").arg(count).arg(first);
        *refusal =
            cancelled(QStringLiteral("o tipo %1 não está na planilha e ainda é usado %2.").arg(type, users));
        return true;
    }
    return true;
}

bool run(QSqlQuery& q, const QVariantList& values, QString* error) {
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (q.exec()) return true;
    *error = q.lastError().text();
    return false;
}

} // namespace

QString unitTypeSheetPath(const QString& workingFolder) {
    return workingFolder + QStringLiteral("/A/IDUnidades.xls");
}

bool readUnitTypeSheet(Spreadsheet& sheet, const QString& path, QList<UnitTypeRow>* rows,
                       QString* errorText) {
    if (!sheet.open(path, errorText)) return false;
    rows->clear();
    for (int row = kFirstUnitTypeRow; row <= kLastUnitTypeRow; ++row)
        rows->append({sheet.cell(row, QStringLiteral("A")), sheet.cell(row, QStringLiteral("B")), row});
    sheet.quit();
    return true;
}

UnitTypeSheet checkUnitTypeSheet(const QList<UnitTypeRow>& rows) {
    UnitTypeSheet sheet;
    QHash<QString, int> rowOfCode;
    for (const UnitTypeRow& row : rows) {
        const QString code = row.code.trimmed();
        const QString name = row.name.trimmed();
        if (code.isEmpty() && name.isEmpty()) {
            ++sheet.blankRows;
            continue;
        }
        const auto refuse = [&](const QString& reason) {
            sheet.types.clear();
            sheet.refusal = rowRefusal(row.sheetRow, reason);
            return sheet;
        };
        if (code.isEmpty()) return refuse(QStringLiteral("código do tipo não informado (coluna A)"));
        // The code column holds two characters: 7 is stored as 07, and a code of three digits
        // or of letters (a name in column A) is no code of the court's table.
        const QString padded = routines::zeroFill(code, kUnitTypeCodeWidth);
        if (padded.size() != kUnitTypeCodeWidth || !allDigits(padded))
            return refuse(
                QStringLiteral("código \"%1\" inválido, o código tem 1 ou 2 dígitos (coluna A)").arg(code));
        if (rowOfCode.contains(padded))
            return refuse(QStringLiteral("código %1 repetido, já informado na linha %2 (coluna A)")
                              .arg(padded)
                              .arg(rowOfCode.value(padded)));
        if (name.isEmpty()) return refuse(QStringLiteral("nome do tipo não informado (coluna B)"));
        if (name.size() > kUnitTypeNameWidth)
            return refuse(QStringLiteral("nome do tipo com %1 caracteres, o máximo é %2 (coluna B)")
                              .arg(name.size())
                              .arg(kUnitTypeNameWidth));
        const QString bad = unstorableCharacter(name);
        if (!bad.isEmpty())
            return refuse(QStringLiteral("o nome do tipo tem o caractere %1, que o banco de dados não aceita "
                                         "(coluna B)")
                              .arg(describeCharacter(bad)));
        rowOfCode.insert(padded, row.sheetRow);
        sheet.types.append({padded, name, row.sheetRow});
    }
    if (sheet.types.isEmpty())
        sheet.refusal =
            cancelled(QStringLiteral("a planilha não tem nenhum tipo de unidade nas linhas %1 a %2 "
                                     "(código na coluna A, nome na coluna B).")
                          .arg(kFirstUnitTypeRow)
                          .arg(kLastUnitTypeRow));
    return sheet;
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

ReplaceResult replaceUnitTypes(QSqlDatabase& connection, const QList<UnitTypeRow>& types,
                               const std::function<void()>& step) {
    ReplaceResult result;
    if (!connection.transaction()) {
        result.errorText = connection.lastError().text();
        return result;
    }
    QString error;
    bool ok = true;
    {
        // The stored types, their rows locked: a budget unit saved by another desk takes the
        // lock of its type as it is written, so from here on none can come to use a type this
        // import deletes without one of the two being refused.
        QHash<QString, QString> stored;
        QSqlQuery read(connection);
        read.setForwardOnly(true);
        ok = read.exec(QStringLiteral("SELECT IDTIPO, TIPO FROM TIPOUNIDADE WITH LOCK"));
        if (ok)
            while (read.next())
                stored.insert(read.value(0).toString(), read.value(1).toString());
        if (!ok || read.lastError().isValid()) {
            ok = false;
            error = read.lastError().text();
        }
        read.finish();

        QHash<QString, QString> removed = stored;
        for (const UnitTypeRow& type : types)
            removed.remove(type.code);
        if (ok) ok = typesStillInUse(connection, removed, &result.refusal, &error);

        if (ok && result.refusal.isEmpty()) {
            QSqlQuery remove(connection);
            remove.prepare(QStringLiteral("DELETE FROM TIPOUNIDADE WHERE IDTIPO = ?"));
            for (auto it = stored.cbegin(); ok && it != stored.cend(); ++it) {
                if (step) step();
                ok = run(remove, {it.key()}, &error);
                if (ok) ++result.deleted;
            }
            QSqlQuery insert(connection);
            insert.prepare(QStringLiteral("INSERT INTO TIPOUNIDADE (IDTIPO, TIPO) VALUES (?, ?)"));
            for (int i = 0; ok && i < types.size(); ++i) {
                if (step) step();
                ok = run(insert, {types.at(i).code, types.at(i).name}, &error);
                if (ok) ++result.inserted;
            }
        }
    }
    if (ok && result.refusal.isEmpty() && connection.commit()) {
        result.committed = true;
        return result;
    }
    if (ok && result.refusal.isEmpty()) error = connection.lastError().text();
    connection.rollback();
    result.deleted = result.inserted = 0;
    if (!result.refusal.isEmpty()) return result;
    result.errorText = error;
    // The usual failure is a lock conflict with a budget unit another desk saved meanwhile with a
    // type the sheet leaves out: read again, now that it is committed, it gives the clerk the
    // same reason as a unit saved before the import.
    QHash<QString, QString> stored;
    QSqlQuery read(connection);
    read.setForwardOnly(true);
    if (read.exec(QStringLiteral("SELECT IDTIPO, TIPO FROM TIPOUNIDADE")))
        while (read.next())
            stored.insert(read.value(0).toString(), read.value(1).toString());
    for (const UnitTypeRow& type : types)
        stored.remove(type.code);
    QString ignored;
    typesStillInUse(connection, stored, &result.refusal, &ignored);
    return result;
}

QString unitTypeImportedMessage(int imported, int blankRows) {
    QString text =
        QStringLiteral("Importação realizada com sucesso! %1 %2")
            .arg(imported)
            .arg(imported == 1 ? QStringLiteral("tipo importado") : QStringLiteral("tipos importados"));
    if (blankRows > 0)
        text += QStringLiteral("; %1 %2").arg(blankRows).arg(
            blankRows == 1 ? QStringLiteral("linha em branco ignorada")
                           : QStringLiteral("linhas em branco ignoradas"));
    return text + QLatin1Char('.');
}

QString unitTypeFailedMessage(const QString& databaseText) {
    return cancelled(
        QStringLiteral("o banco de dados recusou a gravação dos tipos (%1).").arg(databaseText.trimmed()));
}

} // namespace exchange
