#pragma once

#include "reports/engine/reportdata.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QVector>
#include <functional>

// A report is a page set-up, five bands of elements, the rows it prints and two hooks:
//
//     auto r = std::make_unique<reports::Report>(QStringLiteral("Histórico do Processo"));
//     r->page.orientation = QPageLayout::Landscape;             // A4, 10 mm margins by default
//     r->pageHeader.height = 20;
//     r->pageHeader.addLabel("Empresa", {0, 0, 277, 7}, QString(), TextStyle(15, true).centred());
//     r->pageHeader.addPageNumber({237, 0, 40, 5}, "Página : ", TextStyle(10, true).right());
//     r->detail.height = 5;
//     r->detail.addField({50, 0, 115, 5}, "DESPACHO", TextStyle(8)).wrapped(); // grows the band
//     r->summary.addLabel("Registros", {0, 1, 100, 5}, "Registros", TextStyle(10, true));
//     r->onStart = [..](RunContext&) { /* reset running values */ };
//     r->beforeDetail = [..](RunContext& c) { c.setBackground(..); c.setLabel("Registros", ..); };
//     r->data.load(sql, {{"UM", number}, {"ANO", year}}, &error);
//     r->setLabel("Empresa", core::appValues().profile.organisationName);
//     reports::showPreview(*r, parent);                          // or openPreview(std::move(r), parent)

namespace reports {

// Geometry of every band and element is in millimetres: x from the left margin, y from the
// top of the band. Type sizes are in points.

struct TextStyle {
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    bool isBold = false;
    bool isItalic = false;
    bool isUnderline = false;
    QColor colour = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;

    TextStyle() = default;
    explicit TextStyle(double points, bool bold = false)
        : pointSize(points)
        , isBold(bold) {}

    TextStyle sized(double points) const {
        auto s = *this;
        s.pointSize = points;
        return s;
    }
    TextStyle bold(bool on = true) const {
        auto s = *this;
        s.isBold = on;
        return s;
    }
    TextStyle italic(bool on = true) const {
        auto s = *this;
        s.isItalic = on;
        return s;
    }
    TextStyle underline(bool on = true) const {
        auto s = *this;
        s.isUnderline = on;
        return s;
    }
    TextStyle coloured(const QColor& c) const {
        auto s = *this;
        s.colour = c;
        return s;
    }
    // Horizontal part only; the vertical alignment is kept.
    TextStyle aligned(Qt::Alignment horizontal) const {
        auto s = *this;
        s.alignment = (s.alignment & Qt::AlignVertical_Mask) | (horizontal & Qt::AlignHorizontal_Mask);
        return s;
    }
    TextStyle valigned(Qt::Alignment vertical) const {
        auto s = *this;
        s.alignment = (s.alignment & Qt::AlignHorizontal_Mask) | (vertical & Qt::AlignVertical_Mask);
        return s;
    }
    TextStyle centred() const { return aligned(Qt::AlignHCenter); }
    TextStyle right() const { return aligned(Qt::AlignRight); }
};

// Label texts at one moment of a preparation. Every placed band keeps its own (a listing changes
// its count label on every line), so they are a few name/text pairs in one small block rather
// than a hash table per band.
class LabelSet {
public:
    LabelSet() = default;
    explicit LabelSet(const QHash<QString, QString>& labels);

    QString value(const QString& name, const QString& fallback = QString()) const;
    bool contains(const QString& name) const;
    void insert(const QString& name, const QString& text);
    int size() const { return int(m_items.size()); }

private:
    QVector<QPair<QString, QString>> m_items;
};

// What a text element is given while pages are laid out, printed or exported.
class EvalContext {
public:
    const ReportData* data = nullptr;
    int row = -1; // -1: no record (headers of an empty report)
    const LabelSet* labels = nullptr;
    int page = 1; // 1-based
    int pageCount = 1;
    QDateTime printedAt;

    QVariant value(const QString& field) const { return data ? data->value(row, field) : QVariant(); }
    QString text(const QString& field) const { return displayText(value(field)); }
    QString label(const QString& name) const { return labels ? labels->value(name) : QString(); }
};

using TextFunction = std::function<QString(const EvalContext&)>;
using ValueFormat = std::function<QString(const QVariant&)>;

enum class ElementKind { Text, Line, Rect, Picture };
enum class TextSource { Static, Label, Fields, Function };

struct Element {
    ElementKind kind = ElementKind::Text;
    QRectF rect; // mm inside the band

