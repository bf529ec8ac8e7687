#include "reports/engine/layout.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>

namespace reports {

// ---------------------------------------------------------------------------------------------
// Fonts

namespace {

bool familyInstalled(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// Arial is rarely installed outside Windows; Liberation Sans has the same metrics, so a page
// laid out here breaks its lines where the office's Arial would.
QString arialStandIn() {
    static const QString family = [] {
        if (familyInstalled(QStringLiteral("Arial"))) return QStringLiteral("Arial");
        if (!familyInstalled(QStringLiteral("Liberation Sans"))) {
            const QStringList folders{QStringLiteral("/usr/share/fonts/truetype/liberation"),
                                      QStringLiteral("/usr/share/fonts/truetype/liberation2"),
                                      QStringLiteral("/usr/share/fonts/liberation"),
                                      QStringLiteral("/usr/share/fonts/liberation-sans")};
            for (const QString& folder : folders) {
                const QDir dir(folder);
                for (const QString& file :
                     dir.entryList({QStringLiteral("LiberationSans-*.ttf")}, QDir::Files))
                    QFontDatabase::addApplicationFont(dir.filePath(file));
            }
        }
        if (familyInstalled(QStringLiteral("Liberation Sans"))) {
            QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
            return QStringLiteral("Liberation Sans");
        }
        return QStringLiteral("Arial");
    }();
    return family;
}

QString resolveFamily(const QString& family) {
    if (family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0) return arialStandIn();
    return family;
}

struct FontEntry {
    QFont font;
    QFontMetricsF metrics;
    double lineHeightMm;
};

const FontEntry& fontEntry(const TextStyle& s) {
    static QHash<QString, FontEntry*> cache;
    const QString key = QStringLiteral("%1|%2|%3%4%5")
                            .arg(s.family)
                            .arg(s.pointSize)
                            .arg(int(s.isBold))
                            .arg(int(s.isItalic))
                            .arg(int(s.isUnderline));
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return **it;
    QFont f(resolveFamily(s.family));
    f.setPixelSize(std::max(1, int(std::lround(s.pointSize * kLayoutDpi / 72.0))));
    f.setBold(s.isBold);
    f.setItalic(s.isItalic);
    f.setUnderline(s.isUnderline);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    QFontMetricsF fm(f);
    auto* entry = new FontEntry{f, fm, fm.lineSpacing() * 25.4 / kLayoutDpi};
    cache.insert(key, entry);
    return *entry;
}

// ---------------------------------------------------------------------------------------------
// Text blocks: the same line breaks are used to measure a band and to draw it.

struct TextBlock {
    const FontEntry* font = nullptr;
    QStringList lines;
    double lineHeight = 0; // mm
    double top = 0;        // mm inside the band
    double extentBottom = 0;
};

QStringList breakLines(const QString& text, const FontEntry& fe, double widthMm, bool wrap, bool elide,
                       bool keepWords = false) {
    QString t = text;
    if (t.contains(QLatin1Char('\r'))) {
        t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    const double width = mmToUnits(widthMm);
    QStringList out;
    const QStringList paragraphs = t.split(QLatin1Char('\n'));
    for (const QString& para : paragraphs) {
        if (!wrap || para.isEmpty() || fe.metrics.horizontalAdvance(para) <= width) {
            out << (elide && !wrap ? fe.metrics.elidedText(para, Qt::ElideRight, width) : para);
            continue;
        }
        QTextLayout layout(para, fe.font);
        QTextOption option;
        option.setWrapMode(keepWords ? QTextOption::WordWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            line.setLineWidth(width);
            out << para.mid(line.textStart(), line.textLength());
        }
        layout.endLayout();
    }
    while (out.size() > 1 && out.last().isEmpty())
        out.removeLast();
    return out;
}

// The last line kept of a text that goes on: cut so that an ellipsis fits after it.
QString withEllipsis(const QString& line, const FontEntry& fe, double widthMm) {
    const double width = mmToUnits(widthMm);
    const QString ellipsis = QStringLiteral("\u2026");
    QString s = line.trimmed();
    while (!s.isEmpty() && fe.metrics.horizontalAdvance(s + ellipsis) > width)
        s.chop(1);
    return s.trimmed() + ellipsis;
}

// A text that keeps to its box: the largest size from the style's down to the element's minimum
// (half a point at a time) at which every line fits; at the minimum, the lines that fit, the last
// one ending in an ellipsis.
const FontEntry& fitLines(const Element& e, const QString& text, QStringList* lines) {
    const double minimum = std::min(e.fitMinPoints, e.style.pointSize);
    for (double points = e.style.pointSize;; points = std::max(minimum, points - 0.5)) {
        const FontEntry& fe = fontEntry(e.style.sized(points));
        *lines = breakLines(text, fe, e.rect.width(), e.wrap, false, e.keepWords);
        const int room = std::max(1, int(std::floor((e.rect.height() + 1e-6) / fe.lineHeightMm)));
        bool fits = lines->size() <= room;
        for (int i = 0; fits && i < lines->size(); ++i)
            fits = fe.metrics.horizontalAdvance(lines->at(i)) <= mmToUnits(e.rect.width()) + 1e-6;
        if (fits) return fe;
        if (points <= minimum + 1e-9) {
            const bool cut = lines->size() > room;
            while (lines->size() > room)
                lines->removeLast();
            for (int i = 0; i < lines->size(); ++i)
                if (fe.metrics.horizontalAdvance(lines->at(i)) > mmToUnits(e.rect.width()))
                    (*lines)[i] =
                        fe.metrics.elidedText(lines->at(i), Qt::ElideRight, mmToUnits(e.rect.width()));
            if (cut) lines->last() = withEllipsis(lines->last(), fe, e.rect.width());
            return fe;
        }
    }
}

TextBlock textBlock(const Element& e, const QString& text) {
    TextBlock b;
    const FontEntry& fe = e.fitMinPoints > 0 ? fitLines(e, text, &b.lines) : fontEntry(e.style);
    if (e.fitMinPoints <= 0) b.lines = breakLines(text, fe, e.rect.width(), e.wrap, e.elide, e.keepWords);
    b.font = &fe;
    b.lineHeight = fe.lineHeightMm;
    const QRectF& r = e.rect;
    const int n = int(b.lines.size());
    const double blockHeight = n * b.lineHeight;
    const Qt::Alignment a = e.style.alignment;
    if (blockHeight <= r.height() + 1e-6) {
        if (a & Qt::AlignBottom)
            b.top = r.bottom() - blockHeight;
        else if (a & Qt::AlignVCenter)
            b.top = r.top() + (r.height() - blockHeight) / 2;
        else
            b.top = r.top();
        b.extentBottom = r.bottom();
    } else if (a & Qt::AlignVCenter) {
        // The first line stays where a single line would be, the others follow beneath it, and
        // the block keeps the same space below as above.
        const double pad = std::max(0.0, (r.height() - b.lineHeight) / 2);
        b.top = r.top() + pad;
        b.extentBottom = b.top + blockHeight + pad;
    } else {
        b.top = r.top();
        b.extentBottom = b.top + blockHeight;
    }
    return b;
}

bool mayGrow(const Element& e) {
    return e.kind == ElementKind::Text && e.fitMinPoints <= 0 &&
           (e.wrap || e.source != TextSource::Static || e.text.contains('\n'));
}

// How far a growing text reaches below its box (0 when it fits).
double growthOf(const Element& e, const EvalContext& ctx) {
    if (!mayGrow(e)) return 0;
    const QString text = elementText(e, ctx);
    if (text.isEmpty()) return 0;
    return std::max(0.0, textBlock(e, text).extentBottom - e.rect.bottom());
}

// How far each element moves down with the growing texts it sits under; empty when no element
// of the band sits under another.
QVector<double> elementShifts(const Band& band, const EvalContext& ctx) {
    const bool stacked = std::any_of(band.elements.cbegin(), band.elements.cend(),
                                     [](const Element& e) { return e.below >= 0; });
    if (!stacked) return {};
    const int n = int(band.elements.size());
    QVector<double> shift(n, 0.0);
    QVector<double> growth(n, -1.0); // -1: not measured yet
    for (int i = 0; i < n; ++i) {
        const int anchor = band.elements.at(i).below;
        if (anchor < 0 || anchor >= i) continue;
        if (growth[anchor] < 0) growth[anchor] = growthOf(band.elements.at(anchor), ctx);
        shift[i] = shift[anchor] + growth[anchor];
    }
    return shift;
}

double measureBand(const Band& band, const EvalContext& ctx) {
    double height = band.height;
    const QVector<double> shifts = elementShifts(band, ctx);
    if (!shifts.isEmpty()) {
        for (int i = 0; i < band.elements.size(); ++i) {
            const Element& e = band.elements.at(i);
            const double gapBelow = std::max(0.0, band.height - e.rect.bottom());
            const double growth = growthOf(e, ctx);
            if (shifts[i] > 0 || growth > 0)
                height = std::max(height, e.rect.bottom() + shifts[i] + growth + gapBelow);
        }
        return height;
    }
    for (const Element& e : band.elements) {
        if (!mayGrow(e)) continue;
        const QString text = elementText(e, ctx);
        if (text.isEmpty()) continue;
        const FontEntry& fe = fontEntry(e.style);
        // Most values fit on one line: a single advance measure settles them.
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')) &&
            (!e.wrap || fe.metrics.horizontalAdvance(text) <= mmToUnits(e.rect.width())) &&
            fe.lineHeightMm <= e.rect.height() + 1e-6)
            continue;
        const TextBlock b = textBlock(e, text);
        const double gapBelow = std::max(0.0, band.height - e.rect.bottom());
        height = std::max(height, b.extentBottom + gapBelow);
    }
    return height;
}

} // namespace

QString resolvedReportFamily() {
    return arialStandIn();
}

QFont reportFont(const TextStyle& style) {
    return fontEntry(style).font;
}

QString elementText(const Element& e, const EvalContext& c) {
    if (e.kind != ElementKind::Text) return {};
    switch (e.source) {
    case TextSource::Static:
        return e.text;
    case TextSource::Label:
        return c.labels ? c.labels->value(e.name, e.text) : e.text;
    case TextSource::Function:
        return e.function ? e.function(c) : QString();
    case TextSource::Fields: {
        QStringList parts;
        for (const QString& field : e.fields) {
            const QVariant v = c.value(field);
            const QString t = e.format ? e.format(v) : displayText(v);
            if (!t.isEmpty()) parts << t;
        }
        return parts.join(e.separator);
    }
    }
    return {};
}

QStringList bandTextLines(const Band& band, const EvalContext& ctx, bool withFunctions) {
    QVector<const Element*> texts;
    for (const Element& e : band.elements)
        if (e.kind == ElementKind::Text && (withFunctions || e.source != TextSource::Function)) texts << &e;
    std::stable_sort(texts.begin(), texts.end(), [](const Element* a, const Element* b) {
        if (std::abs(a->rect.top() - b->rect.top()) >= 1.0) return a->rect.top() < b->rect.top();
        return a->rect.left() < b->rect.left();
    });
    QStringList lines;
    QStringList current;
    double currentTop = -1e9;
    for (const Element* e : texts) {
        if (std::abs(e->rect.top() - currentTop) >= 1.0) {
            if (!current.isEmpty()) lines << current.join(QStringLiteral("  "));
            current.clear();
            currentTop = e->rect.top();
        }
        const QString t = elementText(*e, ctx).trimmed();
        if (!t.isEmpty()) current << t;
    }
    if (!current.isEmpty()) lines << current.join(QStringLiteral("  "));
    return lines;
}

// ---------------------------------------------------------------------------------------------
// Preparation

class Preparer {
public:
    explicit Preparer(Report& report)
        : m_report(report) {}

