#include "logcapture.h"
#include "platformabstractioninterface.h"
#include "sfpconfigfilehandler.h"
#include "versioninfo.h"

#include <QtTest>

#include <algorithm>
#include <climits>
#include <pwd.h>

namespace {

class StubPlatform : public Brevane::PlatformAbstractionInterface
{
public:
    StubPlatform(int mainBoard, int mezzanine)
        : m_ids{mainBoard, mezzanine, 1}
    {
    }
    bool setPwmOutputs(quint32, bool) override { return false; }
    bool isHardwareIdValid(int which) override { return hardwareId(which) >= 0; }
    int hardwareId(int which) override { return which >= 0 && which < 3 ? m_ids[which] : -1; }
    bool readFpgaVersion(quint32*, quint32*, quint32*, quint32*, quint32*) override { return true; }
    int openWatchdog(int) override { return 0; }
    int kickWatchdog() override { return 0; }
    int closeWatchdog() override { return 0; }
    quint32 serialNumber() override { return 0; }

private:
    int m_ids[3];
};

VersionInfo version(int mainBoard, int mezzanine = 3)
{
    StubPlatform platform(mainBoard, mezzanine);
    return VersionInfo(platform);
}

QJsonObject sdiModule()
{
    return QJsonObject{{"Vendor", "LUMENAR"},   {"OUI", "00-1C-7E"}, {"PartNumber", "LM-12G"}, {"Revision", "A"},
                       {"Rate", "12G"},         {"SDI", "SDI"},
                       {"SDIConfig", QJsonObject{{"IO", "rel_a"}, {"MSA", true}, {"ConnectorTypeOverride", 34}}}};
}

QByteArray fileWith(const QJsonArray& modules)
{
    return QJsonDocument(QJsonObject{{"configRevision", 5}, {"supportedSfps", modules}}).toJson();
}

QByteArray fileWith(const QJsonObject& module)
{
    return fileWith(QJsonArray{module});
}

QJsonObject withSdiConfig(const QString& key, const QJsonValue& value)
{
    QJsonObject module = sdiModule();
    QJsonObject sdiConfig = module.value("SDIConfig").toObject();
    if (value.isUndefined())
        sdiConfig.remove(key);
    else
        sdiConfig.insert(key, value);
    module.insert("SDIConfig", sdiConfig);
    return module;
}

QJsonObject with(const QString& key, const QJsonValue& value)
{
    QJsonObject module = sdiModule();
    if (value.isUndefined())
        module.remove(key);
    else
        module.insert(key, value);
    return module;
}

QList<int> flatten(const SfpBoardSettings& settings)
{
    QList<int> values;
    for (const auto* group : {&settings.voltageSwing, &settings.preCursor, &settings.postCursor, &settings.reclocker}) {
        for (qint32 lane : *group)
            values << lane;
    }
    return values;
}

QList<int> tableRow(const qint32 (&row)[SfpConfigFileHandler::SFP_DEFAULT_CONFIG_COLUMNS])
{
    QList<int> values;
    for (qint32 value : row)
        values << value;
    return values;
}

QJsonObject settingsObject(const QJsonValue& swing, const QJsonValue& pre, const QJsonValue& post,
                           const QJsonValue& reclocker = QJsonArray{1, 2, 3, 4})
{
    QJsonObject settings{{"VoltageSwingCode", swing}, {"PreCursorCode", pre}, {"PostCursorCode", post}};
    if (!reclocker.isUndefined())
        settings.insert("ReclockerSettings", reclocker);
    return settings;
}

QByteArray resource(const QString& name)
{
    QFile file(":/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSfpConfigFileHandler : public QObject
{
    Q_OBJECT

private slots:
    void parseMessages_data();
    void parseMessages();
    void badModuleDoesNotStopTheOthers();
    void moduleFields();
    void laneCodes_data();
    void laneCodes();
    void boardChoice_data();
    void boardChoice();
    void builtInTables_data();
    void builtInTables();
    void missingDirectoryCreatedThenRead();
    void unusableFileFallsBack_data();
    void unusableFileFallsBack();
    void largeMainBoardUsesItsOwnFile();
};

void TestSfpConfigFileHandler::parseMessages_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("accepted");

    QTest::newRow("not JSON") << QByteArray("{configRevision") << "Invalid JSON file for supported sfps" << 0;
    QTest::newRow("array at the top") << QByteArray("[1]") << "Invalid JSON file for supported sfps" << 0;
    QTest::newRow("no revision") << QByteArray(R"({"supportedSfps": []})")
                                 << "Invalid JSON file: does not contain config revision" << 0;
    QTest::newRow("revision as text") << QByteArray(R"({"configRevision": "2", "supportedSfps": []})")
                                      << "Invalid JSON file: does not contain config revision" << 0;
    QTest::newRow("no module list") << QByteArray(R"({"configRevision": 2})")
                                    << "Invalid JSON file: does not contain supported sfps" << 0;
    QTest::newRow("module list not an array") << QByteArray(R"({"configRevision": 2, "supportedSfps": {}})")
                                              << "Invalid JSON file: does not contain supported sfps array" << 0;
    QTest::newRow("empty module list") << fileWith(QJsonArray()) << "Invalid JSON file: No valid SFP objects found"
                                       << 0;
    QTest::newRow("module not an object") << fileWith(QJsonArray{42}) << "Invalid JSON file: sfp value not an object"
                                          << 0;
    QJsonObject twoMissing = sdiModule();
    twoMissing.remove("Vendor");
    twoMissing.remove("Rate");
    QTest::newRow("vendor and rate missing")
        << fileWith(twoMissing) << "Invalid JSON file: sfp object does not contain Vendor, Rate" << 0;
    QTest::newRow("kind missing") << fileWith(with("SDI", QJsonValue::Undefined))
                                  << "Invalid JSON file: sfp object does not contain SDI" << 0;
    QTest::newRow("unknown kind") << fileWith(with("SDI", "3G-SDI")) << "Cannot find valid SDI entry, using default"
                                  << 1;
    QTest::newRow("unknown rate") << fileWith(with("Rate", 12)) << "Cannot find valid rate entry, using default" << 1;
    QTest::newRow("boards not an object") << fileWith(with("Boards", QJsonArray{}))
                                          << "Invalid JSON file: Boards not an object" << 0;
    QTest::newRow("excluded boards not an array") << fileWith(with("ExcludeBoards", 3))
                                                  << "Invalid JSON file: ExcludeBoards not an array" << 0;
    QTest::newRow("SDI module without SDIConfig") << fileWith(with("SDIConfig", QJsonValue::Undefined))
                                                  << "Invalid JSON file: SDIConfig missing for SDI SFP." << 0;
    QTest::newRow("SDIConfig not an object") << fileWith(with("SDIConfig", "rel_a"))
                                             << "Invalid JSON file: SDIConfig not an object" << 0;
    QTest::newRow("IO missing") << fileWith(withSdiConfig("IO", QJsonValue::Undefined))
                                << "Invalid JSON file: IO field is missing from SDIConfig object" << 0;
    QTest::newRow("IO not text") << fileWith(withSdiConfig("IO", 1)) << "Invalid JSON file: IO field is not a string"
                                 << 0;
    QTest::newRow("MSA missing") << fileWith(withSdiConfig("MSA", QJsonValue::Undefined))
                                 << "Invalid JSON file: MSA flag is missing from SDIConfig object" << 0;
    QTest::newRow("MSA not a boolean") << fileWith(withSdiConfig("MSA", "true"))
                                       << "Invalid JSON file: MSA flag is not a boolean" << 0;
    QTest::newRow("no connector override")
        << fileWith(withSdiConfig("ConnectorTypeOverride", QJsonValue::Undefined))
        << "ConnectorTypeOverride field is not present in SDIConfig object - no override will be used" << 1;
    QTest::newRow("connector override not a number")
        << fileWith(withSdiConfig("ConnectorTypeOverride", "LC"))
        << "Invalid JSON file: ConnectorTypeOverride flag is not a number" << 0;
    QJsonObject ethernet = with("SDIConfig", QJsonValue::Undefined);
    ethernet.insert("SDI", "10G");
    QTest::newRow("10G module needs no SDIConfig") << fileWith(ethernet) << "Adding support for SFP: LUMENAR(LM-12G)"
                                                   << 1;
    QTest::newRow("revision logged") << fileWith(sdiModule()) << "SFP configuration file is rev: 5" << 1;
    QTest::newRow("revision beyond int") << QByteArray(R"({"configRevision": 5e60, "supportedSfps": [1]})")
                                         << "SFP configuration file is rev: 2147483647" << 0;
}

void TestSfpConfigFileHandler::parseMessages()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, message);
    QFETCH(int, accepted);
    LogCapture capture;
    SfpConfigFileHandler handler(version(10));
    QCOMPARE(handler.parse(data), accepted > 0);
    QCOMPARE(handler.supportedSfps().size(), accepted);
    QVERIFY2(capture.count(message) == 1, qPrintable(capture.messages().join('\n')));
}

