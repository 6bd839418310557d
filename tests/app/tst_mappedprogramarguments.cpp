#include "logcapture.h"
#include "mappedprogramarguments.h"

#include <QtTest>

#include <sstream>
#include <vector>

namespace {

// argv as the process gets it: Latin-1 bytes, kept alive for the call.
MappedProgramArguments parse(const QStringList& arguments, bool stripPrefixes = true)
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

} // namespace

class TestMappedProgramArguments : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void lookUps();
};

void TestMappedProgramArguments::parsing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("strip");
    // Keys in order, once per value, each with all its values.
    QTest::addColumn<QByteArray>("entries");
    QTest::addColumn<int>("multipleEqualsErrors");

    // Only the first prefix, once; empty parts dropped; Latin-1 dumped as UTF-8.
    QTest::newRow("prefixes stripped")
        << QStringList{"prog", "--x=1", "-v", "-Dmode=fast", "---y", "-D-z=1", "--x=2", "name=", "a==b",
                       QStringLiteral("k=") + QChar(0xe9)} << true
        << QByteArray("key[-y] : values[]key[-z] : values[1]key[a] : values[b]key[k] : values[\xc3\xa9]"
                      "key[mode] : values[fast]key[name] : values[]key[prog] : values[]key[v] : values[]"
                      "key[x] : values[21]key[x] : values[21]") << 0;
    QTest::newRow("no stripping keeps the prefix") << QStringList{"--x=1"} << false
                                                   << QByteArray("key[--x] : values[1]") << 0;
    QTest::newRow("three parts keep first and last, no part adds nothing")
        << QStringList{"a=b=c", "--", "-", "="} << true << QByteArray("key[a] : values[c]") << 4;
}

void TestMappedProgramArguments::parsing()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, strip);
    QFETCH(QByteArray, entries);
    QFETCH(int, multipleEqualsErrors);

    LogCapture capture;
    const MappedProgramArguments parsed = parse(arguments, strip);
    QCOMPARE(capture.count(spdlog::level::err, QStringLiteral("Command line argument contained multiple '='!")),
             multipleEqualsErrors);
    QCOMPARE(dump(parsed), "MappedProgramArguments {\n" + entries.toStdString() + "}");
}

void TestMappedProgramArguments::lookUps()
{
    LogCapture capture;
    const MappedProgramArguments parsed = parse({"prog", "--x=1", "--x=2"});
    QCOMPARE(parsed.value("x"), QStringLiteral("2"));
    QVERIFY(parsed.contains("prog") && parsed.value("prog").isNull() && !parsed.contains("X"));
    QVERIFY(capture.messages().isEmpty());
    QVERIFY(parsed.value("X").isNull());
    QCOMPARE(capture.messages(spdlog::level::err), QStringList{"No key found: X"});

    char program[] = "prog";
    char* argv[] = {program, nullptr};
    QVERIFY(MappedProgramArguments(2, argv, true).contains("prog"));
}

QTEST_GUILESS_MAIN(TestMappedProgramArguments)
#include "tst_mappedprogramarguments.moc"
