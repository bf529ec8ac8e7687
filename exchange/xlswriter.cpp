#include "exchange/xlswriter.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>

namespace exchange {

namespace {

class Bytes {
public:
    void u8(quint8 v) { m_data.append(char(v)); }
    void u16(quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        m_data.append(b, 2);
    }
    void u32(quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        m_data.append(b, 4);
    }
    void f64(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char b[8];
        qToLittleEndian(bits, b);
        m_data.append(b, 8);
    }
    void utf16(const QString& s) {
        for (const QChar c : s)
            u16(c.unicode());
    }
    void bytes(const QByteArray& b) { m_data.append(b); }
    void zeros(int n) { m_data.append(QByteArray(n, '\0')); }
    int size() const { return int(m_data.size()); }
    QByteArray& data() { return m_data; }
    void patch32(int at, quint32 v) { qToLittleEndian(v, m_data.data() + at); }

private:
    QByteArray m_data;
};

// One BIFF record: type, length, body.
void record(Bytes& out, quint16 type, const QByteArray& body) {
    out.u16(type);
    out.u16(quint16(body.size()));
    out.bytes(body);
}

// BIFF8 strings are always written uncompressed (UTF-16LE), so any character fits.
QByteArray shortString(const QString& s) {
    Bytes b;
    b.u8(quint8(s.size()));
    b.u8(0x01);
    b.utf16(s);
    return b.data();
}

QByteArray longString(const QString& s) {
    Bytes b;
    b.u16(quint16(s.size()));
    b.u8(0x01);
    b.utf16(s);
    return b.data();
}

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kFont = 0x0031, kXf = 0x00E0,
                  kBoundSheet = 0x0085, kSst = 0x00FC, kDimensions = 0x0200, kNumber = 0x0203,
                  kLabelSst = 0x00FD;
// Cell format 15 is the first cell format after the 15 style formats every workbook declares.
constexpr quint16 kCellXf = 15;

QByteArray bof(quint16 kind) {
    Bytes b;
    b.u16(0x0600); // BIFF8
    b.u16(kind);   // 0x0005 workbook globals, 0x0010 worksheet
    b.u16(0x0DBB);
    b.u16(0x07CC);
    b.u32(0);
    b.u32(0x0006);
    return b.data();
}

QByteArray font() {
    Bytes b;
    b.u16(200);    // 10 points, in twips
    b.u16(0);      // no attributes
    b.u16(0x7FFF); // automatic colour
    b.u16(400);    // normal weight
    b.u16(0);
    b.u8(0);
    b.u8(0);
    b.u8(0);
    b.u8(0);
    b.bytes(shortString(QStringLiteral("Arial")));
    return b.data();
}

QByteArray xf(bool style) {
    Bytes b;
    b.u16(0);                       // font
    b.u16(0);                       // number format "General"
    b.u16(style ? 0xFFF5 : 0x0001); // style format / cell format on style 0, locked
    b.u8(0x20);                     // bottom aligned
    b.u8(0);
    b.u8(0);
    b.u8(style ? 0 : 0xF8);
    b.u32(0);
    b.u32(0);
    b.u16(0x20C0);
    return b.data();
}

// The workbook stream: globals (fonts, formats, the sheet's directory entry, the shared strings)
// then the one worksheet.
QByteArray workbookStream(const QString& sheetName, const QList<QVariantList>& rows) {
    QStringList strings;
    QHash<QString, int> stringIndex;
    int stringUses = 0;
    int lastColumn = 0;
    for (const QVariantList& row : rows)
        for (int c = 0; c < row.size(); ++c) {
            const QVariant& v = row.at(c);
            if (v.isNull() || v.toString().isEmpty()) continue;
            lastColumn = qMax(lastColumn, c + 1);
            const int type = v.typeId();
            if (type == QMetaType::Int || type == QMetaType::Double || type == QMetaType::LongLong) continue;
            ++stringUses;
            if (!stringIndex.contains(v.toString())) {
                stringIndex.insert(v.toString(), int(strings.size()));
                strings << v.toString();
            }
        }

    Bytes out;
    record(out, kBof, bof(0x0005));
    {
        Bytes b;
        b.u16(1200); // UTF-16
        record(out, kCodepage, b.data());
    }
    // Font 4 does not exist in BIFF: declare five so that index 0 and the skipped 4 both resolve.
    for (int i = 0; i < 5; ++i)
        record(out, kFont, font());
    for (int i = 0; i < 15; ++i)
        record(out, kXf, xf(true));
    record(out, kXf, xf(false));
    const int sheetOffsetAt = out.size() + 4;
    {
        Bytes b;
        b.u32(0); // patched below with the worksheet's position
        b.u8(0);  // visible
        b.u8(0);  // worksheet
        b.bytes(shortString(sheetName));
        record(out, kBoundSheet, b.data());
    }
    {
        Bytes b;
        b.u32(quint32(stringUses));
        b.u32(quint32(strings.size()));
        for (const QString& s : strings)
            b.bytes(longString(s));
        record(out, kSst, b.data());
    }
    record(out, kEof, {});

    out.patch32(sheetOffsetAt, quint32(out.size()));
    record(out, kBof, bof(0x0010));
    {
        Bytes b;
        b.u32(0);
        b.u32(quint32(rows.size()));
        b.u16(0);
        b.u16(quint16(lastColumn));
        b.u16(0);
        record(out, kDimensions, b.data());
    }
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c) {
            const QVariant& v = rows.at(r).at(c);
            if (v.isNull() || v.toString().isEmpty()) continue;
            Bytes b;
            b.u16(quint16(r));
            b.u16(quint16(c));
            b.u16(kCellXf);
            const int type = v.typeId();
            if (type == QMetaType::Int || type == QMetaType::Double || type == QMetaType::LongLong) {
                b.f64(v.toDouble());
                record(out, kNumber, b.data());
            } else {
                b.u32(quint32(stringIndex.value(v.toString())));
                record(out, kLabelSst, b.data());
            }
        }
    record(out, kEof, {});
    return out.data();
}

constexpr int kSector = 512;
constexpr quint32 kFree = 0xFFFFFFFF, kEndOfChain = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;
// Streams shorter than this live in the mini stream; the workbook is padded past it so that it
// sits in ordinary sectors, as spreadsheet programs write it.
constexpr int kMiniStreamCutoff = 4096;

void directoryEntry(Bytes& out, const QString& name, quint8 type, quint32 child, quint32 start,
                    quint32 size) {
    out.utf16(name);
    out.zeros(64 - 2 * int(name.size())); // the terminating null and the unused rest
    Bytes tail;
    tail.u16(name.isEmpty() ? 0 : quint16(2 * (name.size() + 1)));
    tail.u8(type);
    tail.u8(1); // black
    tail.u32(kFree);
    tail.u32(kFree);
    tail.u32(child);
    tail.zeros(16); // class id
    tail.u32(0);    // state bits
    tail.zeros(16); // creation and modification times
    tail.u32(start);
    tail.u32(size);
    tail.u32(0);
    out.bytes(tail.data());
}

// A compound file holding one stream named "Workbook": header, one FAT sector, one directory
// sector, then the stream.
QByteArray compoundFile(QByteArray stream) {
    if (stream.size() < kMiniStreamCutoff)
        stream.append(QByteArray(kMiniStreamCutoff - int(stream.size()), '\0'));
    const int streamSectors = int((stream.size() + kSector - 1) / kSector);
    Bytes out;
    out.bytes(QByteArray::fromHex("D0CF11E0A1B11AE1"));
    out.zeros(16);
    out.u16(0x003E);
    out.u16(0x0003);
    out.u16(0xFFFE);
    out.u16(9); // 512-byte sectors
    out.u16(6); // 64-byte mini sectors
    out.zeros(6);
    out.u32(0);
    out.u32(1); // FAT sectors
    out.u32(1); // first directory sector
    out.u32(0);
    out.u32(kMiniStreamCutoff);
    out.u32(kEndOfChain); // no mini FAT
    out.u32(0);
    out.u32(kEndOfChain); // no DIFAT sectors
    out.u32(0);
    out.u32(0); // the FAT is sector 0
    for (int i = 1; i < 109; ++i)
        out.u32(kFree);

    // Sector 0: the FAT.
    out.u32(kFatSector);
    out.u32(kEndOfChain); // directory
    for (int i = 0; i < streamSectors; ++i)
        out.u32(i + 1 < streamSectors ? quint32(3 + i) : kEndOfChain);
    for (int i = 2 + streamSectors; i < kSector / 4; ++i)
        out.u32(kFree);

    // Sector 1: the directory.
    directoryEntry(out, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    directoryEntry(out, QStringLiteral("Workbook"), 2, kFree, 2, quint32(stream.size()));
    directoryEntry(out, QString(), 0, kFree, 0, 0);
    directoryEntry(out, QString(), 0, kFree, 0, 0);

    out.bytes(stream);
    out.zeros(streamSectors * kSector - int(stream.size()));
    return out.data();
}

} // namespace

QByteArray xlsWorkbook(const QString& sheetName, const QList<QVariantList>& rows) {
    return compoundFile(workbookStream(sheetName, rows));
}

bool writeXlsWorkbook(const QString& path, const QString& sheetName, const QList<QVariantList>& rows,
                      QString* errorText) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xlsWorkbook(sheetName, rows)) < 0 || !file.commit()) {
        if (errorText) *errorText = file.errorString();
        return false;
    }
    return true;
}

} // namespace exchange
