// Frames, value text and answer checks of the TLX-1 driver, without a port.
#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "driver/okvtlx1.h"
#include "driver/okvtlx1_frames.h"

using namespace okvtlx1_intern;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kNichtOffen = 250;  // never opened: a command past its checks fails at the flush

std::string WriteFrame(const char *name, double value, int address = 3)
{
    char buf[kRahmenPuffer];
    const ParameterName *p = ParameterSuchen(name);
    return p == nullptr ? "?" : std::string(buf, std::max(0, SchreibRahmen(buf, address, *p, value)));
}

// Decimals follow the magnitude before rounding; the text never has "-0", "+" or an exponent. The
// driver tells callers the same value text without sending it.
TEST(WriteFrame, ValueTextHasTheDecimalsOfItsMagnitudeBeforeRounding)
{
    // clang-format off
    const struct { const char *name; double value; const char *frame; } cases[] = {
        {"P1", 2.5, "#3P1W2.5000\r"},        {"P1", 9.99996, "#3P1W10.0000\r"},   {"P1", -9.99996, "#3P1W-10.0000\r"},
        {"P1", 10.0, "#3P1W10.000\r"},       {"P1", 99.99996, "#3P1W100.000\r"},  {"D2", -999.9996, "#3D2W-1000.00\r"},
        {"I1", 9999.96, "#3I1W10000.0\r"},   {"P2", 10000.0, "#3P2W10000\r"},     {"P1", -12345.6, "#3P1W-12346\r"},
        {"P1", 99999.0, "#3P1W99999\r"},     {"I2", -9999.95, "#3I2W-10000.0\r"}, {"D1", 0.0, "#3D1W0.0000\r"},
        {"P1", -0.00001, "#3P1W0.0000\r"},   {"min1", -0.0, "#3L1W0.000\r"},      {"max1", 10.0, "#3H1W10.000\r"},
        {"max1", 0.0, "#3H1W0.000\r"},       {"soll1", 2.0005, "#3S1W2.001\r"},   {"anfangssoll2", 7.25, "#3S6W7.250\r"},
        {"stellgroesse2", 7.25, "#3V2W7.250\r"}, {"betriebsart1", 2.0, "#3M1W2\r"},
        {"anstiegszeit1", 1000.0, "#3F1W1000.0\r"}, {"anstiegszeit1", 999.999, "#3F1W1000.00\r"},
        {"anstiegszeit1", 99.5, "#3F1W99.500\r"},   {"anstiegszeit2", 100.0, "#3F2W100.00\r"},
    };
    // clang-format on
    for (const auto &c : cases) {
        const std::string frame = WriteFrame(c.name, c.value);
        EXPECT_EQ(frame, c.frame) << c.name << " = " << c.value;
        EXPECT_LE(frame.size(), 14u);
        char text[16] = "";
        EXPECT_EQ(OKVTLX1_WertText(c.name, c.value, text, sizeof text), 0);
        EXPECT_EQ(text, frame.substr(5, frame.size() - 6));
    }
    char klein[4];
    EXPECT_EQ(OKVTLX1_WertText("P1", 12.5, klein, sizeof klein), -1);
    EXPECT_EQ(WriteFrame("betriebsart1", 1.0, 9), "#9M1W1\r");
}

// Address, name and value are checked before the port is touched: a command that got past its
// checks would fail at the flush of the unopened port with another code.
TEST(DriverChecks, RefuseBeforeTheCommandTouchesThePort)
{
    // clang-format off
    const struct { int address; const char *name; double value; int code; } writes[] = {
        {0, "P3", kNaN, -400024},         {10, "P1", 1.0, -400024},           {1, "P3", 1.0, -401035},
        {1, "p1", 1.0, -401035},          {1, "istwert1", 1.0, -401035},      {1, "P1 ", 1.0, -401035},
        {1, nullptr, 1.0, -401035},       {1, "P1", 100000.0, -500025},       {1, "P1", kNaN, -500025},
        {1, "I1", kInf, -500026},         {1, "D2", -kInf, -500070},          {1, "max1", 10.0001, -500030},
        {1, "min1", -0.001, -500031},     {1, "anstiegszeit1", -0.1, -500033}, {1, "betriebsart1", 2.5, -500032},
        {1, "betriebsart1", 0.0, -500032}, {1, "stellgroesse2", kNaN, -500077},
        {1, "anstiegszeit2", 1000.001, -500076},
        {9, "P1", 1.0, -112037},  // broadcast passes the checks
    };
    // clang-format on
    for (const auto &c : writes) {
        EXPECT_EQ(OKVTLX1_ParameterSchreiben(kNichtOffen, c.address, c.name, c.value), c.code)
            << c.address << " " << (c.name ? c.name : "(null)") << " = " << c.value;
        // Name and range checks are the same without a port.
        char text[16];
        if (c.code != -400024 && c.code != -112037) {
            EXPECT_EQ(OKVTLX1_WertText(c.name, c.value, text, sizeof text), c.code) << c.value;
            EXPECT_EQ(OKVTLX1_ParameterPruefen(c.name, c.value), c.code) << c.value;
        }
    }

    double value = -1.0;
    int status = -1;
    char id[32] = "~";
    EXPECT_EQ(OKVTLX1_ParameterLesen(kNichtOffen, 9, "P1", &value), -400044);
    EXPECT_EQ(OKVTLX1_ParameterLesen(kNichtOffen, 1, "p1", &value), -401045);
    EXPECT_EQ(OKVTLX1_ParameterLesen(kNichtOffen, 0, "istwert1", &value), -112047);
    EXPECT_EQ(OKVTLX1_StatusLesen(kNichtOffen, 9, &status), -400056);
    EXPECT_EQ(OKVTLX1_StatusLesen(kNichtOffen, 0, &status), -124066);
    EXPECT_EQ(OKVTLX1_IDLesen(kNichtOffen, 0, id), -400005);
    EXPECT_EQ(OKVTLX1_IDLesen(kNichtOffen, 9, id), -400005);
    EXPECT_EQ(OKVTLX1_IDLesen(kNichtOffen, 8, id), -124066);
    EXPECT_EQ(value, -1.0);
    EXPECT_EQ(status, -1);
    EXPECT_STREQ(id, "~");
    for (int address : {0, 9})
        EXPECT_EQ(OKVTLX1_DeviceFunction(kNichtOffen, address), -401016) << address;
    for (int address : {-1, 10})
        EXPECT_EQ(OKVTLX1_DeviceFunction(kNichtOffen, address), -400015) << address;
}

