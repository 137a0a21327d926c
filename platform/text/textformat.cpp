#include "platform/text/textformat.h"

#include "platform/text/cp1252.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

void Utf8Anhaengen(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string ZahlText(double value)
{
    if (value == 0.0)
        value = 0.0;  // no "-0"
    // Fixed notation of the largest double has 309 digits before the point.
    std::array<char, 400> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed);
    if (r.ec != std::errc())
        return "?";
    return std::string(buf.data(), r.ptr);
}

std::optional<double> ZahlLesen(std::string_view text)
{
    // from_chars takes neither a '+' nor a comma; the operator may type both.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            return std::nullopt;
    }
    if (text.empty())
        return std::nullopt;
    std::string s(text);
    if (const auto komma = s.find(','); komma != std::string::npos) {
        if (s.find('.') != std::string::npos || s.find(',', komma + 1) != std::string::npos)
            return std::nullopt;
        s[komma] = '.';
    }
    // Only digits, one sign, point and exponent: keeps out "inf", "nan" and hex forms.
    for (const char c : s)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;
    double value = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long> GanzzahlLesen(std::string_view text, long lo, long hi)
{
    long value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || value < lo || value > hi)
        return std::nullopt;
    return value;
}

std::string Utf8AusCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        // An unassigned byte would become a C1 control, which a terminal may act on.
        Utf8Anhaengen(out, Cp1252Assigned(b) ? Cp1252ToUnicode(b) : char32_t(0xFFFD));
    }
    return out;
}

std::string Cp1252AusUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        // Length and first bits of the sequence.
        const int laenge = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        char32_t zeichen = laenge == 1 ? b : laenge == 2 ? (b & 0x1F) : laenge == 3 ? (b & 0x0F) : (b & 0x07);
        bool gueltig = laenge != 0 && i + static_cast<std::size_t>(laenge) <= text.size();
        for (int k = 1; gueltig && k < laenge; ++k) {
            const auto folge = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            gueltig = (folge & 0xC0) == 0x80;
            zeichen = (zeichen << 6) | (folge & 0x3F);
        }
        // Overlong forms and surrogates are not characters.
        gueltig = gueltig && !(laenge == 2 && zeichen < 0x80) && !(laenge == 3 && zeichen < 0x800) &&
                  !(laenge == 4 && zeichen < 0x10000) && !(zeichen >= 0xD800 && zeichen <= 0xDFFF);
        // Only characters up to U+FFFF can be in the table.
        const int byte = gueltig && zeichen <= 0xFFFF ? Cp1252FromUnicode(static_cast<char16_t>(zeichen)) : -1;
        out += byte >= 0 ? static_cast<char>(byte) : '?';
        i += gueltig ? static_cast<std::size_t>(laenge) : 1;
    }
    return out;
}

std::string Druckbar(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x7F) {
            std::array<char, 8> buf{};
            std::snprintf(buf.data(), buf.size(), "\\x%02X", b);
            out += buf.data();
        } else {
            out += c;
        }
    }
    return out;
}

std::string Zeitstempel(std::chrono::system_clock::time_point t)
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch());
    const std::time_t sekunden = static_cast<std::time_t>(floor<seconds>(ms).count());
    const int milli = static_cast<int>(ms.count() - floor<seconds>(ms).count() * 1000);
    std::tm tm{};
    localtime_r(&sekunden, &tm);
    const long versatz = tm.tm_gmtoff / 60;  // minutes east of UTC
    const long betrag = versatz < 0 ? -versatz : versatz;
    std::array<char, 64> buf{};
    std::snprintf(buf.data(), buf.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, milli, versatz < 0 ? '-' : '+',
                  betrag / 60, betrag % 60);
    return buf.data();
}
