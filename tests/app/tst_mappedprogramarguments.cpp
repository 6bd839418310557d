#include "logcapture.h"
#include "mappedprogramarguments.h"

#include <QtTest>

#include <sstream>
#include <vector>

namespace {

// argv as the process gets it: Latin-1 bytes, kept alive for the call.
MappedProgramArguments parse(const QStringList& arguments, bool stripPrefixes)
{
    std::vector<QByteArray> storage;
    for (const QString& argument : arguments)
        storage.push_back(argument.toLatin1());
    std::vector<char*> argv;
    for (QByteArray& bytes : storage)
        argv.push_back(bytes.data());
    return MappedProgramArguments(int(argv.size()), argv.data(), stripPrefixes);
}

std::string dump(const MappedProgramArguments& arguments)
{
    std::ostringstream stream;
    stream << arguments;
    return stream.str();
}

const QString MULTIPLE_EQUALS = QStringLiteral("Command line argument contained multiple '='!");

} // namespace

class TestMappedProgramArguments : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void lastOccurrenceWinsAndDump();
    void missingKey();
    void nullArgvEntryAndEmptyArgv();
};

void TestMappedProgramArguments::parsing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("strip");
    // "key=value" per entry, "key" alone for a null value, in map order.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("multipleEqualsErrors");

    QTest::newRow("prefixes stripped")
        << QStringList{"prog", "--level=3", "-v", "-Dmode=fast"} << true
        << QStringList{"level=3", "mode=fast", "prog", "v"} << 0;
    QTest::newRow("only the first prefix, once")
        << QStringList{"---x", "--Dy"} << true << QStringList{"-x", "Dy"} << 0;
    QTest::newRow("-D before --") << QStringList{"-D-z=1"} << true << QStringList{"-z=1"} << 0;
    QTest::newRow("no stripping keeps the prefix")
        << QStringList{"--x=1"} << false << QStringList{"--x=1"} << 0;
    QTest::newRow("trailing and leading '=' give a null value")
        << QStringList{"name=", "=name"} << true << QStringList{"name", "name"} << 0;
    QTest::newRow("empty parts dropped") << QStringList{"a==b"} << true << QStringList{"a=b"} << 0;
    QTest::newRow("three parts keep first and last")
        << QStringList{"a=b=c"} << true << QStringList{"a=c"} << 1;
    QTest::newRow("empty after stripping adds nothing")
        << QStringList{"--", "-", "="} << true << QStringList{} << 3;
}

void TestMappedProgramArguments::parsing()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, strip);
    QFETCH(QStringList, entries);
    QFETCH(int, multipleEqualsErrors);

    LogCapture capture;
    const MappedProgramArguments parsed = parse(arguments, strip);
    QCOMPARE(capture.count(spdlog::level::err, MULTIPLE_EQUALS), multipleEqualsErrors);

    // Rebuild the expected dump from the entries: all keys in order, each
    // repeated once per value, values of a key listed in full every time.
    QMultiMap<QString, QString> expected;
    for (const QString& entry : entries) {
        const int equals = entry.indexOf(QLatin1Char('='), 1);
        expected.insert(equals < 0 ? entry : entry.left(equals), equals < 0 ? QString() : entry.mid(equals + 1));
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QVERIFY(parsed.contains(it.key()));
        QCOMPARE(parsed.values(it.key()), expected.values(it.key()));
        QCOMPARE(parsed.value(it.key()).isNull(), expected.value(it.key()).isNull());
    }
}

void TestMappedProgramArguments::lastOccurrenceWinsAndDump()
{
    LogCapture capture;
    const MappedProgramArguments parsed = parse({"prog", "--x=1", "--x=2", QStringLiteral("k=") + QChar(0xe9)}, true);
    QCOMPARE(parsed.value("x"), QStringLiteral("2"));
    QCOMPARE(parsed.values("x"), (QStringList{"2", "1"}));
    // Keys in order, once per value, each with all its values; Latin-1 argv is dumped as UTF-8.
    QCOMPARE(dump(parsed), std::string("MappedProgramArguments {\nkey[k] : values[\xc3\xa9]key[prog] : values[]"
                                       "key[x] : values[21]key[x] : values[21]}"));
    QVERIFY(capture.messages().isEmpty());
}

void TestMappedProgramArguments::missingKey()
{
    LogCapture capture;
    const MappedProgramArguments parsed = parse({"prog", "x=1"}, true);
    QVERIFY(!parsed.contains("X"));
    QVERIFY(capture.messages().isEmpty());
    const QString value = parsed.value("X");
    QVERIFY(value.isNull());
    QCOMPARE(capture.messages(spdlog::level::err), QStringList{"No key found: X"});
}

void TestMappedProgramArguments::nullArgvEntryAndEmptyArgv()
{
    char program[] = "prog";
    char* argv[] = {program, nullptr};
    const MappedProgramArguments parsed(2, argv, true);
    QVERIFY(parsed.contains("prog"));
    QCOMPARE(dump(MappedProgramArguments(0, argv, true)), std::string("MappedProgramArguments {\n}"));
    QCOMPARE(dump(MappedProgramArguments(-1, argv, true)), std::string("MappedProgramArguments {\n}"));
}

QTEST_GUILESS_MAIN(TestMappedProgramArguments)
#include "tst_mappedprogramarguments.moc"
