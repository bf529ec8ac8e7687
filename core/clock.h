#pragma once

#include <QDate>
#include <QDateTime>

// The workstation's clock, read in one place so that what depends on the date (the exercise
// year, the defaults of a new process, the stamps of a movement) can be checked on any day.
namespace core {

// The workstation's date and time, or the moment a test fixed.
QDateTime now();
QDate today();

// Fixes the clock at a moment; an invalid moment gives the workstation's clock back.
void setClock(const QDateTime& fixed);

} // namespace core
