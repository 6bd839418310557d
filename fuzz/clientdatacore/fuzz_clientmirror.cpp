// The client mirror fed from arbitrary bytes. The input is split at zero
// bytes: the first piece is the path tree packet's JSON; each later piece is
// an operation chosen by its first byte, with the rest as its argument:
//   0  a JSON packet of any class, through the distributor
//   1  a JSON object delivered as a "DatacorePacket"
//   2  a local change: the datacore picked by the next byte takes the rest,
//      split at commas (its own packets carry this client's identifier)
//   3  a lost connection, then the same tree again
//   4  a look-up request by path
// The registry is cleared at the end, as on a lost connection.

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"
#include "vqclientdatacoremanager.h"
#include "vqlog.h"

#include <QJsonDocument>

#include <sanitizer/lsan_interface.h>
#include <spdlog/sinks/null_sink.h>

#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

// Qt 5.15's parser loses the earlier value of a repeated key when that value
// is an object or an array (the instrument's Qt parses differently). That leak
// is Qt's own, so what the parser allocates is not counted; everything the
// mirror allocates afterwards still is.
QJsonObject parse(const QByteArray& json)
{
    __lsan_disable();
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    __lsan_enable();
    return object;
}

SerialisableDataPacket packetWithClass(const QByteArray& json, const QString& className)
{
    SerialisableDataPacket packet(parse(json));
    packet.jsonObject().insert(QStringLiteral("Class"), className);
    return packet;
}

void localChange(ClientDatacoreRegistry& registry, const QByteArray& argument)
{
    const QStringList paths = registry.paths();
    if (paths.isEmpty() || argument.isEmpty())
        return;
    ClientDatacore* datacore = registry.lookupDatacore(paths.at(uchar(argument.at(0)) % paths.size()));
    datacore->setDataStringList(QString::fromUtf8(argument.mid(1)).split(QLatin1Char(',')));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Log lines are formatted as in the program, then dropped.
    spdlog::register_logger(
        std::make_shared<spdlog::logger>(VQ_LOGGER_NAME, std::make_shared<spdlog::sinks::null_sink_mt>()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > size_t(INT_MAX))
        return 0;
    const QList<QByteArray> pieces =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)).split('\0');

    NetworkConnection connection;
    SerialisableDataPacketDistributor distributor;
    VqClientDatacoreManager manager(&connection, &distributor);
    ClientDatacoreRegistry& registry = *manager.registry();

    const SerialisableDataPacket tree = packetWithClass(pieces.at(0), QStringLiteral("DatacorePathRadixTreePacket"));
    distributor.acceptPacket(tree);
    for (int i = 1; i < pieces.size(); ++i) {
        const QByteArray& piece = pieces.at(i);
        if (piece.isEmpty())
            continue;
        const QByteArray argument = piece.mid(1);
        switch (uchar(piece.at(0)) % 5) {
        case 0:
            distributor.acceptPacket(SerialisableDataPacket(parse(argument)));
            break;
        case 1:
            distributor.acceptPacket(packetWithClass(argument, QStringLiteral("DatacorePacket")));
            break;
        case 2:
            localChange(registry, argument);
            break;
        case 3:
            emit connection.disconnectedFromHost();
            distributor.acceptPacket(tree);
            break;
        default:
            registry.requestLookupDatacoreFromPath(QString::fromUtf8(argument));
            break;
        }
    }
    emit connection.disconnectedFromHost();
    return 0;
}