    void begin() {
        m_out.printedAt = QDateTime::currentDateTime();
        m_ctx.m_report = &m_report;
        m_ctx.m_printedAt = m_out.printedAt;
        m_ctx.m_labels = LabelSet(m_report.startLabels());
        if (m_report.onStart) m_report.onStart(m_ctx);

        const QRectF content = m_report.contentRectMm();
        m_bodyBottom = content.height() - (m_report.pageFooter.isEmpty() ? 0 : m_report.pageFooter.height);
        m_next = 0;
        // Rows pulled from a reader: the first one is read now, as the page header of a loaded
        // report sees it.
        ReportData& data = m_report.data;
        if (!data.ensureRow(0) && !data.errorText().isEmpty()) m_out.error = data.errorText();
        startPage();
    }

    // Places up to `limit` more records, then the summary after the last. True when the report
    // is laid out, or when the progress function asked to stop (the output is marked cancelled;
    // a later step goes on from where it stopped).
    bool step(int limit, const ProgressFunction& progress) {
        if (m_done) return true;
        m_out.cancelled = false;
        ReportData& data = m_report.data;
        if (!m_out.error.isEmpty()) return stop();
        for (int placed = 0; placed < limit; ++placed) {
            // Rows still on the server are read a batch at a time as the layout reaches them.
            if (m_next >= data.rowCount() && !data.complete() && !data.readMore(kReadBatch)) {
                m_out.error = data.errorText();
                return stop();
            }
            if (m_next >= data.rowCount()) break;
            const int row = m_next++;
            m_ctx.m_row = row;
            m_ctx.m_background = m_report.detail.background;
            if (m_report.beforeDetail) m_report.beforeDetail(m_ctx);
            if (!m_report.detail.isEmpty()) placeFlowing(BandKind::Detail, row, m_ctx.m_background);
            for (int child = 0; child < m_report.detailChildren.size(); ++child)
                if (!m_report.detailChildren.at(child).isEmpty())
                    placeFlowing(BandKind::Detail, row, m_ctx.m_background, child);
            if (progress && (row % 256 == 255) && !progress(row + 1, expectedRows())) {
                m_out.cancelled = true;
                return true;
            }
        }
        if (m_next < data.rowCount() || !data.complete()) return false;
        if (!data.errorText().isEmpty()) {
            m_out.error = data.errorText();
            return stop();
        }
        const int rows = data.rowCount();
        m_ctx.m_row = rows - 1;
        if (!m_report.summary.isEmpty())
            placeFlowing(BandKind::Summary, rows - 1, m_report.summary.background);
        finishPage();
        if (progress) progress(rows, rows);
        m_done = true;
        return true;
    }

