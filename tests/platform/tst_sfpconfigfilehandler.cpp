#include "fakeroot.h"
#include "logcapture.h"
#include "sfpconfigfilehandler.h"
#include "versioninfo.h"
#include "vqplatformabstraction.h"

#include <QtTest>

#include <pwd.h>

namespace {

// The identity a unit with these boards reports.
VersionInfo version(unsigned mainBoard, unsigned mezzanine = 3)
{
    FakeRoot root;
    root.setMainBoard(mainBoard);
    root.setGpioLines({508, 507, 506, 505, 504}, mezzanine);
    OutputCapture errors(STDERR_FILENO);
    Brevane::VqPlatformAbstraction platform;
    return VersionInfo(platform);
}

QJsonObject sdiModule()
{
    return QJsonObject{{"Vendor", "LUMENAR"},   {"OUI", "00-1C-7E"}, {"PartNumber", "LM-12G"}, {"Revision", "A"},
                       {"Rate", "12G"},         {"SDI", "SDI"},
                       {"SDIConfig", QJsonObject{{"IO", "rel_a"}, {"MSA", true}, {"ConnectorTypeOverride", 34}}}};
}

// One module or a list of them.
QByteArray fileWith(const QJsonValue& modules)
{
    return QJsonDocument(QJsonObject{{"configRevision", 5},
                                     {"supportedSfps", modules.isArray() ? modules : QJsonArray{modules}}}).toJson();
}

// An undefined value removes the key.
QJsonObject changed(QJsonObject object, const QString& key, const QJsonValue& value)
{
    object.insert(key, value);
    return object;
}

QJsonObject with(const QString& key, const QJsonValue& value, bool inSdiConfig = false)
{
    return inSdiConfig
        ? changed(sdiModule(), "SDIConfig", changed(sdiModule().value("SDIConfig").toObject(), key, value))
        : changed(sdiModule(), key, value);
}

// Swing, pre-cursor, post-cursor and reclocker codes, lane by lane.
QList<int> flatten(const SfpBoardSettings& settings)
{
    QList<int> values;
    for (const auto* group : {&settings.voltageSwing, &settings.preCursor, &settings.postCursor, &settings.reclocker})
        values << group[0][0] << group[0][1] << group[0][2] << group[0][3];
    return values;
}

QJsonObject codes(const QJsonValue& swing, const QJsonValue& pre, const QJsonValue& post,
                  const QJsonValue& reclocker = QJsonArray{1, 2, 3, 4})
{
    return {{"VoltageSwingCode", swing}, {"PreCursorCode", pre}, {"PostCursorCode", post},
            {"ReclockerSettings", reclocker}};
}

} // namespace

class TestSfpConfigFileHandler : public QObject
{
    Q_OBJECT

private slots:
    void parseMessages_data();
    void parseMessages();
    void boardSettings_data();
    void boardSettings();
    void load();
};

void TestSfpConfigFileHandler::parseMessages_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("accepted");

    auto row = [](const char* name, const QByteArray& data, const char* message, int accepted = 0) {
        QTest::newRow(name) << data << QString::fromUtf8(message) << accepted;
    };
    const QJsonValue none = QJsonValue::Undefined;
    row("not JSON", "{configRevision", "Invalid JSON file for supported sfps");
    row("no revision", R"({"supportedSfps": []})", "Invalid JSON file: does not contain config revision");
    row("module list not an array", R"({"configRevision": 2, "supportedSfps": {}})",
        "Invalid JSON file: does not contain supported sfps array");
    row("empty module list", fileWith(QJsonArray()), "Invalid JSON file: No valid SFP objects found");
    row("module not an object", fileWith(QJsonArray{42}), "Invalid JSON file: sfp value not an object");
    row("vendor and rate missing", fileWith(changed(with("Vendor", none), "Rate", none)),
        "Invalid JSON file: sfp object does not contain Vendor, Rate");
    row("unknown kind", fileWith(with("SDI", "3G-SDI")), "Cannot find valid SDI entry, using default", 1);
    row("SDI module without SDIConfig", fileWith(with("SDIConfig", none)),
        "Invalid JSON file: SDIConfig missing for SDI SFP.");
    row("SDIConfig not an object", fileWith(with("SDIConfig", "rel_a")), "Invalid JSON file: SDIConfig not an object");
    row("MSA missing", fileWith(with("MSA", none, true)),
        "Invalid JSON file: MSA flag is missing from SDIConfig object");
    row("10G module needs no SDIConfig", fileWith(changed(with("SDIConfig", none), "SDI", "10G")),
        "Adding support for SFP: LUMENAR(LM-12G)", 1);
    row("revision logged", fileWith(sdiModule()), "SFP configuration file is rev: 5", 1);
    row("revision beyond int", R"({"configRevision": 5e60, "supportedSfps": [1]})",
        "SFP configuration file is rev: 2147483647");
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

