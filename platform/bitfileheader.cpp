#include "bitfileheader.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace Brevane {

namespace {

constexpr unsigned FIRST_LENGTH = 9;
constexpr unsigned SECOND_LENGTH = 1;
constexpr unsigned MAX_DATE_TIME_LENGTH = 16;
constexpr std::uint32_t DEVELOPMENT_BUILD_BIT = 0x80000000u;

// Big-endian, byte by byte; -1 at the end of the stream.
std::int64_t readNumber(std::FILE* stream, int bytes)
{
    std::int64_t value = 0;
    for (int index = 0; index < bytes; ++index) {
        const int byte = std::fgetc(stream);
        if (byte == EOF)
            return -1;
        value = (value << 8) | byte;
    }
    return value;
}

// A length-prefixed field as text (up to its first NUL); false when short.
bool readField(std::FILE* stream, std::string* text)
{
    const std::int64_t length = readNumber(stream, 2);
    if (length < 0)
        return false;
    std::vector<char> bytes(size_t(length) + 1, '\0');
    if (std::fread(bytes.data(), 1, size_t(length), stream) != size_t(length))
        return false;
    *text = bytes.data();
    return true;
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        fields.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    fields.push_back(text.substr(start));
    return fields;
}

// design name; optional fields; UserID=<hex>; Version=<tool version>
int printDesign(const std::string& design)
{
    const std::vector<std::string> fields = split(design, ';');
    std::printf("design: %s\n", fields[0].c_str());
    if (fields.size() < 2)
        return BIT_FILE_DESIGN_UNSPLIT;
    size_t index = 1;
    while (!startsWith(fields[index], "UserID")) {
        if (++index == fields.size())
            return BIT_FILE_NO_USER_ID;
    }
    const std::string& userIdField = fields[index];
    const char* hex = startsWith(userIdField, "UserID=0X") ? userIdField.c_str() + 9
        : startsWith(userIdField, "UserID=")              ? userIdField.c_str() + 7
                                                           : nullptr;
    if (!hex)
        return BIT_FILE_BAD_USER_ID;
    const std::uint32_t userId = std::uint32_t(std::strtoul(hex, nullptr, 16));
    std::printf("version: %d-%d.%d%s\n", int((userId >> 16) & 0x7fff), int((userId >> 8) & 0xff),
                int(userId & 0xff), (userId & DEVELOPMENT_BUILD_BIT) ? "(dev)" : "");
    if (++index == fields.size())
        return BIT_FILE_NO_TOOL_VERSION;
    if (!startsWith(fields[index], "Version="))
        return BIT_FILE_BAD_TOOL_VERSION;
    std::printf("vivado: %s\n", fields[index].c_str() + 8);
    return 0;
}

bool expectKey(std::FILE* stream, char key)
{
    return std::fgetc(stream) == key;
}

} // namespace

std::int64_t readBitFileHeader(std::FILE* stream, bool print)
{
    if (readNumber(stream, 2) != FIRST_LENGTH)
        return BIT_FILE_BAD_FIRST_LENGTH;
    char preamble[FIRST_LENGTH];
    if (std::fread(preamble, 1, FIRST_LENGTH, stream) != FIRST_LENGTH)
        return BIT_FILE_NO_PREAMBLE;
    if (readNumber(stream, 2) != SECOND_LENGTH)
        return BIT_FILE_BAD_SECOND_LENGTH;
    if (!expectKey(stream, 'a'))
        return BIT_FILE_NO_DESIGN_KEY;
    std::string design;
    if (!readField(stream, &design))
        return BIT_FILE_SHORT_DESIGN;
    if (print) {
        const int designResult = printDesign(design);
        if (designResult != 0)
            return designResult;
    }

    if (!expectKey(stream, 'b'))
        return BIT_FILE_NO_DEVICE_KEY;
    std::string device;
    if (!readField(stream, &device))
        return BIT_FILE_SHORT_DEVICE;
    if (print)
        std::printf("device: %s\n", device.c_str());

    struct DateOrTime
    {
        char key;
        const char* name;
        BitFileError noKey, tooLong, shortField;
    };
    const DateOrTime stamps[] = {
        {'c', "date", BIT_FILE_NO_DATE_KEY, BIT_FILE_DATE_TOO_LONG, BIT_FILE_SHORT_DATE},
        {'d', "time", BIT_FILE_NO_TIME_KEY, BIT_FILE_TIME_TOO_LONG, BIT_FILE_SHORT_TIME},
    };
    for (const DateOrTime& stamp : stamps) {
        if (!expectKey(stream, stamp.key))
            return stamp.noKey;
        const std::int64_t length = readNumber(stream, 2);
        if (length >= MAX_DATE_TIME_LENGTH)
            return stamp.tooLong;
        char text[MAX_DATE_TIME_LENGTH + 1] = {};
        if (length < 0 || std::fread(text, 1, size_t(length), stream) != size_t(length))
            return stamp.shortField;
        if (print)
            std::printf("%s: %s\n", stamp.name, text);
    }

    if (!expectKey(stream, 'e'))
        return BIT_FILE_NO_DATA_KEY;
    const std::int64_t dataLength = readNumber(stream, 4);
    if (dataLength < 0)
        return BIT_FILE_SHORT_DATA_LENGTH;
    if (print)
        std::printf("size: %zu\n", size_t(dataLength));
    return dataLength;
}

} // namespace Brevane
