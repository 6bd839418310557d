#pragma once

// Reads a JEDEC fuse file (as written by the vendor tools for the board's
// programmable logic) from a stream at its start: checks its framing, prints
// the design notes, user code and feature row to standard output, and works
// out the size of the configuration data. Problems are reported on standard
// error. It does not program anything or check the checksums.

#include <cstdint>
#include <cstdio>

namespace Brevane {

enum JedecError : int {
    JEDEC_NO_STX = -1,
    JEDEC_BAD_FIRST_LINE = -2,
    JEDEC_BAD_NUMBER = -3, // a number field ("C", "L", "QF", the final checksum)
    JEDEC_UNKNOWN_FIELD = -4, // a line starting with no known field character, a blank one included
    JEDEC_UNREADABLE_FIRST_LINE = -5,
    JEDEC_BAD_BITS = -6, // a bit field ("E", "U") or fuse data that ends early
};

// sizeOnly: stop at the first fuse list ("L") and answer the fuse count ("QF")
// in bytes, printing nothing. Otherwise: 16 bytes per fuse data line before the
// "END CONFIG DATA" note. A JedecError on failure.
std::int64_t readJedecFile(std::FILE* stream, bool sizeOnly);

} // namespace Brevane
