// Feeds arbitrary bytes as a received stream through the framing loop and the
// distributor, once whole and once cut into chunks, and checks that both give
// the same packets and leave the same bytes waiting. The first input byte
// seeds the chunk sizes; the rest is the stream.

#include "datacorepacket.h"
#include "incomingframebuffer.h"
#include "serialisabledatapacketdistributor.h"
#include "vqlog.h"

#include <spdlog/sinks/null_sink.h>

#include <cstddef>
#include <cstdint>

namespace {

// Works each packet the way acceptors of the program do, and notes it.
class ProbingAcceptor : public SerialisableDataPacketAcceptorInterface
{
public:
    bool canAcceptPacket(QString className) override { return className != QLatin1String("Refused"); }

    void acceptPacket(const SerialisableDataPacket& packet) override
    {
        const DatacorePacket datacore(packet);
        bool ok = false;
        const SerialisableDataPacket inner = SerialisableDataPacket::extractPacket(packet, QStringLiteral("Packet"), &ok);
        const auto list = packet.extractPacketArray(QStringLiteral("Packets"), &ok);
        VqLog::info("{} {} {} {} {}", datacore.path(), datacore.packetId(), datacore.clientId(), inner.className(),
                    int(list.size()));
        VqLog::info("{}", packet);
        received.append(packet.payloadBytes());
    }

    QList<QByteArray> received;
};

void installLogger()
{
    if (!spdlog::get(VQ_LOGGER_NAME)) {
        auto logger = std::make_shared<spdlog::logger>(VQ_LOGGER_NAME, std::make_shared<spdlog::sinks::null_sink_mt>());
        logger->set_level(spdlog::level::info);
        spdlog::register_logger(logger);
    }
}

struct Outcome
{
    QList<QByteArray> received;
    QByteArray waiting;
};

template <typename Feed>
Outcome run(Feed feed)
{
    SerialisableDataPacketDistributor distributor;
    ProbingAcceptor acceptor;
    distributor.registerPacketAcceptor(&acceptor, std::deque<QString>{"DatacorePacket", "", "A", "Refused"});
    IncomingFrameBuffer buffer;
    feed(buffer);
    return {acceptor.received, buffer.bufferedBytes()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > size_t(IncomingFrameBuffer::MaxBufferedBytes))
        return 0;
    installLogger();
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), int(size - 1));
    quint32 state = data[0] | 0x100u;

    const Outcome whole = run([&](IncomingFrameBuffer& buffer) { buffer.receive(stream); });
    const Outcome chunked = run([&](IncomingFrameBuffer& buffer) {
        for (int at = 0; at < stream.size();) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int chunk = 1 + int(state % 97u);
            buffer.receive(stream.mid(at, chunk));
            at += chunk;
        }
    });
    if (whole.received != chunked.received || whole.waiting != chunked.waiting)
        __builtin_trap();
    return 0;
}
