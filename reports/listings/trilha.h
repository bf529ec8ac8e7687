#pragma once

#include "reports/engine/report.h"

#include <QString>
#include <QVariantMap>
#include <memory>

class QWidget;

namespace reports {

// The listing of the audit trail rows a query reads (the trail window's filter), each row's
// changes written out column by column, and at its end the chain's anchor (the last seal's number,
// date and hash) to keep apart from the database and compare at a later check. Null with the
// driver's text when reading fails.
std::unique_ptr<Report> buildTrailReport(const QString& sql, const QVariantMap& params, const QString& title,
                                         QString* errorText);

// Builds it and shows the preview (print and the exports are the preview's).
void openTrailReport(QWidget* parent, const QString& sql, const QVariantMap& params, const QString& title);

} // namespace reports
