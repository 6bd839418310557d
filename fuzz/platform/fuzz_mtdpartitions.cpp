#include "mtdpartitions.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const Brevane::MtdPartitionMap partitions =
            Brevane::parseMtdPartitions(std::string(reinterpret_cast<const char*>(data), size));
        for (const auto& entry : partitions) {
            if (entry.first != entry.second.name || entry.second.name.find('"') != std::string::npos
                || entry.second.device.find(':') != std::string::npos)
                __builtin_trap();
        }
    } catch (const std::invalid_argument&) {
        // A size that is not hexadecimal ends the parse, as documented.
    } catch (const std::out_of_range&) {
        // So does a size beyond the range of int.
    }
    return 0;
}
