#pragma once

#include "core/routines.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace core {

// One row of the installation profile table compiled into the program.
struct InstallationProfile {
    QString organisationName;
    QString organisationCnpj;
    QString organisationAddress;
    QString stateName;
    QString remoteLocation; // "host[/port]:/path/file.fdb" in the server's own form
    bool remote = false;
    bool localServer = false;
    QString localServerAddress;
    QString serverSeparator;  // ":"
    QString serverDrive;      // "C:"
    QString databaseFileName; // "KORVALIS_PROTOCOLO.fdb"
    // The amount every stored password is shifted by (README: "Senhas gravadas"). An installation
    // whose passwords were stored with another amount keeps that amount here, or nobody could log in.
    quint16 passwordShift = routines::kPasswordShift;
    // An installation that works in another exercise than the workstation's year (closing the
    // previous year in its first days) names it here; empty: the year of the workstation's date.
    QString exerciseYear;
    // Where citizens look their processes up (the lookup service behind the office's web
    // address, README "Consulta pública"); printed on the receipt with a QR code. Empty: the
    // installation offers no public look-up and the receipt has no such block.
    QString publicLookupAddress;
};

// The exercise year of a day: the profile's own when it names one, otherwise the day's year.
QString exerciseYearFor(const QDate& today, const QString& profileYear = {});

// The entries of a year list: the exercise year, then every year before it down to the earliest
// year that has processes (only the exercise year when there is none before it).
QStringList exerciseYears(const QString& exerciseYear, const QString& earliestYear);

// Values fixed at start-up and read everywhere; nothing changes them after start-up
// except the working folder, which the connection step sets in the local modes.
struct AppValues {
    QString systemName = QStringLiteral("Protocolo-Korvalis");
    QString versionText = QStringLiteral("Versão 2013");
    QString updateStamp;
    QString developerText = QStringLiteral("K O R V A L I S");
    QString makerPhone;
    QString makerEmail;
    QString makerSite;
    QString exerciseYear = exerciseYearFor(QDate::currentDate());
    QString highlightColourName = QStringLiteral("clSkyBlue");
    QStringList rowColourNames{QStringLiteral("clSilver"), QStringLiteral("clWhite")};
    int profileNumber = 0;
    QString workingFolder;
    InstallationProfile profile;
};

AppValues& appValues();

// The password shift of the installation the program runs for.
inline quint16 passwordShift() {
    return appValues().profile.passwordShift;
}

// The compiled-in table; rows 0 to 4.
const QList<InstallationProfile>& profileTable();
// The row for a number, or an empty profile (both flags off) when none matches.
InstallationProfile profileFor(int number);

// Step 1 of the start-up: sets every value from the compiled-in profile number and the
// executable's time stamp (looked up in the current folder).
void initialiseAppValues(int profileNumber);

// "Atualizado em dd/mm/yyyy as hh:mm:ss AM/PM"; an invalid time gives "Atualizado em -".
QString formatUpdateStamp(const QDateTime& fileTime);

} // namespace core
