#pragma once

// The flash partition map of "/proc/mtd": partition name to device name, size
// and erase size. Lines it cannot use are reported on standard error and
// skipped. Follows the standard library's error reporting: a size that is not a
// hexadecimal number throws std::invalid_argument ("stoi"), and looking up a
// partition that is not in the map throws std::out_of_range ("map::at").

#include <cstdint>
#include <map>
#include <string>

namespace Brevane {

// Name of the partition that holds the unit's MAC address and serial number.
extern const char FPGA_MTD_IDENT[];

struct MtdPartition
{
    std::string device; // "mtd0"
    std::uint32_t size = 0;
    std::uint32_t eraseSize = 0;
    std::string name;
};

using MtdPartitionMap = std::map<std::string, MtdPartition>;

// Parses the text of "/proc/mtd"; its first line is the heading.
MtdPartitionMap parseMtdPartitions(const std::string& text);

// "/proc/mtd" under the device root.
MtdPartitionMap readMtdPartitions();

// Device name ("mtd3") of the named partition.
std::string mtdDeviceName(const std::string& partitionName);

} // namespace Brevane
