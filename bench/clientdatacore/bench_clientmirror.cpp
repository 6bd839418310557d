// The client mirror at the size of a large server: a path tree of 100 000
// datacores arrives over a loopback connection and populates the registry;
// datacore packets for random datacores, then for a hot set of 1 000, are
// applied through the same connection and compared with bare JSON parsing of
// the same payloads, and once more as packets parsed beforehand; then the
// registry is cleared as on a lost connection.

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "datacorepacket.h"
#include "datacorevalidstatusmessage.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"
#include "vqclientdatacoremanager.h"
#include "vqlog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTcpServer>
#include <QTcpSocket>

#include <spdlog/sinks/null_sink.h>

#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

constexpr int DATACORE_COUNT = 100000;
constexpr int APPLY_FRAMES = 50000;
constexpr int HOT_DATACORES = 1000;
constexpr int FRAMES_PER_WRITE = 64;
const char* const ROUTERS[] = {"configCoreRouter", "statusCoreRouter", "commandCoreRouter",
                               "persistentConfigCoreRouter"};
const char* const TREE_KEYS[] = {"ConfigTreeObject", "StatusTreeObject", "CommandTreeObject",
                                 "PersistentConfigTreeObject"};
// Children per node at each depth below the router: wide near the top, as in
// a server's trees of subsystems, channels and settings.
const int FANOUT[] = {0, 40, 24, 12, 8, 6};

struct Node
{
    QString name;
    std::map<int, Node> kids;
};

