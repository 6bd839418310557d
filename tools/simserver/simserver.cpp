#include "simserver.h"

#include "audioinputpresencechangeeventpacket.h"
#include "datacorebase.h"
#include "datacorepacket.h"
#include "eyehistogramdata.h"
#include "forgetsession.h"
#include "ipinterfaceseventpacket.h"
#include "iprxeventpacket.h"
#include "iptxeventpacket.h"
#include "metersdata.h"
#include "ptpeventpacket.h"
#include "referencelockingeventpacket.h"
#include "restapirequesteventpacket.h"
#include "scte104eventpacket.h"
#include "sdiinputratechangeeventpacket.h"
#include "sdiinputvideostandardchangeeventpacket.h"
#include "sdijitteralignmentrangeconformanceeventpacket.h"
#include "sdijittertimingrangeconformanceeventpacket.h"
#include "sequencepackagedlogpacket.h"
#include "sfpeventpacket.h"
#include "simclientsession.h"
#include "vqlog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace {

const QString UPTIME_PATH = QStringLiteral("statusCoreRouter/systemStatus/uptimeSeconds");
const QString TEMPERATURE_PATH = QStringLiteral("statusCoreRouter/systemStatus/boardTemperature");

// Measurement traffic: 16-channel PPM meters and a vertical eye histogram in turn.
std::unique_ptr<RawDataPacket> measurementForTick(quint32 tick)
{
    if (tick % 2 == 0) {
        QVector<PpmMetersData::Reading> readings;
        for (int channel = 0; channel < 16; ++channel) {
            PpmMetersData::Reading reading;
            reading.channel = qint8(channel);
            reading.field2 = channel / 2;
            reading.field3 = channel % 2;
            reading.field4 = 1;
            reading.value = -18.0f - float((tick + quint32(channel)) % 24);
            readings.append(reading);
        }
        return std::make_unique<PpmMetersData>(readings, 0, qint32(tick), 1);
    }
    QVector<qint32> bins(256);
    for (int bin = 0; bin < bins.size(); ++bin)
        bins[bin] = qint32((bin * 37 + int(tick)) % 1000);
    return std::make_unique<EyeVerticalHistogramData>(bins);
}

template <typename Event>
std::unique_ptr<LogSerialisableDataPacket> makeEvent(const QJsonObject& members)
{
    auto event = std::make_unique<Event>();
    for (auto it = members.constBegin(); it != members.constEnd(); ++it)
        event->jsonObject().insert(it.key(), it.value());
    return event;
}

// Every event class in turn, with members that vary with the tick.
std::unique_ptr<LogSerialisableDataPacket> eventForTick(quint32 tick)
{
    const int step = int(tick / 13);
    switch (tick % 13) {
    case 0:
        return makeEvent<SdiInputRateChangeEventPacket>({{"channel", step % 5}, {"rate", step % 7}});
    case 1: {
        static const char* const standards[] = {"1080p50", "2160p59.94", "720p60", "1080i59.94"};
        return makeEvent<SdiInputVideoStandardChangeEventPacket>({{"standard", standards[step % 4]}});
    }
    case 2:
        return makeEvent<SdiJitterAlignmentRangeConformanceEventPacket>(
            {{"alignement_jitter_status", step % 2 == 0}, {"alignment_jitter_value", 0.05 + 0.01 * (step % 30)}});
    case 3:
        return makeEvent<SdiJitterTimingRangeConformanceEventPacket>(
            {{"alignement_jitter_status", step % 3 != 0}, {"timing_jitter_value", 0.5 + 0.25 * (step % 12)}});
    case 4:
        return makeEvent<ReferenceLockingEventPacket>(
            {{"reference_standard", step % 2 ? "Black burst 625i50" : "Tri-level 1080p50"}});
    case 5:
        return makeEvent<RestApiRequestEventPacket>(
            {{"rest_method", "GET"}, {"rest_resource", "/api/v1/status"}, {"rest_address", "127.0.0.1"}});
    case 6:
        return makeEvent<IpTxEventPacket>({{"Ip_Tx", QStringLiteral("Transmitter %1 started").arg(step % 4 + 1)}});
    case 7:
        return makeEvent<IpRxEventPacket>({{"Ip_Rx", QStringLiteral("Receiver %1 joined 239.1.1.%2").arg(step % 4 + 1).arg(step % 200 + 1)}});
    case 8:
        return makeEvent<IpInterfacesEventPacket>({{"Ip_Interfaces", step % 2 ? "Media port 1 link up" : "Media port 1 link down"}});
    case 9:
        return makeEvent<SfpEventPacket>({{"Sfp", step % 2 ? "SFP A inserted" : "SFP A removed"}});
    case 10:
        return makeEvent<AudioInputPresenceChangeEventPacket>({{"audio_in_presence", "AES 1-4 present"}});
    case 11:
        return std::make_unique<PtpEventPacket>(QStringLiteral("PTP locked to grandmaster"), QDateTime::currentDateTime());
    default:
        return makeEvent<SCTE104EventPacket>({{"SCTE104", "splice_request_data: out of network"}});
    }
}

