#include "reports/engine/exports.h"

#include "core/appvalues.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

namespace reports {

std::optional<ExportFormat> formatForFileName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("pdf")) return ExportFormat::Pdf;
    if (suffix == QLatin1String("txt")) return ExportFormat::Text;
    if (suffix == QLatin1String("csv")) return ExportFormat::Csv;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) return ExportFormat::Html;
    return std::nullopt;
}

QString extensionFor(ExportFormat format) {
    switch (format) {
    case ExportFormat::Pdf:
        return QStringLiteral("pdf");
    case ExportFormat::Text:
        return QStringLiteral("txt");
    case ExportFormat::Csv:
        return QStringLiteral("csv");
    case ExportFormat::Html:
        return QStringLiteral("html");
    }
    return {};
}

bool exportReport(const Report& report, const PreparedReport& prepared, ExportFormat format,
                  const QString& fileName, QString* errorText, const ProgressFunction& progress) {
    switch (format) {
    case ExportFormat::Pdf:
        return exportPdf(report, prepared, fileName, errorText, progress);
    case ExportFormat::Text:
        return exportText(report, prepared, fileName, errorText);
    case ExportFormat::Csv:
        return exportCsv(report, prepared, fileName, errorText);
    case ExportFormat::Html:
        return exportHtml(report, prepared, fileName, errorText);
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Pages: PDF and printer

namespace {

bool drawPages(const Report& report, const PreparedReport& prepared, QPagedPaintDevice& device,
               double deviceDpi, int from, int to, int copies, QString* errorText,
               const ProgressFunction& progress) {
    QPainter painter;
    if (!painter.begin(&device)) {
        if (errorText) *errorText = QStringLiteral("Não foi possível iniciar a impressão.");
        return false;
    }
    const int total = (to - from + 1) * copies;
    int done = 0;
    bool first = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int page = from; page <= to; ++page) {
            if (!first && !device.newPage()) {
                if (errorText) *errorText = QStringLiteral("Não foi possível iniciar uma nova página.");
                painter.end();
                return false;
            }
            first = false;
            painter.save();
            painter.scale(scaleForDevice(deviceDpi), scaleForDevice(deviceDpi));
            renderPage(report, prepared, page, painter);
            painter.restore();
            ++done;
            if (progress && !progress(done, total)) {
                painter.end();
                if (errorText) *errorText = QStringLiteral("Operação cancelada.");
                return false;
            }
        }
    }
    return painter.end();
}

} // namespace

bool exportPdf(const Report& report, const PreparedReport& prepared, const QString& fileName,
               QString* errorText, const ProgressFunction& progress) {
    {
        // QPdfWriter only says that it failed; find out whether the file can be written at all.
        QFile probe(fileName);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (errorText) *errorText = probe.errorString();
            return false;
        }
    }
    bool ok;
    {
        QPdfWriter writer(fileName);
        writer.setResolution(int(kLayoutDpi));
        writer.setPageLayout(report.pageLayout());
        writer.setTitle(report.title);
        writer.setCreator(core::appValues().systemName);
        ok = drawPages(report, prepared, writer, kLayoutDpi, 0, prepared.pageCount() - 1, 1, errorText,
                       progress);
    }
    if (!ok) QFile::remove(fileName);
    return ok;
}

bool printReport(Report& report, QPrinter& printer, QString* errorText,
                 const ProgressFunction& prepareProgress, const ProgressFunction& printProgress) {
    const PreparedReport prepared = prepare(report, prepareProgress);
    if (prepared.cancelled) {
        if (errorText) *errorText = QStringLiteral("Operação cancelada.");
        return false;
    }
    if (!prepared.error.isEmpty()) {
        if (errorText) *errorText = prepared.error;
        return false;
    }
    printer.setFullPage(true);
    printer.setPageLayout(report.pageLayout());
    if (printer.docName().isEmpty()) printer.setDocName(report.title);
    int from = 0;
    int to = prepared.pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::clamp(printer.fromPage() - 1, 0, to);
        to = std::clamp(printer.toPage() > 0 ? printer.toPage() - 1 : to, from, to);
    }
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    return drawPages(report, prepared, printer, printer.resolution(), from, to, copies, errorText,
                     printProgress);
}

// ---------------------------------------------------------------------------------------------
// Tables: text, CSV, HTML