    bool finished() const { return m_done; }
    int rowsDone() const { return m_next; }
    int rowCount() const { return expectedRows(); }
    PreparedReport& output() { return m_out; }

private:
    // Rows read per trip to the server while laying out: about a page and a half of a listing.
    static constexpr int kReadBatch = 64;

    // -1 while rows are still being read: how many there are is known at the end.
    int expectedRows() const { return m_report.data.complete() ? m_report.data.rowCount() : -1; }

    // Reading failed: the pages laid out so far stay, the report is not finished.
    bool stop() {
        m_done = true;
        return true;
    }

    EvalContext context(int row) const {
        EvalContext c;
        c.data = &m_report.data;
        c.row = row;
        c.labels = &m_ctx.m_labels;
        c.page = int(m_out.pages.size()) + 1;
        c.pageCount = c.page;
        c.printedAt = m_out.printedAt;
        return c;
    }

    void place(BandKind kind, int row, double height, double sliceTop, double fullHeight, const QColor& bg,
               int child = -1) {
        PlacedBand b;
        b.kind = kind;
        b.child = child;
        b.row = row;
        b.top = m_y;
        b.height = height;
        b.sliceTop = sliceTop;
        b.fullHeight = fullHeight;
        b.background = bg;
        b.labels = m_ctx.m_labels;
        m_page.bands.append(std::move(b));
        m_y += height;
    }