// The first connection is recorded to the file given, connection n to
// "name-n.suffix" beside it.
QString recordFileName(const QString& fileName, int connection)
{
    if (connection <= 1)
        return fileName;
    const QFileInfo info(fileName);
    const QString name = info.suffix().isEmpty()
        ? QStringLiteral("%1-%2").arg(info.fileName()).arg(connection)
        : QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(connection).arg(info.suffix());
    return info.dir().filePath(name);
}

} // namespace

SimServer::SimServer(const SimServerOptions& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_distributor(this)
    , m_listener(this)
{
    m_distributor.registerPacketAcceptor(this, DatacorePacket::CLASS_NAME);
    connect(&m_listener, &QTcpServer::newConnection, this, &SimServer::onNewConnection);
    connect(&m_eventTimer, &QTimer::timeout, this, &SimServer::onEventTimer);
    connect(&m_presetTimer, &QTimer::timeout, this, &SimServer::onPresetTimer);
    connect(&m_measurementTimer, &QTimer::timeout, this, &SimServer::onMeasurementTimer);
    connect(&m_statusTimer, &QTimer::timeout, this, &SimServer::onStatusTimer);
}

SimServer::~SimServer()
{
    // Sessions first: their connections must not deliver into a half-destroyed server.
    for (SimClientSession* session : m_sessions)
        delete session;
}

bool SimServer::loadTree(QString* error)
{
    const QString fileName = m_options.treeFile.isEmpty() ? QStringLiteral(":/simserver/defaulttree.json")
                                                          : m_options.treeFile;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1: not JSON: %2 at byte %3").arg(fileName, parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("%1: the top level must be an object with one key per router").arg(fileName);
        return false;
    }
    if (!m_tree.load(document.object(), error)) {
        *error = fileName + QStringLiteral(": ") + *error;
        return false;
    }
    if (m_options.syntheticDatacores > 0)
        m_tree.addSyntheticDatacores(m_options.syntheticDatacores);
    if (m_options.serialNumber >= 0) {
        if (DatacoreBase* serial = m_tree.datacore(ServerDatacoreTree::SERIAL_NUMBER_PATH)) {
            serial->setDataString(QString::number(m_options.serialNumber));
            serial->resetChangeState();
        }
    }
    return true;
}

bool SimServer::start(QString* error)
{
    if (!m_listener.listen(QHostAddress(QHostAddress::LocalHost), m_options.port)) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(m_options.port).arg(m_listener.errorString());
        return false;
    }
    startTimer(m_eventTimer, m_options.eventRate);
    startTimer(m_presetTimer, m_options.presetRate);
    startTimer(m_measurementTimer, m_options.measurementRate);
    startTimer(m_statusTimer, m_options.statusRate);
    VqLog::info("vq_simserver listening on 127.0.0.1:{} with {} datacores", port(), m_tree.count());
    return true;
}

