#pragma once

// The hardware watchdog "/dev/watchdog": one process-wide descriptor, -1 while
// closed, meant for one thread. A program that arms the watchdog relies on it,
// so failing to open it, or kicking or closing it while it is not open, ends the
// process with exit status 1 after the message on standard error.
//
// The time-out and keep-alive requests go to the kernel on a device node; on a
// plain file (a test root) the file stands in for the device and each request
// is appended to it as a line ("WDIOC_SETTIMEOUT 30", "WDIOC_KEEPALIVE").

namespace Brevane {

// Opens the device and sets the time-out; the request's result.
int openWatchdog(int timeoutSeconds);
int kickWatchdog();
// Writes the magic close character "V", closes the device; the write's result.
int closeWatchdog();

} // namespace Brevane