ExportTable exportTable(const Report& report, const PreparedReport& prepared) {
    ExportTable t;
    EvalContext ctx;
    ctx.data = &report.data;
    ctx.pageCount = prepared.pageCount();
    ctx.printedAt = prepared.printedAt;

    const bool tabular = !report.exportColumns.isEmpty();
    QVector<const Element*> columns;
    if (tabular) {
        for (const ExportColumn& c : report.exportColumns) {
            if (c.element < 0 || c.element >= report.detail.elements.size()) continue;
            columns << &report.detail.elements.at(c.element);
            t.captions << c.caption.trimmed();
            t.alignments << (report.detail.elements.at(c.element).style.alignment & Qt::AlignHorizontal_Mask);
        }
    }

    bool headerTaken = false;
    for (int p = 0; p < prepared.pageCount(); ++p) {
        ctx.page = p + 1;
        for (const PlacedBand& b : prepared.pages.at(p).bands) {
            ctx.row = b.row;
            ctx.labels = &b.labels;
            if (!b.isFirstSlice()) continue;
            switch (b.kind) {
            case BandKind::PageHeader:
                if (!headerTaken) t.headerLines << bandTextLines(report.pageHeader, ctx, false);
                break;
            case BandKind::ColumnHeader:
                if (!headerTaken && !tabular) t.headerLines << bandTextLines(report.columnHeader, ctx, false);
                break;
            case BandKind::Detail: {
                if (b.child >= 0) {
                    // A further block of the record: its texts continue the record's lines.
                    if (!tabular && !t.rows.isEmpty())
                        for (const QString& line : bandTextLines(report.band(b.kind, b.child), ctx, true))
                            t.rows.last() << line.simplified();
                    break;
                }
                QStringList values;
                if (tabular) {
                    for (const Element* e : columns)
                        values << elementText(*e, ctx).simplified();
                } else {
                    values = bandTextLines(report.detail, ctx, true);
                    for (QString& v : values)
                        v = v.simplified();
                }
                t.rows << values;
                t.rowBackgrounds << b.background;
                break;
            }
            case BandKind::Summary:
                t.summaryLines << bandTextLines(report.summary, ctx, true);
                break;
            case BandKind::PageFooter:
                break;
            }
        }
        headerTaken = true;
    }
    return t;
}

namespace {

bool writeText(const QString& fileName, const QString& text, QString* errorText) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (errorText) *errorText = file.errorString();
        return false;
    }
    QByteArray bytes("\xEF\xBB\xBF");
    bytes += text.toUtf8();
    file.write(bytes);
    if (!file.commit()) {
        if (errorText) *errorText = file.errorString();
        return false;
    }
    return true;
}

QString pad(const QString& s, int width, Qt::Alignment a) {
    const int free = std::max(0, width - int(s.size()));
    if (a & Qt::AlignRight) return QString(free, QLatin1Char(' ')) + s;
    if (a & Qt::AlignHCenter)
        return QString(free / 2, QLatin1Char(' ')) + s + QString(free - free / 2, QLatin1Char(' '));
    return s + QString(free, QLatin1Char(' '));
}

QString csvValue(const QString& v) {
    if (v.contains(QLatin1Char(';')) || v.contains(QLatin1Char('"'))) {
        QString q = v;
        q.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + q + QLatin1Char('"');
    }
    return v;
}

QString cssColour(const QColor& c) {
    return c.name(QColor::HexRgb);
}

} // namespace

bool exportText(const Report& report, const PreparedReport& prepared, const QString& fileName,
                QString* errorText) {
    const ExportTable t = exportTable(report, prepared);
    const QString nl = QStringLiteral("\r\n");
    QString out;
    for (const QString& line : t.headerLines)
        out += line + nl;
    if (!t.headerLines.isEmpty()) out += nl;
    int columns = int(t.captions.size());
    for (const QStringList& r : t.rows)
        columns = std::max(columns, int(r.size()));
    QVector<int> widths(columns, 0);
    for (int i = 0; i < t.captions.size(); ++i)
        widths[i] = int(t.captions.at(i).size());
    for (const QStringList& r : t.rows)
        for (int i = 0; i < r.size(); ++i)
            widths[i] = std::max(widths[i], int(r.at(i).size()));
    auto lineOf = [&](const QStringList& values) {
        QStringList cells;
        for (int i = 0; i < values.size(); ++i)
            cells << pad(values.at(i), widths[i], i < t.alignments.size() ? t.alignments[i] : Qt::AlignLeft);
        QString s = cells.join(QStringLiteral("  "));
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        return s;
    };
    int total = 0;
    for (int w : widths)
        total += w;
    total += std::max(0, columns - 1) * 2;
    const QString rule(std::max(total, 10), QLatin1Char('-'));
    if (!t.captions.isEmpty()) out += lineOf(t.captions) + nl + rule + nl;
    for (const QStringList& r : t.rows)
        out += lineOf(r) + nl;
    if (!t.summaryLines.isEmpty()) {
        out += rule + nl;
        for (const QString& line : t.summaryLines)
            out += line + nl;
    }
    return writeText(fileName, out, errorText);
}

