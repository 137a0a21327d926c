// One channel of the simulated module: PID loop with output limits, setpoint ramp and a
// first-order process (gain 1, time constant 2 s) driven by the loop's output.
#pragma once

namespace tlx1sim {

// What the loop needs from the module's parameters for one step.
struct LoopSettings {
  int mode = 1;  // 1 digital setpoint, 2 analogue setpoint, 3 manual output
  double p = 1, i = 1, d = 0;
  double min = 0, max = 10;  // output limits in volts
  double target = 0;         // setpoint the ramp moves towards (soll or the analogue input)
  double slope = 0;          // V/s; 0 means no ramp limit
  double manual = 0;         // output in mode 3
};

class Plant {
 public:
  static constexpr double kStep = 0.01;         // integration step in seconds
  static constexpr double kTimeConstant = 2.0;  // process time constant in seconds
  static constexpr double kOutputLow = 0.0;     // the output stage drives 0..10 V
  static constexpr double kOutputHigh = 10.0;

  // Advances the loop and the process by one step of kStep seconds.
  void step(const LoopSettings& s);
  // Power-on: the ramp starts from the current actual value, the integrator is cleared.
  void restart();
  // Sets the process value (the ramp and integrator are left alone).
  void setActual(double volts);

  double actual() const { return actual_; }
  double output() const { return output_; }
  double setpoint() const { return setpoint_; }

 private:
  double actual_ = 0;
  double output_ = 0;
  double setpoint_ = 0;  // ramped setpoint
  double integral_ = 0;
  double previousActual_ = 0;
};

}  // namespace tlx1sim
