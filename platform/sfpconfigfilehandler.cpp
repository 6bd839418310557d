#include "sfpconfigfilehandler.h"
#include "versioninfo.h"

#include "vqlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <limits>
#include <pwd.h>
#include <unistd.h>

// The resource lives in a static library; nothing else would pull it in.
// Outside any namespace, as the resource macro requires.
static void initialiseResources()
{
    Q_INIT_RESOURCE(sfpconfig);
}

namespace {

constexpr int FIRST_UNKNOWN_BOARD = 17;
constexpr int FALLBACK_BOARD = 15;

template <typename T>
struct Named
{
    const char* name;
    T value;
};
const Named<SfpKind> KINDS[] = {
    {"SDI", SfpKind::Sdi}, {"1G", SfpKind::Ethernet1G}, {"10G", SfpKind::Ethernet10G}, {"1G10G", SfpKind::Ethernet1G10G}};
const Named<SfpRate> RATES[] = {{"3G", SfpRate::Rate3G},   {"6G", SfpRate::Rate6G},   {"12G", SfpRate::Rate12G},
                                {"1G", SfpRate::Rate1G},   {"10G", SfpRate::Rate10G}, {"25G", SfpRate::Rate25G}};

// Leaves value alone when name is not in the table.
template <typename T, size_t N>
bool lookUpName(const Named<T> (&table)[N], const QString& name, T* value)
{
    for (const Named<T>& named : table) {
        if (name == QLatin1String(named.name)) {
            *value = named.value;
            return true;
        }
    }
    return false;
}

SfpRate defaultRate(SfpKind kind)
{
    switch (kind) {
    case SfpKind::Sdi:
        return SfpRate::Rate3G;
    case SfpKind::Ethernet1G:
        return SfpRate::Rate1G;
    case SfpKind::Ethernet10G:
    case SfpKind::Ethernet1G10G:
        break;
    }
    return SfpRate::Rate10G;
}

const char* const REQUIRED_KEYS[] = {"Vendor", "OUI", "PartNumber", "Revision", "Rate", "SDI"};

int jsonInt(const QJsonValue& value)
{
    // Clamped first: converting a double beyond int is undefined. Truncates on
    // every Qt version (QJsonValue::toInt() rejects fractions from Qt 5.7 on).
    const double number = qBound(double(std::numeric_limits<int>::min()), value.toDouble(),
                                 double(std::numeric_limits<int>::max()));
    return int(number);
}

struct LaneCodes
{
    const char* key;
    const char* countError;
    const char* typeError;
};
const LaneCodes LANE_CODES[] = {
    {"VoltageSwingCode", "Invalid JSON file: invalid count of voltage swing codes",
     "Invalid JSON file: does not contain valid voltage swing code"},
    {"PreCursorCode", "Invalid JSON file: invalid count of precursor codes",
     "Invalid JSON file: does not contain valid precursor code"},
    {"PostCursorCode", "Invalid JSON file: invalid count of postcursor codes",
     "Invalid JSON file: does not contain valid post cursor code"},
};

// A number for all four lanes, or an array of exactly four numbers.
bool readLaneCodes(const QJsonObject& settings, const LaneCodes& codes, qint32 (&lanes)[SFP_LANES])
{
    const QJsonValue value = settings.value(QLatin1String(codes.key));
    if (value.isDouble()) {
        for (qint32& lane : lanes)
            lane = jsonInt(value);
        return true;
    }
    if (!value.isArray()) {
        VqLog::warn("{}", codes.typeError);
        return false;
    }
    const QJsonArray array = value.toArray();
    if (array.size() != SFP_LANES) {
        VqLog::warn("{}", codes.countError);
        return false;
    }
    for (int lane = 0; lane < SFP_LANES; ++lane) {
        if (!array.at(lane).isDouble()) {
            VqLog::warn("{}", codes.typeError);
            return false;
        }
        lanes[lane] = jsonInt(array.at(lane));
    }
    return true;
}

bool readSettings(const QJsonObject& object, SfpBoardSettings* settings)
{
    SfpBoardSettings read = *settings;
    qint32(*const groups[])[SFP_LANES] = {&read.voltageSwing, &read.preCursor, &read.postCursor};
    for (int group = 0; group < 3; ++group) {
        if (!readLaneCodes(object, LANE_CODES[group], *groups[group]))
            return false;
    }
    const QJsonValue reclocker = object.value(QLatin1String("ReclockerSettings"));
    if (!reclocker.isArray()) {
        VqLog::warn("Invalid JSON file: does not contain valid reclocker settings array");
        return false;
    }
    // One setting per lane; lanes without an entry keep the built-in value.
    const QJsonArray reclockerLanes = reclocker.toArray();
    for (int lane = 0; lane < SFP_LANES && lane < reclockerLanes.size(); ++lane)
        read.reclocker[lane] = jsonInt(reclockerLanes.at(lane));
    *settings = read;
    return true;
}

} // namespace

