#pragma once

// GPIO reads through sysfs and the hardware identity straps built from them.
// Identities are cached per process after their first good read; a failed read
// is not cached, so a later call tries again. Not thread-safe: the caches are
// meant for one thread. Diagnostics go to standard error.

namespace Brevane {

// 1 or 0 for the line's level; -1 when its value file cannot be opened or read
// (the path is then reported with perror).
int readGpioLine(unsigned line);

// Straps of identity 0 (main board), 1 (mezzanine), 2 (front panel) or 3,
// most significant bit first; -1 for another identity or an unreadable line.
int readHardwareIdentity(int which);

// Board class from identity 0: 1 above 63, 2 when it cannot be read, else 0.
int readBoardClass();

} // namespace Brevane
