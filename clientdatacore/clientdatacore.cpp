#include "clientdatacore.h"

#include "datacorepacket.h"

#include <QMetaMethod>
#include <QMetaType>

#include <algorithm>
#include <type_traits>

namespace {

template <typename List, typename Convert>
QStringList toStrings(const List& values, Convert convert)
{
    QStringList strings;
    strings.reserve(values.size());
    for (const auto& value : values)
        strings.append(convert(value));
    return strings;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString doubleText(double value)
{
    return QString::number(value, 'g', 20);
}

template <typename Integer>
QString integerText(Integer value)
{
    if constexpr (std::is_signed<Integer>::value)
        return QString::number(static_cast<qlonglong>(value));
    else
        return QString::number(static_cast<qulonglong>(value));
}

template <typename Integer>
QStringList integerTexts(const QList<Integer>& values)
{
    return toStrings(values, integerText<Integer>);
}

} // namespace

ClientDatacore::ClientDatacore(const QString& className, const QString& name, DatacoreBase* parent,
                               const QString& fullPath)
    : DatacoreBase(className, name, parent)
    , m_fullPath(fullPath)
{
    registerMetaTypes();
}

ClientDatacore::~ClientDatacore() = default;

void ClientDatacore::registerMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<ClientDatacore*>("ClientDatacore*");
        qRegisterMetaType<QList<bool>>("QList<bool>");
        qRegisterMetaType<QList<int>>("QList<int>");
        qRegisterMetaType<QList<uint>>("QList<uint>");
        qRegisterMetaType<QList<double>>("QList<double>");
        return true;
    }();
    Q_UNUSED(registered)
}

bool ClientDatacore::applyDatacorePacket(const DatacorePacket& packet, bool answersOwnUpdate)
{
    if (answersOwnUpdate && packet.hasPacketId())
        return acknowledgeUpdate(packet.packetId(), packet.datacore());

    if (m_outstandingPacketIds.empty())
        emit datacoreInSyncWithServer();
    // Applied even while own changes are outstanding; only the in-sync signal waits.
    return applyServerJson(packet.datacore());
}

bool ClientDatacore::acknowledgeUpdate(int packetID, const QJsonObject& datacoreJson)
{
    const auto found = std::find(m_outstandingPacketIds.begin(), m_outstandingPacketIds.end(), packetID);
    if (found == m_outstandingPacketIds.end())
        return false;

    const auto answered = found - m_outstandingPacketIds.begin() + 1;
    if (answered > 1)
        emit lostPackets(int(answered));
    m_outstandingPacketIds.erase(m_outstandingPacketIds.begin(), found + 1);

    // Later local changes are still on their way; this answer would undo them locally.
    if (!m_outstandingPacketIds.empty())
        return false;

    emit datacoreInSyncWithServer();
    return applyServerJson(datacoreJson);
}

bool ClientDatacore::applyServerJson(const QJsonObject& datacoreJson)
{
    std::list<DatacoreJsonMessage> messages;
    return deserialise(QString(), datacoreJson, false, messages);
}

int ClientDatacore::nextPacketID()
{
    emit datacoreOutOfSyncWithServer();
    // Identifiers are handed out in increasing order, so the newest is the largest.
    const int identifier = m_outstandingPacketIds.empty() ? 0 : m_outstandingPacketIds.back() + 1;
    m_outstandingPacketIds.push_back(identifier);
    return identifier;
}

void ClientDatacore::onDatacoreChanged()
{
    populateConnectedGuiElements();
    if (changeState() == DatacoreChangeState::ChangedLocally) {
        const int identifier = nextPacketID();
        // The monitor is connected directly and sends while the state is still ChangedLocally.
        emit clientDatacoreHasUpdateForServer(identifier, this);
    }
    resetChangeState();
}

void ClientDatacore::calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& /*reasons*/)
{
}

void ClientDatacore::calculateReasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>& /*reasons*/)
{
}

void ClientDatacore::populateConnectedGuiElements()
{
    // Most datacores have no listener: then neither the messages nor the
    // copy of the data are made.
    static const QMetaMethod updated = QMetaMethod::fromSignal(&ClientDatacore::datacoreUpdated);
    if (signalsBlocked() || !isSignalConnected(updated))
        return;
    emit datacoreUpdated(data(), validationMessages(), isActive());
}

QStringList ClientDatacore::validationMessages() const
{
    std::list<DatacoreValidStatusMessage> invalidReasons;
    reasonsForBeingInvalid(invalidReasons);
    QStringList messages;
    for (const DatacoreValidStatusMessage& reason : invalidReasons) {
        QString prefix;
        switch (reason.type()) {
        case 0:
            prefix = tr("Info: ");
            break;
        case 1:
            prefix = tr("Warning: ");
            break;
        case 2:
            prefix = tr("Error: ");
            break;
        default:
            break;
        }
        messages.append(prefix + reason.text());
    }
    return messages;
}

QString ClientDatacore::joinValidationMessages(const QStringList& messages, bool* hasError, bool* hasWarning)
{
    const QString errorPrefix = tr("Error: ");
    const QString warningPrefix = tr("Warning: ");
    bool error = false;
    bool warning = false;
    for (const QString& message : messages) {
        if (message.startsWith(errorPrefix))
            error = true;
        else if (message.startsWith(warningPrefix))
            warning = true;
    }
    if (hasError)
        *hasError = error;
    if (hasWarning)
        *hasWarning = warning;
    return messages.join(QLatin1Char('\n'));
}

void ClientDatacore::setDataString(QString data)
{
    DatacoreBase::setDataString(data);
}

void ClientDatacore::setDataStringList(QStringList data)
{
    setData(data);
}

void ClientDatacore::setDataBool(bool data)
{
    DatacoreBase::setDataString(boolText(data));
}

void ClientDatacore::setDataBoolList(QList<bool> data)
{
    setData(toStrings(data, boolText));
}

void ClientDatacore::setDataInt(int data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataIntList(QList<int> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataUint(uint data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataUintList(QList<uint> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataInt16(int16_t data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataInt32(int32_t data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataInt64(int64_t data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataInt16List(QList<int16_t> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataInt32List(QList<int32_t> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataInt64List(QList<int64_t> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataUint16(uint16_t data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataUint32(uint32_t data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataUint64(uint64_t data)
{
    DatacoreBase::setDataString(integerText(data));
}

void ClientDatacore::setDataUint16List(QList<uint16_t> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataUint32List(QList<uint32_t> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataUint64List(QList<uint64_t> data)
{
    setData(integerTexts(data));
}

void ClientDatacore::setDataFloat(float data)
{
    // Widened first: the text is that of the float's own binary value.
    setDataDouble(static_cast<double>(data));
}

void ClientDatacore::setDataDouble(double data)
{
    DatacoreBase::setDataString(doubleText(data));
}

void ClientDatacore::setDataDoubleList(QList<double> data)
{
    setData(toStrings(data, doubleText));
}

void ClientDatacore::setDataPoint(QPoint point)
{
    DatacoreBase::setDataString(QStringLiteral("%1,%2").arg(point.x()).arg(point.y()));
}

void ClientDatacore::setDataSize(QSize size)
{
    DatacoreBase::setDataString(QStringLiteral("%1,%2").arg(size.width()).arg(size.height()));
}
