#pragma once
// Internal to the TLX-1 driver: the parameter-name table, value text, command frames and the
// answer checks, all free of any port. Only okvtlx1.cpp and the driver's unit tests include it;
// the application uses okvtlx1.h.
#include <array>
#include <cstddef>
#include <limits>
#include <string_view>

namespace okvtlx1_intern {

inline constexpr char kStart = '#';
inline constexpr char kEnde = '\r';
inline constexpr char kACK = 0x06;
inline constexpr char kNAK = 0x15;
inline constexpr char kCAN = 0x18;

inline constexpr int kRahmenPuffer = 20;  // longest write frame is 14 bytes
inline constexpr int kMaxIDAntwort = 29;  // answer bytes read at most, CR included
inline constexpr int kMaxParameterAntwort = 19;
inline constexpr int kMaxStatusAntwort = 14;

// How many decimals a written value gets.
enum class Dezimalregel {
    A,      // gains: by magnitude, 4 .. 0
    B,      // rate of rise: by magnitude, 3 .. 1
    Drei,   // volts: always 3
    Null,   // operating mode: no decimals, whole numbers only
    Keine,  // read-only name, never written
};

// Decimals by the magnitude of the value before rounding: the first row whose bound lies
// above |value| applies.
struct Dezimalstufe {
    double unter;
    int regelA;
    int regelB;
};
// clang-format off
inline constexpr Dezimalstufe kDezimalstufen[] = {
    {10.0,                                     4, 3},
    {100.0,                                    3, 3},
    {1000.0,                                   2, 2},
    {10000.0,                                  1, 1},
    {std::numeric_limits<double>::infinity(),  0, 0},  // rule B never gets here: range ends at 1000
};
// clang-format on
static_assert(std::size(kDezimalstufen) == 5);

struct ParameterName {
    std::string_view name;
    char buchstabe;  // command byte 2
    char qualifier;  // command byte 3
    bool schreibbar;
    double min;  // writable range, both ends included
    double max;
    Dezimalregel regel;
    int bereichsFehler;  // returned when a written value is out of range; 0 for read-only names
};

// The 22 names; the writable ones in the order they are compared when writing.
// clang-format off
inline constexpr std::array<ParameterName, 22> kParameter = {{
    {"P1",            'P', '1', true,  -99999.0, 99999.0, Dezimalregel::A,     -500025},
    {"I1",            'I', '1', true,  -99999.0, 99999.0, Dezimalregel::A,     -500026},
    {"D1",            'D', '1', true,  -99999.0, 99999.0, Dezimalregel::A,     -500027},
    {"soll1",         'S', '1', true,  0.0,      10.0,    Dezimalregel::Drei,  -500028},
    {"anfangssoll1",  'S', '5', true,  0.0,      10.0,    Dezimalregel::Drei,  -500029},
    {"max1",          'H', '1', true,  0.0,      10.0,    Dezimalregel::Drei,  -500030},
    {"min1",          'L', '1', true,  0.0,      10.0,    Dezimalregel::Drei,  -500031},
    {"betriebsart1",  'M', '1', true,  1.0,      3.0,     Dezimalregel::Null,  -500032},
    {"anstiegszeit1", 'F', '1', true,  0.0,      1000.0,  Dezimalregel::B,     -500033},
    {"stellgroesse1", 'V', '1', true,  0.0,      10.0,    Dezimalregel::Drei,  -500034},
    {"P2",            'P', '2', true,  -99999.0, 99999.0, Dezimalregel::A,     -500068},
    {"I2",            'I', '2', true,  -99999.0, 99999.0, Dezimalregel::A,     -500069},
    {"D2",            'D', '2', true,  -99999.0, 99999.0, Dezimalregel::A,     -500070},
    {"soll2",         'S', '2', true,  0.0,      10.0,    Dezimalregel::Drei,  -500071},
    {"anfangssoll2",  'S', '6', true,  0.0,      10.0,    Dezimalregel::Drei,  -500072},
    {"max2",          'H', '2', true,  0.0,      10.0,    Dezimalregel::Drei,  -500073},
    {"min2",          'L', '2', true,  0.0,      10.0,    Dezimalregel::Drei,  -500074},
    {"betriebsart2",  'M', '2', true,  1.0,      3.0,     Dezimalregel::Null,  -500075},
    {"anstiegszeit2", 'F', '2', true,  0.0,      1000.0,  Dezimalregel::B,     -500076},
    {"stellgroesse2", 'V', '2', true,  0.0,      10.0,    Dezimalregel::Drei,  -500077},
    {"istwert1",      'V', '5', false, 0.0,      0.0,     Dezimalregel::Keine, 0},
    {"istwert2",      'V', '6', false, 0.0,      0.0,     Dezimalregel::Keine, 0},
}};
// clang-format on

// The row of `name` (exact, case-sensitive), or nullptr for nullptr or an unknown name.
const ParameterName *ParameterSuchen(const char *name);

// Decimals for `value` under `regel`.
int Dezimalstellen(Dezimalregel regel, double value);

// True when `value` may be written to `p`: finite, inside the range, whole when written
// without decimals.
bool WertErlaubt(const ParameterName &p, double value);

// Writes `value` with `decimals` decimals as fixed-point text (no '+', no exponent, no point
// for 0 decimals, never "-0"), zero-terminated. Returns the text length, -1 if it does not fit.
int WertText(char *out, int size, double value, int decimals);

// The 6-byte frame '#', address digit, b2, b3, b4, CR into out (at least 6 bytes). Returns 6.
int Rahmen(char *out, int address, char b2, char b3, char b4);

// The write frame of `p` = `value` into out (kRahmenPuffer bytes). Returns its length.
int SchreibRahmen(char *out, int address, const ParameterName &p, double value);

// Answer checks on a zero-terminated answer (the bytes after the ACK). Each returns true only
// when the answer has every item of its form and every fixed byte matches; the result is
// stored only then.
bool ParameterAntwort(const char *answer, int address, char buchstabe, char qualifier, double *value);
bool StatusAntwort(const char *answer, int address, int *status);
// text must hold 27 bytes.
bool IDAntwort(const char *answer, int address, char *text);

}  // namespace okvtlx1_intern
