#pragma once

#include <QtGlobal>

#include <array>
#include <optional>
#include <tuple>

class PayloadReader;
class PayloadWriter;

// Status of one kind of ancillary packet, held by AncillaryStatusDataPacket:
// an 8-bit key naming the kind, flags, and one optional block of counters per
// field (AncPacketStatusType1) or per link (AncPacketStatusType2). It reads and
// writes its own bytes; it does not know where its kind is counted.
//
// | field            | wire                                                |
// |------------------|-----------------------------------------------------|
// | key              | 1 byte                                              |
// | flags            | qint32                                              |
// | per block        | bool present, then, if present, the 32-byte block:  |
// |                  | packetCount, checksumErrors (qint32), lastSeen      |
// |                  | (qint64), line, dataCount (qint32), lastError       |
// |                  | (qint64)                                            |
class AncPacketStatus
{
public:
    static constexpr int MAX_BLOCKS = 4;

    struct Block
    {
        qint32 packetCount = 0;
        qint32 checksumErrors = 0;
        qint64 lastSeen = 0;
        qint32 line = 0;
        qint32 dataCount = 0;
        qint64 lastError = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.packetCount, self.checksumErrors, self.lastSeen, self.line, self.dataCount,
                self.lastError);
        }
        bool operator==(const Block& other) const { return fields(*this) == fields(other); }
    };

    virtual ~AncPacketStatus();
    AncPacketStatus(const AncPacketStatus&) = delete;
    AncPacketStatus& operator=(const AncPacketStatus&) = delete;

    // Blocks this kind of record carries on the wire, at most MAX_BLOCKS.
    virtual int blockCount() const = 0;

    quint8 key() const { return m_key; }
    qint32 flags() const { return m_flags; }
    // Indexes from 0 to blockCount() - 1; others read as absent and are not set.
    const std::optional<Block>& block(int index) const;
    void setBlock(int index, const std::optional<Block>& block);

    void read(PayloadReader& reader);
    void write(PayloadWriter& writer) const;
    int wireSize() const;

    // Same kind, key, flags and blocks.
    bool operator==(const AncPacketStatus& other) const;

protected:
    AncPacketStatus(quint8 key, qint32 flags);

private:
    quint8 m_key;
    qint32 m_flags;
    std::array<std::optional<Block>, MAX_BLOCKS> m_blocks;
};

// One block per field of an interlaced picture.
class AncPacketStatusType1 final : public AncPacketStatus
{
public:
    static constexpr int BLOCK_COUNT = 2;
    static constexpr int MINIMUM_SIZE = 5 + BLOCK_COUNT;

    explicit AncPacketStatusType1(quint8 key = 0, qint32 flags = 0)
        : AncPacketStatus(key, flags)
    {
    }
    int blockCount() const override { return BLOCK_COUNT; }
};

// One block per link of a multi-link interface.
class AncPacketStatusType2 final : public AncPacketStatus
{
public:
    static constexpr int BLOCK_COUNT = 4;
    static constexpr int MINIMUM_SIZE = 5 + BLOCK_COUNT;

    explicit AncPacketStatusType2(quint8 key = 0, qint32 flags = 0)
        : AncPacketStatus(key, flags)
    {
    }
    int blockCount() const override { return BLOCK_COUNT; }
};
