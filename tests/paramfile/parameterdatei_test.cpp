// The parameter-set record's byte layout: what an operator's saved file holds, byte for byte.
#include "app/Parameterdatei.h"
#include "tests/paramfile/Referenzdatei.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

Parameterdatei designValues() {
    Parameterdatei d{};
    d.satz = Parametersatz{0, 1, 0, 0, 10, 0, 1000, 1};
    d.zoommin = 0;
    d.zoommax = 10;
    d.konfig = KonfigStruktur{0, 10, 0, 10, "V"};
    return d;
}

TEST(Parameterdatei, DesignValuesGiveTheReferenceBytes) {
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    std::memset(bytes, 0xAA, sizeof bytes);
    const Parameterdatei d = designValues();
    Parameterdatei_Kodieren(&d, bytes);
    for (int i = 0; i < PARAMETERDATEI_GROESSE; ++i) EXPECT_EQ(bytes[i], kDesignFile[i]) << "offset " << i;
}

TEST(Parameterdatei, ReferenceBytesDecodeToTheDesignValues) {
    ASSERT_EQ(Parameterdatei_KopfPruefen(kDesignFile), 0);
    Parameterdatei d{};
    Parameterdatei_Dekodieren(kDesignFile, &d);
    EXPECT_EQ(d.satz.I, 1.0);
    EXPECT_EQ(d.satz.max, 10.0);
    EXPECT_EQ(d.satz.anstiegszeit, 1000.0);
    EXPECT_EQ(d.satz.betriebsart, 1.0);
    EXPECT_EQ(d.zoommax, 10.0);
    EXPECT_EQ(d.konfig.vmax, 10.0);
    EXPECT_EQ(d.konfig.einheitmax, 10.0);
    EXPECT_STREQ(d.konfig.einheit, "V");
}

TEST(Parameterdatei, EveryFieldSitsAtItsOffsetLittleEndian) {
    Parameterdatei d{};
    d.satz = Parametersatz{1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 2.0};
    d.zoommin = -8.25;
    d.zoommax = 9.75;
    d.konfig = KonfigStruktur{0.5, 9.5, -100, 100, "mbar"};
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    Parameterdatei_Kodieren(&d, bytes);
    // 2.0 is 0x4000000000000000: its only non-zero byte is the last one.
    for (int i = 96; i < 103; ++i) EXPECT_EQ(bytes[i], 0x00);
    EXPECT_EQ(bytes[103], 0x40);
    EXPECT_EQ(std::memcmp(bytes + 152, "mbar\0\0\0\0", 8), 0);

    Parameterdatei back{};
    Parameterdatei_Dekodieren(bytes, &back);
    EXPECT_EQ(back.satz.P, 1.5);
    EXPECT_EQ(back.satz.anstiegszeit, 7.5);
    EXPECT_EQ(back.zoommin, -8.25);
    EXPECT_EQ(back.zoommax, 9.75);
    EXPECT_EQ(back.konfig.einheitmin, -100.0);
    EXPECT_STREQ(back.konfig.einheit, "mbar");
}

TEST(Parameterdatei, HeadChecks) {
    unsigned char kopf[PARAMETERDATEI_KOPF];
    std::memcpy(kopf, kDesignFile, sizeof kopf);
    kopf[23] = 'x';   // the type text goes on past its 23 characters
    EXPECT_EQ(Parameterdatei_KopfPruefen(kopf), -302105);
    std::memcpy(kopf, kDesignFile, sizeof kopf);
    kopf[0] = 'O';
    EXPECT_EQ(Parameterdatei_KopfPruefen(kopf), -302105);
    for (int version : {1, 3, 0x102}) {
        std::memcpy(kopf, kDesignFile, sizeof kopf);
        kopf[32] = static_cast<unsigned char>(version & 0xFF);
        kopf[33] = static_cast<unsigned char>(version >> 8);
        EXPECT_EQ(Parameterdatei_KopfPruefen(kopf), -303106) << version;
    }
    // Undefined bytes of the head carry anything.
    std::memcpy(kopf, kDesignFile, sizeof kopf);
    std::memset(kopf + 24, 0x5A, 8);
    EXPECT_EQ(Parameterdatei_KopfPruefen(kopf), 0);
}

TEST(Parameterdatei, UnitWithoutZeroIsCutAfterFiveCharacters) {
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    std::memcpy(bytes, kDesignFile, sizeof bytes);
    std::memcpy(bytes + 152, "abcdefgh", 8);   // no zero in the six unit bytes, junk in 158/159
    Parameterdatei d{};
    Parameterdatei_Dekodieren(bytes, &d);
    EXPECT_STREQ(d.konfig.einheit, "abcde");
}

TEST(Parameterdatei, NonFiniteValuesTravelUnchanged) {
    Parameterdatei d = designValues();
    d.satz.P = std::nan("");
    d.konfig.vmax = INFINITY;
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    Parameterdatei_Kodieren(&d, bytes);
    Parameterdatei back{};
    Parameterdatei_Dekodieren(bytes, &back);
    EXPECT_TRUE(std::isnan(back.satz.P));
    EXPECT_TRUE(std::isinf(back.konfig.vmax));
}

}  // namespace
