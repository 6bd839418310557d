#pragma once

#include "datacoresnapshot.h"
#include "datacoretooloptions.h"
#include "datacoretoolsession.h"
#include "datacoretoolworker.h"

#include <QObject>
#include <QTimer>

// vq_datacore's control on the event-loop thread: it connects, starts the
// command on the worker once the mirror is ready (the path tree for list, the
// server's sync-complete packet for the others), enforces the overall
// time-out, ends the command on interruption, and turns each outcome into
// the exit status. It reports what happens to the connection; the worker
// reports what happens to the command.
class DatacoreTool : public QObject
{
    Q_OBJECT

public:
    // How long the worker gets to end its waits once the connection is closed
    // under it, before the process ends without it.
    static constexpr int STOP_GRACE_MS = 10000;

    DatacoreTool(const DatacoreToolOptions& options, const DatacoreSnapshot& saved, QObject* parent = nullptr);
    ~DatacoreTool() override;

    void start();
    // SIGINT or SIGTERM: ends a watch normally, anything else as interrupted.
    void interrupt();


signals:
    // Emitted once, from the event loop.
    void finished(int status);

private slots:
    void onMirrorPopulated();
    void onSynchronised();
    void onConnectionFailed(const QString& reason);
    void onConnectionLost();
    void onTimeout();
    void onWatching(int datacores);
    void onWorkerFinished(int status);
    void onProgressTimer();

private:
    void startCommand();
    // Closes the connection under a running command so that its waits end.
    void endCommandFromOutside(DatacoreToolStatus status);
    void finish(DatacoreToolStatus status);
    void report(const QString& message);
    void stopProgress();
    QString serverName() const;

    DatacoreToolOptions m_options;
    DatacoreSnapshot m_saved;
    DatacoreToolSession m_session;
    DatacoreToolWorker m_worker;
    QTimer m_timeout;
    QTimer m_stopGrace;
    // Only on a terminal: how long the command has been running.
    QTimer m_progress;
    int m_progressSeconds = 0;
    DatacoreToolStatus m_outsideStatus = DatacoreToolStatus::Interrupted;
    bool m_closing = false;
    bool m_watching = false;
    bool m_finished = false;
};
