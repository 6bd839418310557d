#pragma once

// The folder under which the platform layer finds every device and system file
// ("/sys/class/gpio/...", "/dev/watchdog", "/proc/mtd" and so on). It is "/" on
// the instrument; tests point it at a temporary folder of plain files laid out
// like the real ones. Meant to be set once, before the platform layer is used.

#include <string>

namespace Brevane {

void setDeviceRoot(const std::string& root);
const std::string& deviceRoot();

// Counts root changes, so that values cached from one root are not served for
// another.
unsigned deviceRootGeneration();

// absolutePath ("/proc/mtd") resolved under the root.
std::string devicePath(const std::string& absolutePath);

} // namespace Brevane
