#include "measurementpacketfactory.h"
#include "metersdata.h"
#include "pithistogrampacket.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <vector>

// Decoding throughput of a 16-channel audio meter packet and a PIT histogram,
// from the received frame to the packet object (what the connection does per
// frame), against a plain copy of the same bytes.
namespace {

constexpr qint64 MINIMUM_NANOSECONDS = 500 * 1000 * 1000;

QByteArray frameOf(const RawDataPacket& packet)
{
    const QByteArray payload = packet.payloadBytes();
    return headerBytes(packet, payload) + payload;
}

QByteArray meterFrame()
{
    QVector<MeterReading<float>> readings;
    for (int channel = 0; channel < 16; ++channel)
        readings.append({qint8(channel), channel / 2, 1, 0, -18.0f + float(channel) * 0.75f});
    return frameOf(PpmMetersData(readings, 1, 0, 48000));
}

QByteArray pitFrame()
{
    PitHistogramPacket::Values values;
    for (int bin = 0; bin < PitHistogramPacket::BIN_COUNT; ++bin)
        values.bins[std::size_t(bin)] = (bin * 7919) % 1000;
    values.address1 = {false, 0xC0A80A01};
    values.address2 = {false, 0xEF000001};
    return frameOf(VideoPitHistogramPacket(values));
}

// Nanoseconds per call of work, over batches until the minimum time has passed.
template <typename Work>
double nanosecondsPerCall(Work work)
{
    QElapsedTimer timer;
    timer.start();
    qint64 calls = 0;
    while (timer.nsecsElapsed() < MINIMUM_NANOSECONDS) {
        for (int i = 0; i < 1000; ++i)
            work();
        calls += 1000;
    }
    return double(timer.nsecsElapsed()) / double(calls);
}

void report(const char* name, const QByteArray& frame)
{
    const RawDataPacketHeader header = readHeader(frame);
    volatile quint16 sink = 0;
    const double decode = nanosecondsPerCall([&] { sink = createMeasurementPacket(frame, header)->packetType(); });

    std::vector<char> buffer(std::size_t(frame.size()));
    const double copy = nanosecondsPerCall([&] {
        std::memcpy(buffer.data(), frame.constData(), buffer.size());
        sink = quint16(buffer[std::size_t(frame.size() / 2)]);
    });

    const double megabytes = double(frame.size()) / 1e6;
    std::printf("%s_frame_size %d bytes\n", name, frame.size());
    std::printf("%s_decode_rate %.0f packets/s\n", name, 1e9 / decode);
    std::printf("%s_decode_throughput %.1f MB/s\n", name, megabytes * 1e9 / decode);
    std::printf("%s_copy_rate %.0f packets/s\n", name, 1e9 / copy);
    std::printf("%s_copy_throughput %.1f MB/s\n", name, megabytes * 1e9 / copy);
    std::printf("ratio_%s_decode_time_over_copy %.1f\n", name, decode / copy);
}

} // namespace

int main()
{
    report("meters16", meterFrame());
    report("pit", pitFrame());
    return 0;
}
