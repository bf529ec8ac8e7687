#pragma once

#include "tests/support/testdatabase.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

namespace testsupport {

// A small office: budget units 0002 and 0003, users 00000001 (unit 0002) to 00000005, processes
// 00000001/2019 (with its instruction), 00000002/2019 and 00000001/2018 (the same number a year
// earlier, another subject), registered by 00000001.
void addRoutingOffice(TestDatabase& db);

// A movement written as a sending would write it, with the given stamps (null dates stay empty).
struct MovementRow {
    QString registro;
    QString process = QStringLiteral("00000001");
    QString year = QStringLiteral("2019");
    QString from = QStringLiteral("00000001");
    QString to = QStringLiteral("00000002");
    QDate date = QDate(2019, 3, 1);
    QTime time = QTime(10, 0, 0);
    QString unit = QStringLiteral("0002");
    QString dispatch = QStringLiteral("Para análise.");
    QDate received = {};
    QDate physicallyReceived = {};
    QDate archived = {};
    QDate unarchived = {};
};
void addMovement(TestDatabase& db, const MovementRow& row);

// Stamps given as letters: R received, F physically received, A archived, D unarchived.
MovementRow withStamps(MovementRow row, const QString& letters);

// The registers of the pending list of a user, as the program reads it.
QStringList pendingRegisters(TestDatabase& db, const QString& user);

} // namespace testsupport
