// Frames, value text and answer checks of the TLX-1 driver, without a port.
#include <cmath>
#include <cstring>
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
constexpr int kNichtOffen = 250;  // a port nobody opened: checks must fail before using it

std::string WriteFrame(int address, const char *name, double value)
{
    const ParameterName *p = ParameterSuchen(name);
    if (p == nullptr)
        return "?";
    char buf[kRahmenPuffer];
    const int len = SchreibRahmen(buf, address, *p, value);
    return len < 0 ? "!" : std::string(buf, static_cast<size_t>(len));
}

TEST(WriteFrame, ValueTextHasTheDecimalsOfItsMagnitudeBeforeRounding)
{
    const struct {
        const char *name;
        double value;
        const char *frame;
    } cases[] = {
        {"P1", 2.5, "#3P1W2.5000\r"},
        {"P1", 9.99996, "#3P1W10.0000\r"},
        {"P1", -9.99996, "#3P1W-10.0000\r"},
        {"P1", 10.0, "#3P1W10.000\r"},
        {"P1", 99.99996, "#3P1W100.000\r"},
        {"D2", -999.9996, "#3D2W-1000.00\r"},
        {"I1", 9999.96, "#3I1W10000.0\r"},
        {"P2", 10000.0, "#3P2W10000\r"},
        {"P1", -12345.6, "#3P1W-12346\r"},
        {"P1", 99999.0, "#3P1W99999\r"},
        {"I2", -9999.95, "#3I2W-10000.0\r"},
        {"D1", 0.0, "#3D1W0.0000\r"},
        {"P1", -0.00001, "#3P1W0.0000\r"},  // rounds to zero: no "-0.0000"
        {"anstiegszeit1", 1000.0, "#3F1W1000.0\r"},
        {"anstiegszeit1", 999.999, "#3F1W1000.00\r"},
        {"anstiegszeit1", 99.5, "#3F1W99.500\r"},
        {"anstiegszeit1", 9.9996, "#3F1W10.000\r"},
        {"anstiegszeit1", 99.9996, "#3F1W100.000\r"},
        {"anstiegszeit2", 100.0, "#3F2W100.00\r"},
        {"max1", 10.0, "#3H1W10.000\r"},
        {"max1", 0.0, "#3H1W0.000\r"},
        {"min1", -0.0, "#3L1W0.000\r"},
        {"soll1", 2.0005, "#3S1W2.001\r"},
        {"stellgroesse2", 7.25, "#3V2W7.250\r"},
        {"betriebsart1", 2.0, "#3M1W2\r"},
    };
    for (const auto &c : cases) {
        const std::string frame = WriteFrame(3, c.name, c.value);
        EXPECT_EQ(frame, c.frame) << c.name << " = " << c.value;
        EXPECT_LE(frame.size(), 14u);
    }
    EXPECT_EQ(WriteFrame(9, "betriebsart1", 1.0), "#9M1W1\r");
}

TEST(WriteFrame, ReadAndQueryFramesAreSixBytes)
{
    char buf[kRahmenPuffer];
    ASSERT_EQ(Rahmen(buf, 3, 'P', '1', 'R'), 6);
    EXPECT_EQ(std::string(buf, 6), "#3P1R\r");
    const ParameterName *ist = ParameterSuchen("istwert1");
    ASSERT_NE(ist, nullptr);
    Rahmen(buf, 0, ist->buchstabe, ist->qualifier, 'R');
    EXPECT_EQ(std::string(buf, 6), "#0V5R\r");
}

TEST(ParameterSchreiben, RefusesBeforeSendingWithTheCodeOfTheFirstFailedCheck)
{
    const struct {
        int address;
        const char *name;
        double value;
        int code;
    } cases[] = {
        {0, "P1", 1.0, -400024},   // address first, even with a bad name or value
        {10, "P1", 1.0, -400024},
        {1, "P3", 1.0, -401035},
        {1, "p1", 1.0, -401035},
        {1, "istwert1", 1.0, -401035},
        {1, "P1 ", 1.0, -401035},
        {1, nullptr, 1.0, -401035},
        {1, "P1", 100000.0, -500025},
        {1, "P1", kNaN, -500025},
        {1, "I1", kInf, -500026},
        {1, "D2", -kInf, -500070},
        {1, "max1", 10.0001, -500030},
        {1, "min1", -0.001, -500031},
        {1, "anstiegszeit1", -0.1, -500033},
        {1, "anstiegszeit2", 1000.001, -500076},
        {1, "betriebsart1", 2.5, -500032},
        {1, "betriebsart1", 0.0, -500032},
        {1, "stellgroesse2", kNaN, -500077},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OKVTLX1_ParameterSchreiben(kNichtOffen, c.address, c.name, c.value), c.code)
            << c.address << " " << (c.name ? c.name : "(null)") << " = " << c.value;
}