class Generator
{
public:
    QString name()
    {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        const int length = 8 + int(m_random() % 23);
        QString text(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            text[i] = QLatin1Char(letters[m_random() % 62]);
        return text;
    }
    unsigned next(unsigned bound) { return unsigned(m_random() % bound); }

private:
    std::mt19937 m_random{20261205};
};

// Random paths of 3 to 6 segments, inserted into four trees until they hold count nodes.
std::vector<Node> buildTrees(Generator& generator, int count)
{
    std::vector<Node> roots(4);
    for (int i = 0; i < 4; ++i)
        roots[size_t(i)].name = QLatin1String(ROUTERS[i]);
    int nodes = 4;
    while (nodes < count) {
        Node* node = &roots[generator.next(4)];
        const int depth = 3 + int(generator.next(4));
        for (int level = 1; level < depth && nodes < count; ++level) {
            auto inserted = node->kids.emplace(int(generator.next(unsigned(FANOUT[level]))), Node());
            if (inserted.second) {
                inserted.first->second.name = generator.name();
                ++nodes;
            }
            node = &inserted.first->second;
        }
    }
    return roots;
}

QJsonObject treeJson(const Node& node)
{
    QJsonObject object{{"Core", node.name}};
    if (node.kids.empty())
        return object;
    QJsonArray kids;
    for (const auto& kid : node.kids)
        kids.append(treeJson(kid.second));
    object.insert("Kids", kids);
    return object;
}

void collectPaths(const Node& node, const QString& prefix, std::vector<std::pair<QString, QString>>& paths)
{
    const QString path = prefix + node.name;
    paths.emplace_back(path, node.name);
    for (const auto& kid : node.kids)
        collectPaths(kid.second, path + QLatin1Char('/'), paths);
}

QByteArray frame(const SerialisableDataPacket& packet)
{
    const QByteArray payload = packet.payloadBytes();
    return headerBytes(packet, payload) + payload;
}

// A datacore as the server sends it: data, class and both lists of reasons.
DatacorePacket serverPacket(const QString& path, const QString& name, const QJsonValue& data, bool warning)
{
    QJsonArray invalid;
    if (warning)
        invalid.append(DatacoreValidStatusMessage(1, 26).toJson());
    const QJsonObject inner{{"data", data},
                            {"class", "DatacoreString"},
                            {"reasonsForBeingInvalid", invalid},
                            {"reasonsForBeingInactive", QJsonArray()}};
    return DatacorePacket(QJsonObject{{name, inner}}, path);
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

long residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Freed heap is handed back first, so that only live memory is counted.
long liveResidentBytes()
{
    malloc_trim(0);
    return residentBytes();
}

size_t heapBytes()
{
    return mallinfo2().uordblks;
}

template <typename Done>
bool runUntil(Done done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

void print(const char* name, double value, const char* unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
}

// Adds up the CPU time spent in socket notifications, which is where a
// received frame is read, cut, parsed and applied.
class BenchApplication : public QCoreApplication
{
public:
    using QCoreApplication::QCoreApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (event->type() != QEvent::SockAct)
            return QCoreApplication::notify(receiver, event);
        const double start = threadCpuMs();
        const bool handled = QCoreApplication::notify(receiver, event);
        socketCpuMs += threadCpuMs() - start;
        return handled;
    }

    double socketCpuMs = 0;
};

} // namespace

int main(int argc, char** argv)
{
    BenchApplication application(argc, argv);
    // Messages are formatted as in the program but go nowhere.
    spdlog::register_logger(std::make_shared<spdlog::logger>(VQ_LOGGER_NAME, std::make_shared<spdlog::sinks::null_sink_mt>()));

    Generator generator;
    const std::vector<Node> roots = buildTrees(generator, DATACORE_COUNT);
    SerialisableDataPacket treePacket(QStringLiteral("DatacorePathRadixTreePacket"));
    for (int i = 0; i < 4; ++i)
        treePacket.jsonObject().insert(QLatin1String(TREE_KEYS[i]), treeJson(roots[size_t(i)]));
    const QByteArray treeFrame = frame(treePacket);
    std::vector<std::pair<QString, QString>> paths;
    for (const Node& root : roots)
        collectPaths(root, QString(), paths);

    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    NetworkConnection connection;
    SerialisableDataPacketDistributor distributor;
    VqClientDatacoreManager manager(&connection, &distributor);
    ClientDatacoreRegistry* registry = manager.registry();
    if (!connection.connectToHost(QHostAddress(QHostAddress::LocalHost), server.serverPort())
        || !server.waitForNewConnection(5000)) {
        std::fprintf(stderr, "no loopback connection\n");
        return 1;
    }
    QTcpSocket* peer = server.nextPendingConnection();

    const long rssBefore = liveResidentBytes();
    const size_t heapBefore = heapBytes();
    bool populated = false;
    QObject::connect(registry, &ClientDatacoreRegistry::registryHasBeenPopulated, [&] { populated = true; });
    QElapsedTimer timer;
    timer.start();
    const double populateCpuStart = threadCpuMs();
    peer->write(treeFrame);
    if (!runUntil([&] { return populated; }))
        return 1;
    const double populateMs = double(timer.nsecsElapsed()) / 1e6;
    const double populateCpuMs = threadCpuMs() - populateCpuStart;
    const long rssAfter = liveResidentBytes();
    const size_t heapAfter = heapBytes();
    const int count = registry->count();
    print("tree_frame_size", double(treeFrame.size()) / 1024.0, "KiB");
    std::printf("populate_datacores %d datacores\n", count);
    print("populate_time", populateMs, "ms");
    print("populate_cpu_time", populateCpuMs, "ms");
    print("populate_rss_per_datacore", double(rssAfter - rssBefore) / count, "bytes");
    print("populate_heap_per_datacore", double(heapAfter - heapBefore) / count, "bytes");

    // Frames for datacores picked by pick(); each one changes the datacore it names.
    struct Workload
    {
        std::vector<QByteArray> frames;
        std::vector<QByteArray> texts;
        std::set<QString> targets;
    };
    const auto makeWorkload = [&](const std::function<const std::pair<QString, QString>&()>& pick) {
        Workload workload;
        workload.frames.reserve(APPLY_FRAMES);
        workload.texts.reserve(APPLY_FRAMES);
        for (int i = 0; i < APPLY_FRAMES; ++i) {
            const auto& target = pick();
            workload.targets.insert(target.first);
            const QJsonValue data = i % 4 == 0 ? QJsonValue(QJsonArray{QString::number(i), QStringLiteral("on")})
                                               : QJsonValue(QString::number(i));
            const DatacorePacket packet = serverPacket(target.first, target.second, data, i % 8 == 0);
            workload.frames.push_back(frame(packet));
            workload.texts.push_back(packet.jsonText());
        }
        return workload;
    };
    int updates = 0;
    std::set<ClientDatacore*> counted;
    // Writes in slices that stay below the connection's buffer limit, each
    // once the previous one has been applied.
    const auto sendAll = [&](const std::vector<QByteArray>& all) {
        updates = 0;
        const int total = int(all.size());
        for (int first = 0; first < total; first += FRAMES_PER_WRITE) {
            const int last = std::min(total, first + FRAMES_PER_WRITE);
            QByteArray batch;
            for (int i = first; i < last; ++i)
                batch += all[size_t(i)];
            peer->write(batch);
            peer->flush();
            if (!runUntil([&] { return updates >= last; }))
                return false;
        }
        return true;
    };
    const auto initialPacket = [](const QString& target) {
        return serverPacket(target, target.section(QLatin1Char('/'), -1), QJsonArray{"-", "-"}, false);
    };
    const auto parsed = [](const std::vector<QByteArray>& all) {
        std::vector<SerialisableDataPacket> packets;
        packets.reserve(all.size());
        for (const QByteArray& text : all)
            packets.emplace_back(text, static_cast<QJsonParseError*>(nullptr));
        return packets;
    };
    struct Figures
    {
        double wallMs = 0;
        double cpuMs = 0;
        double notificationCpuMs = 0;
        double fromJsonCpuMs = 0;
        double preParsedCpuMs = 0;
    };
    // Applied through the connection, parsed alone, and applied once more as
    // packets parsed beforehand.
    const auto measure = [&](const Workload& workload, Figures& figures) {
        for (const QString& target : workload.targets) {
            ClientDatacore* datacore = registry->lookupDatacore(target);
            if (counted.insert(datacore).second)
                QObject::connect(datacore, &ClientDatacore::datacoreUpdated, [&updates] { ++updates; });
        }
        // The initial synchronisation gives every datacore data, so the timed
        // frames measure updates rather than first values.
        std::vector<QByteArray> initial;
        for (const QString& target : workload.targets)
            initial.push_back(frame(initialPacket(target)));
        if (!sendAll(initial))
            return false;

        const double cpuStart = threadCpuMs();
        const double socketCpuStart = application.socketCpuMs;
        QElapsedTimer wall;
        wall.start();
        if (!sendAll(workload.frames))
            return false;
        figures.wallMs = double(wall.nsecsElapsed()) / 1e6;
        figures.cpuMs = threadCpuMs() - cpuStart;
        figures.notificationCpuMs = application.socketCpuMs - socketCpuStart;

        const double parseCpuStart = threadCpuMs();
        int parsedObjects = 0;
        for (const QByteArray& text : workload.texts)
            parsedObjects += QJsonDocument::fromJson(text).isObject() ? 1 : 0;
        figures.fromJsonCpuMs = threadCpuMs() - parseCpuStart;
        if (parsedObjects != APPLY_FRAMES)
            return false;

        // What the mirror costs when the JSON text is not read at all.
        std::vector<QByteArray> initialTexts;
        for (const QString& target : workload.targets)
            initialTexts.push_back(initialPacket(target).jsonText());
        for (const SerialisableDataPacket& packet : parsed(initialTexts))
            distributor.acceptPacket(packet);
        const std::vector<SerialisableDataPacket> packets = parsed(workload.texts);
        updates = 0;
        const double preParsedCpuStart = threadCpuMs();
        for (const SerialisableDataPacket& packet : packets)
            distributor.acceptPacket(packet);
        figures.preParsedCpuMs = threadCpuMs() - preParsedCpuStart;
        return updates == APPLY_FRAMES;
    };

    Figures random;
    if (!measure(makeWorkload([&]() -> const std::pair<QString, QString>& {
                     return paths[generator.next(unsigned(paths.size()))];
                 }),
                 random))
        return 1;
    std::printf("apply_frames %d frames\n", APPLY_FRAMES);
    print("apply_wall_per_frame", random.wallMs * 1e3 / APPLY_FRAMES, "us");
    // All work of the thread, the test server's writes and the event loop included.
    print("apply_cpu_per_frame", random.cpuMs * 1e3 / APPLY_FRAMES, "us");
    // From the read notification to datacoreUpdated.
    print("apply_notification_cpu_per_frame", random.notificationCpuMs * 1e3 / APPLY_FRAMES, "us");
    print("fromjson_cpu_per_frame", random.fromJsonCpuMs * 1e3 / APPLY_FRAMES, "us");
    std::printf("ratio_apply_vs_fromjson %.3f\n", random.fromJsonCpuMs / random.notificationCpuMs);
    print("apply_preparsed_cpu_per_frame", random.preParsedCpuMs * 1e3 / APPLY_FRAMES, "us");
    // The best the ratio could be with a JSON reader that cost nothing.
    std::printf("ratio_preparsed_vs_fromjson %.3f\n", random.fromJsonCpuMs / random.preParsedCpuMs);

    // Updates confined to a few datacores that stay in the cache, as when a
    // server keeps refreshing the same status values.
    std::vector<size_t> hotSet;
    for (int i = 0; i < HOT_DATACORES; ++i)
        hotSet.push_back(generator.next(unsigned(paths.size())));
    Figures hot;
    if (!measure(makeWorkload([&]() -> const std::pair<QString, QString>& {
                     return paths[hotSet[generator.next(unsigned(hotSet.size()))]];
                 }),
                 hot))
        return 1;
    std::printf("hot_datacores %d datacores\n", HOT_DATACORES);
    print("hot_apply_notification_cpu_per_frame", hot.notificationCpuMs * 1e3 / APPLY_FRAMES, "us");
    print("hot_fromjson_cpu_per_frame", hot.fromJsonCpuMs * 1e3 / APPLY_FRAMES, "us");
    std::printf("ratio_hot_apply_vs_fromjson %.3f\n", hot.fromJsonCpuMs / hot.notificationCpuMs);
    print("hot_apply_preparsed_cpu_per_frame", hot.preParsedCpuMs * 1e3 / APPLY_FRAMES, "us");
    std::printf("ratio_hot_preparsed_vs_fromjson %.3f\n", hot.fromJsonCpuMs / hot.preParsedCpuMs);

    bool cleared = false;
    QObject::connect(registry, &ClientDatacoreRegistry::registryHasBeenCleared, [&] { cleared = true; });
    timer.restart();
    const double teardownCpuStart = threadCpuMs();
    emit connection.disconnectedFromHost();
    // The datacores themselves go once control is back in the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const double teardownCpuMs = threadCpuMs() - teardownCpuStart;
    const double teardownMs = double(timer.nsecsElapsed()) / 1e6;
    print("teardown_time", teardownMs, "ms");
    print("teardown_cpu_time", teardownCpuMs, "ms");
    return cleared && registry->isEmpty() ? 0 : 1;
}
