#include "core/routines.h"

#include <QFileInfo>

#include <algorithm>

namespace routines {

QString swapDateText(const QString& d) {
    return d.mid(3, 2) + QLatin1Char('/') + d.mid(0, 2) + QLatin1Char('/') + d.mid(6, 4);
}

static QString shifted(const QString& text, int delta) {
    QString out = text;
    for (QChar& c : out)
        c = QChar(static_cast<char16_t>((c.unicode() + delta) & 0xFFFF));
    return out;
}

QString scrambleUp(const QString& text, quint16 shift) {
    return shifted(text, shift);
}

QString scrambleDown(const QString& text, quint16 shift) {
    return shifted(text, -int(shift));
}

bool fitsWin1252(const QString& text) {
    // Code points that windows-1252 maps to bytes 0x80..0x9F.
    static const char16_t extra[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                     0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                     0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) continue;
        if (std::find(std::begin(extra), std::end(extra), u) == std::end(extra)) return false;
    }
    return true;
}

QChar digitKeyFilter(QChar typed) {
    const char16_t u = typed.unicode();
    if (u == 8 || u == 13 || (u >= '0' && u <= '9')) return typed;
    return QChar(0);
}

// Joins the characters at the given 1-based ranges; empty when a position is missing.
static QString pick(const QString& s, std::initializer_list<std::pair<int, int>> ranges) {
    QString out;
    for (auto [from, to] : ranges)
        out += s.mid(from - 1, to - from + 1);
    return out;
}

static bool allDigits(const QString& s) {
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// Check digit for position p (1-based): the digits before it weighted 2, 3, ... from the right,
// the weight starting again at 2 after maxWeight; 11 minus the sum modulo 11, above 9 gives 0.
static int checkDigit(const QString& digits, int p, int maxWeight) {
    int sum = 0;
    for (int i = p - 1, weight = 2; i >= 1; --i) {
        sum += digits.at(i - 1).digitValue() * weight;
        weight = weight == maxWeight ? 2 : weight + 1;
    }
    const int check = 11 - sum % 11;
    return check > 9 ? 0 : check;
}

bool isValidCnpj(const QString& formatted) {
    const QString d = pick(formatted, {{1, 2}, {4, 6}, {8, 10}, {12, 15}, {17, 18}});
    if (d.size() != 14 || !allDigits(d)) return false;
    return d.at(12).digitValue() == checkDigit(d, 13, 9) && d.at(13).digitValue() == checkDigit(d, 14, 9);
}

bool isValidCpf(const QString& formatted) {
    const QString d = pick(formatted, {{1, 3}, {5, 7}, {9, 11}, {13, 14}});
    if (d.size() != 11 || !allDigits(d)) return false;
    if (d == QString(11, d.at(0))) return false;
    // No restart of the weights: 2 to 10, then 2 to 11.
    return d.at(9).digitValue() == checkDigit(d, 10, 11) && d.at(10).digitValue() == checkDigit(d, 11, 11);
}

QDateTime fileTime(const QString& fileName) {
    if (fileName.isEmpty()) return {};
    const QFileInfo info(fileName);
    if (!info.exists()) return {};
    return info.lastModified().toLocalTime();
}

QString digitsOnly(const QString& text) {
    QString out;
    for (QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) out += c;
    return out;
}

QString zeroFill(const QString& text, int width) {
    if (text.size() >= width) return text;
    return QString(width - text.size(), QLatin1Char('0')) + text;
}

QString withoutAccelerator(const QString& caption) {
    QString out = caption;
    const int i = out.indexOf(QLatin1Char('&'));
    if (i >= 0) out.remove(i, 1);
    return out;
}

} // namespace routines
