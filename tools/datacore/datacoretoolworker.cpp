#include "datacoretoolworker.h"

#include "clientdatacore.h"
#include "clientdatacoremanipulator.h"
#include "datacorepacket.h"
#include "datacoretoolsession.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

namespace {

// The event-loop thread answers at once unless it is stuck.
constexpr int SNAPSHOT_LIMIT_MS = 10000;
// As long as the manipulator waits for the answer to a change.
constexpr int ANSWER_LIMIT_MS = 5000;

} // namespace

DatacoreToolWorker::DatacoreToolWorker(const DatacoreToolOptions& options, DatacoreToolSession* session,
                                       QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_session(session)
{
}

DatacoreToolWorker::~DatacoreToolWorker()
{
    join();
}

void DatacoreToolWorker::start(const QStringList& paths, const DatacoreSnapshot& saved)
{
    ClientDatacoreRegistry* registry = m_session->registry();
    m_thread = std::thread([this, registry, paths, saved] { emit finished(int(run(registry, paths, saved))); });
}

void DatacoreToolWorker::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void DatacoreToolWorker::stopWatching()
{
    m_stopRequested = true;
    emit stopRequested();
}

DatacoreToolStatus DatacoreToolWorker::run(ClientDatacoreRegistry* registry, const QStringList& paths,
                                           const DatacoreSnapshot& saved)
{
    ClientDatacoreManipulator manipulator(registry);
    switch (m_options.command) {
    case DatacoreToolCommand::List:
        return list(paths);
    case DatacoreToolCommand::Dump:
        return dump(paths);
    case DatacoreToolCommand::Diff:
        return diff(saved);
    case DatacoreToolCommand::Get:
        return get(manipulator);
    case DatacoreToolCommand::Set:
        return set(manipulator, paths);
    case DatacoreToolCommand::Watch:
        break;
    }
    return watch(manipulator);
}

DatacoreToolStatus DatacoreToolWorker::list(const QStringList& paths)
{
    if (paths.isEmpty()) {
        complain(QStringLiteral("no datacore at or under %1").arg(m_options.prefix));
        return DatacoreToolStatus::UnknownPath;
    }
    for (const QString& path : paths) {
        if (m_options.format == DatacoreToolFormat::Json)
            writeLine(QString::fromUtf8(
                QJsonDocument(QJsonObject{{QStringLiteral("path"), path}}).toJson(QJsonDocument::Compact)));
        else
            writeLine(path);
    }
    return DatacoreToolStatus::Ok;
}

DatacoreToolStatus DatacoreToolWorker::dump(const QStringList& paths)
{
    if (paths.isEmpty()) {
        complain(QStringLiteral("no datacore at or under %1").arg(m_options.prefix));
        return DatacoreToolStatus::UnknownPath;
    }
    DatacoreSnapshot snapshot;
    if (!m_session->takeSnapshot(m_options.prefix, &snapshot, SNAPSHOT_LIMIT_MS))
        return outcome(DatacoreToolStatus::ConnectionLost);
    for (auto it = snapshot.values().cbegin(); it != snapshot.values().cend(); ++it)
        writeValue(it.key(), it.value());
    return DatacoreToolStatus::Ok;
}

DatacoreToolStatus DatacoreToolWorker::diff(const DatacoreSnapshot& saved)
{
    DatacoreSnapshot live;
    if (!m_session->takeSnapshot(m_options.prefix, &live, SNAPSHOT_LIMIT_MS))
        return outcome(DatacoreToolStatus::ConnectionLost);
    const QList<DatacoreSnapshot::Difference> differences = saved.under(m_options.prefix).differencesTo(live);
    for (const DatacoreSnapshot::Difference& difference : differences) {
        if (m_options.format == DatacoreToolFormat::Json)
            writeLine(DatacoreSnapshot::differenceJsonLine(difference));
        else
            writeLine(DatacoreSnapshot::differenceText(difference));
    }
    return differences.isEmpty() ? DatacoreToolStatus::Ok : DatacoreToolStatus::Differences;
}

DatacoreToolStatus DatacoreToolWorker::get(ClientDatacoreManipulator& manipulator)
{
    DatacoreToolStatus status = DatacoreToolStatus::Ok;
    for (const QString& path : m_options.paths) {
        bool ok = false;
        const DatacoreValue value = manipulator.getDatacoreValue(path, &ok);
        if (isEndedFromOutside())
            return outcome(status);
        if (!ok) {
            complain(QStringLiteral("no datacore %1").arg(path));
            status = DatacoreToolStatus::UnknownPath;
            continue;
        }
        writeValue(path, value);
    }
    return status;
}

DatacoreToolStatus DatacoreToolWorker::set(ClientDatacoreManipulator& manipulator, const QStringList& paths)
{
    const QString path = m_options.paths.constFirst();
    const QStringList& values = m_options.values;
    if (!manipulator.requestDatacoreBlocking(path)) {
        complain(QStringLiteral("no datacore %1").arg(path));
        return outcome(DatacoreToolStatus::UnknownPath);
    }
    // Routers and inner datacores group others; the server's values live in the leaves.
    if (!path.contains(QLatin1Char('/')) || paths.size() > 1) {
        complain(QStringLiteral("%1 is not a leaf of the tree; only leaves hold values to set").arg(path));
        return DatacoreToolStatus::Usage;
    }
    bool ok = false;
    const DatacoreValue current = manipulator.getDatacoreValue(path, &ok);
    if (!ok)
        return outcome(DatacoreToolStatus::ConnectionLost);
    if (!m_options.force && !current.data.isEmpty() && values.size() != current.data.size()) {
        complain(QStringLiteral("%1 holds %2 item(s), the new value %3; give --force to change the number of items")
                     .arg(path)
                     .arg(current.data.size())
                     .arg(values.size()));
        return DatacoreToolStatus::Usage;
    }
    // Judged by the server's answer to this very change. A value the mirror
    // already holds sends nothing by itself: it is sent anyway, so that the
    // server judges it now rather than an earlier answer being taken for it.
    const quint64 before = m_session->answerCount(path);
    QJsonObject answer;
    bool answered = false;
    if (current.data != values) {
        if (!manipulator.setDatacoreStringListAndWaitForSync(path, values)) {
            complain(QStringLiteral("the server did not confirm the new value of %1 in time").arg(path));
            return outcome(DatacoreToolStatus::NotConfirmed);
        }
        answered = m_session->waitForAnswer(path, before, 0, &answer);
    }
    if (!answered) {
        m_session->resendChange(path, values);
        answered = m_session->waitForAnswer(path, before, ANSWER_LIMIT_MS, &answer);
    }
    if (!answered) {
        complain(QStringLiteral("the server did not confirm the new value of %1 in time").arg(path));
        return outcome(DatacoreToolStatus::NotConfirmed);
    }

    ClientDatacore stored(QStringLiteral("ClientDatacore"), path.section(QLatin1Char('/'), -1), nullptr, path);
    stored.applyDatacorePacket(DatacorePacket(answer, path), false);
    const DatacoreValue value{stored.data(), stored.validationMessages(), stored.isActive()};
    writeValue(path, value);

    bool invalid = false;
    const QString messages = ClientDatacore::joinValidationMessages(value.validationMessages, &invalid, nullptr)
                                 .replace(QLatin1Char('\n'), QStringLiteral("; "));
    if (value.data == values && invalid) {
        complain(QStringLiteral("the server stored the value for %1 but marked it invalid: %2").arg(path, messages));
        return DatacoreToolStatus::ValueRefused;
    }
    if (value.data == values)
        return DatacoreToolStatus::Ok;
    if (invalid) {
        complain(QStringLiteral("the server refused the value for %1 and kept %2: %3")
                     .arg(path, DatacoreSnapshot::summary({value.data, {}, true}), messages));
        return DatacoreToolStatus::ValueRefused;
    }
    complain(QStringLiteral("the server stored %1 for %2, not the value asked for")
                 .arg(DatacoreSnapshot::summary({value.data, {}, true}), path));
    return DatacoreToolStatus::OtherValueStored;
}

DatacoreToolStatus DatacoreToolWorker::watch(ClientDatacoreManipulator& manipulator)
{
    DatacoreToolStatus status = DatacoreToolStatus::Ok;
    for (const QString& path : m_options.paths) {
        if (!manipulator.requestDatacoreBlocking(path)) {
            complain(QStringLiteral("no datacore %1").arg(path));
            status = DatacoreToolStatus::UnknownPath;
        }
    }
    if (status != DatacoreToolStatus::Ok)
        return outcome(status);

    QEventLoop loop;
    // Lives on this thread, so the session's signals reach it as queued calls.
    QObject receiver;
    int changes = 0;
    connect(m_session, &DatacoreToolSession::datacoreChanged, &receiver,
            [&](QString path, QStringList data, QStringList validationMessages, bool isActive, qint64 msecs,
                bool initial) {
                const DatacoreValue value{data, validationMessages, isActive};
                switch (m_options.format) {
                case DatacoreToolFormat::Json: {
                    const QString time = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC)
                                             .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
                    writeLine(DatacoreSnapshot::toJsonLine(
                        path, value, {{QStringLiteral("time"), time}, {QStringLiteral("initial"), initial}}));
                    break;
                }
                case DatacoreToolFormat::Value:
                    writeValue(path, value);
                    break;
                case DatacoreToolFormat::Text:
                    writeLine(QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz "))
                              + path + QStringLiteral(" = ") + DatacoreSnapshot::summary(value)
                              + (initial ? QStringLiteral(" (initial)") : QString()));
                    break;
                }
                if (!initial && m_options.count > 0 && ++changes >= m_options.count)
                    loop.quit();
            });
    connect(m_session, &DatacoreToolSession::connectionLost, &receiver, [&] { loop.quit(); });
    connect(this, &DatacoreToolWorker::stopRequested, &receiver, [&] { loop.quit(); });
    QTimer duration;
    if (m_options.durationSeconds > 0) {
        duration.setSingleShot(true);
        connect(&duration, &QTimer::timeout, &loop, &QEventLoop::quit);
        duration.start(m_options.durationSeconds * 1000);
    }
    emit watchRequested(m_options.paths, !m_options.updatesOnly);
    // A stop or loss signalled before the connections above were made.
    if (!m_stopRequested && !m_session->isConnectionLost())
        loop.exec();
    return outcome(DatacoreToolStatus::Ok);
}