    void startPage() {
        m_page = PreparedPage();
        m_y = 0;
        const int row = std::max(m_ctx.m_row, m_report.data.rowCount() > 0 ? 0 : -1);
        for (BandKind kind : {BandKind::PageHeader, BandKind::ColumnHeader}) {
            const Band& band = m_report.band(kind);
            if (band.isEmpty()) continue;
            const double h = measureBand(band, context(row));
            place(kind, row, h, 0, h, band.background);
        }
        m_pageStart = m_y;
    }

    void finishPage() {
        const Band& footer = m_report.pageFooter;
        if (!footer.isEmpty()) {
            m_y = m_bodyBottom;
            place(BandKind::PageFooter, m_ctx.m_row, footer.height, 0, footer.height, footer.background);
        }
        m_out.pages.append(std::move(m_page));
    }

    void newPage() {
        finishPage();
        startPage();
    }

    void placeFlowing(BandKind kind, int row, const QColor& bg, int child = -1) {
        const Band& band = m_report.band(kind, child);
        const double h = measureBand(band, context(row));
        // A band that fits on a page is never split: it moves to the next page whole. One taller
        // than any page begins where it is, unless too little room is left for a useful part,
        // so a long text does not leave the page before it blank.
        constexpr double minimumSlice = 15;
        const bool fitsAPage = h <= m_bodyBottom - m_pageStart + 1e-6;
        if (m_y + h > m_bodyBottom + 1e-6 && m_y > m_pageStart + 1e-6 &&
            (fitsAPage || m_bodyBottom - m_y < minimumSlice))
            newPage();
        if (m_y + h <= m_bodyBottom + 1e-6 || m_bodyBottom - m_y < 1.0) {
            place(kind, row, h, 0, h, bg, child);
            return;
        }
        // Taller than a whole page: continue it on the next pages, cutting between lines of text.
        double done = 0;
        while (done < h - 1e-6) {
            const double avail = m_bodyBottom - m_y;
            double cut = safeCut(band, row, h, done, done + avail);
            if (cut <= done + 1e-6) cut = std::min(h, done + avail);
            place(kind, row, cut - done, done, h, bg, child);
            done = cut;
            if (done < h - 1e-6) newPage();
        }
    }