const qint32 SfpConfigFileHandler::SFP_DEFAULT_CONFIGS_VQ[SFP_DEFAULT_CONFIG_ROWS][SFP_DEFAULT_CONFIG_COLUMNS] = {
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
};

const qint32 SfpConfigFileHandler::SFP_DEFAULT_CONFIGS_VQL[SFP_DEFAULT_CONFIG_ROWS][SFP_DEFAULT_CONFIG_COLUMNS] = {
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 25, 0, 25, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
    {15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
};

const char SfpConfigFileHandler::FILE_OWNER[] = "vquser";

SfpConfigFileHandler::SfpConfigFileHandler()
    : SfpConfigFileHandler(VersionInfo::getInstance())
{
}

SfpConfigFileHandler::SfpConfigFileHandler(const VersionInfo& version)
    : m_vqLMainBoard(version.isVqLMainBoard())
    , m_mezzanineId(version.mezzanine.second.toInt())
{
    initialiseResources();
}

QString SfpConfigFileHandler::fileName() const
{
    return m_vqLMainBoard ? QStringLiteral("supportedSfpConfigVqL.json") : QStringLiteral("supportedSfpConfig.json");
}

bool SfpConfigFileHandler::load(const QString& directory)
{
    const QDir folder(directory);
    const QString path = folder.filePath(fileName());
    if (folder.exists()) {
        if (QFileInfo::exists(path) && loadFromFile(path))
            return true;
    } else {
        VqLog::info("Directory {} could not be found. Attempting to create it.", directory);
        if (QDir().mkpath(directory))
            VqLog::info("Successfully created directory {}.", directory);
        else
            VqLog::error("Failed to create directory {}.", directory);
    }

    QByteArray builtIn;
    if (!loadFromResource(&builtIn))
        return false;
    writeOut(path, builtIn);
    return true;
}

bool SfpConfigFileHandler::loadFromFile(const QString& path)
{
    VqLog::info("Found supported SFPs JSON file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        VqLog::error("Could not open supported SFPs JSON file for reading");
        return false;
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty()) {
        VqLog::error("No data read from supported SFPs file");
        return false;
    }
    if (!parse(data)) {
        VqLog::warn("Could not create list of supported SFPs from data in file. Using default list instead.");
        return false;
    }
    return true;
}

bool SfpConfigFileHandler::loadFromResource(QByteArray* data)
{
    VqLog::info("Using default supported SFPs list from resources file");
    QFile resource(QStringLiteral(":/") + fileName());
    if (!resource.open(QIODevice::ReadOnly)) {
        VqLog::error("Could not open supported SFPs resource file for reading");
        m_supportedSfps.clear();
        return false;
    }
    *data = resource.readAll();
    if (data->isEmpty()) {
        VqLog::error("No data read from resources file");
        m_supportedSfps.clear();
        return false;
    }
    if (!parse(*data)) {
        VqLog::error("Failed to create list of supported SFPs from data in resource file.");
        return false;
    }
    return true;
}

void SfpConfigFileHandler::writeOut(const QString& path, const QByteArray& data) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        VqLog::error("Could not create supported SFPs file for writing");
        return;
    }
    if (file.write(data) <= 0) {
        VqLog::error("Did not write any data to supported SFPs file");
        return;
    }
    file.close();
    VqLog::info("Created file {}", path);

    const struct passwd* owner = ::getpwnam(FILE_OWNER);
    const int failure = !owner ? ENOENT : ::chown(QFile::encodeName(path).constData(), owner->pw_uid, owner->pw_gid) != 0 ? errno : 0;
    if (failure != 0)
        VqLog::error("Failed to change supported SFPs file ownership. Error code: {}", failure);
}