void TestSfpConfigFileHandler::boardSettings_data()
{
    QTest::addColumn<QString>("io");
    QTest::addColumn<QJsonObject>("boards");
    QTest::addColumn<int>("board"); // -2: the unit's mezzanine (6)
    QTest::addColumn<QList<int>>("values"); // swing, pre, post, reclocker lanes
    QTest::addColumn<QString>("message"); // "Invalid JSON file: ...": the settings are refused

    const QList<int> builtIn{13, 13, 13, 13, 10, 10, 10, 10, 20, 20, 20, 20, 0, 0, 0, 0};
    const QList<int> own{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 1, 2, 3, 4};
    const QJsonObject boards{{"3", codes(3, 3, 3)}, {"6", codes(3, 3, 3)}, {"16", codes(3, 3, 3)},
                             {"rel_a_default", codes(5, 5, 5)}};
    auto row = [](const char* name, const char* io, const QJsonObject& boards, int board, const QList<int>& values,
                  const QString& message = QString()) {
        QTest::newRow(name) << QString(io) << boards << board << values << message;
    };
    // Settings given for board 4 alone.
    auto lanes = [&row](const char* name, const QJsonObject& settings, const QList<int>& values,
                        const char* error = "") {
        row(name, "rel_a", {{"4", settings}}, 4, values, *error ? QStringLiteral("Invalid JSON file: ") + error : "");
    };
    lanes("one number for all lanes", codes(12, QJsonArray{1, 2, 3, 4}, 7),
          {12, 12, 12, 12, 1, 2, 3, 4, 7, 7, 7, 7, 1, 2, 3, 4});
    lanes("codes beyond int clamped", codes(1e12, -1e12, QJsonArray{1, 2, 3, 4.9}),
          {INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MIN, INT_MIN, 1, 2, 3, 4, 1, 2, 3, 4});
    lanes("three swing codes", codes(QJsonArray{1, 2, 3}, 1, 1), builtIn, "invalid count of voltage swing codes");
    lanes("precursor lane as text", codes(1, QJsonArray{1, 2, "3", 4}, 1), builtIn,
          "does not contain valid precursor code");
    lanes("reclocker as number", codes(1, 1, 1, 5), builtIn, "does not contain valid reclocker settings array");
    row("board's own settings", "rel_a", boards, 3, own, "Using configuration for board ID: 3");
    row("default of the module's output", "rel_a", boards, 4, {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 1, 2, 3, 4});
    row("no default for rel_b", "rel_b", boards, 4, builtIn,
        "No matching board data or config, falling back to internal defaults - ID: 4");
    row("mezzanine when no board is given", "rel_b", boards, -2, own, "Using configuration for board ID: 6");
    row("board 17 unknown", "rel_b", boards, 17, {13, 13, 13, 13, 0, 10, 0, 10, 0, 20, 0, 20, 0, 0, 0, 0},
        "BoardId 17 unknown, using 15 for defaults");
}

void TestSfpConfigFileHandler::boardSettings()
{
    QFETCH(QString, io);
    QFETCH(QJsonObject, boards);
    QFETCH(int, board);
    QFETCH(QList<int>, values);
    QFETCH(QString, message);
    SfpConfigFileHandler handler(version(10, 6));
    QVERIFY(handler.parse(fileWith(changed(with("IO", io, true), "Boards", boards))));
    LogCapture capture;
    SfpBoardSettings settings;
    const SupportedSfp& sfp = handler.supportedSfps().first();
    QCOMPARE(board == -2 ? handler.boardSettings(sfp, &settings) : handler.boardSettings(sfp, board, &settings),
             !message.startsWith("Invalid"));
    QCOMPARE(flatten(settings), values);
    QVERIFY2(message.isEmpty() || capture.count(message) == 1, qPrintable(capture.messages().join('\n')));
}

// Where there is no file the built-in list is written out, owned by the
// service's user, and read back the next time; a file that does not parse
// gives the built-in list again.
void TestSfpConfigFileHandler::load()
{
    QTemporaryDir temporary;
    const QString directory = temporary.path() + "/etc/vq/sfp";
    SfpConfigFileHandler handler(version(10));
    const QString file = directory + '/' + handler.fileName();
    const QString builtIn = QStringLiteral("Using default supported SFPs list from resources file");
    const struct {
        QByteArray content; // null: none written before the load
        int modules;
        QStringList messages;
    } steps[] = {
        {QByteArray(), 5, {"Directory " + directory + " could not be found. Attempting to create it.",
            "Successfully created directory " + directory + '.', "Created file " + file, builtIn}},
        {fileWith(sdiModule()), 1, {"Found supported SFPs JSON file"}},
        {R"({"supportedSfps": []})", 5, {"Invalid JSON file: does not contain config revision", builtIn,
            "Could not create list of supported SFPs from data in file. Using default list instead."}}};
    const struct passwd* owner = ::getpwnam(SfpConfigFileHandler::FILE_OWNER);
    for (const auto& step : steps) {
        QVERIFY(step.content.isNull() || writeFile(file, step.content));
        LogCapture capture;
        QVERIFY(handler.load(directory));
        QCOMPARE(handler.supportedSfps().size(), step.modules);
        for (const QString& message : step.messages)
            QVERIFY2(capture.count(message) == 1, qPrintable(capture.messages().join('\n')));
        QCOMPARE(capture.count(builtIn), int(step.messages.contains(builtIn)));
        QCOMPARE(capture.countStartingWith(QStringLiteral("Failed to change supported SFPs file ownership")),
                 int(step.modules == 5 && !owner));
    }
    QCOMPARE(QDir(directory).entryList(QDir::Files), QStringList{handler.fileName()});
    QCOMPARE(readFile(file), readFile(":/" + handler.fileName()));
    QCOMPARE(QFileInfo(file).ownerId(), owner ? uint(owner->pw_uid) : ::getuid());
}

QTEST_GUILESS_MAIN(TestSfpConfigFileHandler)
#include "tst_sfpconfigfilehandler.moc"
