#pragma once

// The list of SFP modules the unit accepts and the electrical settings each
// needs per board. It comes from a JSON file on the unit; when that is missing
// or unusable, from a list built into the program, which is then written out as
// the file (owned by "vquser") so that it can be edited. It does not talk to
// the modules or program the transceivers.

#include <QJsonObject>
#include <QList>
#include <QString>

class VersionInfo;

enum class SfpKind { Sdi, Ethernet1G, Ethernet10G, Ethernet1G10G };

// Highest line rate the module is sold for: "3G", "6G", "12G" (SDI) or
// "1G", "10G", "25G" (Ethernet) in the file.
enum class SfpRate { Rate3G, Rate6G, Rate12G, Rate1G, Rate10G, Rate25G };

struct SfpSdiConfig
{
    QString io; // "rel_a" or "rel_b"
    bool msa = false;
    bool hasConnectorTypeOverride = false;
    int connectorTypeOverride = 0;
};

struct SupportedSfp
{
    QString vendor;
    QString oui;
    QString partNumber;
    QString revision;
    SfpRate rate = SfpRate::Rate3G;
    SfpKind kind = SfpKind::Sdi;
    QJsonObject boards;
    QList<int> excludeBoards;
    bool hasSdiConfig = false;
    SfpSdiConfig sdiConfig;

    bool isSupportedOn(int boardId) const { return !excludeBoards.contains(boardId); }
};

constexpr int SFP_LANES = 4;

struct SfpBoardSettings
{
    qint32 voltageSwing[SFP_LANES];
    qint32 preCursor[SFP_LANES];
    qint32 postCursor[SFP_LANES];
    qint32 reclocker[SFP_LANES];
};

class SfpConfigFileHandler
{
public:
    static constexpr int SFP_DEFAULT_CONFIG_ROWS = 16;
    static constexpr int SFP_DEFAULT_CONFIG_COLUMNS = 4 * SFP_LANES;
    // Per board identity 0 to 15: swing, pre-cursor, post-cursor and reclocker
    // codes for the four lanes.
    static const qint32 SFP_DEFAULT_CONFIGS_VQ[SFP_DEFAULT_CONFIG_ROWS][SFP_DEFAULT_CONFIG_COLUMNS];
    static const qint32 SFP_DEFAULT_CONFIGS_VQL[SFP_DEFAULT_CONFIG_ROWS][SFP_DEFAULT_CONFIG_COLUMNS];
    static const char FILE_OWNER[];

    // Board class and mezzanine identity from the unit's version record.
    SfpConfigFileHandler();
    explicit SfpConfigFileHandler(const VersionInfo& version);

    QString fileName() const;
    // Fills the list from directory/fileName(), else from the built-in list,
    // which is then written there. False when no usable list was obtained.
    bool load(const QString& directory);
    bool parse(const QByteArray& data);
    // The "configRevision" of a file, or false and the reason in *error.
    static bool readConfigRevision(const QByteArray& data, int* revision, QString* error);

    const QList<SupportedSfp>& supportedSfps() const { return m_supportedSfps; }

    // Settings of sfp on the unit's mezzanine board, or on boardId. False when
    // the module's own settings are invalid; *settings then holds the built-in
    // row, as it does when the module has none for the board.
    bool boardSettings(const SupportedSfp& sfp, SfpBoardSettings* settings) const;
    bool boardSettings(const SupportedSfp& sfp, int boardId, SfpBoardSettings* settings) const;
    // The built-in row of the board class. Identities below 0 use row 0 and
    // identities above 15 use row 15.
    SfpBoardSettings builtInSettings(int boardId) const;

private:
    bool loadFromFile(const QString& path);
    bool loadFromResource(QByteArray* data);
    void writeOut(const QString& path, const QByteArray& data) const;
    bool parseModule(const QJsonValue& value, SupportedSfp* sfp) const;

    bool m_vqLMainBoard;
    int m_mezzanineId;
    QList<SupportedSfp> m_supportedSfps;
};
