#include "ancpacketstatus.h"

#include "payloadreader.h"
#include "payloadwriter.h"

#include <typeinfo>

AncPacketStatus::AncPacketStatus(quint8 key, qint32 flags)
    : m_key(key)
    , m_flags(flags)
{
}

AncPacketStatus::~AncPacketStatus() = default;

const std::optional<AncPacketStatus::Block>& AncPacketStatus::block(int index) const
{
    static const std::optional<Block> absent;
    return index >= 0 && index < blockCount() ? m_blocks[std::size_t(index)] : absent;
}

void AncPacketStatus::setBlock(int index, const std::optional<Block>& block)
{
    if (index >= 0 && index < blockCount())
        m_blocks[std::size_t(index)] = block;
}

void AncPacketStatus::read(PayloadReader& reader)
{
    reader.read(m_key);
    reader.read(m_flags);
    for (int i = 0; i < blockCount(); ++i) {
        bool present = false;
        reader.read(present);
        if (!present)
            continue;
        Block block;
        reader.read(block);
        if (reader.failed())
            return;
        m_blocks[std::size_t(i)] = block;
    }
}

void AncPacketStatus::write(PayloadWriter& writer) const
{
    writer.write(m_key);
    writer.write(m_flags);
    for (int i = 0; i < blockCount(); ++i) {
        const std::optional<Block>& block = m_blocks[std::size_t(i)];
        writer.write(block.has_value());
        if (block)
            writer.write(*block);
    }
}

int AncPacketStatus::wireSize() const
{
    int size = Wire::MinimumSize<quint8>::value + Wire::MinimumSize<qint32>::value + blockCount();
    for (int i = 0; i < blockCount(); ++i) {
        if (m_blocks[std::size_t(i)])
            size += Wire::MinimumSize<Block>::value;
    }
    return size;
}

bool AncPacketStatus::operator==(const AncPacketStatus& other) const
{
    return typeid(*this) == typeid(other) && m_key == other.m_key && m_flags == other.m_flags
        && m_blocks == other.m_blocks;
}