void SimServer::startTimer(QTimer& timer, double rate)
{
    if (rate > 0)
        timer.start(std::max(1, int(1000.0 / rate)));
}

void SimServer::onNewConnection()
{
    while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
        auto* session = new SimClientSession(socket, m_tree, m_options, this);
        connect(session, &SimClientSession::finished, this, &SimServer::onSessionFinished, Qt::QueuedConnection);
        m_sessions.push_back(session);
        VqLog::info("Client {} connected", session->identifier());
        ++m_connectionCount;
        if (!m_options.recordFile.isEmpty()) {
            const QString fileName = recordFileName(m_options.recordFile, m_connectionCount);
            QString error;
            if (session->recordTo(fileName, &error))
                VqLog::info("Recording what client {} is sent to {}", session->identifier(), fileName);
            else
                VqLog::error("Not recording client {}: {}", session->identifier(), error);
        }
        session->start();
    }
}

void SimServer::onSessionFinished(SimClientSession* session)
{
    forgetSession(m_sessions, session);
}

bool SimServer::canAcceptPacket(QString className)
{
    return className == DatacorePacket::CLASS_NAME;
}

void SimServer::acceptPacket(const SerialisableDataPacket& packet)
{
    const DatacorePacket change(packet);
    const QString path = change.path();
    if (!m_tree.applyClientChange(path, change.datacore())) {
        VqLog::warn("Refused a change of {} from {}: no such datacore", path, change.clientId());
        return;
    }
    const QJsonObject result = m_tree.datacoreJson(path);
    VqLog::info("{} set {}: {}", change.clientId(), path, QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact)));

    const SimClientSession* sender = nullptr;
    for (SimClientSession* session : m_sessions) {
        if (change.hasClientId() && session->identifier() == change.clientId()) {
            sender = session;
            session->send(DatacorePacket(change.clientId(), change.packetId(), result, path));
        }
    }
    broadcast(DatacorePacket(result, path), sender);
}

void SimServer::broadcast(const SerialisableDataPacket& packet, const SimClientSession* except)
{
    for (SimClientSession* session : m_sessions) {
        if (session != except)
            session->send(packet);
    }
}

void SimServer::broadcastDatacore(const QString& path)
{
    broadcast(DatacorePacket(m_tree.datacoreJson(path), path));
}

void SimServer::onEventTimer()
{
    std::unique_ptr<LogSerialisableDataPacket> event = eventForTick(m_eventCount++);
    event->setDateTime(QDateTime::currentDateTime());
    SequencePackagedLogPacket carrier;
    carrier.setLogPacket(*event);
    broadcast(carrier);
}

void SimServer::onPresetTimer()
{
    const bool inventory = (m_presetCount++ % 2) != 0;
    SerialisableDataPacket preset(inventory ? QStringLiteral("PresetInventory") : QStringLiteral("ClientPresetCollection"));
    preset.jsonObject().insert(QStringLiteral("Presets"),
                               QJsonArray{QStringLiteral("Factory default"), QStringLiteral("Studio A"),
                                          QStringLiteral("Outside broadcast")});
    broadcast(preset);
}

void SimServer::onMeasurementTimer()
{
    const std::unique_ptr<RawDataPacket> frame = measurementForTick(m_frameCount++);
    for (SimClientSession* session : m_sessions)
        session->sendPeriodic(*frame);
}

void SimServer::onStatusTimer()
{
    ++m_statusCount;
    if (DatacoreBase* uptime = m_tree.datacore(UPTIME_PATH)) {
        uptime->setDataString(QString::number(uptime->firstDataString().toLongLong() + 1));
        uptime->resetChangeState();
        broadcastDatacore(UPTIME_PATH);
    }
    if (DatacoreBase* temperature = m_tree.datacore(TEMPERATURE_PATH)) {
        temperature->setDataString(QString::number(41.5 + double(m_statusCount % 7) * 0.25, 'f', 2));
        temperature->resetChangeState();
        broadcastDatacore(TEMPERATURE_PATH);
    }
}
