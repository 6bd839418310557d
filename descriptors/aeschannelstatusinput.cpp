#include "aeschannelstatusinput.h"

namespace {

int shiftOf(int n)
{
    return 8 * (3 - n % 4);
}

} // namespace

AesChannelStatusInput AesChannelStatusInput::fromRecord(const AudioChannelStatusDataPacket::ChannelRecord& record)
{
    AesChannelStatusInput input;
    input.statusValid = record.statusValid;
    input.channelStatus = record.channelStatus;
    input.crccError = record.crccError;
    return input;
}

quint8 AesChannelStatusInput::byte(int n) const
{
    if (n < 0 || n >= STATUS_BYTES)
        return 0;
    return quint8(channelStatus[std::size_t(n / 4)] >> shiftOf(n));
}

void AesChannelStatusInput::setByte(int n, quint8 value)
{
    if (n < 0 || n >= STATUS_BYTES)
        return;
    quint32& word = channelStatus[std::size_t(n / 4)];
    word = (word & ~(0xFFu << shiftOf(n))) | (quint32(value) << shiftOf(n));
}
