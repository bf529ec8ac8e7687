#pragma once

#include "reports/engine/report.h"

#include <QFont>
#include <QImage>
#include <QStringList>
#include <functional>
#include <memory>

class QPainter;

namespace reports {

// Called now and then while pages are prepared, printed or written: done of total steps (total
// -1 while rows are still being read and their number is not known). Returning false cancels
// the work.
using ProgressFunction = std::function<bool(int done, int total)>;

// One band as it lands on a page. A band taller than a page is placed in slices.
struct PlacedBand {
    BandKind kind = BandKind::Detail;
    int child = -1;      // a detail block's further part (Report::detailChildren), -1: the band itself
    int row = -1;        // record printed by the band (-1: none)
    double top = 0;      // mm from the top of the page's content area
    double height = 0;   // mm on this page
    double sliceTop = 0; // mm into the band where this page's part begins
    double fullHeight = 0;
    QColor background;
    LabelSet labels; // label texts when the band was placed

    bool isFirstSlice() const { return sliceTop <= 0; }
};

struct PreparedPage {
    QVector<PlacedBand> bands;
};

// The pages of one preparation. Only positions and running values are kept; a page is drawn
// when it is needed (renderPage), so a long report costs little memory.
struct PreparedReport {
    QVector<PreparedPage> pages;
    QDateTime printedAt;
    bool cancelled = false;
    // Why reading the rows failed part of the way; the pages laid out before stay.
    QString error;

    int pageCount() const { return int(pages.size()); }
};

// Resets the labels, runs onStart, then places every band, running beforeDetail before each
// detail band. A report always has at least one page (headers and summary of an empty report).
PreparedReport prepare(Report& report, const ProgressFunction& progress = {});

class Preparer;

// A preparation done a slice at a time on the calling thread, so a long report can show its
// first pages while the rest is laid out between events. pages() holds the pages completed so
// far (the page being filled is added when it is full); the result equals prepare()'s.
class Preparation {
public:
    explicit Preparation(Report& report); // resets the labels and runs onStart
    ~Preparation();
    Preparation(const Preparation&) = delete;
    Preparation& operator=(const Preparation&) = delete;

    // Lays out up to `rows` more records (the summary after the last). True when the report is
    // laid out or the progress function asked to stop (pages().cancelled; a later step goes on).
    bool step(int rows, const ProgressFunction& progress = {});
    // True when every record is laid out, or when reading the rows failed (pages().error).
    bool finished() const;
    int rowsDone() const;
    int rowCount() const; // -1 while rows are still being read
    PreparedReport& pages();
    const PreparedReport& pages() const;

private:
    std::unique_ptr<Preparer> m_preparer;
};

// Draws one page (0-based) with the painter's origin at the paper's top-left corner and one
// painter unit equal to 1/kLayoutDpi inch (see scaleForDevice).
void renderPage(const Report& report, const PreparedReport& prepared, int page, QPainter& painter);

// Painter scale that maps layout units to a device of the given resolution.
constexpr double kLayoutDpi = 1200.0;
inline double scaleForDevice(double deviceDpi) {
    return deviceDpi / kLayoutDpi;
}
inline double mmToUnits(double mm) {
    return mm * kLayoutDpi / 25.4;
}

// A white page image at the given resolution (dots per inch).
QImage renderPageImage(const Report& report, const PreparedReport& prepared, int page, double dpi);

// The text an element prints in a context (labels, fields, functions).
QString elementText(const Element& element, const EvalContext& context);

// Texts of a band as lines read top to bottom, left to right; elements whose tops lie within
// a millimetre of each other make one line. Function texts (page numbers, dates) can be left out.
QStringList bandTextLines(const Band& band, const EvalContext& context, bool withFunctions);

// The report font for a style: Arial, or its metric twin Liberation Sans where Arial is not
// installed, sized in layout units so that every device breaks lines at the same places.
QFont reportFont(const TextStyle& style);
// Family actually used for "Arial" on this machine.
QString resolvedReportFamily();

} // namespace reports
