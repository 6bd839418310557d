// Cost of applying and writing the JSON of one single-value datacore, the
// work done for every datacore packet the client receives, measured against
// parsing the same object's text with QJsonDocument::fromJson. Then one parent
// with tens of thousands of children: changing and deleting every child must
// stay linear, so both are compared with the time it takes to create them.

#include "datacorebase.h"

#include <QElapsedTimer>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int ITERATIONS = 100000;
constexpr int ROUNDS = 5;

const char DATACORE_TEXT[] = R"({"brevEth0IgmpMaxVersion":{"class":"ClientDatacore","data":"3",)"
                             R"("reasonsForBeingInactive":[],"reasonsForBeingInvalid":[]}})";

volatile int sink = 0;

double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Every child changed once lands in the parent's pending changes; deleting
// them takes each one out again.
void wideTree(int childCount)
{
    QElapsedTimer timer;
    timer.start();
    DatacoreBase parent(QStringLiteral("parent"), nullptr);
    std::vector<std::unique_ptr<DatacoreBase>> children;
    children.reserve(size_t(childCount));
    for (int i = 0; i < childCount; ++i)
        children.push_back(std::make_unique<DatacoreBase>(QStringLiteral("child%1").arg(i), &parent));
    const double createMs = elapsedMs(timer);

    timer.restart();
    for (const auto& child : children)
        child->setDataString(QStringLiteral("x"));
    const double changeMs = elapsedMs(timer);
    sink += int(parent.pendingChanges().size());

    timer.restart();
    children.clear();
    const double deleteMs = elapsedMs(timer);
    sink += int(parent.pendingChanges().size());

    std::printf("children_%d_create_ms %.1f ms\n", childCount, createMs);
    std::printf("children_%d_change_all_ms %.1f ms\n", childCount, changeMs);
    std::printf("children_%d_delete_all_ms %.1f ms\n", childCount, deleteMs);
    std::printf("ratio_children_%d_change_delete_vs_create %.2f\n", childCount, (changeMs + deleteMs) / createMs);
}

// Best of several rounds, in nanoseconds per operation.
double measure(const std::function<void(int)>& operation)
{
    double best = 1e300;
    for (int round = 0; round < ROUNDS; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < ITERATIONS; ++i)
            operation(i);
        best = std::min(best, double(timer.nsecsElapsed()) / ITERATIONS);
    }
    return best;
}

} // namespace

int main()
{
    const QByteArray text(DATACORE_TEXT);
    const QJsonObject current = QJsonDocument::fromJson(text).object();
    QJsonObject other = current;
    QJsonObject inner = other.value(QStringLiteral("brevEth0IgmpMaxVersion")).toObject();
    inner.insert(QStringLiteral("data"), QStringLiteral("2"));
    other.insert(QStringLiteral("brevEth0IgmpMaxVersion"), inner);

    DatacoreBase datacore(QStringLiteral("ClientDatacore"), QStringLiteral("brevEth0IgmpMaxVersion"), nullptr,
                          QStringLiteral("3"));
    std::list<DatacoreJsonMessage> messages;

    const double fromJson = measure([&](int) { sink += QJsonDocument::fromJson(text).object().size(); });
    const double noChange = measure([&](int) { sink += datacore.deserialise(QString(), current, false, messages); });
    const double change = measure(
        [&](int i) { sink += datacore.deserialise(QString(), (i & 1) ? current : other, false, messages); });
    const double serialise = measure([&](int) {
        QJsonObject target;
        sink += datacore.serialise(QString(), target, false, false, messages);
    });

    std::printf("fromjson_ns %.1f ns\n", fromJson);
    std::printf("deserialise_nochange_ns %.1f ns\n", noChange);
    std::printf("deserialise_change_ns %.1f ns\n", change);
    std::printf("serialise_ns %.1f ns\n", serialise);
    std::printf("ratio_deserialise_nochange_vs_fromjson %.2f\n", noChange / fromJson);
    std::printf("ratio_deserialise_change_vs_fromjson %.2f\n", change / fromJson);
    std::printf("ratio_serialise_vs_fromjson %.2f\n", serialise / fromJson);
    wideTree(40000);
    wideTree(100000);
    return messages.empty() ? 0 : 1;
}