bool exportCsv(const Report& report, const PreparedReport& prepared, const QString& fileName,
               QString* errorText) {
    const ExportTable t = exportTable(report, prepared);
    const QString nl = QStringLiteral("\r\n");
    QString out;
    auto lineOf = [](const QStringList& values) {
        QStringList cells;
        for (const QString& v : values)
            cells << csvValue(v);
        return cells.join(QLatin1Char(';'));
    };
    if (!t.captions.isEmpty()) out += lineOf(t.captions) + nl;
    for (const QStringList& r : t.rows)
        out += lineOf(r) + nl;
    return writeText(fileName, out, errorText);
}

bool exportHtml(const Report& report, const PreparedReport& prepared, const QString& fileName,
                QString* errorText) {
    const ExportTable t = exportTable(report, prepared);
    const QString family = QStringLiteral("Arial, 'Liberation Sans', Helvetica, sans-serif");
    QString out;
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\"/>\n");
    out += QStringLiteral("<title>%1</title>\n").arg(report.title.toHtmlEscaped());
    out +=
        QStringLiteral("<style>\nbody { font-family: %1; font-size: 10pt; margin: 10mm; }\n"
                       "p.cabecalho { text-align: center; font-weight: bold; font-size: 14pt; margin: 0; }\n"
                       "table { border-collapse: collapse; margin-top: 4mm; }\n"
                       "th { text-align: left; border-top: 1px solid black; border-bottom: 1px solid black; "
                       "padding: 2px 6px; }\n"
                       "td { padding: 2px 6px; vertical-align: top; }\n"
                       "p.resumo { font-weight: bold; border-top: 1px solid black; padding-top: 2px; }\n"
                       "</style>\n</head>\n<body>\n")
            .arg(family);
    for (const QString& line : t.headerLines)
        out += QStringLiteral("<p class=\"cabecalho\">%1</p>\n").arg(line.toHtmlEscaped());
    out += QStringLiteral("<table>\n");
    auto align = [&](int i) -> QString {
        const Qt::Alignment a = i < t.alignments.size() ? t.alignments[i] : Qt::AlignLeft;
        if (a & Qt::AlignHCenter) return QStringLiteral(" style=\"text-align: center\"");
        if (a & Qt::AlignRight) return QStringLiteral(" style=\"text-align: right\"");
        return QString();
    };
    if (!t.captions.isEmpty()) {
        out += QStringLiteral("<thead>\n<tr>");
        for (int i = 0; i < t.captions.size(); ++i)
            out += QStringLiteral("<th%1>%2</th>").arg(align(i), t.captions.at(i).toHtmlEscaped());
        out += QStringLiteral("</tr>\n</thead>\n");
    }
    out += QStringLiteral("<tbody>\n");
    for (int r = 0; r < t.rows.size(); ++r) {
        const QColor bg = t.rowBackgrounds.value(r);
        out += bg.isValid() ? QStringLiteral("<tr style=\"background-color: %1\">").arg(cssColour(bg))
                            : QStringLiteral("<tr>");
        const QStringList& values = t.rows.at(r);
        for (int i = 0; i < values.size(); ++i)
            out += QStringLiteral("<td%1>%2</td>").arg(align(i), values.at(i).toHtmlEscaped());
        out += QStringLiteral("</tr>\n");
    }
    out += QStringLiteral("</tbody>\n</table>\n");
    for (const QString& line : t.summaryLines)
        out += QStringLiteral("<p class=\"resumo\">%1</p>\n").arg(line.toHtmlEscaped());
    out += QStringLiteral("</body>\n</html>\n");
    return writeText(fileName, out, errorText);
}

} // namespace reports
