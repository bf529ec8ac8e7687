#pragma once

#include "reports/engine/report.h"

#include <QDate>
#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace reports {

// The menu entry of the listing, and the right that grants it (the main window's chart of
// waiting movements asks for the same right).
QString paradosTitle();

// How long a process must have waited, asked when the listing is opened.
inline constexpr int kParadosDefaultDays = 30;
QString paradosPrompt();
// Shown when the answer is not a whole number of days from 0 to 9999.
QString paradosDaysMessage();
// The typed answer as days; empty when it is not a whole number from 0 to 9999.
std::optional<int> paradosDays(const QString& typed);

// The processes whose latest movement was sent before :CORTE, archived ones left out, grouped
// by destination unit and user and oldest first. The order is that of the index
// TRAMITACAO_PARADOS, so the server hands the first rows over without sorting the table.
QString paradosQuery();

// Movements sent before this day have waited more than `days` days on `today` (:CORTE).
QDate paradosCut(int days, const QDate& today);

// The layout of the listing with its page header filled; not yet read.
std::unique_ptr<Report> createParados(int days, const QDate& today);

// The listing of the processes that have waited more than `days` days on `today`, read and
// with its page header filled. Null with the driver's text when reading fails.
std::unique_ptr<Report> buildParados(int days, const QDate& today, QString* errorText);

// The menu entry: asks the days (default 30), then shows the preview; a cancelled question
// opens nothing.
void openParados(QWidget* parent);

} // namespace reports