bool SfpConfigFileHandler::readConfigRevision(const QByteArray& data, int* revision, QString* error)
{
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject()) {
        *error = QStringLiteral("Invalid JSON file for supported sfps");
        return false;
    }
    const QJsonValue value = document.object().value(QLatin1String("configRevision"));
    if (!value.isDouble()) {
        *error = QStringLiteral("Invalid JSON file: does not contain config revision");
        return false;
    }
    *revision = jsonInt(value);
    return true;
}

bool SfpConfigFileHandler::parse(const QByteArray& data)
{
    m_supportedSfps.clear();
    int revision = 0;
    QString error;
    if (!readConfigRevision(data, &revision, &error)) {
        VqLog::error("{}", error);
        return false;
    }
    VqLog::info("SFP configuration file is rev: {}", revision);

    const QJsonObject file = QJsonDocument::fromJson(data).object();
    if (!file.contains(QLatin1String("supportedSfps"))) {
        VqLog::error("Invalid JSON file: does not contain supported sfps");
        return false;
    }
    const QJsonValue modules = file.value(QLatin1String("supportedSfps"));
    if (!modules.isArray()) {
        VqLog::error("Invalid JSON file: does not contain supported sfps array");
        return false;
    }
    for (const QJsonValue& value : modules.toArray()) {
        SupportedSfp sfp;
        if (!parseModule(value, &sfp))
            continue;
        VqLog::info("Adding support for SFP: {}({})", sfp.vendor, sfp.partNumber);
        m_supportedSfps.append(sfp);
    }
    if (m_supportedSfps.isEmpty()) {
        VqLog::error("Invalid JSON file: No valid SFP objects found");
        return false;
    }
    return true;
}

bool SfpConfigFileHandler::parseModule(const QJsonValue& value, SupportedSfp* sfp) const
{
    if (!value.isObject()) {
        VqLog::warn("Invalid JSON file: sfp value not an object");
        return false;
    }
    const QJsonObject module = value.toObject();
    QStringList missing;
    for (const char* key : REQUIRED_KEYS) {
        if (!module.contains(QLatin1String(key)))
            missing.append(QLatin1String(key));
    }
    if (!missing.isEmpty()) {
        VqLog::warn("Invalid JSON file: sfp object does not contain {}", missing.join(QStringLiteral(", ")));
        return false;
    }
    sfp->vendor = module.value(QLatin1String("Vendor")).toString();
    sfp->oui = module.value(QLatin1String("OUI")).toString();
    sfp->partNumber = module.value(QLatin1String("PartNumber")).toString();
    sfp->revision = module.value(QLatin1String("Revision")).toString();

    const QString kind = module.value(QLatin1String("SDI")).toString();
    if (!lookUpName(KINDS, kind, &sfp->kind))
        VqLog::warn("Cannot find valid SDI entry, using default");

    const QString rate = module.value(QLatin1String("Rate")).toString();
    sfp->rate = defaultRate(sfp->kind);
    if (!lookUpName(RATES, rate, &sfp->rate))
        VqLog::warn("Cannot find valid rate entry, using default");

    if (module.contains(QLatin1String("Boards"))) {
        if (!module.value(QLatin1String("Boards")).isObject()) {
            VqLog::warn("Invalid JSON file: Boards not an object");
            return false;
        }
        sfp->boards = module.value(QLatin1String("Boards")).toObject();
    }
    if (module.contains(QLatin1String("ExcludeBoards"))) {
        const QJsonValue excluded = module.value(QLatin1String("ExcludeBoards"));
        if (!excluded.isArray()) {
            VqLog::warn("Invalid JSON file: ExcludeBoards not an array");
            return false;
        }
        for (const QJsonValue& board : excluded.toArray())
            sfp->excludeBoards.append(jsonInt(board));
    }

    if (!module.contains(QLatin1String("SDIConfig"))) {
        if (sfp->kind == SfpKind::Sdi) {
            VqLog::warn("Invalid JSON file: SDIConfig missing for SDI SFP.");
            return false;
        }
        return true;
    }
    if (!module.value(QLatin1String("SDIConfig")).isObject()) {
        VqLog::warn("Invalid JSON file: SDIConfig not an object");
        return false;
    }
    const QJsonObject sdiConfig = module.value(QLatin1String("SDIConfig")).toObject();
    if (!sdiConfig.contains(QLatin1String("IO"))) {
        VqLog::warn("Invalid JSON file: IO field is missing from SDIConfig object");
        return false;
    }
    if (!sdiConfig.value(QLatin1String("IO")).isString()) {
        VqLog::warn("Invalid JSON file: IO field is not a string");
        return false;
    }
    if (!sdiConfig.contains(QLatin1String("MSA"))) {
        VqLog::warn("Invalid JSON file: MSA flag is missing from SDIConfig object");
        return false;
    }
    if (!sdiConfig.value(QLatin1String("MSA")).isBool()) {
        VqLog::warn("Invalid JSON file: MSA flag is not a boolean");
        return false;
    }
    sfp->sdiConfig.io = sdiConfig.value(QLatin1String("IO")).toString();
    sfp->sdiConfig.msa = sdiConfig.value(QLatin1String("MSA")).toBool();
    if (!sdiConfig.contains(QLatin1String("ConnectorTypeOverride"))) {
        VqLog::info("ConnectorTypeOverride field is not present in SDIConfig object - no override will be used");
    } else if (!sdiConfig.value(QLatin1String("ConnectorTypeOverride")).isDouble()) {
        VqLog::warn("Invalid JSON file: ConnectorTypeOverride flag is not a number");
        return false;
    } else {
        sfp->sdiConfig.hasConnectorTypeOverride = true;
        sfp->sdiConfig.connectorTypeOverride = jsonInt(sdiConfig.value(QLatin1String("ConnectorTypeOverride")));
    }
    sfp->hasSdiConfig = true;
    return true;
}

