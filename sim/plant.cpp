#include "sim/plant.h"

#include <algorithm>
#include <cmath>

namespace tlx1sim {

// Parameters may hold any text set through the back door; keep the loop finite whatever they say.
static double finite(double v, double fallback) {
  return std::isfinite(v) ? v : fallback;
}

void Plant::step(const LoopSettings& s) {
  const double lo = std::max(finite(s.min, kOutputLow), kOutputLow);
  const double hi = std::min(finite(s.max, kOutputHigh), kOutputHigh);
  double u;
  if (s.mode == 3) {
    u = finite(s.manual, 0.0);
    setpoint_ = actual_;
    integral_ = 0;
  } else {
    const double target = finite(s.target, 0.0);
    const double slope = finite(s.slope, 0.0);
    if (slope > 0) {
      const double stepMax = slope * kStep;
      setpoint_ += std::clamp(target - setpoint_, -stepMax, stepMax);
    } else {
      setpoint_ = target;
    }
    const double error = setpoint_ - actual_;
    const double integral = integral_ + finite(s.i, 0.0) * error * kStep;
    // Derivative on the actual value, so a setpoint step gives no kick.
    const double derivative = -finite(s.d, 0.0) * (actual_ - previousActual_) / kStep;
    const double raw = finite(s.p, 0.0) * error + integral + derivative;
    u = raw;
    if (u > hi) u = hi;
    if (u < lo) u = lo;
    // Integrate only while the output is not pushed further into a limit (no wind-up).
    const bool windingUp = (raw > hi && error > 0) || (raw < lo && error < 0);
    if (!windingUp && std::isfinite(integral)) integral_ = std::clamp(integral, -1e6, 1e6);
  }
  output_ = std::clamp(u, kOutputLow, kOutputHigh);
  previousActual_ = actual_;
  actual_ = output_ + (actual_ - output_) * std::exp(-kStep / kTimeConstant);
}

void Plant::restart() {
  setpoint_ = actual_;
  integral_ = 0;
  previousActual_ = actual_;
}

void Plant::setActual(double volts) {
  if (!std::isfinite(volts)) return;
  actual_ = volts;
  previousActual_ = volts;
}

}  // namespace tlx1sim
