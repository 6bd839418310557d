#pragma once

// The unit's serial number in the identity flash partition (FPGA_MTD_IDENT).
// Its first 26 bytes: "mac: ", the six MAC address bytes, "\nserial: " and the
// number as six zero-padded decimal digits. Diagnostics go to standard error.

#include <cstdint>

namespace Brevane {

// First three MAC address bytes written with a serial number: a locally
// administered prefix, so that a unit never claims an address block it does
// not own; the low three bytes are the serial number.
extern const std::uint8_t UNIT_MAC_PREFIX[3];

// 0 and the number in *serial, or -1 with a message.
int readSerialNumber(std::uint32_t* serial);

// Writes the identity record through "/var/volatile/tmps" onto the partition
// and sets the boot-loader run level to 4. 0 on success, -1 on failure.
int writeSerialNumber(std::uint32_t serial);

} // namespace Brevane
