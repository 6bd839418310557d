// Throughput of the framing loop against baselines that do only the
// unavoidable work: a socket reader that discards what it reads, and the JSON
// parser alone. A writer thread streams prepared bytes over loopback TCP so
// that the reader's event loop does nothing but read.

#include "datacorepacket.h"
#include "incomingframebuffer.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr int MEASUREMENT_FRAME_SIZE = 1024;
constexpr int MEASUREMENT_CHUNK_FRAMES = 1024;
constexpr int MEASUREMENT_CHUNKS = 256; // 256 MiB per run
constexpr int JSON_DISTINCT_PACKETS = 1000;
constexpr int JSON_REPEATS = 100;
constexpr int RUNS = 5;

// Hands the accepted descriptor to the writer instead of wrapping it in a socket.
class DescriptorServer : public QTcpServer
{
public:
    qintptr descriptor = -1;

protected:
    void incomingConnection(qintptr socketDescriptor) override { descriptor = socketDescriptor; }
};

void writeAll(int descriptor, const QByteArray& chunk, int repeats)
{
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    for (int repeat = 0; repeat < repeats; ++repeat) {
        const char* data = chunk.constData();
        size_t left = size_t(chunk.size());
        while (left > 0) {
            const ssize_t written = ::send(descriptor, data, left, MSG_NOSIGNAL);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return;
            data += written;
            left -= size_t(written);
        }
    }
    ::shutdown(descriptor, SHUT_WR);
}

// Streams chunk repeats times to a reader that connect() attaches to the
// server's port; returns the seconds until the reader ends the loop.
double stream(const QByteArray& chunk, int repeats, const std::function<void(quint16, QEventLoop&)>& connect)
{
    DescriptorServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QEventLoop loop;
    connect(server.serverPort(), loop);
    if (!server.waitForNewConnection(2000)) {
        std::fprintf(stderr, "no connection\n");
        std::exit(1);
    }
    const int descriptor = int(server.descriptor);
    QElapsedTimer clock;
    clock.start();
    std::thread writer(writeAll, descriptor, std::cref(chunk), repeats);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    writer.join();
    ::close(descriptor);
    return seconds;
}

QByteArray frameOf(const RawDataPacket& packet)
{
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    writePacket(packet, &device);
    return device.data();
}

QByteArray measurementFrame()
{
    const int payloadLength = MEASUREMENT_FRAME_SIZE - RawDataPacketHeader::SIZE;
    QByteArray frame = QByteArray::fromHex("10130000");
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.append(char((payloadLength >> shift) & 0xFF));
    return frame + QByteArray(payloadLength, '\x5A');
}

double best(const std::function<double()>& run)
{
    double fastest = run();
    for (int round = 1; round < RUNS; ++round)
        fastest = std::min(fastest, run());
    return fastest;
}

// Fastest of each, run in turns so that a busy spell on the machine hits both.
std::pair<double, double> bestInTurns(const std::function<double()>& measured, const std::function<double()>& baseline)
{
    std::pair<double, double> fastest(1e9, 1e9);
    for (int round = 0; round < RUNS; ++round) {
        fastest.first = std::min(fastest.first, measured());
        fastest.second = std::min(fastest.second, baseline());
    }
    return fastest;
}

void measurementFrames()
{
    const QByteArray chunk = measurementFrame().repeated(MEASUREMENT_CHUNK_FRAMES);
    const double megabytes = double(chunk.size()) * MEASUREMENT_CHUNKS / 1e6;

    double framed = 0;
    double plain = 0;
    std::tie(framed, plain) = bestInTurns(
        [&] {
            NetworkConnection connection;
            return stream(chunk, MEASUREMENT_CHUNKS, [&](quint16 port, QEventLoop& loop) {
                QObject::connect(&connection, &NetworkConnection::disconnectedFromHost, &loop, &QEventLoop::quit);
                connection.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
            });
        },
        [&] {
            QTcpSocket socket;
            return stream(chunk, MEASUREMENT_CHUNKS, [&](quint16 port, QEventLoop& loop) {
                QObject::connect(&socket, &QIODevice::readyRead, [&] { socket.readAll(); });
                QObject::connect(&socket, &QAbstractSocket::disconnected, &loop, &QEventLoop::quit);
                socket.connectToHost(QHostAddress::LocalHost, port);
                socket.waitForConnected(500);
            });
        });
    std::printf("measurement_frames_connection %.1f MB/s\n", megabytes / framed);
    std::printf("measurement_frames_plain_socket %.1f MB/s\n", megabytes / plain);
    std::printf("ratio_measurement_frames %.3f\n", plain / framed);
}

