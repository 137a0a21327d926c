// TLX-1 serial driver: frames, the exchange with acknowledge and answer, and the commands.
#include "driver/okvtlx1.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string_view>
#include <thread>

#include "driver/okvtlx1_frames.h"
#include "platform/rs232/rs232.h"

using namespace okvtlx1_intern;

namespace okvtlx1_intern {

const ParameterName *ParameterSuchen(const char *name)
{
    if (name == nullptr)
        return nullptr;
    const std::string_view wanted(name);
    for (const ParameterName &p : kParameter)
        if (p.name == wanted)
            return &p;
    return nullptr;
}

int Dezimalstellen(Dezimalregel regel, double value)
{
    switch (regel) {
    case Dezimalregel::Drei: return 3;
    case Dezimalregel::Null:
    case Dezimalregel::Keine: return 0;
    case Dezimalregel::A:
    case Dezimalregel::B: break;
    }
    // Chosen from the value as given, before rounding: 9.99996 keeps 4 decimals -> "10.0000".
    const double betrag = std::fabs(value);
    for (const Dezimalstufe &s : kDezimalstufen)
        if (betrag < s.unter)
            return regel == Dezimalregel::A ? s.regelA : s.regelB;
    return 0;  // not finite; such values are refused before a frame is built
}

bool WertErlaubt(const ParameterName &p, double value)
{
    // NaN fails every comparison, so a plain two-sided check would let it through.
    if (!p.schreibbar || !std::isfinite(value))
        return false;
    if (value < p.min || value > p.max)
        return false;
    return p.regel != Dezimalregel::Null || value == std::floor(value);
}

int WertText(char *out, int size, double value, int decimals)
{
    if (size < 1)
        return -1;
    // to_chars is exact and ignores the C locale, so the frame never carries a decimal comma.
    const auto [end, ec] = std::to_chars(out, out + size - 1, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return -1;
    *end = '\0';
    int len = static_cast<int>(end - out);
    // A value that rounds to zero is sent as zero: "-0.000" would read as a negative value.
    if (out[0] == '-' && std::strspn(out + 1, "0.") == static_cast<size_t>(len - 1)) {
        std::memmove(out, out + 1, static_cast<size_t>(len));
        --len;
    }
    return len;
}

int Rahmen(char *out, int address, char b2, char b3, char b4)
{
    out[0] = kStart;
    out[1] = static_cast<char>('0' + address);
    out[2] = b2;
    out[3] = b3;
    out[4] = b4;
    out[5] = kEnde;
    return 6;
}

int SchreibRahmen(char *out, int address, const ParameterName &p, double value)
{
    Rahmen(out, address, p.buchstabe, p.qualifier, 'W');
    // Value text fits: at most 8 characters for every value inside a writable range.
    const int len = WertText(out + 5, kRahmenPuffer - 6, value, Dezimalstellen(p.regel, value));
    if (len < 0)
        return -1;
    out[5 + len] = kEnde;
    out[6 + len] = '\0';
    return 6 + len;
}

}  // namespace okvtlx1_intern

namespace {

// Walks an answer item by item. An item that is missing ends the walk; the answer then does not
// have the exact item count of its form.
struct Leser {
    std::string_view s;  // up to the terminating zero, so a zero byte ends the answer early
    size_t pos = 0;