void TestSfpConfigFileHandler::badModuleDoesNotStopTheOthers()
{
    QJsonObject second = sdiModule();
    second.insert("PartNumber", "LM-3G");
    LogCapture capture;
    SfpConfigFileHandler handler(version(10));
    QVERIFY(handler.parse(fileWith(QJsonArray{sdiModule(), "junk", with("Boards", 1), second})));
    QCOMPARE(handler.supportedSfps().size(), 2);
    QCOMPARE(handler.supportedSfps().at(1).partNumber, QStringLiteral("LM-3G"));
    QCOMPARE(capture.count(spdlog::level::info, QStringLiteral("Adding support for SFP: LUMENAR(LM-3G)")), 1);
}

void TestSfpConfigFileHandler::moduleFields()
{
    QJsonObject module = sdiModule();
    module.insert("ExcludeBoards", QJsonArray{0, 7});
    QJsonObject unknownRate = with("Rate", "40G");
    unknownRate.insert("SDI", "1G");
    unknownRate.remove("SDIConfig");
    SfpConfigFileHandler handler(version(10));
    QVERIFY(handler.parse(fileWith(QJsonArray{module, unknownRate})));
    const SupportedSfp& sdi = handler.supportedSfps().at(0);
    QCOMPARE(sdi.vendor + "|" + sdi.oui + "|" + sdi.partNumber + "|" + sdi.revision,
             QStringLiteral("LUMENAR|00-1C-7E|LM-12G|A"));
    QVERIFY(sdi.rate == SfpRate::Rate12G && sdi.kind == SfpKind::Sdi && sdi.hasSdiConfig);
    QCOMPARE(sdi.sdiConfig.io, QStringLiteral("rel_a"));
    QVERIFY(sdi.sdiConfig.msa && sdi.sdiConfig.hasConnectorTypeOverride);
    QCOMPARE(sdi.sdiConfig.connectorTypeOverride, 34);
    QVERIFY(!sdi.isSupportedOn(7) && sdi.isSupportedOn(3));
    const SupportedSfp& ethernet = handler.supportedSfps().at(1);
    QVERIFY(ethernet.kind == SfpKind::Ethernet1G && ethernet.rate == SfpRate::Rate1G && !ethernet.hasSdiConfig);
}

