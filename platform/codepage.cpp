#include "platform/codepage.h"

#include <array>

namespace cp1250 {
namespace {

constexpr std::array<char16_t, 128> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // F8
};

// Reverse lookup over the whole 16-bit range would be 64 KiB; the upper half
// has only 128 entries, so a linear scan of a sorted copy is small and fast.
struct ReverseEntry {
    char16_t unicode;
    unsigned char byte;
};

constexpr std::array<ReverseEntry, 128> makeReverse() {
    std::array<ReverseEntry, 128> r{};
    for (int i = 0; i < 128; ++i)
        r[i] = {kHigh[i], static_cast<unsigned char>(0x80 + i)};
    // insertion sort: constexpr-friendly and only 128 entries
    for (int i = 1; i < 128; ++i) {
        ReverseEntry e = r[i];
        int j = i - 1;
        while (j >= 0 && r[j].unicode > e.unicode) {
            r[j + 1] = r[j];
            --j;
        }
        r[j + 1] = e;
    }
    return r;
}

constexpr std::array<ReverseEntry, 128> kReverse = makeReverse();

int byteFor(char16_t c) {
    if (c < 0x80)
        return c;
    int lo = 0, hi = 127;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        if (kReverse[mid].unicode == c)
            return kReverse[mid].byte;
        if (kReverse[mid].unicode < c)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

} // namespace

char16_t toUnicode(unsigned char byte) {
    return byte < 0x80 ? char16_t(byte) : kHigh[byte - 0x80];
}

QString decode(const char* bytes, qsizetype size) {
    QString out(size, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i)
        dst[i] = QChar(toUnicode(static_cast<unsigned char>(bytes[i])));
    return out;
}

QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

QByteArray encode(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1].unicode())) {
            ++i; // one character outside the BMP, one replacement
            out.append('?');
            continue;
        }
        const int b = byteFor(c);
        out.append(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

} // namespace cp1250
