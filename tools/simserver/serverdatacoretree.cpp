#include "serverdatacoretree.h"

#include "datacorebase.h"
#include "datacorebool.h"
#include "datacorepacket.h"
#include "datacorepathradixtreepacket.h"
#include "datacorevalidstatusmessage.h"
#include "incomingframebuffer.h"
#include "vqlog.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <functional>

namespace {

const QString CLASS_KEY = QStringLiteral("class");
const QStringList ELEMENT_KEYS = {QStringLiteral("class"), QStringLiteral("data"),
                                  QStringLiteral("reasonsForBeingInvalid"), QStringLiteral("reasonsForBeingInactive")};
constexpr int REASON_NOT_SUPPORTED = 26;

// A server datacore that keeps the reasons it is given (from the description
// or a test) instead of recalculating them.
class PlainServerDatacore : public DatacoreBase
{
public:
    using DatacoreBase::DatacoreBase;

protected:
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>&) override {}
    void calculateReasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>&) override {}
};

// The IGMP maximum version: 1, 2 or 3. A refused request keeps the stored
// value and marks the datacore invalid until the next accepted one.
class IgmpVersionDatacore : public DatacoreBase
{
public:
    using DatacoreBase::DatacoreBase;

    static bool isSupported(const QString& text)
    {
        return text == QLatin1String("1") || text == QLatin1String("2") || text == QLatin1String("3");
    }

    void request(const QString& text)
    {
        m_refused = !isSupported(text);
        if (!m_refused)
            setDataString(text);
        initialise();
    }

protected:
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons) override
    {
        reasons.clear();
        if (m_refused || !isSupported(firstDataString()))
            reasons.emplace_back(MessageBase::TYPE_ERROR, REASON_NOT_SUPPORTED);
    }

private:
    bool m_refused = false;
};

const QStringList CLASS_NAMES = {QStringLiteral("DatacoreBase"), QStringLiteral("DatacoreBool"),
                                 QStringLiteral("DatacoreIgmpVersion")};

// A key as it appears in a JSON path: bare when it is a plain name.
QString pathStep(const QString& key)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (plain.match(key).hasMatch())
        return QLatin1Char('.') + key;
    return QStringLiteral("[\"%1\"]").arg(QString(key).replace(QLatin1Char('"'), QStringLiteral("\\\"")));
}

