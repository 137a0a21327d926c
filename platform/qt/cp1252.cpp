#include "platform/qt/cp1252.h"

#include <array>

namespace {

// Unicode of the bytes 0x80 to 0x9F; the unassigned ones stand for themselves (C1 controls).
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,   // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,   // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,   // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,   // 0x98
};
static_assert(kHighTable.size() == 0xA0 - 0x80);

// The byte for a character, or -1 when Windows-1252 has none.
int ByteFor(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (std::size_t i = 0; i < kHighTable.size(); ++i)
        if (kHighTable[i] == u) return static_cast<int>(0x80 + i);
    return -1;
}

}  // namespace

QString Cp1252ToQString(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(QChar(b >= 0x80 && b < 0xA0 ? kHighTable[b - 0x80] : char16_t(b)));
    }
    return out;
}

std::string QStringToCp1252(const QString &text, int *unmapped)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    int missing = 0;
    for (QChar c : text) {
        const int b = ByteFor(c.unicode());
        if (b < 0) {
            ++missing;
            out.push_back('?');
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    if (unmapped) *unmapped = missing;
    return out;
}

int Cp1252CanEncode(QChar c)
{
    return ByteFor(c.unicode()) >= 0 ? 1 : 0;
}
