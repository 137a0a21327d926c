#include "app/TLX1Konfig.h"

#include <cmath>
#include <initializer_list>

int KonfigPruefen(double vmin, double vmax, double einheitmin, double einheitmax)
{
    if (!std::isfinite(vmin) || !std::isfinite(vmax) || !std::isfinite(einheitmin) || !std::isfinite(einheitmax))
        return KONFIG_NICHT_ENDLICH;
    if (vmin == vmax)
        return KONFIG_VOLT_GLEICH;
    if (einheitmin == einheitmax)
        return KONFIG_EINHEIT_GLEICH;
    // The same arithmetic as the two conversions.
    const double zuEinheit = (einheitmax - einheitmin) / (vmax - vmin);
    const double zuVolt = (vmax - vmin) / (einheitmax - einheitmin);
    if (!std::isnormal(zuEinheit) || !std::isnormal(zuVolt))
        return KONFIG_NICHT_BERECHENBAR;
    for (double volt : {0.0, 10.0, 1000.0})
        if (!std::isfinite((volt - vmin) * zuEinheit + einheitmin))
            return KONFIG_NICHT_BERECHENBAR;
    return KONFIG_BRAUCHBAR;
}
