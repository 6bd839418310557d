#include "jedecfile.h"

#include <cctype>
#include <cstring>
#include <string>

namespace Brevane {

namespace {

constexpr int STX = 0x02;
constexpr int ETX = 0x03;
constexpr int MAX_LINE = 140;
constexpr int BYTES_PER_DATA_LINE = 16;
constexpr int FEATURE_ROW_BITS = 64;
constexpr int FEATURE_BITS = 16;
constexpr int USER_CODE_BITS = 32;
const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

class JedecReader
{
public:
    JedecReader(std::FILE* stream, bool sizeOnly)
        : m_stream(stream)
        , m_print(!sizeOnly)
        , m_sizeOnly(sizeOnly)
    {
    }

    std::int64_t read();

private:
    bool nextLine() { return std::fgets(m_line, sizeof m_line, m_stream) != nullptr; }
    void note(const char* text);
    int featureRow();
    int userCode();
    int fuseList(bool* finished);
    // Bits written as '0' and '1' characters, most significant first, into
    // bytes; false when the text holds fewer or other characters.
    static bool parseBits(const char* text, int bitCount, unsigned char* bytes);
    static std::string fieldText(const char* text);
    void printBytes(const char* name, const unsigned char* bytes, int count) const;

    std::FILE* m_stream;
    bool m_print;
    bool m_sizeOnly;
    char m_line[MAX_LINE + 1] = {};
    bool m_endOfConfig = false;
    unsigned m_fuseCount = 0;
    std::int64_t m_dataLines = 0;
};

std::string JedecReader::fieldText(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    std::string field(text);
    while (!field.empty() && (std::isspace(static_cast<unsigned char>(field.back())) || field.back() == '*'))
        field.pop_back();
    return field;
}

bool JedecReader::parseBits(const char* text, int bitCount, unsigned char* bytes)
{
    std::memset(bytes, 0, size_t((bitCount + 7) / 8));
    for (int bit = 0; bit < bitCount; ++bit) {
        if (text[bit] != '0' && text[bit] != '1')
            return false;
        if (text[bit] == '1')
            bytes[bit / 8] |= static_cast<unsigned char>(0x80u >> (bit % 8));
    }
    return true;
}

void JedecReader::printBytes(const char* name, const unsigned char* bytes, int count) const
{
    if (!m_print)
        return;
    std::printf("%s", name);
    for (int index = 0; index < count; ++index)
        std::printf(" %02X", bytes[index]);
    std::printf("\n");
}

void JedecReader::note(const char* text)
{
    static const char DATE_CREATED[] = "DATE CREATED:";
    static const char DESIGN_NAME[] = "DESIGN NAME:";
    static const char DEVICE_NAME[] = "DEVICE NAME:";
    static const char DIAMOND[] = "Diamond";
    while (*text == ' ' || *text == '\t')
        ++text;
    if (std::strncmp(text, DATE_CREATED, sizeof DATE_CREATED - 1) == 0) {
        const std::string date = fieldText(text + sizeof DATE_CREATED - 1);
        char weekday[4] = {}, month[4] = {};
        int day = 0, hour = 0, minute = 0, second = 0, year = 0;
        const int scanned = std::sscanf(date.c_str(), "%3s %3s %2d %2d:%2d:%2d %4d", weekday, month, &day, &hour,
                                        &minute, &second, &year);
        if (scanned != 7) {
            std::fprintf(stderr, "date parse failed %d : \"%s\"\n", scanned, date.c_str());
            return;
        }
        int monthNumber = 0;
        for (int index = 0; index < 12; ++index) {
            if (std::strcmp(month, MONTHS[index]) == 0)
                monthNumber = index + 1;
        }
        if (m_print) {
            std::printf("date: %d/%d/%d\n", day, monthNumber, year);
            std::printf("time: %2d:%02d:%02d\n", hour, minute, second);
        }
    } else if (std::strncmp(text, DESIGN_NAME, sizeof DESIGN_NAME - 1) == 0) {
        if (m_print)
            std::printf("design: %s\n", fieldText(text + sizeof DESIGN_NAME - 1).c_str());
    } else if (std::strncmp(text, DEVICE_NAME, sizeof DEVICE_NAME - 1) == 0) {
        if (m_print)
            std::printf("device: %s\n", fieldText(text + sizeof DEVICE_NAME - 1).c_str());
    } else if (std::strncmp(text, DIAMOND, sizeof DIAMOND - 1) == 0) {
        if (m_print)
            std::printf("diamond: %s\n", fieldText(text + sizeof DIAMOND - 1).c_str());
    } else if (std::strstr(text, "END CONFIG DATA")) {
        m_endOfConfig = true;
    }
}

// "E" and 64 feature row bits, then a line of 16 feature bits ending the field.
int JedecReader::featureRow()
{
    unsigned char row[FEATURE_ROW_BITS / 8];
    if (!parseBits(m_line + 1, FEATURE_ROW_BITS, row))
        return JEDEC_BAD_BITS;
    unsigned char bits[FEATURE_BITS / 8];
    if (!nextLine() || !parseBits(m_line, FEATURE_BITS, bits))
        return JEDEC_BAD_BITS;
    printBytes("featurerow:", row, int(sizeof row));
    printBytes("featurebits:", bits, int(sizeof bits));
    return 0;
}

int JedecReader::userCode()
{
    unsigned char code[USER_CODE_BITS / 8];
    if (!parseBits(m_line + 1, USER_CODE_BITS, code))
        return JEDEC_BAD_BITS;
    printBytes("usercode:", code, int(sizeof code));
    return 0;
}

// "L" and the fuse address, then data lines up to a line starting with "*".
int JedecReader::fuseList(bool* finished)
{
    unsigned address = 0;
    if (std::sscanf(m_line + 1, "%u", &address) != 1)
        return JEDEC_BAD_NUMBER;
    if (m_sizeOnly) {
        *finished = true;
        return 0;
    }
    std::int64_t lines = 0;
    for (;;) {
        if (!nextLine())
            return JEDEC_BAD_BITS;
        if (m_line[0] == '*')
            break;
        ++lines;
    }
    if (!m_endOfConfig) {
        m_dataLines += lines;
        if (m_print)
            std::printf("size: %d\n", int(m_dataLines * BYTES_PER_DATA_LINE));
    }
    return 0;
}

std::int64_t JedecReader::read()
{
    if (std::fgetc(m_stream) != STX) {
        std::fputs("No STX at start\n", stderr);
        return JEDEC_NO_STX;
    }
    if (!nextLine())
        return JEDEC_UNREADABLE_FIRST_LINE;
    const std::string first(m_line);
    const size_t end = first.find_last_not_of(" \t\r\n");
    if (end == std::string::npos || first[end] != '*')
        return JEDEC_BAD_FIRST_LINE;

    while (nextLine()) {
        int result = 0;
        bool finished = false;
        unsigned number = 0;
        switch (static_cast<unsigned char>(m_line[0])) {
        case 'N':
            if (std::strncmp(m_line, "NOTE", 4) == 0)
                note(m_line + 4);
            break;
        case '0':
        case '1':
        case 'F':
        case 'G':
            break;
        case 'C':
            if (std::sscanf(m_line + 1, "%4x", &number) != 1)
                result = JEDEC_BAD_NUMBER;
            break;
        case 'E':
            result = featureRow();
            break;
        case 'L':
            result = fuseList(&finished);
            break;
        case 'Q':
            if (m_line[1] == 'F' && std::sscanf(m_line + 2, "%u", &m_fuseCount) != 1)
                result = JEDEC_BAD_NUMBER;
            break;
        case 'U':
            result = userCode();
            break;
        case ETX:
            if (std::sscanf(m_line + 1, "%4x", &number) != 1)
                result = JEDEC_BAD_NUMBER;
            finished = true;
            break;
        default:
            std::fprintf(stderr, "%d\n", static_cast<unsigned char>(m_line[0]));
            result = JEDEC_UNKNOWN_FIELD;
            break;
        }
        if (result != 0)
            return result;
        if (finished)
            break;
    }
    if (m_sizeOnly)
        return m_fuseCount / 8;
    return m_dataLines * BYTES_PER_DATA_LINE;
}

} // namespace

std::int64_t readJedecFile(std::FILE* stream, bool sizeOnly)
{
    return JedecReader(stream, sizeOnly).read();
}

} // namespace Brevane