    // Text
    TextSource source = TextSource::Static;
    QString text;       // the static text, or a label's design text
    QString name;       // label name (set by the caller or by the per-record hooks)
    QStringList fields; // printed side by side, empty values left out
    QString separator = QStringLiteral(" ");
    TextFunction function;
    ValueFormat format; // optional, per field value
    TextStyle style;
    // Breaks at the width into as many lines as the text needs; the band grows to hold them.
    bool wrap = false;
    // A line longer than the width is cut with an ellipsis instead of running past its box
    // (texts that are not wrapped).
    bool elide = false;
    QColor background; // fill of the element's box; invalid: none
    // > 0: the text keeps to its box, which never grows: it is set in smaller type, down to this
    // size, until its lines fit, and what still does not fit is cut with an ellipsis. For forms
    // that must stay one page whatever the clerk typed.
    double fitMinPoints = 0;
    // Wrapped lines break between words only, never inside one (column titles: "Códig" / "o"
    // reads as two words). A word wider than the box runs past it, so the box must hold it.
    bool keepWords = false;
    // Index of an earlier text element of the same band: this element moves down by as much as
    // that one grows (and by what moved that one), so the lines under a wrapping value follow it
    // instead of being drawn over.
    int below = -1;

    // Line, Rect (and the border of a text box when penWidthMm > 0)
    QColor penColour = Qt::black;
    double penWidthMm = 0.25;
    QColor fill;
    // Lines and boxes that stretch with the band (vertical rules beside a growing text).
    bool followBandHeight = false;

    // Picture: a fixed image, or JPEG/PNG bytes read from a field
    QImage image;
    QString imageField;
    bool keepAspect = true;

    Element& wrapped(bool on = true) {
        wrap = on;
        return *this;
    }
    Element& elided(bool on = true) {
        elide = on;
        return *this;
    }
    Element& fitted(double minimumPoints) {
        fitMinPoints = minimumPoints;
        wrap = true;
        return *this;
    }
    Element& wholeWords(bool on = true) {
        keepWords = on;
        return *this;
    }
    Element& under(int elementIndex) {
        below = elementIndex;
        return *this;
    }
    Element& following(bool on = true) {
        followBandHeight = on;
        return *this;
    }
    Element& filled(const QColor& c) {
        background = c;
        return *this;
    }
    Element& formatted(ValueFormat f) {
        format = std::move(f);
        return *this;
    }
};

enum class BandKind { PageHeader, ColumnHeader, Detail, Summary, PageFooter };

// A horizontal strip of the page. A band with no height and no elements is not printed.
class Band {
public:
    double height = 0; // design height in mm; the band grows with wrapped texts
    QColor background; // invalid: none. The detail hook may choose one per record.
    QVector<Element> elements;

    bool isEmpty() const { return height <= 0 && elements.isEmpty(); }
    // Index of the element added last, for Element::under.
    int lastIndex() const { return int(elements.size()) - 1; }

    Element& addText(const QRectF& mm, const QString& text, const TextStyle& style = {});
    // A named text that the caller (Report::setLabel) or the hooks (RunContext::setLabel) fill.
    Element& addLabel(const QString& name, const QRectF& mm, const QString& designText,
                      const TextStyle& style = {});
    Element& addField(const QRectF& mm, const QString& field, const TextStyle& style = {});
    Element& addFields(const QRectF& mm, const QStringList& fields, const TextStyle& style = {},
                       const QString& separator = QStringLiteral(" "));
    Element& addFunction(const QRectF& mm, TextFunction function, const TextStyle& style = {});
    // "Página : " + number, and the date and time the pages were prepared.
    Element& addPageNumber(const QRectF& mm, const QString& prefix, const TextStyle& style = {});
    Element& addPrintDate(const QRectF& mm, const TextStyle& style = {});
    Element& addPrintTime(const QRectF& mm, const TextStyle& style = {});
    Element& addHLine(double y, double x1, double x2, double widthMm = 0.25,
                      const QColor& colour = Qt::black);
    Element& addVLine(double x, double y1, double y2, double widthMm = 0.25,
                      const QColor& colour = Qt::black);
    Element& addRect(const QRectF& mm, const QColor& pen = Qt::black, const QColor& fill = QColor(),
                     double widthMm = 0.25);
    Element& addPicture(const QRectF& mm, const QImage& image, bool keepAspect = true);
    Element& addPictureField(const QRectF& mm, const QString& field, bool keepAspect = true);

private:
    Element& add(Element e);
};

struct PageFrame {
    QColor colour = Qt::black;
    double widthMm = 0.5;
    bool top = false;
    bool bottom = false;
    bool left = false;
    bool right = false;
};

struct PageSetup {
    QPageSize::PageSizeId size = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm{10, 10, 10, 10};
    PageFrame frame; // drawn along the margins
};

class Report;

// What the hooks see and change while the pages are laid out.
class RunContext {
public:
    int row() const { return m_row; }
    const ReportData& data() const;
    QVariant value(const QString& field) const;
    QString text(const QString& field) const;
    QDateTime printedAt() const { return m_printedAt; }

