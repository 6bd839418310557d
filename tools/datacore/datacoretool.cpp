#include "datacoretool.h"

#include "clientdatacoreregistry.h"
#include "incomingframebuffer.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

DatacoreTool::DatacoreTool(const DatacoreToolOptions& options, const DatacoreSnapshot& saved, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_saved(saved)
    , m_session(options.command == DatacoreToolCommand::List ? DatacoreToolSession::Mode::PathsOnly
                                                             : DatacoreToolSession::Mode::Mirror,
                this)
    , m_worker(options, &m_session, this)
{
    m_timeout.setSingleShot(true);
    m_stopGrace.setSingleShot(true);
    connect(&m_progress, &QTimer::timeout, this, &DatacoreTool::onProgressTimer);
    connect(&m_session, &DatacoreToolSession::mirrorPopulated, this, &DatacoreTool::onMirrorPopulated);
    connect(&m_session, &DatacoreToolSession::synchronised, this, &DatacoreTool::onSynchronised);
    connect(&m_session, &DatacoreToolSession::connectionFailed, this, &DatacoreTool::onConnectionFailed);
    connect(&m_session, &DatacoreToolSession::connectionLost, this, &DatacoreTool::onConnectionLost);
    connect(&m_session, &DatacoreToolSession::watching, this, &DatacoreTool::onWatching);
    connect(&m_worker, &DatacoreToolWorker::watchRequested, &m_session, &DatacoreToolSession::watch);
    connect(&m_worker, &DatacoreToolWorker::finished, this, &DatacoreTool::onWorkerFinished);
    connect(&m_timeout, &QTimer::timeout, this, &DatacoreTool::onTimeout);
    // The worker is stuck beyond what its waits allow: leave without it.
    connect(&m_stopGrace, &QTimer::timeout, this, [this] {
        report(QStringLiteral("the command did not stop; leaving it"));
        std::fflush(stdout);
        std::_Exit(int(m_outsideStatus));
    });
}

DatacoreTool::~DatacoreTool()
{
    // The session reports its own closing while it is destroyed.
    m_session.disconnect(this);
}

void DatacoreTool::start()
{
    m_timeout.start(m_options.timeoutSeconds * 1000);
    // Where the output goes elsewhere, a terminal would otherwise show nothing
    // at all while a long command runs.
    if (::isatty(STDERR_FILENO) && !::isatty(STDOUT_FILENO))
        m_progress.start(1000);
    // From the event loop: a connection attempt can fail inside the call that
    // starts it (an unreachable network), and the outcome must not be decided
    // before there is a loop to end.
    QTimer::singleShot(0, this, [this] {
        if (!m_finished)
            m_session.connectToServer(m_options.host, m_options.port);
    });
}

QString DatacoreTool::serverName() const
{
    return QStringLiteral("%1:%2").arg(m_options.host).arg(m_options.port);
}

void DatacoreTool::report(const QString& message)
{
    stopProgress();
    std::fprintf(stderr, "vq_datacore: %s\n", message.toUtf8().constData());
}

void DatacoreTool::onMirrorPopulated()
{
    if (m_options.command == DatacoreToolCommand::List)
        startCommand();
}

void DatacoreTool::onSynchronised()
{
    if (m_options.command != DatacoreToolCommand::List)
        startCommand();
}

void DatacoreTool::startCommand()
{
    if (m_worker.isStarted() || m_finished)
        return;
    // The paths a command needs: those it lists or dumps, or for a set those
    // at and below its datacore.
    QStringList paths;
    if (m_options.command == DatacoreToolCommand::Set)
        paths = m_session.paths(m_options.paths.constFirst());
    else if (m_options.command == DatacoreToolCommand::List || m_options.command == DatacoreToolCommand::Dump)
        paths = m_session.paths(m_options.prefix);
    m_worker.start(paths, m_saved);
}

void DatacoreTool::onConnectionFailed(const QString& reason)
{
    report(QStringLiteral("cannot connect to %1: %2").arg(serverName(), reason));
    finish(DatacoreToolStatus::NoConnection);
}

void DatacoreTool::onConnectionLost()
{
    if (m_closing)
        return;
    report(QStringLiteral("connection to %1 lost").arg(serverName()));
    // A running command ends by itself now that its datacores are gone.
    if (!m_worker.isStarted())
        finish(DatacoreToolStatus::ConnectionLost);
}

void DatacoreTool::onWatching(int datacores)
{
    m_watching = true;
    m_timeout.stop();
    stopProgress();
    report(QStringLiteral("watching %1 datacore(s)").arg(datacores));
}

void DatacoreTool::onTimeout()
{
    if (m_watching || m_finished)
        return;
    if (!m_worker.isStarted()) {
        report(QStringLiteral("no datacores from %1 within %2 s").arg(serverName()).arg(m_options.timeoutSeconds));
        finish(DatacoreToolStatus::TimedOut);
        return;
    }
    report(QStringLiteral("timed out after %1 s").arg(m_options.timeoutSeconds));
    m_worker.noteTimedOut();
    endCommandFromOutside(DatacoreToolStatus::TimedOut);
}

void DatacoreTool::interrupt()
{
    if (m_finished)
        return;
    if (m_worker.isStarted() && m_options.command == DatacoreToolCommand::Watch) {
        m_worker.stopWatching();
        return;
    }
    report(QStringLiteral("interrupted"));
    if (!m_worker.isStarted()) {
        finish(DatacoreToolStatus::Interrupted);
        return;
    }
    m_worker.noteInterrupted();
    endCommandFromOutside(DatacoreToolStatus::Interrupted);
}

void DatacoreTool::endCommandFromOutside(DatacoreToolStatus status)
{
    m_outsideStatus = status;
    m_closing = true;
    m_session.disconnectFromServer();
    m_stopGrace.start(STOP_GRACE_MS);
}

void DatacoreTool::onWorkerFinished(int status)
{
    m_worker.join();
    finish(DatacoreToolStatus(status));
}

void DatacoreTool::onProgressTimer()
{
    ++m_progressSeconds;
    const QString what = m_worker.isStarted() ? QStringLiteral("running") : QStringLiteral("waiting for the server");
    std::fprintf(stderr, "\rvq_datacore: %s (%d s)", what.toUtf8().constData(), m_progressSeconds);
    std::fflush(stderr);
}

void DatacoreTool::stopProgress()
{
    m_progress.stop();
    // The progress line is overwritten by whatever comes next.
    if (m_progressSeconds > 0)
        std::fputs("\r\033[K", stderr);
    m_progressSeconds = 0;
}

void DatacoreTool::finish(DatacoreToolStatus status)
{
    if (m_finished)
        return;
    stopProgress();
    // A frame skipped as too large may have held what the command needed.
    if (m_session.oversizedFrames() > 0 && status != DatacoreToolStatus::Interrupted) {
        report(QStringLiteral("the server sent a frame larger than the client takes (%1 bytes); it was skipped, "
                              "so data may be missing")
                   .arg(IncomingFrameBuffer::MaxPayloadLength));
        status = DatacoreToolStatus::FrameTooLarge;
    }
    m_finished = true;
    m_timeout.stop();
    m_stopGrace.stop();
    m_closing = true;
    emit finished(int(status));
}
