#pragma once

#include "rawdatapacket.h"
#include "vqlog.h"

#include <QJsonObject>

#include <iosfwd>
#include <type_traits>
#include <vector>

class QJsonParseError;

// The JSON packet (type 0x1010): a JSON object whose "Class" names its kind,
// sent as a 4-byte big-endian length followed by compact JSON text. It parses
// and builds that payload and moves packets in and out of one another; it does
// not know any particular class (subclasses such as DatacorePacket do).
class SerialisableDataPacket : public RawDataPacket
{
public:
    static constexpr quint16 PACKET_TYPE = 0x1010;

    SerialisableDataPacket() = default;
    explicit SerialisableDataPacket(const QString& className);
    explicit SerialisableDataPacket(const QJsonObject& object);
    SerialisableDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    SerialisableDataPacket(const QByteArray& text, QJsonParseError* error);
    SerialisableDataPacket(const SerialisableDataPacket&) = default;
    SerialisableDataPacket& operator=(const SerialisableDataPacket&) = default;
    ~SerialisableDataPacket() override;

    // The object under key of parent; ok is true only when that is an object
    // with a non-empty string "Class", otherwise the packet stays empty.
    static SerialisableDataPacket extractPacket(const SerialisableDataPacket& parent, const QString& key, bool* ok);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override;

    QString className() const;
    QJsonObject& jsonObject() { return m_jsonObject; }
    const QJsonObject& jsonObject() const { return m_jsonObject; }
    QByteArray jsonText() const;

    void insertPacket(const QString& key, const SerialisableDataPacket& packet);
    void insertPacketArray(const QString& key, const std::vector<SerialisableDataPacket>& packets);
    // The elements of the array under key that are objects with a non-empty
    // string "Class", in order; ok is false when anything was missing or skipped.
    std::vector<SerialisableDataPacket> extractPacketArray(const QString& key, bool* ok) const;

    QByteArray indentedJsonText() const;

private:
    QJsonObject m_jsonObject;
};

std::ostream& operator<<(std::ostream& stream, const SerialisableDataPacket& packet);

// Any JSON packet as a log argument is written as its indented JSON document.
template <typename Packet>
struct fmt::formatter<Packet, char, std::enable_if_t<std::is_base_of<SerialisableDataPacket, Packet>::value>>
    : fmt::formatter<fmt::string_view>
{
    template <typename FormatContext>
    auto format(const SerialisableDataPacket& packet, FormatContext& ctx) const -> decltype(ctx.out())
    {
        const QByteArray text = packet.indentedJsonText();
        return fmt::formatter<fmt::string_view>::format(
            fmt::string_view(text.constData(), static_cast<size_t>(text.size())), ctx);
    }
};
