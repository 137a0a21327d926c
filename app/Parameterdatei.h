#pragma once
// The parameter-set file: a 160-byte little-endian record holding the controller parameters as
// the main panel shows them, the chart's zoom limits and the scaling they are shown in.
//
// Byte layout (undefined bytes are written as zero and never read):
//   0  char[32] type text "okv tlx1 parameterdatei", zero at 23     32  int32 version 2
//  40  ten doubles: P, I, D, min, max, anfangssoll, anstiegszeit, betriebsart, zoom min, zoom max
// 120  the scaling: vmin, vmax, einheitmin, einheitmax (doubles), einheit char[6], 2 bytes unused

#include "app/TLX1Konfig.h"
#include "driver/okvtlx1.h"

inline constexpr int PARAMETERDATEI_GROESSE = 160;
inline constexpr int PARAMETERDATEI_KOPF = 36;     // type text and version, checked before the rest
inline constexpr char PARAMETERDATEI_TYP[] = "okv tlx1 parameterdatei";
inline constexpr int PARAMETERDATEI_VERSION = 2;

struct Parameterdatei {
    Parametersatz satz;      // in the field order of the file; anfangssoll and anstiegszeit in the file's unit
    double zoommin;          // chart value axis, in the file's unit
    double zoommax;
    KonfigStruktur konfig;   // the scaling the values are shown in
};

// The 160 bytes of a record.
void Parameterdatei_Kodieren(const Parameterdatei *datei, unsigned char bytes[PARAMETERDATEI_GROESSE]);

// Checks the first 36 bytes. 0, -302105 (not a parameter-set file), -303106 (version is not 2).
int Parameterdatei_KopfPruefen(const unsigned char kopf[PARAMETERDATEI_KOPF]);

// The record held in 160 bytes whose head passed the check. A unit text without its terminating
// zero is cut after the fifth character.
void Parameterdatei_Dekodieren(const unsigned char bytes[PARAMETERDATEI_GROESSE], Parameterdatei *datei);