QString typeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// Checks one node of the description and those below it; on false, error
// names the JSON path of the first item that is not what it should be.
bool checkNode(const QJsonObject& node, const QString& jsonPath, QString* error)
{
    const auto fail = [&](const QString& where, const QString& expected, const QJsonValue& found) {
        *error = QStringLiteral("%1: expected %2, found %3").arg(where, expected, typeName(found));
        return false;
    };
    for (auto it = node.constBegin(); it != node.constEnd(); ++it) {
        const QString where = jsonPath + pathStep(it.key());
        const QJsonValue value = it.value();
        if (it.key() == QLatin1String("class")) {
            if (!value.isString() || !CLASS_NAMES.contains(value.toString())) {
                *error = QStringLiteral("%1: expected one of %2, found %3")
                             .arg(where, CLASS_NAMES.join(QStringLiteral(", ")),
                                  value.isString() ? QLatin1Char('"') + value.toString() + QLatin1Char('"')
                                                   : typeName(value));
                return false;
            }
        } else if (it.key() == QLatin1String("data")) {
            if (!value.isNull() && !value.isString() && !value.isArray())
                return fail(where, QStringLiteral("a string, an array of strings or null"), value);
            const QJsonArray items = value.toArray();
            for (int i = 0; i < items.size(); ++i) {
                if (!items.at(i).isString())
                    return fail(QStringLiteral("%1[%2]").arg(where).arg(i), QStringLiteral("a string"), items.at(i));
            }
        } else if (it.key() == QLatin1String("reasonsForBeingInvalid")
                   || it.key() == QLatin1String("reasonsForBeingInactive")) {
            if (!value.isArray())
                return fail(where, QStringLiteral("an array of reason objects"), value);
            const QJsonArray reasons = value.toArray();
            for (int i = 0; i < reasons.size(); ++i) {
                if (!reasons.at(i).isObject())
                    return fail(QStringLiteral("%1[%2]").arg(where).arg(i), QStringLiteral("a reason object"),
                                reasons.at(i));
            }
        } else if (it.key().isEmpty() || it.key().contains(QLatin1Char('/'))) {
            *error = QStringLiteral("%1: a datacore name must be neither empty nor hold \"/\"").arg(where);
            return false;
        } else if (!value.isObject()) {
            return fail(where, QStringLiteral("an object (a child datacore) or one of class, data, "
                                              "reasonsForBeingInvalid, reasonsForBeingInactive"),
                        value);
        } else if (!checkNode(value.toObject(), where, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

const QStringList ServerDatacoreTree::ROUTER_NAMES = {QStringLiteral("configCoreRouter"),
                                                      QStringLiteral("statusCoreRouter"),
                                                      QStringLiteral("commandCoreRouter"),
                                                      QStringLiteral("persistentConfigCoreRouter")};
const QString ServerDatacoreTree::SERIAL_NUMBER_PATH = QStringLiteral("statusCoreRouter/licenseStatus/serialNumber");
const QString ServerDatacoreTree::IGMP_MAX_VERSION_PATH =
    QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");

ServerDatacoreTree::ServerDatacoreTree() = default;

ServerDatacoreTree::~ServerDatacoreTree()
{
    clear();
}

void ServerDatacoreTree::clear()
{
    m_pathTreeJson = QJsonObject();
    m_byPath.clear();
    m_paths.clear();
    m_routers.clear();
    // Children first, so that no datacore outlives the parent it points at.
    while (!m_datacores.empty())
        m_datacores.pop_back();
}

bool ServerDatacoreTree::load(const QJsonObject& description, QString* error)
{
    clear();
    for (auto it = description.constBegin(); it != description.constEnd(); ++it) {
        if (!ROUTER_NAMES.contains(it.key())) {
            *error = QStringLiteral("%1: unknown router (expected one of %2)")
                         .arg(pathStep(it.key()), ROUTER_NAMES.join(QStringLiteral(", ")));
            return false;
        }
        if (!it.value().isObject()) {
            *error = QStringLiteral("%1: expected an object, found %2").arg(pathStep(it.key()), typeName(it.value()));
            return false;
        }
        if (!checkNode(it.value().toObject(), pathStep(it.key()), error))
            return false;
    }
    for (const QString& routerName : ROUTER_NAMES) {
        const QJsonObject node = description.value(routerName).toObject();
        DatacoreBase* router = addNode(routerName, node, nullptr, routerName);
        m_routers.push_back(router);
        // Data and reasons in the datacore JSON form, applied to the whole subtree at once.
        std::list<DatacoreJsonMessage> messages;
        if (!router->deserialise(QString(), QJsonObject{{routerName, node}}, false, messages)) {
            *error = QStringLiteral("the description of %1 is not valid datacore JSON").arg(routerName);
            clear();
            return false;
        }
        router->initialise();
    }
    // A client skips a frame larger than it takes as corrupt.
    for (const QString& path : m_paths) {
        const int size = DatacorePacket(datacoreJson(path), path).payloadBytes().size();
        if (quint32(size) > IncomingFrameBuffer::MaxPayloadLength) {
            QString jsonPath;
            for (const QString& name : path.split(QLatin1Char('/')))
                jsonPath += pathStep(name);
            *error = QStringLiteral("%1.data: a datacore packet of %2 bytes, more than a client takes (%3)")
                         .arg(jsonPath)
                         .arg(size)
                         .arg(IncomingFrameBuffer::MaxPayloadLength);
            clear();
            return false;
        }
    }
    return true;
}

DatacoreBase* ServerDatacoreTree::addNode(const QString& name, const QJsonObject& node, DatacoreBase* parent,
                                          const QString& path)
{
    const QString className = node.value(CLASS_KEY).toString(QStringLiteral("DatacoreBase"));
    // Built with their data, so that reading the description afterwards finds it
    // in place (reading a value into an empty datacore is logged as an error).
    QStringList data;
    const QJsonValue dataValue = node.value(QStringLiteral("data"));
    if (dataValue.isArray()) {
        for (const QJsonValue& item : dataValue.toArray())
            data.append(item.toString());
    } else if (!dataValue.isNull() && !dataValue.isUndefined()) {
        data.append(dataValue.toString());
    }

    std::unique_ptr<DatacoreBase> datacore;
    if (className == QLatin1String("DatacoreBool"))
        datacore = std::make_unique<DatacoreBool>(className, name, parent);
    else if (className == QLatin1String("DatacoreIgmpVersion"))
        datacore = std::make_unique<IgmpVersionDatacore>(className, name, parent, data);
    else
        datacore = std::make_unique<PlainServerDatacore>(className, name, parent, data);
    DatacoreBase* added = add(std::move(datacore), path);

    for (auto it = node.constBegin(); it != node.constEnd(); ++it) {
        if (!ELEMENT_KEYS.contains(it.key()) && it.value().isObject())
            addNode(it.key(), it.value().toObject(), added, path + QLatin1Char('/') + it.key());
    }
    return added;
}

DatacoreBase* ServerDatacoreTree::add(std::unique_ptr<DatacoreBase> datacore, const QString& path)
{
    DatacoreBase* added = datacore.get();
    m_datacores.push_back(std::move(datacore));
    m_byPath.insert(path, added);
    m_paths.append(path);
    return added;
}

void ServerDatacoreTree::addSyntheticDatacores(int count)
{
    // Deterministic, so that two servers started alike serve the same tree.
    static const char* const words[] = {"input", "output", "generator", "analyser", "audio", "video", "timing",
                                        "reference", "network", "channel", "monitor", "status", "level", "mode",
                                        "format", "threshold", "enable", "colour", "window", "sample"};
    constexpr int wordCount = int(sizeof(words) / sizeof(words[0]));
    quint32 state = 2463534242u;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const auto name = [&](int serial) {
        QString text = QString::fromLatin1(words[next() % wordCount]);
        text += QString::fromLatin1(words[next() % wordCount]).left(1).toUpper();
        text += QString::fromLatin1(words[next() % wordCount]).mid(1);
        return text + QString::number(serial);
    };

    int serial = 0;
    while (serial < count) {
        DatacoreBase* parent = m_routers.at(size_t(next() % m_routers.size()));
        QString path = parent->name();
        const int depth = 2 + int(next() % 4); // below the router: paths of 3 to 6 names, the last chain shorter
        for (int level = 0; level < depth && serial < count; ++level, ++serial) {
            const QString childName = name(serial);
            path += QLatin1Char('/') + childName;
            auto* datacore = add(std::make_unique<PlainServerDatacore>(QStringLiteral("DatacoreBase"), childName,
                                                                       parent, QString::number(serial)),
                                 path);
            datacore->resetChangeState();
            parent = datacore;
        }
    }
    // The depth-first order of paths() is restored by rebuilding it from the routers.
    m_pathTreeJson = QJsonObject();
    m_paths.clear();
    const std::function<void(DatacoreBase*, const QString&)> collect = [&](DatacoreBase* datacore, const QString& path) {
        m_paths.append(path);
        for (DatacoreBase* child : datacore->childDatacores())
            collect(child, path + QLatin1Char('/') + child->name());
    };
    for (DatacoreBase* router : m_routers)
        collect(router, router->name());
}

DatacoreBase* ServerDatacoreTree::router(int index) const
{
    return index >= 0 && size_t(index) < m_routers.size() ? m_routers[size_t(index)] : nullptr;
}

QJsonObject ServerDatacoreTree::datacoreJson(const QString& path) const
{
    QJsonObject json;
    if (DatacoreBase* found = datacore(path)) {
        std::list<DatacoreJsonMessage> messages;
        found->serialise(QString(), json, false, false, messages);
    }
    return json;
}

const QJsonObject& ServerDatacoreTree::pathTreeJson() const
{
    if (m_pathTreeJson.isEmpty() && m_routers.size() == size_t(ROUTER_NAMES.size())) {
        DatacorePathRadixTreePacket packet;
        packet.setConfigTree(*m_routers[0]);
        packet.setStatusTree(*m_routers[1]);
        packet.setCommandTree(*m_routers[2]);
        packet.setPersistentConfigTree(*m_routers[3]);
        m_pathTreeJson = packet.jsonObject();
    }
    return m_pathTreeJson;
}

bool ServerDatacoreTree::applyClientChange(const QString& path, const QJsonObject& datacoreJson)
{
    DatacoreBase* found = datacore(path);
    if (!found || datacoreJson.size() != 1 || !datacoreJson.contains(found->name()))
        return false;

    if (auto* igmp = dynamic_cast<IgmpVersionDatacore*>(found)) {
        const QJsonValue data = datacoreJson.value(found->name()).toObject().value(QStringLiteral("data"));
        igmp->request(data.isArray() ? data.toArray().first().toString() : data.toString());
        return true;
    }
    std::list<DatacoreJsonMessage> messages;
    const bool applied = found->deserialise(QString(), datacoreJson, true, messages);
    found->resetChangeState();
    return applied;
}
