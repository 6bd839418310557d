// Feeds arbitrary JSON objects to a small tree of plain and boolean datacores,
// at the root and at every path, then writes the tree back. Beyond "no crash",
// it checks that nothing reports element errors, that pending changes stay
// bounded, and that what the tree writes reads back into a fresh tree
// unchanged.

#include "datacorebase.h"
#include "datacorebool.h"
#include "vqlog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <spdlog/sinks/null_sink.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int TREE_SIZE = 6;

struct Tree
{
    Tree() { root.initialise(); }
    DatacoreBase root{QStringLiteral("root"), nullptr};
    DatacoreBool flag{QStringLiteral("flag"), &root, true};
    DatacoreBase text{QStringLiteral("text"), &root, QStringLiteral("value")};
    DatacoreBase sub{QStringLiteral("sub"), &root};
    DatacoreBool flags{QStringLiteral("flags"), &sub, QList<bool>{true, false}};
    DatacoreBase leaf{QStringLiteral("leaf"), &sub, QStringList{"a", "b"}};
};

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Qt 5.15's JSON parser leaks the dropped value when an object repeats a key
// whose value is an object or array. That is Qt's, not ours, so such inputs are
// skipped rather than reported. Keys are compared decoded and up to the first
// NUL, as Qt compares them.
bool repeatsAKey(const QByteArray& text)
{
    struct Container
    {
        bool isObject;
        QSet<QString> keys;
    };
    std::vector<Container> open;
    bool expectKey = false;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"') {
            const int start = i++;
            for (; i < text.size() && text.at(i) != '"'; ++i) {
                if (text.at(i) == '\\')
                    ++i;
            }
            if (!expectKey)
                continue;
            const QByteArray quoted = '[' + text.mid(start, i - start + 1) + ']';
            QString key = QJsonDocument::fromJson(quoted).array().at(0).toString();
            const int nul = key.indexOf(QChar(0));
            if (nul >= 0)
                key.truncate(nul);
            if (open.back().keys.contains(key))
                return true;
            open.back().keys.insert(key);
            expectKey = false;
        } else if (c == '{' || c == '[') {
            open.push_back({c == '{', {}});
            expectKey = c == '{';
        } else if (c == '}' || c == ']') {
            if (!open.empty())
                open.pop_back();
            expectKey = false;
        } else if (c == ',') {
            expectKey = !open.empty() && open.back().isObject;
        }
    }
    return false;
}

QJsonObject written(Tree& tree, bool dataOnly, std::list<DatacoreJsonMessage>& messages)
{
    QJsonObject target;
    require(tree.root.serialise(QString(), target, dataOnly, true, messages));
    return target;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Log lines are formatted as in the program, then dropped.
    auto logger = std::make_shared<spdlog::logger>(VQ_LOGGER_NAME, std::make_shared<spdlog::sinks::null_sink_mt>());
    logger->set_level(spdlog::level::info);
    spdlog::register_logger(logger);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    if (repeatsAKey(text))
        return 0;
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject())
        return 0;
    const QJsonObject source = document.object();

    Tree tree;
    std::list<DatacoreJsonMessage> messages;
    static const char* const paths[] = {"", "flag", "text", "sub", "sub/flags", "sub/leaf", "sub/", "/sub", "nope"};
    for (const char* path : paths) {
        for (bool dataOnly : {false, true})
            tree.root.deserialise(QLatin1String(path), source, dataOnly, messages);
    }
    require(messages.empty());
    require(int(tree.root.pendingChanges().size()) <= TREE_SIZE);

    for (bool dataOnly : {false, true}) {
        const QJsonObject first = written(tree, dataOnly, messages);
        QJsonDocument(first).toJson();
        Tree copy;
        require(copy.root.deserialise(QString(), first, dataOnly, messages));
        require(written(copy, dataOnly, messages) == first);
    }
    require(messages.empty());
    return 0;
}