class CountingAcceptor : public SerialisableDataPacketAcceptorInterface
{
public:
    bool canAcceptPacket(QString) override { return true; }
    void acceptPacket(const SerialisableDataPacket&) override
    {
        if (++count == target && onTarget)
            onTarget();
    }
    int count = 0;
    int target = 0;
    std::function<void()> onTarget;
};

void jsonFrames()
{
    QByteArray chunk;
    std::vector<QByteArray> texts;
    for (int index = 0; index < JSON_DISTINCT_PACKETS; ++index) {
        const QJsonObject datacore{
            {QStringLiteral("maxVersion%1").arg(index),
             QJsonObject{{"data", QString::number(index % 4)},
                         {"class", "DatacoreString"},
                         {"reasonsForBeingInvalid", QJsonArray()},
                         {"reasonsForBeingInactive", QJsonArray{QJsonObject{{"type", 0}, {"id", 12}}}}}}};
        const DatacorePacket packet(datacore,
                                    QStringLiteral("configCoreRouter/ethernet/port%1/igmp/maxVersion%1").arg(index));
        chunk += frameOf(packet);
        texts.push_back(packet.jsonText());
    }
    const int frames = JSON_DISTINCT_PACKETS * JSON_REPEATS;

    int objects = 0;
    double framed = 0;
    double parseOnly = 0;
    std::tie(framed, parseOnly) = bestInTurns([&] {
        SerialisableDataPacketDistributor distributor;
        CountingAcceptor acceptor;
        acceptor.target = frames;
        distributor.registerPacketAcceptor(&acceptor, DatacorePacket::CLASS_NAME);
        NetworkConnection connection;
        const double seconds = stream(chunk, JSON_REPEATS, [&](quint16 port, QEventLoop& loop) {
            acceptor.onTarget = [&loop] { loop.quit(); };
            connection.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        });
        return acceptor.count == frames ? seconds : 1e9;
    }, [&] {
        QElapsedTimer clock;
        clock.start();
        for (int repeat = 0; repeat < JSON_REPEATS; ++repeat) {
            for (const QByteArray& text : texts)
                objects += QJsonDocument::fromJson(text).isObject();
        }
        return double(clock.nsecsElapsed()) / 1e9;
    });
    if (objects != frames * RUNS)
        std::fprintf(stderr, "parse failed\n");

    // The same frames without the socket, in 64 KiB reads: what the framing
    // loop and distributor cost on top of the parser.
    const double inMemory = best([&] {
        SerialisableDataPacketDistributor distributor;
        CountingAcceptor acceptor;
        distributor.registerPacketAcceptor(&acceptor, DatacorePacket::CLASS_NAME);
        IncomingFrameBuffer buffer;
        QElapsedTimer clock;
        clock.start();
        for (int repeat = 0; repeat < JSON_REPEATS; ++repeat) {
            for (int at = 0; at < chunk.size(); at += 64 * 1024)
                buffer.receive(chunk.mid(at, 64 * 1024));
        }
        return double(clock.nsecsElapsed()) / 1e9;
    });
    std::printf("json_frames_in_memory %.0f frames/s\n", frames / inMemory);
    std::printf("json_frames_distributor %.0f frames/s\n", frames / framed);
    std::printf("json_parse_only %.0f frames/s\n", frames / parseOnly);
    std::printf("ratio_json_frames %.3f\n", parseOnly / framed);
}

double nanosecondsPerSmallFrame(int framesInBuffer)
{
    const QByteArray buffer = QByteArray::fromHex("1013000000000000").repeated(framesInBuffer);
    const int repeats = (32 * 1024 * 1024) / framesInBuffer;
    return best([&] {
        IncomingFrameBuffer frames;
        QElapsedTimer clock;
        clock.start();
        for (int repeat = 0; repeat < repeats; ++repeat)
            frames.receive(buffer);
        return double(clock.nsecsElapsed());
    }) / (double(repeats) * framesInBuffer);
}

void smallFrames()
{
    const double small = nanosecondsPerSmallFrame(1024);
    const double large = nanosecondsPerSmallFrame(16 * 1024);
    std::printf("small_frames_1k %.2f ns/frame\n", small);
    std::printf("small_frames_16k %.2f ns/frame\n", large);
    std::printf("ratio_small_frames_16k_to_1k %.3f\n", large / small);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // Optional arguments pick figures: measurement, json, small.
    const QStringList only = QCoreApplication::arguments().mid(1);
    if (only.isEmpty() || only.contains("measurement"))
        measurementFrames();
    if (only.isEmpty() || only.contains("json"))
        jsonFrames();
    if (only.isEmpty() || only.contains("small"))
        smallFrames();
    return 0;
}