void TestSfpConfigFileHandler::laneCodes_data()
{
    QTest::addColumn<QJsonObject>("settings");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<int>>("values"); // swing, pre, post, reclocker lanes

    const QList<int> builtIn{13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0};
    QTest::newRow("one number for all lanes") << settingsObject(12, QJsonArray{1, 2, 3, 4}, 7) << true << QString()
                                              << QList<int>{12, 12, 12, 12, 1, 2, 3, 4, 7, 7, 7, 7, 1, 2, 3, 4};
    QTest::newRow("codes beyond int clamped") << settingsObject(1e12, -1e12, QJsonArray{1, 2, 3, 4.9}) << true
                                              << QString()
                                              << QList<int>{INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MIN, INT_MIN,
                                                            INT_MIN, INT_MIN, 1, 2, 3, 4, 1, 2, 3, 4};
    QTest::newRow("three swing codes") << settingsObject(QJsonArray{1, 2, 3}, 1, 1) << false
                                       << "Invalid JSON file: invalid count of voltage swing codes" << builtIn;
    QTest::newRow("swing code as text") << settingsObject("12", 1, 1) << false
                                        << "Invalid JSON file: does not contain valid voltage swing code" << builtIn;
    QTest::newRow("swing code missing") << settingsObject(QJsonValue::Undefined, 1, 1) << false
                                        << "Invalid JSON file: does not contain valid voltage swing code" << builtIn;
    QTest::newRow("five precursor codes") << settingsObject(1, QJsonArray{1, 2, 3, 4, 5}, 1) << false
                                          << "Invalid JSON file: invalid count of precursor codes" << builtIn;
    QTest::newRow("precursor lane as text") << settingsObject(1, QJsonArray{1, 2, "3", 4}, 1) << false
                                            << "Invalid JSON file: does not contain valid precursor code" << builtIn;
    QTest::newRow("empty postcursor array") << settingsObject(1, 1, QJsonArray{}) << false
                                            << "Invalid JSON file: invalid count of postcursor codes" << builtIn;
    QTest::newRow("postcursor as boolean") << settingsObject(1, 1, true) << false
                                           << "Invalid JSON file: does not contain valid post cursor code" << builtIn;
    QTest::newRow("reclocker missing") << settingsObject(1, 1, 1, QJsonValue::Undefined) << false
                                       << "Invalid JSON file: does not contain valid reclocker settings array"
                                       << builtIn;
    QTest::newRow("reclocker as number") << settingsObject(1, 1, 1, 5) << false
                                         << "Invalid JSON file: does not contain valid reclocker settings array"
                                         << builtIn;
    QTest::newRow("short reclocker keeps the other lanes") << settingsObject(1, 1, 1, QJsonArray{9}) << true
                                                           << QString()
                                                           << QList<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9, 0, 0, 0};
}

