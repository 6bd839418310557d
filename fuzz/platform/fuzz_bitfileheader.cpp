#include "bitfileheader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (bool print : {false, true}) {
        std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (!stream)
            return 0;
        const std::int64_t result = Brevane::readBitFileHeader(stream, print);
        if (result > 0xFFFFFFFFll)
            __builtin_trap();
        std::fclose(stream);
    }
    return 0;
}
