#pragma once

// The three PWM outputs (fan drives) through sysfs: exporting channel 0 of each
// chip and programming its period, duty cycle and enable. One process-wide
// mutex serialises programming. It does not decide the duty values.

#include <cstdint>

namespace Brevane {

constexpr int PWM_CHIP_COUNT = 3;

// duties[n] is the 8-bit duty value of pwmchip<n>. Returns true when exporting
// any chip failed; the outputs are programmed either way.
bool programPwmOutputs(const std::uint8_t (&duties)[PWM_CHIP_COUNT], bool enable);

} // namespace Brevane
