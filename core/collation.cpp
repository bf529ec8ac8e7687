#include "core/collation.h"

#include <QDate>
#include <QTime>
#include <array>

namespace core {

namespace {

// The server's Brazilian collation, character by character: every WIN1252 character in order,
// characters that the collation holds equal (a letter with its accented and lower-case forms) in
// one group. Taken from the server itself, so a list ordered here and one ordered by the server's
// indices agree row for row.
const char16_t* const kGroups[] = {
    u" ",
    u"!",
    u"\"",
    u"#",
    u"$",
    u"%",
    u"&",
    u"'",
    u"(",
    u")",
    u"*",
    u"+",
    u",",
    u"-",
    u".",
    u"/",
    u"0",
    u"1\u00B9\u00BC\u00BD",
    u"2\u00B2",
    u"3\u00B3\u00BE",
    u"4",
    u"5",
    u"6",
    u"7",
    u"8",
    u"9",
    u":",
    u";",
    u"<",
    u"=",
    u">",
    u"?",
    u"@",
    u"Aa\u00AA\u00C0\u00C1\u00C2\u00C3\u00C4\u00C5\u00C6\u00E0\u00E1\u00E2\u00E3\u00E4\u00E5\u00E6",
    u"Bb",
    u"Cc\u00C7\u00E7",
    u"Dd\u00D0\u00F0",
    u"Ee\u00C8\u00C9\u00CA\u00CB\u00E8\u00E9\u00EA\u00EB",
    u"Ff",
    u"Gg",
    u"Hh",
    u"Ii\u00CC\u00CD\u00CE\u00CF\u00EC\u00ED\u00EE\u00EF",
    u"Jj",
    u"Kk",
    u"Ll",
    u"Mm",
    u"Nn\u00D1\u00F1",
    u"Oo\u00B0\u00BA\u00D2\u00D3\u00D4\u00D5\u00D6\u00D8\u00F2\u00F3\u00F4\u00F5\u00F6\u00F8",
    u"Pp",
    u"Qq",
    u"Rr",
    u"Ss\u00DF",
    u"Tt\u00DE\u00FE",
    u"Uu\u00D9\u00DA\u00DB\u00DC\u00F9\u00FA\u00FB\u00FC",
    u"Vv",
    u"Ww",
    u"Xx",
    u"Yy\u00DD\u00FD\u00FF",
    u"Zz",
    u"[",
    u"\\",
    u"]",
    u"^",
    u"_",
    u"`",
    u"{",
    u"|",
    u"}",
    u"~",
    u"\u20AC",
    u"\u201A",
    u"\u0192",
    u"\u201E",
    u"\u2026",
    u"\u2020",
    u"\u2021",
    u"\u02C6",
    u"\u2030",
    u"\u0160",
    u"\u2039",
    u"\u0152",
    u"\u017D",
    u"\u2018",
    u"\u2019",
    u"\u201C",
    u"\u201D",
    u"\u2022",
    u"\u2013",
    u"\u2014",
    u"\u02DC",
    u"\u2122",
    u"\u0161",
    u"\u203A",
    u"\u0153",
    u"\u017E",
    u"\u0178",
    u"\u00A0",
    u"\u00A1",
    u"\u00A2",
    u"\u00A3",
    u"\u00A4",
    u"\u00A5",
    u"\u00A6",
    u"\u00A7",
    u"\u00A8",
    u"\u00A9",
    u"\u00AB",
    u"\u00AC",
    u"\u00AD",
    u"\u00AE",
    u"\u00AF",
    u"\u00B1",
    u"\u00B4",
    u"\u00B5",
    u"\u00B6",
    u"\u00B7",
    u"\u00B8",
    u"\u00BB",
    u"\u00BF",
    u"\u00D7",
    u"\u00F7",
};

// Weight of every character: control characters below the blank, the groups above in their order,
// anything the database cannot store after them by code.
struct Weights {
    std::array<quint32, 0x10000> weight{};
    Weights() {
        for (quint32 c = 0; c < 0x10000; ++c)
            weight[c] = 0x1000 + c;
        for (quint32 c = 0; c < 0x20; ++c)
            weight[c] = c;
        quint32 next = 0x20;
        for (const char16_t* group : kGroups) {
            for (const char16_t* p = group; *p; ++p)
                weight[*p] = next;
            ++next;
        }
    }
};

const Weights& weights() {
    static const Weights w;
    return w;
}

int trimmedLength(const QString& s) {
    int n = int(s.size());
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return n;
}

} // namespace

int compareText(const QString& a, const QString& b) {
    const auto& w = weights().weight;
    const int na = trimmedLength(a), nb = trimmedLength(b);
    const int n = std::min(na, nb);
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (int i = 0; i < n; ++i) {
        const quint32 x = w[pa[i].unicode()], y = w[pb[i].unicode()];
        if (x != y) return x < y ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

bool isBlank(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return true;
    if (value.typeId() == QMetaType::QString) return trimmedLength(value.toString()) == 0;
    return false;
}

int compareValues(const QVariant& a, const QVariant& b, ValueType type) {
    const bool an = isBlank(a), bn = isBlank(b);
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    switch (type) {
    case ValueType::Integer: {
        const qlonglong x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case ValueType::Date: {
        const QDate x = a.toDate(), y = b.toDate();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case ValueType::Time: {
        const QTime x = a.toTime(), y = b.toTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case ValueType::Blob: {
        const QByteArray x = a.toByteArray(), y = b.toByteArray();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case ValueType::Text:
    case ValueType::Memo:
        break;
    }
    return compareText(a.toString(), b.toString());
}

QVariant valueFromDatabase(const QVariant& value, ValueType type) {
    if (!value.isValid() || value.isNull()) return {};
    switch (type) {
    case ValueType::Text:
    case ValueType::Memo: {
        // Text blobs arrive from the driver as UTF-8 bytes (the connection's character set). A copy
        // of the text, not of the driver's value: a blob's bytes sit in a buffer of the driver's
        // segment size, and keeping that alive per row costs kilobytes for a short text.
        const QString s = value.typeId() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray())
                                                                  : value.toString();
        if (s.isEmpty()) return {};
        return QVariant(QString(s.constData(), s.size()));
    }
    case ValueType::Integer: {
        bool ok = false;
        const qlonglong n = value.toString().trimmed().toLongLong(&ok);
        return ok ? QVariant(n) : QVariant();
    }
    case ValueType::Date:
        if (value.typeId() == QMetaType::QDate) return value;
        if (value.typeId() == QMetaType::QDateTime) return value.toDateTime().date();
        return keyFromText(value.toString(), ValueType::Date);
    case ValueType::Time:
        if (value.typeId() == QMetaType::QTime) return value;
        if (value.typeId() == QMetaType::QDateTime) return value.toDateTime().time();
        return keyFromText(value.toString(), ValueType::Time);
    case ValueType::Blob: {
        const QByteArray b = value.toByteArray();
        return b.isEmpty() ? QVariant() : QVariant(QByteArray(b.constData(), b.size()));
    }
    }
    return value;
}

QVariant keyFromText(const QString& text, ValueType type) {
    const QString t = text.trimmed();
    switch (type) {
    case ValueType::Text:
    case ValueType::Memo:
        return text;
    case ValueType::Integer: {
        bool ok = false;
        const qlonglong n = t.toLongLong(&ok);
        return ok ? QVariant(n) : QVariant();
    }
    case ValueType::Date: {
        for (const char* f : {"dd/MM/yyyy", "d/M/yyyy", "dd/MM/yy"}) {
            const QDate d = QDate::fromString(t, QString::fromLatin1(f));
            if (d.isValid()) return d;
        }
        return {};
    }
    case ValueType::Time: {
        for (const char* f : {"hh:mm:ss", "h:mm:ss", "hh:mm", "h:mm"}) {
            const QTime tm = QTime::fromString(t, QString::fromLatin1(f));
            if (tm.isValid()) return tm;
        }
        return {};
    }
    case ValueType::Blob:
        return {};
    }
    return {};
}

QString valueText(const QVariant& value, ValueType type) {
    if (!value.isValid() || value.isNull()) return {};
    switch (type) {
    case ValueType::Date:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case ValueType::Time:
        return value.toTime().toString(QStringLiteral("hh:mm:ss"));
    case ValueType::Blob:
        return QStringLiteral("(BLOB)");
    case ValueType::Memo:
        return value.toString().section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
    default:
        return value.toString();
    }
}

} // namespace core
