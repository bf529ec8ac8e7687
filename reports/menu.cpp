#include "reports/reports.h"

#include "core/menucommands.h"
#include "reports/listings/listings.h"

namespace reports {

void registerMenuCommands() {
    for (const ListingEntry& entry : listingEntries())
        core::menuCommands().add(entry.title,
                                 [](QWidget* parent, const QString& title) { openListing(parent, title); });
}

} // namespace reports
