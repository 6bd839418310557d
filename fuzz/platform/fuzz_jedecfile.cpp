#include "jedecfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (bool sizeOnly : {false, true}) {
        std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        if (!stream)
            return 0;
        Brevane::readJedecFile(stream, sizeOnly);
        std::fclose(stream);
    }
    return 0;
}