SfpBoardSettings SfpConfigFileHandler::builtInSettings(int boardId) const
{
    const int row = qBound(0, boardId, SFP_DEFAULT_CONFIG_ROWS - 1);
    const qint32* values = m_vqLMainBoard ? SFP_DEFAULT_CONFIGS_VQL[row] : SFP_DEFAULT_CONFIGS_VQ[row];
    SfpBoardSettings settings;
    qint32(*const groups[])[SFP_LANES] = {&settings.voltageSwing, &settings.preCursor, &settings.postCursor,
                                          &settings.reclocker};
    for (int group = 0; group < 4; ++group) {
        for (int lane = 0; lane < SFP_LANES; ++lane)
            (*groups[group])[lane] = values[group * SFP_LANES + lane];
    }
    return settings;
}

bool SfpConfigFileHandler::boardSettings(const SupportedSfp& sfp, SfpBoardSettings* settings) const
{
    return boardSettings(sfp, m_mezzanineId, settings);
}

bool SfpConfigFileHandler::boardSettings(const SupportedSfp& sfp, int boardId, SfpBoardSettings* settings) const
{
    if (boardId >= FIRST_UNKNOWN_BOARD) {
        VqLog::info("BoardId {} unknown, using {} for defaults", boardId, FALLBACK_BOARD);
        boardId = FALLBACK_BOARD;
    }
    *settings = builtInSettings(boardId);

    const QString boardKey = QString::number(boardId);
    QJsonValue chosen;
    if (sfp.boards.contains(boardKey) && sfp.boards.value(boardKey).isObject()) {
        VqLog::info("Using configuration for board ID: {}", boardId);
        chosen = sfp.boards.value(boardKey);
    } else {
        // An SDI module takes the default of its own output; others the first
        // default there is.
        QStringList defaults{QStringLiteral("rel_a_default"), QStringLiteral("rel_b_default")};
        if (sfp.hasSdiConfig)
            defaults = QStringList{sfp.sdiConfig.io + QStringLiteral("_default")};
        for (const QString& key : defaults) {
            if (!chosen.isObject() && sfp.boards.value(key).isObject())
                chosen = sfp.boards.value(key);
        }
    }
    if (!chosen.isObject()) {
        VqLog::info("No matching board data or config, falling back to internal defaults - ID: {}", boardId);
        return true;
    }
    return readSettings(chosen.toObject(), settings);
}