TEST(DeviceFunction, ChecksTheAddressAndOffersNothing)
{
    for (int address : {0, 1, 8, 9})
        EXPECT_EQ(OKVTLX1_DeviceFunction(kNichtOffen, address), -401016) << address;
    for (int address : {-1, 10})
        EXPECT_EQ(OKVTLX1_DeviceFunction(kNichtOffen, address), -400015) << address;
}

TEST(Hexchar2Int, DigitsInBothCasesAndNothingElse)
{
    const std::pair<char, int> cases[] = {{'0', 0},  {'9', 9},  {'a', 10}, {'f', 15}, {'A', 10},
                                          {'F', 15}, {'G', -1}, {'g', -1}, {' ', -1}, {'\0', -1},
                                          {'/', -1}, {':', -1}, {'@', -1}, {'`', -1}};
    for (const auto &[c, v] : cases)
        EXPECT_EQ(Hexchar2Int(c), v) << static_cast<int>(c);
}

TEST(ParameterAnswer, NumberMustFollowTheEchoAndEndAtTheCR)
{
    const struct {
        const char *answer;
        bool ok;
        double value;
    } cases[] = {
        {"#3P1R12.5\r", true, 12.5},
        {"#3P1R-0.0250\r", true, -0.025},
        {"#3P1R+7\r", true, 7.0},
        {"#3P1R12.\r", true, 12.0},
        {"#3P1R.5\r", true, 0.5},
        {"#3I1R12.5\r", false, 0},   // echo of another letter
        {"#3P2R12.5\r", false, 0},   // another channel
        {"#3P1W12.5\r", false, 0},
        {"#5P1R12.5\r", false, 0},   // another module
        {"#3P1R12.5 \r", false, 0},  // blank before the CR
        {"#3P1R 12.5\r", false, 0},
        {"#3P1R1e3\r", false, 0},    // no exponent
        {"#3P1R12,5\r", false, 0},
        {"#3P1R.\r", false, 0},
        {"#3P1Rnan\r", false, 0},
        {"#3P1R\r", false, 0},
        {"#3P1R12.5", false, 0},     // cut short
        {"", false, 0},
    };
    for (const auto &c : cases) {
        double value = -1.0;
        EXPECT_EQ(ParameterAntwort(c.answer, 3, 'P', '1', &value), c.ok) << c.answer;
        EXPECT_EQ(value, c.ok ? c.value : -1.0) << c.answer;
    }
}

TEST(StatusAnswer, TwoHexDigitsAfterTheDollar)
{
    const struct {
        const char *answer;
        int status;  // -1: refused
    } cases[] = {
        {"#3STR$3F\r", 63}, {"#3STR$3f\r", 63}, {"#3STR$00\r", 0},  {"#3STR$ff\r", 255},
        {"#3STR3F\r", -1},  {"#3STR$F\r", -1},  {"#3STR$3G\r", -1}, {"#3STR$3F0\r", -1},
        {"#4STR$3F\r", -1}, {"#3STW$3F\r", -1}, {"#3STR$3F", -1},   {"#3STR$3F \r", -1},
    };
    for (const auto &c : cases) {
        int status = -1;
        EXPECT_EQ(StatusAntwort(c.answer, 3, &status), c.status >= 0) << c.answer;
        EXPECT_EQ(status, c.status) << c.answer;
    }
}

TEST(IdAnswer, TextUpToTheCRWithoutWhiteSpace)
{
    const std::string text26(26, 'X');
    const struct {
        std::string answer;
        const char *text;  // nullptr: refused
    } cases[] = {
        {"#4OKV-TLX1-V1.2\r", "OKV-TLX1-V1.2"},
        {"#4" + text26 + "\r", text26.c_str()},
        {"#5OKV-TLX1\r", nullptr},                   // another module answered
        {"#4OKV TLX1\r", nullptr},                   // blank inside the text
        {"#4\r", nullptr},                           // no text
        {"#4" + text26 + "X", nullptr},              // 29 bytes without CR
        {"#4OKV-TLX1", nullptr},
        {"*4OKV-TLX1\r", nullptr},
    };
    for (const auto &c : cases) {
        char text[OKVTLX1_ID_PUFFER + 8];
        std::memset(text, '~', sizeof text);
        text[sizeof text - 1] = '\0';
        const bool ok = IDAntwort(c.answer.c_str(), 4, text);
        EXPECT_EQ(ok, c.text != nullptr) << c.answer;
        if (ok)
            EXPECT_STREQ(text, c.text);
        else
            EXPECT_EQ(text[0], '~') << "text written on refusal: " << c.answer;
        EXPECT_EQ(text[OKVTLX1_ID_PUFFER], '~') << "wrote past 27 bytes: " << c.answer;
    }
}

}  // namespace