void TestSfpConfigFileHandler::laneCodes()
{
    QFETCH(QJsonObject, settings);
    QFETCH(bool, valid);
    QFETCH(QString, message);
    QFETCH(QList<int>, values);
    SfpConfigFileHandler handler(version(10));
    QVERIFY(handler.parse(fileWith(with("Boards", QJsonObject{{"4", settings}}))));
    LogCapture capture;
    SfpBoardSettings result;
    QCOMPARE(handler.boardSettings(handler.supportedSfps().first(), 4, &result), valid);
    QCOMPARE(flatten(result), values);
    if (!message.isEmpty())
        QCOMPARE(capture.count(message), 1);
}

void TestSfpConfigFileHandler::boardChoice_data()
{
    QTest::addColumn<QString>("io");
    QTest::addColumn<int>("board"); // -2: the unit's mezzanine (6)
    QTest::addColumn<int>("swing"); // 3: the board's own, 5: the rel_a default, else built in
    QTest::addColumn<QString>("message");

    QTest::newRow("board's own settings") << "rel_a" << 3 << 3 << "Using configuration for board ID: 3";
    QTest::newRow("default of the module's output") << "rel_a" << 4 << 5 << QString();
    QTest::newRow("no default for rel_b") << "rel_b" << 4 << 13
                                          << "No matching board data or config, falling back to internal defaults - ID: 4";
    QTest::newRow("mezzanine when no board is given") << "rel_b" << -2 << 3
                                                      << "Using configuration for board ID: 6";
    QTest::newRow("board 20 unknown") << "rel_b" << 20 << 13 << "BoardId 20 unknown, using 15 for defaults";
    QTest::newRow("board 16 has its own key") << "rel_b" << 16 << 3 << "Using configuration for board ID: 16";
}

