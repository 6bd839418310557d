#include "datacoretoolworker.h"

#include "clientdatacore.h"
#include "clientdatacoremanipulator.h"
#include "datacoretoolsession.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

namespace {

QStringList pathsUnder(const QStringList& paths, const QString& prefix)
{
    QStringList selected;
    for (const QString& path : paths) {
        if (isUnderPrefix(path, prefix))
            selected.append(path);
    }
    return selected;
}

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
        return dump(manipulator, paths);
    case DatacoreToolCommand::Diff:
        return diff(manipulator, paths, saved);
    case DatacoreToolCommand::Get:
        return get(manipulator);
    case DatacoreToolCommand::Set:
        return set(manipulator);
    case DatacoreToolCommand::Watch:
        break;
    }
    return watch(manipulator);
}

DatacoreToolStatus DatacoreToolWorker::list(const QStringList& paths)
{
    const QStringList selected = pathsUnder(paths, m_options.prefix);
    if (selected.isEmpty()) {
        complain(QStringLiteral("no datacore at or under %1").arg(m_options.prefix));
        return DatacoreToolStatus::UnknownPath;
    }
    for (const QString& path : selected) {
        if (m_options.json)
            writeJson(QJsonObject{{QStringLiteral("path"), path}});
        else
            writeLine(path);
    }
    return DatacoreToolStatus::Ok;
}

bool DatacoreToolWorker::readAll(ClientDatacoreManipulator& manipulator, const QStringList& paths,
                                 DatacoreSnapshot* snapshot) const
{
    for (const QString& path : paths) {
        bool ok = false;
        const DatacoreValue value = manipulator.getDatacoreValue(path, &ok);
        // The paths came from the registry: only its clearing loses one.
        if (!ok)
            return false;
        snapshot->insert(path, value);
    }
    return true;
}

DatacoreToolStatus DatacoreToolWorker::dump(ClientDatacoreManipulator& manipulator, const QStringList& paths)
{
    const QStringList selected = pathsUnder(paths, m_options.prefix);
    if (selected.isEmpty()) {
        complain(QStringLiteral("no datacore at or under %1").arg(m_options.prefix));
        return DatacoreToolStatus::UnknownPath;
    }
    DatacoreSnapshot snapshot;
    if (!readAll(manipulator, selected, &snapshot))
        return outcome(DatacoreToolStatus::ConnectionLost);
    for (auto it = snapshot.values().cbegin(); it != snapshot.values().cend(); ++it)
        writeValue(it.key(), it.value());
    return DatacoreToolStatus::Ok;
}

DatacoreToolStatus DatacoreToolWorker::diff(ClientDatacoreManipulator& manipulator, const QStringList& paths,
                                            const DatacoreSnapshot& saved)
{
    DatacoreSnapshot live;
    if (!readAll(manipulator, pathsUnder(paths, m_options.prefix), &live))
        return outcome(DatacoreToolStatus::ConnectionLost);
    const QList<DatacoreSnapshot::Difference> differences = saved.under(m_options.prefix).differencesTo(live);
    for (const DatacoreSnapshot::Difference& difference : differences) {
        if (m_options.json)
            writeJson(DatacoreSnapshot::differenceJson(difference));
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

DatacoreToolStatus DatacoreToolWorker::set(ClientDatacoreManipulator& manipulator)
{
    const QString path = m_options.paths.constFirst();
    if (!manipulator.requestDatacoreBlocking(path)) {
        complain(QStringLiteral("no datacore %1").arg(path));
        return outcome(DatacoreToolStatus::UnknownPath);
    }
    if (!manipulator.setDatacoreStringListAndWaitForSync(path, m_options.values)) {
        complain(QStringLiteral("the server did not confirm the new value of %1 in time").arg(path));
        return outcome(DatacoreToolStatus::NotConfirmed);
    }
    bool ok = false;
    const DatacoreValue value = manipulator.getDatacoreValue(path, &ok);
    if (!ok)
        return outcome(DatacoreToolStatus::ConnectionLost);
    writeValue(path, value);

    bool refused = false;
    const QString messages = ClientDatacore::joinValidationMessages(value.validationMessages, &refused, nullptr);
    if (refused) {
        complain(QStringLiteral("the server refused the value for %1: %2")
                     .arg(path, QString(messages).replace(QLatin1Char('\n'), QStringLiteral("; "))));
        return DatacoreToolStatus::ValueRefused;
    }
    return DatacoreToolStatus::Ok;
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
            [&](QString path, QStringList data, QStringList validationMessages, bool isActive, qint64 msecs) {
                const DatacoreValue value{data, validationMessages, isActive};
                if (m_options.json) {
                    QJsonObject object = DatacoreSnapshot::toJson(path, value);
                    object.insert(QStringLiteral("time"), QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC).toString(
                                                              QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")));
                    writeJson(object);
                } else {
                    writeLine(QDateTime::fromMSecsSinceEpoch(msecs).toString(
                                  QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz "))
                              + path + QStringLiteral(" = ") + DatacoreSnapshot::summary(value));
                }
                if (m_options.count > 0 && ++changes >= m_options.count)
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
    emit watchRequested(m_options.paths);
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

void DatacoreToolWorker::writeJson(const QJsonObject& object) const
{
    writeLine(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

void DatacoreToolWorker::writeValue(const QString& path, const DatacoreValue& value) const
{
    if (m_options.json)
        writeJson(DatacoreSnapshot::toJson(path, value));
    else
        writeLine(DatacoreSnapshot::toText(path, value));
}
