#include "reports/engine/report.h"

namespace reports {

Element& Band::add(Element e) {
    elements.append(std::move(e));
    return elements.last();
}

Element& Band::addText(const QRectF& mm, const QString& text, const TextStyle& style) {
    Element e;
    e.rect = mm;
    e.text = text;
    e.style = style;
    return add(std::move(e));
}

Element& Band::addLabel(const QString& name, const QRectF& mm, const QString& designText,
                        const TextStyle& style) {
    Element e;
    e.rect = mm;
    e.source = TextSource::Label;
    e.name = name;
    e.text = designText;
    e.style = style;
    return add(std::move(e));
}

Element& Band::addField(const QRectF& mm, const QString& field, const TextStyle& style) {
    return addFields(mm, {field}, style);
}

Element& Band::addFields(const QRectF& mm, const QStringList& fields, const TextStyle& style,
                         const QString& separator) {
    Element e;
    e.rect = mm;
    e.source = TextSource::Fields;
    e.fields = fields;
    e.separator = separator;
    e.style = style;
    return add(std::move(e));
}

Element& Band::addFunction(const QRectF& mm, TextFunction function, const TextStyle& style) {
    Element e;
    e.rect = mm;
    e.source = TextSource::Function;
    e.function = std::move(function);
    e.style = style;
    return add(std::move(e));
}

Element& Band::addPageNumber(const QRectF& mm, const QString& prefix, const TextStyle& style) {
    return addFunction(
        mm, [prefix](const EvalContext& c) { return prefix + QString::number(c.page); }, style);
}

Element& Band::addPrintDate(const QRectF& mm, const TextStyle& style) {
    return addFunction(
        mm, [](const EvalContext& c) { return c.printedAt.date().toString(QStringLiteral("dd/MM/yyyy")); },
        style);
}

Element& Band::addPrintTime(const QRectF& mm, const TextStyle& style) {
    return addFunction(
        mm, [](const EvalContext& c) { return c.printedAt.time().toString(QStringLiteral("hh:mm:ss")); },
        style);
}

Element& Band::addHLine(double y, double x1, double x2, double widthMm, const QColor& colour) {
    Element e;
    e.kind = ElementKind::Line;
    e.rect = QRectF(QPointF(x1, y), QPointF(x2, y));
    e.penWidthMm = widthMm;
    e.penColour = colour;
    return add(std::move(e));
}

Element& Band::addVLine(double x, double y1, double y2, double widthMm, const QColor& colour) {
    Element e;
    e.kind = ElementKind::Line;
    e.rect = QRectF(QPointF(x, y1), QPointF(x, y2));
    e.penWidthMm = widthMm;
    e.penColour = colour;
    return add(std::move(e));
}

Element& Band::addRect(const QRectF& mm, const QColor& pen, const QColor& fill, double widthMm) {
    Element e;
    e.kind = ElementKind::Rect;
    e.rect = mm;
    e.penColour = pen;
    e.fill = fill;
    e.penWidthMm = widthMm;
    return add(std::move(e));
}

Element& Band::addPicture(const QRectF& mm, const QImage& image, bool keepAspect) {
    Element e;
    e.kind = ElementKind::Picture;
    e.rect = mm;
    e.image = image;
    e.keepAspect = keepAspect;
    return add(std::move(e));
}

Element& Band::addPictureField(const QRectF& mm, const QString& field, bool keepAspect) {
    Element e;
    e.kind = ElementKind::Picture;
    e.rect = mm;
    e.imageField = field;
    e.keepAspect = keepAspect;
    return add(std::move(e));
}

const ReportData& RunContext::data() const {
    return m_report->data;
}

QVariant RunContext::value(const QString& field) const {
    return m_report->data.value(m_row, field);
}

QString RunContext::text(const QString& field) const {
    return displayText(value(field));
}

void RunContext::setLabel(const QString& name, const QString& text) {
    // Bands already placed share the old set; copy it only when something really changes.
    if (m_labels.contains(name) && m_labels.value(name) == text) return;
    m_labels.insert(name, text);
}

LabelSet::LabelSet(const QHash<QString, QString>& labels) {
    m_items.reserve(labels.size());
    for (auto it = labels.constBegin(); it != labels.constEnd(); ++it)
        m_items.append({it.key(), it.value()});
}

QString LabelSet::value(const QString& name, const QString& fallback) const {
    for (const auto& item : m_items)
        if (item.first == name) return item.second;
    return fallback;
}

bool LabelSet::contains(const QString& name) const {
    for (const auto& item : m_items)
        if (item.first == name) return true;
    return false;
}

void LabelSet::insert(const QString& name, const QString& text) {
    for (auto& item : m_items)
        if (item.first == name) {
            item.second = text;
            return;
        }
    m_items.append({name, text});
}

QString Report::label(const QString& name) const {
    return startLabels().value(name);
}

QHash<QString, QString> Report::startLabels() const {
    QHash<QString, QString> labels;
    QVector<const Band*> bands{&pageHeader, &columnHeader, &detail, &summary, &pageFooter};
    for (const Band& child : detailChildren)
        bands << &child;
    for (const Band* b : bands)
        for (const Element& e : b->elements)
            if (e.kind == ElementKind::Text && e.source == TextSource::Label && !labels.contains(e.name))
                labels.insert(e.name, e.text);
    for (auto it = m_labels.constBegin(); it != m_labels.constEnd(); ++it)
        labels.insert(it.key(), it.value());
    return labels;
}

Band& Report::band(BandKind kind) {
    return const_cast<Band&>(static_cast<const Report*>(this)->band(kind));
}

const Band& Report::band(BandKind kind) const {
    switch (kind) {
    case BandKind::PageHeader:
        return pageHeader;
    case BandKind::ColumnHeader:
        return columnHeader;
    case BandKind::Detail:
        return detail;
    case BandKind::Summary:
        return summary;
    case BandKind::PageFooter:
        break;
    }
    return pageFooter;
}

const Band& Report::band(BandKind kind, int child) const {
    if (kind == BandKind::Detail && child >= 0 && child < detailChildren.size())
        return detailChildren.at(child);
    return band(kind);
}

QSizeF Report::paperSizeMm() const {
    QSizeF s = QPageSize(page.size).size(QPageSize::Millimeter);
    if (page.orientation == QPageLayout::Landscape) s.transpose();
    return s;
}

QRectF Report::contentRectMm() const {
    const QSizeF s = paperSizeMm();
    const QMarginsF& m = page.marginsMm;
    return QRectF(m.left(), m.top(), s.width() - m.left() - m.right(), s.height() - m.top() - m.bottom());
}

QPageLayout Report::pageLayout() const {
    return QPageLayout(QPageSize(page.size), page.orientation, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

void Report::addColumns(const QVector<ColumnSpec>& columns, double captionTop, double captionHeight,
                        const TextStyle& captionStyle, const TextStyle& detailStyle, bool oneLine) {
    constexpr double pad = 1.0;
    double x = 0;
    for (const ColumnSpec& col : columns) {
        columnHeader
            .addText(QRectF(x + pad, captionTop, col.width - 2 * pad, captionHeight), col.caption,
                     captionStyle.aligned(col.alignment))
            .wrapped()
            .wholeWords();
        detail
            .addFields(QRectF(x + pad, 0, col.width - 2 * pad, detail.height), col.fields,
                       detailStyle.aligned(col.alignment))
            .wrapped(!oneLine)
            .elided(oneLine);
        exportColumns.append({col.caption, int(detail.elements.size()) - 1});
        x += col.width;
    }
}

} // namespace reports