void TestSfpConfigFileHandler::boardChoice()
{
    QFETCH(QString, io);
    QFETCH(int, board);
    QFETCH(int, swing);
    QFETCH(QString, message);
    QJsonObject module = withSdiConfig("IO", io);
    module.insert("Boards", QJsonObject{{"3", settingsObject(3, 3, 3)},
                                        {"6", settingsObject(3, 3, 3)},
                                        {"16", settingsObject(3, 3, 3)},
                                        {"rel_a_default", settingsObject(5, 5, 5)}});
    SfpConfigFileHandler handler(version(10, 6));
    QVERIFY(handler.parse(fileWith(module)));
    LogCapture capture;
    SfpBoardSettings settings;
    const SupportedSfp& sfp = handler.supportedSfps().first();
    QVERIFY(board == -2 ? handler.boardSettings(sfp, &settings) : handler.boardSettings(sfp, board, &settings));
    QCOMPARE(settings.voltageSwing[0], swing);
    if (!message.isEmpty())
        QCOMPARE(capture.count(spdlog::level::info, message), 1);
}

void TestSfpConfigFileHandler::builtInTables_data()
{
    QTest::addColumn<int>("mainBoard");
    QTest::addColumn<int>("board");
    QTest::addColumn<QList<int>>("row");

    const QList<int> vqEarly{13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0};
    const QList<int> vqLate{13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0};
    const QList<int> vqlFirst{15, 15, 15, 15, 0, 10, 0, 10, 0, 25, 0, 25, 0, 0, 0, 0};
    const QList<int> vqlOther{15, 15, 15, 15, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0};
    QTest::newRow("small main board, board 0") << 10 << 0 << vqEarly;
    QTest::newRow("small main board, board 9") << 10 << 9 << vqEarly;
    QTest::newRow("small main board, board 10") << 10 << 10 << vqLate;
    QTest::newRow("small main board, board 15") << 10 << 15 << vqLate;
    QTest::newRow("small main board, board 16 uses 15") << 10 << 16 << vqLate;
    QTest::newRow("small main board, board -1 uses 0") << 10 << -1 << vqEarly;
    QTest::newRow("main board 70, board 0") << 70 << 0 << vqlFirst;
    QTest::newRow("main board 70, board 1") << 70 << 1 << vqlOther;
    QTest::newRow("main board 70, board 15") << 70 << 15 << vqlOther;
}

void TestSfpConfigFileHandler::builtInTables()
{
    QFETCH(int, mainBoard);
    QFETCH(int, board);
    QFETCH(QList<int>, row);
    QCOMPARE(sizeof SfpConfigFileHandler::SFP_DEFAULT_CONFIGS_VQ, size_t(1024));
    QCOMPARE(sizeof SfpConfigFileHandler::SFP_DEFAULT_CONFIGS_VQL, size_t(1024));
    const SfpConfigFileHandler handler(version(mainBoard));
    QCOMPARE(flatten(handler.builtInSettings(board)), row);
    if (board >= 0 && board < 16) {
        QCOMPARE(tableRow(mainBoard > 63 ? SfpConfigFileHandler::SFP_DEFAULT_CONFIGS_VQL[board]
                                         : SfpConfigFileHandler::SFP_DEFAULT_CONFIGS_VQ[board]),
                 row);
    }
}

