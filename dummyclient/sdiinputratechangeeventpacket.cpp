#include "sdiinputratechangeeventpacket.h"

const QString SdiInputRateChangeEventPacket::CLASS_NAME = QStringLiteral("SdiInputRateChangeEventPacket");

SdiInputRateChangeEventPacket::SdiInputRateChangeEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

SdiInputRateChangeEventPacket::SdiInputRateChangeEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString SdiInputRateChangeEventPacket::channelName() const
{
    static const char* const names[] = {"SDI In A", "SDI In B", "SDI In C", "SDI In D", "2022-6 In"};
    const QString key = QStringLiteral("channel");
    if (!hasMember(key))
        return QString::fromLatin1(names[0]);
    const int channel = intMember(key);
    if (channel < 0 || channel >= int(sizeof(names) / sizeof(names[0])))
        return QStringLiteral("Error");
    return QString::fromLatin1(names[channel]);
}

QString SdiInputRateChangeEventPacket::rateName() const
{
    static const char* const names[] = {"12G", "6G", "3G", "1.5G", "270M", "No Signal"};
    const QString key = QStringLiteral("rate");
    if (!hasMember(key))
        return QStringLiteral("No Signal");
    // Compared as unsigned, so a negative rate counts as a large one.
    const auto rate = static_cast<unsigned int>(intMember(key));
    if (rate >= sizeof(names) / sizeof(names[0]))
        return QStringLiteral("Unknown");
    return QString::fromLatin1(names[rate]);
}

QString SdiInputRateChangeEventPacket::toLogString() const
{
    return QStringLiteral("New rate on %1 - %2").arg(channelName(), rateName());
}
