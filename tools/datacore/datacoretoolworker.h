#pragma once

#include "datacoresnapshot.h"
#include "datacoretooloptions.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <thread>

class ClientDatacoreManipulator;
class ClientDatacoreRegistry;
class DatacoreToolSession;

// Runs one vq_datacore command on a thread of its own, through a
// ClientDatacoreManipulator, writing the results to standard output and what
// went wrong with the command to standard error. The session keeps the mirror
// on the event-loop thread; the worker neither connects nor times out: a lost
// connection, a time-out or an interruption only decide its status.
class DatacoreToolWorker : public QObject
{
    Q_OBJECT

public:
    DatacoreToolWorker(const DatacoreToolOptions& options, DatacoreToolSession* session, QObject* parent = nullptr);
    ~DatacoreToolWorker() override;

    // paths: in path order, those list and dump cover, or for set the
    // datacore's own and those below it; saved: what diff compares with.
    void start(const QStringList& paths, const DatacoreSnapshot& saved);
    bool isStarted() const { return m_thread.joinable(); }
    // After finished(): waits for the thread to end.
    void join();

    // From any thread. A watch ends with status 0.
    void stopWatching();
    // From any thread, before the session's connection is closed to end the
    // command's waits: they decide the status it ends with.
    void noteTimedOut() { m_timedOut = true; }
    void noteInterrupted() { m_interrupted = true; }

signals:
    // Emitted on the worker's thread.
    void finished(int status);
    void watchRequested(QStringList paths, bool withInitial);
    void stopRequested();

private:
    DatacoreToolStatus run(ClientDatacoreRegistry* registry, const QStringList& paths, const DatacoreSnapshot& saved);
    DatacoreToolStatus list(const QStringList& paths);
    DatacoreToolStatus dump(const QStringList& paths);
    DatacoreToolStatus diff(const DatacoreSnapshot& saved);
    DatacoreToolStatus get(ClientDatacoreManipulator& manipulator);
    DatacoreToolStatus set(ClientDatacoreManipulator& manipulator, const QStringList& paths);
    DatacoreToolStatus watch(ClientDatacoreManipulator& manipulator);

    // A time-out, an interruption or a lost connection overrides the status
    // that the command ran into because of it.
    DatacoreToolStatus outcome(DatacoreToolStatus status) const;
    bool isEndedFromOutside() const;
    // Standard error, unless the command was ended from outside, which the
    // event-loop thread reports.
    void complain(const QString& message) const;
    void writeLine(const QString& line) const;
    void writeValue(const QString& path, const DatacoreValue& value) const;

    const DatacoreToolOptions m_options;
    DatacoreToolSession* m_session;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_timedOut{false};
    std::atomic<bool> m_interrupted{false};
    std::thread m_thread;
};