TEST(Hexchar2Int, DigitsInBothCasesAndNothingElse)
{
    const std::pair<char, int> cases[] = {{'0', 0},  {'9', 9},   {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15}, {'G', -1},
                                          {'g', -1}, {'\0', -1}, {'/', -1}, {':', -1}, {'@', -1}, {'`', -1}};
    for (const auto &[c, v] : cases)
        EXPECT_EQ(Hexchar2Int(c), v) << static_cast<int>(c);
}

// What an answer check takes from an answer (3 for parameter P1 and status at address 3, I for the
// identification at address 4), or "refused".
std::string Antwort(char art, const std::string &answer)
{
    double value = 0.0;
    int status = 0;
    char text[OKVTLX1_ID_PUFFER + 1];
    text[OKVTLX1_ID_PUFFER] = '~';
    const bool ok = art == 'P'   ? ParameterAntwort(answer.c_str(), 3, 'P', '1', &value)
                    : art == 'S' ? StatusAntwort(answer.c_str(), 3, &status)
                                 : IDAntwort(answer.c_str(), 4, text);
    EXPECT_EQ(text[OKVTLX1_ID_PUFFER], '~') << "wrote past 27 bytes: " << answer;
    if (!ok)
        return "refused";
    return art == 'P' ? std::to_string(value) : art == 'S' ? std::to_string(status) : std::string(text);
}

// The number must follow the echo and end at the CR; the status has two hex digits after the '$';
// the identification text runs to the CR without white space, 26 bytes at most.
TEST(DriverAnswers, AreTakenApartOnlyWhenEveryByteFits)
{
    const std::string t26(26, 'X'), no = "refused";
    // clang-format off
    const struct { char art; std::string answer, result; } cases[] = {
        {'P', "#3P1R12.5\r", "12.500000"}, {'P', "#3P1R-0.0250\r", "-0.025000"}, {'P', "#3P1R+7\r", "7.000000"},
        {'P', "#3P1R12.\r", "12.000000"}, {'P', "#3I1R12.5\r", no},   {'P', "#3P2R12.5\r", no},
        {'P', "#3P1W12.5\r", no},         {'P', "#5P1R12.5\r", no},   {'P', "#3P1R12.5 \r", no},
        {'P', "#3P1R 12.5\r", no},        {'P', "#3P1R1e3\r", no},    {'P', "#3P1R12,5\r", no},
        {'P', "#3P1R.\r", no},            {'P', "#3P1Rnan\r", no},    {'P', "#3P1R\r", no},
        {'P', "#3P1R12.5", no},            {'P', "", no},
        {'S', "#3STR$3F\r", "63"},         {'S', "#3STR$3f\r", "63"},  {'S', "#3STR$00\r", "0"},
        {'S', "#3STR$ff\r", "255"},        {'S', "#3STR3F\r", no},     {'S', "#3STR$F\r", no},
        {'S', "#3STR$3G\r", no},           {'S', "#3STR$3F0\r", no},   {'S', "#4STR$3F\r", no},
        {'S', "#3STW$3F\r", no},           {'S', "#3STR$3F", no},       {'S', "#3STR$3F \r", no},
        {'I', "#4OKV-TLX1-V1.2\r", "OKV-TLX1-V1.2"}, {'I', "#4" + t26 + "\r", t26},
        {'I', "#5OKV-TLX1\r", no},         {'I', "#4OKV TLX1\r", no},  {'I', "#4\r", no},
        {'I', "#4" + t26 + "X", no},       {'I', "#4OKV-TLX1", no},     {'I', "*4OKV-TLX1\r", no},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(Antwort(c.art, c.answer), c.result) << c.art << " " << c.answer;
}

}  // namespace
