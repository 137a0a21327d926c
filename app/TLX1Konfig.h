// TLX1Konfig: the scaling between the module's volts and the operator's unit.
//
// gKonfig is the applied scaling; every conversion reads it. The configuration panel holds the
// scaling while the operator edits it, so the two may differ until "Ok" applies the panel.
#pragma once

// Linear scaling: vmin volts show as einheitmin, vmax volts as einheitmax, in the unit einheit.
// The layout (four doubles, then six bytes of text) is also the image stored in parameter-set files.
struct KonfigStruktur {
    double vmin;        // V, first point
    double vmax;        // V, second point
    double einheitmin;  // user unit at vmin
    double einheitmax;  // user unit at vmax
    char einheit[6];    // unit name, zero-terminated, at most 5 characters
};

// Four doubles and six bytes of text padded to 40 bytes: the image the parameter-set file holds.
static_assert(sizeof(KonfigStruktur) == 40);

// Longest unit text the record holds, without the terminating zero.
inline constexpr int KONFIG_EINHEIT_MAX = 5;

// What keeps a scaling from being applied. Both conversions divide by a difference of its points,
// so equal points, values that are not finite, or a factor or an image of 0 V, 10 V or 1000 V (the
// slope's range) beyond the range of doubles would make the scaled fields infinite or NaN.
enum KonfigMangel {
    KONFIG_BRAUCHBAR,          // can be applied
    KONFIG_NICHT_ENDLICH,      // a value is infinite or NaN
    KONFIG_VOLT_GLEICH,        // vmin == vmax
    KONFIG_EINHEIT_GLEICH,     // einheitmin == einheitmax
    KONFIG_NICHT_BERECHENBAR,  // a factor or an image leaves the range of doubles
};

// Checks a scaling given by its four numbers. KONFIG_BRAUCHBAR or the first KonfigMangel found.
int KonfigPruefen(double vmin, double vmax, double einheitmin, double einheitmax);

// The applied scaling of the program, used on the user-interface thread only.
extern KonfigStruktur gKonfig;

// Puts the identity scaling 0..10 V as 0..10 "V" into gKonfig. No result.
void KonfigstrukturAufStandardwerte(void);

// Shows gKonfig in the five fields of the configuration panel; applies nothing. No result.
void KonfigStrukturZuGui(void);
