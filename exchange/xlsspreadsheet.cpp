#include "exchange/spreadsheet.h"

#include <QFile>
#include <cmath>
#include <freexl.h>

namespace exchange {

namespace {

SpreadsheetFactory& installedFactory() {
    static SpreadsheetFactory factory;
    return factory;
}

// Reads .xls workbooks through FreeXL, which loads the whole file on opening: the cells are
// then read from memory and the file is free again.
class XlsSpreadsheet : public Spreadsheet {
public:
    ~XlsSpreadsheet() override { quit(); }

    bool open(const QString& path, QString* errorText) override {
        quit();
        const QByteArray name = QFile::encodeName(path);
        const void* handle = nullptr;
        int rc = freexl_open(name.constData(), &handle);
        if (rc == FREEXL_OK) rc = freexl_select_active_worksheet(handle, 0);
        if (rc != FREEXL_OK) {
            // FreeXL wants its handle closed even when opening failed.
            if (handle) freexl_close(handle);
            if (errorText) *errorText = QStringLiteral("FreeXL %1: %2").arg(rc).arg(path);
            return false;
        }
        m_handle = handle;
        return true;
    }

    QString cell(int row, const QString& column) const override {
        const int col = columnIndex(column);
        if (!m_handle || row < 1 || col < 0) return QString();
        FreeXL_CellValue value;
        if (freexl_get_cell_value(m_handle, unsigned(row - 1), static_cast<unsigned short>(col), &value) !=
            FREEXL_OK)
            return QString();
        switch (value.type) {
        case FREEXL_CELL_INT:
            return QString::number(value.value.int_value);
        case FREEXL_CELL_DOUBLE: {
            // A whole number reads as the spreadsheet shows it in the general format: 7, not 7.0.
            const double d = value.value.double_value;
            if (std::floor(d) == d && std::fabs(d) < 1e15) return QString::number(qlonglong(d));
            return QString::number(d, 'g', 15);
        }
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            return value.value.text_value ? QString::fromUtf8(value.value.text_value) : QString();
        default:
            return QString();
        }
    }

    void quit() override {
        if (m_handle) freexl_close(m_handle);
        m_handle = nullptr;
    }

private:
    const void* m_handle = nullptr;
};

} // namespace

std::unique_ptr<Spreadsheet> createXlsSpreadsheet() {
    return std::make_unique<XlsSpreadsheet>();
}

std::unique_ptr<Spreadsheet> createSpreadsheet() {
    const SpreadsheetFactory& factory = installedFactory();
    return factory ? factory() : createXlsSpreadsheet();
}

void setSpreadsheetFactory(SpreadsheetFactory factory) {
    installedFactory() = std::move(factory);
}

int columnIndex(const QString& letters) {
    if (letters.isEmpty()) return -1;
    int index = 0;
    for (const QChar c : letters) {
        const QChar u = c.toUpper();
        if (u < QLatin1Char('A') || u > QLatin1Char('Z')) return -1;
        index = index * 26 + (u.unicode() - 'A' + 1);
    }
    return index - 1;
}

} // namespace exchange
