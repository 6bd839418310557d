#include "mtdpartitions.h"
#include "deviceroot.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace Brevane {

const char FPGA_MTD_IDENT[] = "ident";

namespace {

constexpr size_t TOKENS_PER_LINE = 4;

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(line);
    return lines;
}

void removeAll(std::string& text, char unwanted)
{
    text.erase(std::remove(text.begin(), text.end(), unwanted), text.end());
}

} // namespace

MtdPartitionMap parseMtdPartitions(const std::string& text)
{
    MtdPartitionMap partitions;
    const std::vector<std::string> lines = splitLines(text);
    if (lines.size() < 2) {
        std::fputs("Failed to get mtp parts\n", stderr);
        return partitions;
    }
    for (size_t index = 1; index < lines.size(); ++index) {
        std::istringstream stream(lines[index]);
        std::vector<std::string> tokens;
        std::string token;
        // Bounded: one more token than wanted already makes the line unusable.
        while (tokens.size() <= TOKENS_PER_LINE && stream >> token)
            tokens.push_back(token);
        size_t count = tokens.size();
        while (count > TOKENS_PER_LINE && stream >> token)
            ++count;
        if (count != TOKENS_PER_LINE) {
            std::fprintf(stderr, "Could not find enough tokens (found: %zu wanted: %zu)\n", count, TOKENS_PER_LINE);
            continue;
        }
        MtdPartition partition;
        partition.device = tokens[0];
        removeAll(partition.device, ':');
        partition.size = static_cast<std::uint32_t>(std::stoi(tokens[1], nullptr, 16));
        partition.eraseSize = static_cast<std::uint32_t>(std::stoi(tokens[2], nullptr, 16));
        partition.name = tokens[3];
        removeAll(partition.name, '"');
        partitions[partition.name] = partition;
    }
    return partitions;
}

MtdPartitionMap readMtdPartitions()
{
    std::ifstream file(devicePath("/proc/mtd"));
    std::ostringstream text;
    text << file.rdbuf();
    return parseMtdPartitions(text.str());
}

std::string mtdDeviceName(const std::string& partitionName)
{
    return readMtdPartitions().at(partitionName).device;
}

} // namespace Brevane
