#pragma once

#include "reports/engine/report.h"

#include <QString>
#include <QVector>
#include <memory>

class QWidget;

namespace reports {

// The seven register listings, all on the listing page frame.
enum class Listing { BudgetUnits, UnitTypes, Organisation, ProcessTypes, Sectors, Applicants, Users };

// One listing entry of the main menu: its title, its listing and the field it orders by
// (0: the code, 1: the name).
struct ListingEntry {
    QString title;
    Listing listing;
    int orderColumn;
};

const QVector<ListingEntry>& listingEntries();
const ListingEntry* listingEntry(const QString& title);

// The query a listing reads (no parameters, no order).
QString listingQuery(Listing listing);

// The layout of a listing, with its running count and line colours; not yet read.
std::unique_ptr<Report> createListing(Listing listing);

// "Total de Registros : 000012", or for the users listing "Total de Registros : 1.234"
// (at least three digits, thousands grouped the Brazilian way).
QString listingCountText(Listing listing, int count);

// Steps 1 to 4 of opening a listing from its menu entry: the title without its "&", the rows
// read and ordered, the page header filled. Null with the driver's text when reading fails.
std::unique_ptr<Report> buildListing(const QString& entryTitle, QString* errorText);

// The whole opening: builds the listing and shows its modal preview; a failure to read is shown
// in the general error box.
void openListing(QWidget* parent, const QString& entryTitle);

} // namespace reports