    bool Byte(char *c)
    {
        if (pos >= s.size())
            return false;
        *c = s[pos++];
        return true;
    }
    bool Erwartet(char expected)
    {
        char c = 0;
        return Byte(&c) && c == expected;
    }
    // The address item: exactly one decimal digit.
    bool Adresse(int address)
    {
        char c = 0;
        return Byte(&c) && c >= '0' && c <= '9' && c - '0' == address;
    }
    // The number item: optional sign, digits, optional point and fraction digits, at least one
    // digit in all ("12." and ".5" are numbers). It ends at the first byte that cannot continue
    // it; an exponent is not part of it, so "1e3" ends after the "1" and the 'e' is the next item.
    bool Zahl(double *value)
    {
        size_t i = pos;
        const bool negativ = i < s.size() && s[i] == '-';
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            ++i;
        const size_t anfang = i;
        size_t ziffern = 0;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            ++ziffern;
        if (i < s.size() && s[i] == '.')
            for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
                ++ziffern;
        if (ziffern == 0)
            return false;
        double betrag = 0.0;
        const auto [end, ec] = std::from_chars(s.data() + anfang, s.data() + i, betrag, std::chars_format::fixed);
        if (ec != std::errc() || end != s.data() + i)
            return false;
        *value = negativ ? -betrag : betrag;
        pos = i;
        return true;
    }
    // The text item: every byte up to the first white-space byte, at least one.
    std::string_view Text()
    {
        const size_t anfang = pos;
        while (pos < s.size() && std::strchr(" \t\n\v\f\r", s[pos]) == nullptr)
            ++pos;
        return s.substr(anfang, pos - anfang);
    }
};

}  // namespace

namespace okvtlx1_intern {

bool ParameterAntwort(const char *answer, int address, char buchstabe, char qualifier, double *value)
{
    Leser l{answer};
    double zahl = 0.0;
    if (!(l.Erwartet(kStart) && l.Adresse(address) && l.Erwartet(buchstabe) && l.Erwartet(qualifier) &&
          l.Erwartet('R') && l.Zahl(&zahl) && l.Erwartet(kEnde)))
        return false;
    *value = zahl;
    return true;
}

bool StatusAntwort(const char *answer, int address, int *status)
{
    Leser l{answer};
    char hoch = 0;
    char tief = 0;
    if (!(l.Erwartet(kStart) && l.Adresse(address) && l.Erwartet('S') && l.Erwartet('T') && l.Erwartet('R') &&
          l.Erwartet('$') && l.Byte(&hoch) && l.Byte(&tief)))
        return false;
    // Exactly two hexadecimal digits: a correct status answer is always 9 bytes.
    const int h = Hexchar2Int(hoch);
    const int t = Hexchar2Int(tief);
    if (h < 0 || t < 0 || !l.Erwartet(kEnde))
        return false;
    *status = h * 16 + t;
    return true;
}

bool IDAntwort(const char *answer, int address, char *text)
{
    Leser l{answer};
    if (!(l.Erwartet(kStart) && l.Adresse(address)))
        return false;
    const std::string_view t = l.Text();
    if (t.empty() || t.size() >= OKVTLX1_ID_PUFFER || !l.Erwartet(kEnde))
        return false;
    std::memcpy(text, t.data(), t.size());
    text[t.size()] = '\0';
    return true;
}

}  // namespace okvtlx1_intern

namespace {

// Time-out the driver last set on each port. It bounds the wait for the output queue, which
// the serial service cannot time itself.
std::array<double, COM_MAX_PORT + 1> gPortFrist = [] {
    std::array<double, COM_MAX_PORT + 1> a{};
    a.fill(COM_DEFAULT_TIMEOUT);
    return a;
}();

double PortFrist(int port)
{
    return port >= 1 && port <= COM_MAX_PORT ? gPortFrist[port] : COM_DEFAULT_TIMEOUT;
}

// The error codes of one command, one per step of the exchange.
struct Fehlercodes {
    int flush;      // 0: hand on FlushInOut's own code
    int schreiben;  // ComWrt failed
    int kurz;       // fewer bytes queued than the frame has, or the queue did not empty in time
    int nak;
    int can;
    int keineAntwort;  // no acknowledge byte within the time-out, or a byte >= 0x80
    int anderesByte;   // neither ACK, NAK nor CAN
    int antwortByte;   // a byte of the answer frame missing or >= 0x80
};

constexpr Fehlercodes kIDFehler{0, -101007, -114008, -402009, -405010, -403011, -404012, -404013};
constexpr Fehlercodes kSchreibFehler{-112037, -101038, -101039, -402040, -405041, -403042, -404043, 0};
constexpr Fehlercodes kLeseFehler{-112047, -101048, -114049, -402050, -405051, -403052, -404053, -404054};
constexpr Fehlercodes kStatusFehler{0, -101058, -114059, -402060, -405061, -403062, -404063, -404064};

// Waits until the frame has left the port, at most the port's time-out. A queue length that
// cannot be read ends the wait: the read that follows then reports the dead port.
bool AusgabeAbwarten(int port)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(PortFrist(port)));
    while (GetOutQLen(port) > 0) {
        if (Clock::now() >= deadline)
            return false;
        // A fifth of a character time at 9600 baud: no spinning, hardly any added delay.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

bool SiebenBit(int byte)
{
    return byte >= 0 && byte <= 0x7F;
}

// Flush, write the frame, wait for it to leave, judge the acknowledge byte and, when `antwort`
// is given, read the answer frame up to CR or `max` bytes into it (zero-terminated).
// `rundruf` (broadcast) ends after the write. Returns 0 or one of the codes in `f`.
int Austausch(int port, const char *rahmen, int laenge, const Fehlercodes &f, bool rundruf, char *antwort, int max)
{
    if (const int rc = FlushInOut(port); rc != 0)
        return f.flush != 0 ? f.flush : rc;
    const int geschrieben = ComWrt(port, rahmen, laenge);
    if (geschrieben < 0)
        return f.schreiben;
    if (geschrieben != laenge)
        return f.kurz;
    if (!AusgabeAbwarten(port))
        return f.kurz;
    if (rundruf)
        return 0;

    const int quittung = ComRdByte(port);
    if (!SiebenBit(quittung))
        return f.keineAntwort;
    if (quittung == kNAK)
        return f.nak;
    if (quittung == kCAN)
        return f.can;
    if (quittung != kACK)
        return f.anderesByte;
    if (antwort == nullptr)
        return 0;

    int n = 0;
    while (n < max) {
        const int byte = ComRdByte(port);
        if (!SiebenBit(byte))
            return f.antwortByte;
        antwort[n++] = static_cast<char>(byte);
        if (byte == kEnde)
            break;
    }
    antwort[n] = '\0';
    return 0;
}

}  // namespace

int OKVTLX1_Open(int port)
{
    if (OpenComConfig(port, "", 9600, 1, 7, 1, 512, 512) != 0)
        return -100002;
    gPortFrist[port] = COM_DEFAULT_TIMEOUT;
    return 0;
}

int OKVTLX1_Close(int port)
{
    if (CloseCom(port) != 0)
        return -103003;
    return 0;
}

int OKVTLX1_Timeout(int port, double seconds)
{
    if (SetComTime(port, seconds) != 0)
        return -111004;
    gPortFrist[port] = seconds;
    return 0;
}

int FlushInOut(int port)
{
    if (FlushInQ(port) != 0)
        return -124066;
    if (FlushOutQ(port) != 0)
        return -123067;
    return 0;
}

int OKVTLX1_ParameterPruefen(const char *name, double value)
{
    const ParameterName *p = ParameterSuchen(name);
    if (p == nullptr || !p->schreibbar)
        return -401035;
    return WertErlaubt(*p, value) ? 0 : p->bereichsFehler;
}

int OKVTLX1_ParameterSchreiben(int port, int address, const char *name, double value)
{
    if (address < 1 || address > 9)
        return -400024;
    if (const int rc = OKVTLX1_ParameterPruefen(name, value); rc != 0)
        return rc;

    const ParameterName *p = ParameterSuchen(name);
    char rahmen[kRahmenPuffer];
    const int laenge = SchreibRahmen(rahmen, address, *p, value);
    return Austausch(port, rahmen, laenge, kSchreibFehler, address == 9, nullptr, 0);
}

int OKVTLX1_WertText(const char *name, double value, char *text, int size)
{
    if (const int rc = OKVTLX1_ParameterPruefen(name, value); rc != 0)
        return rc;
    const ParameterName *p = ParameterSuchen(name);
    if (text == nullptr || WertText(text, size, value, Dezimalstellen(p->regel, value)) < 0)
        return -1;
    return 0;
}

int OKVTLX1_ParameterLesen(int port, int address, const char *name, double *value)
{
    if (address < 0 || address > 8)
        return -400044;
    const ParameterName *p = ParameterSuchen(name);
    if (p == nullptr)
        return -401045;

    char rahmen[kRahmenPuffer];
    const int laenge = Rahmen(rahmen, address, p->buchstabe, p->qualifier, 'R');
    char antwort[kMaxParameterAntwort + 1];
    if (const int rc = Austausch(port, rahmen, laenge, kLeseFehler, false, antwort, kMaxParameterAntwort); rc != 0)
        return rc;
    double zahl = 0.0;
    if (!ParameterAntwort(antwort, address, p->buchstabe, p->qualifier, &zahl))
        return -404055;
    if (value != nullptr)
        *value = zahl;
    return 0;
}

int OKVTLX1_StatusLesen(int port, int address, int *status)
{
    if (address < 0 || address > 8)
        return -400056;

    char rahmen[kRahmenPuffer];
    const int laenge = Rahmen(rahmen, address, 'S', 'T', 'R');
    char antwort[kMaxStatusAntwort + 1];
    if (const int rc = Austausch(port, rahmen, laenge, kStatusFehler, false, antwort, kMaxStatusAntwort); rc != 0)
        return rc;
    int byte = 0;
    if (!StatusAntwort(antwort, address, &byte))
        return -404065;
    if (status != nullptr)
        *status = byte;
    return 0;
}

int OKVTLX1_IDLesen(int port, int address, char *id)
{
    if (address < 1 || address > 8)
        return -400005;

    char rahmen[kRahmenPuffer];
    const int laenge = Rahmen(rahmen, address, 'I', 'D', 'R');
    char antwort[kMaxIDAntwort + 1];
    if (const int rc = Austausch(port, rahmen, laenge, kIDFehler, false, antwort, kMaxIDAntwort); rc != 0)
        return rc;
    char text[OKVTLX1_ID_PUFFER];
    if (!IDAntwort(antwort, address, text))
        return -404014;
    if (id != nullptr)
        std::memcpy(id, text, std::strlen(text) + 1);
    return 0;
}

int OKVTLX1_DeviceFunction(int /*port*/, int address)
{
    if (address < 0 || address > 9)
        return -400015;
    return -401016;
}

int Hexchar2Int(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