    // The lowest place at or above limit where no line of text is cut in two.
    double safeCut(const Band& band, int row, double bandHeight, double from, double limit) const {
        if (limit >= bandHeight) return bandHeight;
        QVector<QPair<double, double>> spans; // text lines: top, bottom
        const EvalContext c = context(row);
        for (const Element& e : band.elements) {
            if (e.kind != ElementKind::Text) {
                if (e.kind == ElementKind::Picture) spans.append({e.rect.top(), e.rect.bottom()});
                continue;
            }
            const TextBlock b = textBlock(e, elementText(e, c));
            for (int i = 0; i < b.lines.size(); ++i)
                spans.append({b.top + i * b.lineHeight, b.top + (i + 1) * b.lineHeight});
        }
        auto cuts = [&](double y) {
            for (const auto& s : spans)
                if (s.first < y - 1e-6 && s.second > y + 1e-6) return true;
            return false;
        };
        if (!cuts(limit)) return limit;
        double best = from;
        for (const auto& s : spans)
            if (s.second <= limit + 1e-6 && s.second > best && !cuts(s.second)) best = s.second;
        for (const auto& s : spans)
            if (s.first <= limit + 1e-6 && s.first > best && !cuts(s.first)) best = s.first;
        return best;
    }

    Report& m_report;
    PreparedReport m_out;
    int m_next = 0;
    bool m_done = false;
    RunContext m_ctx;
    PreparedPage m_page;
    double m_y = 0;
    double m_pageStart = 0;
    double m_bodyBottom = 0;
};

PreparedReport prepare(Report& report, const ProgressFunction& progress) {
    Preparer p(report);
    p.begin();
    p.step(std::numeric_limits<int>::max(), progress);
    return std::move(p.output());
}

Preparation::Preparation(Report& report)
    : m_preparer(std::make_unique<Preparer>(report)) {
    m_preparer->begin();
}

Preparation::~Preparation() = default;

bool Preparation::step(int rows, const ProgressFunction& progress) {
    return m_preparer->step(rows, progress);
}

bool Preparation::finished() const {
    return m_preparer->finished();
}

int Preparation::rowsDone() const {
    return m_preparer->rowsDone();
}

int Preparation::rowCount() const {
    return m_preparer->rowCount();
}

PreparedReport& Preparation::pages() {
    return m_preparer->output();
}

const PreparedReport& Preparation::pages() const {
    return m_preparer->output();
}

// ---------------------------------------------------------------------------------------------
// Drawing

namespace {

QRectF unitsRect(const QRectF& mm) {
    return QRectF(mmToUnits(mm.x()), mmToUnits(mm.y()), mmToUnits(mm.width()), mmToUnits(mm.height()));
}

QPen penFor(const Element& e) {
    QPen pen(e.penColour);
    pen.setWidthF(mmToUnits(e.penWidthMm));
    pen.setCapStyle(Qt::SquareCap);
    return pen;
}

// Only lines inside [visibleTop, visibleBottom] are drawn: a band split over pages must not
// leave its other pages' lines behind the clip, where a text search would still find them.
void drawText(QPainter& p, const Element& e, const QString& text, double visibleTop, double visibleBottom) {
    if (e.background.isValid()) p.fillRect(unitsRect(e.rect), e.background);
    if (text.isEmpty()) return;
    const TextBlock b = textBlock(e, text);
    p.setFont(b.font->font);
    p.setPen(e.style.colour);
    const int flags = int(e.style.alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter |
                      Qt::TextSingleLine | Qt::TextDontClip;
    for (int i = 0; i < b.lines.size(); ++i) {
        const QRectF line(e.rect.left(), b.top + i * b.lineHeight, e.rect.width(), b.lineHeight);
        if (line.bottom() <= visibleTop + 1e-6 || line.top() >= visibleBottom - 1e-6) continue;
        p.drawText(unitsRect(line), flags, b.lines.at(i));
    }
}

void drawPicture(QPainter& p, const Element& e, const EvalContext& ctx) {
    QImage image = e.image;
    if (!e.imageField.isEmpty()) {
        const QVariant v = ctx.value(e.imageField);
        image = QImage::fromData(v.toByteArray());
    }
    if (image.isNull()) return;
    QRectF target = unitsRect(e.rect);
    if (e.keepAspect) {
        QSizeF s = image.size();
        s.scale(target.size(), Qt::KeepAspectRatio);
        target = QRectF(target.center().x() - s.width() / 2, target.center().y() - s.height() / 2, s.width(),
                        s.height());
    }
    p.drawImage(target, image);
}

void drawBand(QPainter& p, const Band& band, const PlacedBand& placed, const EvalContext& ctx,
              double widthMm) {
    const double growth = std::max(0.0, placed.fullHeight - band.height);
    p.save();
    p.translate(0, mmToUnits(placed.top));
    const bool slice = placed.sliceTop > 0 || placed.height < placed.fullHeight - 1e-6;
    if (slice) p.setClipRect(QRectF(-mmToUnits(1), 0, mmToUnits(widthMm + 2), mmToUnits(placed.height)));
    p.translate(0, -mmToUnits(placed.sliceTop));
    if (placed.background.isValid())
        p.fillRect(unitsRect(QRectF(0, placed.sliceTop, widthMm, placed.height)), placed.background);
    const QVector<double> shifts = elementShifts(band, ctx);
    for (int i = 0; i < band.elements.size(); ++i) {
        const Element* element = &band.elements.at(i);
        Element moved;
        if (!shifts.isEmpty() && shifts[i] > 0) {
            moved = *element;
            moved.rect.translate(0, shifts[i]);
            element = &moved;
        }
        const Element& e = *element;
        switch (e.kind) {
        case ElementKind::Text:
            drawText(p, e, elementText(e, ctx), placed.sliceTop, placed.sliceTop + placed.height);
            break;
        case ElementKind::Line: {
            QLineF line(e.rect.topLeft(), e.rect.bottomRight());
            if (e.followBandHeight) {
                if (std::abs(line.dx()) < 1e-9)
                    line.setP2(line.p2() + QPointF(0, growth));
                else
                    line.translate(0, growth);
            }
            p.setPen(penFor(e));
            p.drawLine(QLineF(mmToUnits(line.x1()), mmToUnits(line.y1()), mmToUnits(line.x2()),
                              mmToUnits(line.y2())));
            break;
        }
        case ElementKind::Rect: {
            QRectF r = e.rect;
            if (e.followBandHeight) r.setHeight(r.height() + growth);
            if (e.fill.isValid()) p.fillRect(unitsRect(r), e.fill);
            if (e.penWidthMm > 0 && e.penColour.isValid()) {
                p.setPen(penFor(e));
                p.setBrush(Qt::NoBrush);
                p.drawRect(unitsRect(r));
            }
            break;
        }
        case ElementKind::Picture:
            drawPicture(p, e, ctx);
            break;
        }
    }
    p.restore();
}

} // namespace

void renderPage(const Report& report, const PreparedReport& prepared, int page, QPainter& painter) {
    if (page < 0 || page >= prepared.pageCount()) return;
    const QRectF content = report.contentRectMm();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.translate(mmToUnits(content.left()), mmToUnits(content.top()));
    EvalContext ctx;
    ctx.data = &report.data;
    ctx.page = page + 1;
    ctx.pageCount = prepared.pageCount();
    ctx.printedAt = prepared.printedAt;
    for (const PlacedBand& placed : prepared.pages.at(page).bands) {
        ctx.row = placed.row;
        ctx.labels = &placed.labels;
        drawBand(painter, report.band(placed.kind, placed.child), placed, ctx, content.width());
    }
    const PageFrame& f = report.page.frame;
    if (f.top || f.bottom || f.left || f.right) {
        QPen pen(f.colour);
        pen.setWidthF(mmToUnits(f.widthMm));
        painter.setPen(pen);
        const QRectF r = unitsRect(QRectF(0, 0, content.width(), content.height()));
        if (f.top) painter.drawLine(r.topLeft(), r.topRight());
        if (f.bottom) painter.drawLine(r.bottomLeft(), r.bottomRight());
        if (f.left) painter.drawLine(r.topLeft(), r.bottomLeft());
        if (f.right) painter.drawLine(r.topRight(), r.bottomRight());
    }
    painter.restore();
}

QImage renderPageImage(const Report& report, const PreparedReport& prepared, int page, double dpi) {
    const QSizeF mm = report.paperSizeMm();
    const QSize px(std::max(1, int(std::lround(mm.width() / 25.4 * dpi))),
                   std::max(1, int(std::lround(mm.height() / 25.4 * dpi))));
    QImage image(px, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scaleForDevice(dpi), scaleForDevice(dpi));
    renderPage(report, prepared, page, painter);
    painter.end();
    return image;
}

} // namespace reports
