#include "core/appvalues.h"

#include "core/clock.h"
#include "core/routines.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace core {

AppValues& appValues() {
    static AppValues values;
    return values;
}

const QList<InstallationProfile>& profileTable() {
    // Installation data: organisation, addresses and where each installation keeps its database.
    static const QList<InstallationProfile> table = [] {
        const QString state = QStringLiteral("Estado de Alagoas");
        const QString sep = QStringLiteral(":");
        const QString drive = QStringLiteral("C:");
        const QString file = QStringLiteral("KORVALIS_PROTOCOLO.fdb");
        QList<InstallationProfile> t;
        // 0: demonstration organisation, database file beside the program (embedded engine).
        t.append({QStringLiteral("Prefeitura Municipal de Demonstração"),
                  QStringLiteral("11.222.333/0001-81"), QStringLiteral("Praça da Matriz, 100, Centro"), state,
                  QStringLiteral("localhost:/var/lib/protocolo/KORVALIS_PROTOCOLO.fdb"), false, false,
                  QStringLiteral("localhost"), sep, drive, file, routines::kPasswordShift, QString(),
                  QString()});
        // 1: remote installation.
        t.append({QStringLiteral("Câmara Municipal de Marechal Deodoro"),
                  QStringLiteral("12.200.140/0001-05"), QStringLiteral("Rua Dr. Luiz Lavenère, 115, Centro"),
                  state, QStringLiteral("servidor-camara/3050:/dados/protocolo/KORVALIS_PROTOCOLO.fdb"), true,
                  false, QStringLiteral("servidor-camara"), sep, drive, file, routines::kPasswordShift,
                  QString(), QString()});
        // 2: database file in the program's folder.
        t.append({QStringLiteral("Prefeitura Municipal de Pilar"), QStringLiteral("12.264.419/0001-60"),
                  QStringLiteral("Rua Barão de Atalaia, 56, Centro"), state,
                  QStringLiteral("servidor-pilar:/dados/protocolo/KORVALIS_PROTOCOLO.fdb"), false, false,
                  QStringLiteral("servidor-pilar"), sep, drive, file, routines::kPasswordShift, QString(),
                  QString()});
        // 3: database file in the program's folder; no remote location at all.
        t.append({QStringLiteral("Câmara Municipal de Atalaia"), QStringLiteral("12.198.702/0001-40"),
                  QString(), state, QString(), false, false, QStringLiteral("servidor-atalaia"), sep, drive,
                  file, routines::kPasswordShift, QString(), QString()});
        // 4: the delivered installation, a database server on the town hall's network.
        t.append({QStringLiteral("Prefeitura Municipal de Satuba"), QStringLiteral("12.200.291/0001-44"),
                  QStringLiteral("Rua Senador Rui Palmeira, 240, Centro"), state,
                  QStringLiteral("servidor-satuba/3050:/dados/protocolo/KORVALIS_PROTOCOLO.fdb"), true, false,
                  QStringLiteral("servidor-satuba"), sep, drive, file, routines::kPasswordShift, QString(),
                  QString()});
        return t;
    }();
    return table;
}

InstallationProfile profileFor(int number) {
    const auto& t = profileTable();
    if (number < 0 || number >= t.size()) return {};
    return t.at(number);
}

QString exerciseYearFor(const QDate& today, const QString& profileYear) {
    if (!profileYear.trimmed().isEmpty()) return profileYear.trimmed();
    return QString::number(today.year());
}

QStringList exerciseYears(const QString& exerciseYear, const QString& earliestYear) {
    const int top = exerciseYear.toInt();
    bool known = false;
    const int earliest = earliestYear.toInt(&known);
    QStringList years{exerciseYear};
    for (int y = top - 1; known && y >= earliest; --y)
        years << QString::number(y);
    return years;
}

QString formatUpdateStamp(const QDateTime& fileTime) {
    const QString prefix = QStringLiteral("Atualizado em ");
    if (!fileTime.isValid()) return prefix + QStringLiteral("-");
    // AM/PM in English, as the stamp has always been written, whatever the locale.
    return prefix + QLocale::c().toString(fileTime, QStringLiteral("dd/MM/yyyy 'as' hh:mm:ss AP"));
}

void initialiseAppValues(int profileNumber) {
    AppValues& v = appValues();
    v = AppValues{};
    v.profileNumber = profileNumber;
    v.profile = profileFor(profileNumber);
    // The exercise follows the workstation's date: the year a process registered today is
    // numbered in.
    v.exerciseYear = exerciseYearFor(today(), v.profile.exerciseYear);
    v.makerPhone = QStringLiteral("(82) 3221-0000");
    v.makerEmail = QStringLiteral("suporte@korvalis.com.br");
    v.makerSite = QStringLiteral("www.korvalis.com.br");
    // The stamp is the time of the program's own file, wherever it was started from.
    const QString self = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    v.updateStamp = formatUpdateStamp(routines::fileTime(self));
}

} // namespace core
