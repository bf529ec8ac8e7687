#pragma once

#include <QString>

namespace forms {

// The run-wide result through which every lookup dialog hands its pick back to its caller.
// Only one lookup is open at a time; the caller resets it before opening the dialog.
struct LookupResult {
    bool selected = false;
    QString code;
    QString name;
    QString third; // the subject, for the process search only

    void reset() { *this = LookupResult{}; }
};

LookupResult& lookupResult();

} // namespace forms
