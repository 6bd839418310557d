#pragma once

// Reads and checks the header of an FPGA bit file (the vendor tools' ".bit"
// format) from a stream at its start, optionally printing the design, user id
// version, tool version, device, date, time and size to standard output. It
// does not read the configuration data itself.

#include <cstdint>
#include <cstdio>

namespace Brevane {

enum BitFileError : int {
    BIT_FILE_BAD_FIRST_LENGTH = -1,
    BIT_FILE_NO_PREAMBLE = -2,
    BIT_FILE_BAD_SECOND_LENGTH = -3,
    BIT_FILE_NO_DESIGN_KEY = -4,
    BIT_FILE_SHORT_DESIGN = -5,
    BIT_FILE_DESIGN_UNSPLIT = -6,
    BIT_FILE_BAD_USER_ID = -7,
    BIT_FILE_NO_TOOL_VERSION = -8,
    BIT_FILE_BAD_TOOL_VERSION = -9,
    BIT_FILE_NO_DEVICE_KEY = -10,
    BIT_FILE_SHORT_DEVICE = -11,
    BIT_FILE_NO_DATE_KEY = -12,
    BIT_FILE_DATE_TOO_LONG = -13,
    BIT_FILE_SHORT_DATE = -14,
    BIT_FILE_NO_TIME_KEY = -15,
    BIT_FILE_TIME_TOO_LONG = -16,
    BIT_FILE_SHORT_TIME = -17,
    BIT_FILE_NO_DATA_KEY = -18,
    BIT_FILE_NO_USER_ID = -19,
    BIT_FILE_SHORT_DATA_LENGTH = -20,
};

// The length of the configuration data, with the stream at its first byte, or
// a BitFileError. The design string is only taken apart when printing.
std::int64_t readBitFileHeader(std::FILE* stream, bool print);

} // namespace Brevane