bool DatacoreToolWorker::isEndedFromOutside() const
{
    return m_interrupted || m_timedOut || m_session->isConnectionLost();
}

DatacoreToolStatus DatacoreToolWorker::outcome(DatacoreToolStatus status) const
{
    if (m_interrupted)
        return DatacoreToolStatus::Interrupted;
    if (m_timedOut)
        return DatacoreToolStatus::TimedOut;
    if (m_session->isConnectionLost())
        return DatacoreToolStatus::ConnectionLost;
    return status;
}

void DatacoreToolWorker::complain(const QString& message) const
{
    if (!isEndedFromOutside())
        std::fprintf(stderr, "vq_datacore: %s\n", message.toUtf8().constData());
}

void DatacoreToolWorker::writeLine(const QString& line) const
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    // A watch is read while it runs.
    if (m_options.command == DatacoreToolCommand::Watch)
        std::fflush(stdout);
}

void DatacoreToolWorker::writeValue(const QString& path, const DatacoreValue& value) const
{
    switch (m_options.format) {
    case DatacoreToolFormat::Json:
        writeLine(DatacoreSnapshot::toJsonLine(path, value));
        break;
    case DatacoreToolFormat::Value:
        for (const QString& item : value.data)
            writeLine(item);
        break;
    case DatacoreToolFormat::Text:
        writeLine(DatacoreSnapshot::toText(path, value));
        break;
    }
}