void TestSfpConfigFileHandler::missingDirectoryCreatedThenRead()
{
    QTemporaryDir temporary;
    const QString directory = temporary.path() + "/etc/vq/sfp";
    const QString file = directory + "/supportedSfpConfig.json";
    {
        LogCapture capture;
        SfpConfigFileHandler handler(version(10));
        QVERIFY(handler.load(directory));
        QCOMPARE(handler.supportedSfps().size(), 5);
        QCOMPARE(capture.count(spdlog::level::info,
                               QStringLiteral("Directory %1 could not be found. Attempting to create it.").arg(directory)),
                 1);
        QCOMPARE(capture.count(QStringLiteral("Successfully created directory %1.").arg(directory)), 1);
        QCOMPARE(capture.count(QStringLiteral("Using default supported SFPs list from resources file")), 1);
        QCOMPARE(capture.count(QStringLiteral("Created file %1").arg(file)), 1);
        const struct passwd* owner = ::getpwnam(SfpConfigFileHandler::FILE_OWNER);
        if (owner)
            QCOMPARE(QFileInfo(file).ownerId(), uint(owner->pw_uid));
        else
            QCOMPARE(capture.count(QStringLiteral("Failed to change supported SFPs file ownership. Error code: %1")
                                       .arg(ENOENT)),
                     1);
    }
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), resource("supportedSfpConfig.json"));
    written.close();

    LogCapture capture;
    SfpConfigFileHandler handler(version(10));
    QVERIFY(handler.load(directory));
    QCOMPARE(handler.supportedSfps().size(), 5);
    QCOMPARE(capture.count(QStringLiteral("Found supported SFPs JSON file")), 1);
    QCOMPARE(capture.count(QStringLiteral("Using default supported SFPs list from resources file")), 0);
}

void TestSfpConfigFileHandler::unusableFileFallsBack_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("messages");
    const QString fallback =
        QStringLiteral("Could not create list of supported SFPs from data in file. Using default list instead.");
    QTest::newRow("no revision") << QByteArray(R"({"supportedSfps": []})")
                                 << QStringList{"Invalid JSON file: does not contain config revision", fallback};
    QTest::newRow("empty file") << QByteArray() << QStringList{"No data read from supported SFPs file"};
    QTest::newRow("no usable module") << fileWith(QJsonArray{1})
                                      << QStringList{"Invalid JSON file: No valid SFP objects found", fallback};
}

void TestSfpConfigFileHandler::unusableFileFallsBack()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, messages);
    QTemporaryDir directory;
    QFile file(directory.path() + "/" "supportedSfpConfig.json");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    LogCapture capture;
    SfpConfigFileHandler handler(version(10));
    QVERIFY(handler.load(directory.path()));
    QCOMPARE(handler.supportedSfps().size(), 5);
    for (const QString& message : messages)
        QVERIFY2(capture.count(message) == 1, qPrintable(message));
    QCOMPARE(capture.count(QStringLiteral("Using default supported SFPs list from resources file")), 1);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), resource("supportedSfpConfig.json"));
}

void TestSfpConfigFileHandler::largeMainBoardUsesItsOwnFile()
{
    QTemporaryDir directory;
    SfpConfigFileHandler handler(version(70));
    QCOMPARE(handler.fileName(), QStringLiteral("supportedSfpConfigVqL.json"));
    LogCapture capture;
    QVERIFY(handler.load(directory.path()));
    QVERIFY(QFileInfo::exists(directory.path() + "/" "supportedSfpConfigVqL.json"));
    QVERIFY(!QFileInfo::exists(directory.path() + "/" "supportedSfpConfig.json"));

    // A module without settings of its own falls back on the large board's table.
    const auto sfp = std::find_if(handler.supportedSfps().begin(), handler.supportedSfps().end(),
                                  [](const SupportedSfp& module) { return module.partNumber == "OVX-10G-SR"; });
    QVERIFY(sfp != handler.supportedSfps().end());
    SfpBoardSettings settings;
    QVERIFY(handler.boardSettings(*sfp, 0, &settings));
    QCOMPARE(flatten(settings), tableRow(SfpConfigFileHandler::SFP_DEFAULT_CONFIGS_VQL[0]));
}

QTEST_GUILESS_MAIN(TestSfpConfigFileHandler)
#include "tst_sfpconfigfilehandler.moc"