    QString label(const QString& name) const { return m_labels.value(name); }
    // Changes a label from here on: bands placed after this call print the new text.
    void setLabel(const QString& name, const QString& text);
    // Background of the detail band about to be placed (beforeDetail only).
    void setBackground(const QColor& colour) { m_background = colour; }
    QColor background() const { return m_background; }

private:
    friend class Preparer;
    const Report* m_report = nullptr;
    int m_row = -1;
    QDateTime m_printedAt;
    LabelSet m_labels;
    QColor m_background;
};

// A column of a tabular report as the text, CSV and HTML exports write it.
struct ExportColumn {
    QString caption;
    int element = -1; // index into detail.elements
};

// One column of a table laid out by Report::addColumns.
struct ColumnSpec {
    QString caption;
    QStringList fields; // several fields print side by side in the one column
    double width = 0;   // mm
    Qt::Alignment alignment = Qt::AlignLeft;
};

class Report {
public:
    explicit Report(const QString& title = QString())
        : title(title) {}
    virtual ~Report() = default;
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    QString title; // preview window title and suggested file name
    PageSetup page;
    Band pageHeader;   // top of every page
    Band columnHeader; // under the page header, on every page
    Band detail;       // once per record
    // Further blocks of the same record, printed one under the other below the detail band.
    // Each grows with its own wrapped texts and pushes the next one down, so a form whose middle
    // holds a long text keeps what follows it in order instead of drawing over it.
    QVector<Band> detailChildren;
    Band summary;    // once, after the last record
    Band pageFooter; // bottom of every page
    ReportData data;
    QVector<ExportColumn> exportColumns; // empty: exports take every text of the detail band

    // Before every preparation of the pages (preview, each print): reset running values here.
    std::function<void(RunContext&)> onStart;
    // Before each detail band: running counts, background, values carried between records.
    std::function<void(RunContext&)> beforeDetail;

    // Texts put into named labels by the caller; they hold for every preparation.
    void setLabel(const QString& name, const QString& text) { m_labels.insert(name, text); }
    QString label(const QString& name) const;
    // Every label with the text it starts a preparation with: caller's value, else design text.
    QHash<QString, QString> startLabels() const;

    Band& band(BandKind kind);
    const Band& band(BandKind kind) const;
    // The band a placed band prints: a detail child when child >= 0.
    const Band& band(BandKind kind, int child) const;

    QSizeF paperSizeMm() const;
    QRectF contentRectMm() const;
    QPageLayout pageLayout() const; // margins zero: the engine places everything itself

    // Lays out a table from the left margin: each caption in the column header at captionTop,
    // its fields in the detail band over the band's design height (set it first), 1 mm inside
    // the column on each side. Captions wrap at word boundaries. Values wrap too, so a long value
    // makes its line taller; with oneLine they keep to one line and are cut with an ellipsis where
    // they do not fit (the exports still carry the whole value). Records the export columns in
    // the same order.
    void addColumns(const QVector<ColumnSpec>& columns, double captionTop, double captionHeight,
                    const TextStyle& captionStyle, const TextStyle& detailStyle, bool oneLine = false);

private:
    QHash<QString, QString> m_labels;
};

} // namespace reports
