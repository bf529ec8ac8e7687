#pragma once

#include "reports/engine/layout.h"

#include <optional>

class QPrinter;

namespace reports {

enum class ExportFormat { Pdf, Text, Csv, Html };

// File encoding of the text, CSV and HTML exports: UTF-8 with a byte-order mark, which the
// spreadsheet and text programs of a Brazilian office open with accents intact.
inline constexpr char kExportEncodingName[] = "UTF-8 (BOM)";

// The format a file name asks for by its extension (.pdf, .txt, .csv, .htm/.html).
std::optional<ExportFormat> formatForFileName(const QString& fileName);
QString extensionFor(ExportFormat format);

// Writes the prepared pages. Text, CSV and HTML hold one line per record in the report's
// column order (ExportColumn), captions first; text and HTML also carry the page header and
// summary texts. False with a reason on failure or cancel (the partial file is removed).
bool exportReport(const Report& report, const PreparedReport& prepared, ExportFormat format,
                  const QString& fileName, QString* errorText = nullptr,
                  const ProgressFunction& progress = {});

bool exportPdf(const Report& report, const PreparedReport& prepared, const QString& fileName,
               QString* errorText = nullptr, const ProgressFunction& progress = {});
bool exportText(const Report& report, const PreparedReport& prepared, const QString& fileName,
                QString* errorText = nullptr);
bool exportCsv(const Report& report, const PreparedReport& prepared, const QString& fileName,
               QString* errorText = nullptr);
bool exportHtml(const Report& report, const PreparedReport& prepared, const QString& fileName,
                QString* errorText = nullptr);

// Prepares the pages again (the hooks start afresh, so running counts begin at 0) and prints
// them on an already configured printer, honouring its page range and copy count.
bool printReport(Report& report, QPrinter& printer, QString* errorText = nullptr,
                 const ProgressFunction& prepareProgress = {}, const ProgressFunction& printProgress = {});

// The table the text exports write: captions and one row of texts per record.
struct ExportTable {
    QStringList headerLines; // page header texts of the first page
    QStringList captions;
    QVector<Qt::Alignment> alignments;
    QVector<QStringList> rows;
    QVector<QColor> rowBackgrounds;
    QStringList summaryLines;
};
ExportTable exportTable(const Report& report, const PreparedReport& prepared);

} // namespace reports
