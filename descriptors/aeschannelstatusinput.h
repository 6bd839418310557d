#pragma once

#include "audiochannelstatusdatapacket.h"

#include <QtGlobal>

#include <array>

// One received AES3 / IEC 60958 channel status block with its flags, as one
// channel record of AudioChannelStatusDataPacket carries it. Only holds and
// addresses the bytes; decodeChannelStatus() turns them into texts.
struct AesChannelStatusInput
{
    static constexpr int STATUS_BYTES = 24;

    // 1 when a block has been received for the channel; anything else: none.
    qint32 statusValid = 0;
    // Bytes 0 to 23; word k holds byte 4k in its most significant eight bits.
    std::array<quint32, STATUS_BYTES / 4> channelStatus{};
    // Non-zero when the block's CRCC (byte 23) did not check.
    qint32 crccError = 0;

    static AesChannelStatusInput fromRecord(const AudioChannelStatusDataPacket::ChannelRecord& record);

    // n from 0 to 23.
    quint8 byte(int n) const;
    void setByte(int n, quint8 value);
};
