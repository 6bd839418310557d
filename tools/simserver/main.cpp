#include "logging.h"
#include "replayserver.h"
#include "simserver.h"
#include "simserveroptions.h"
#include "vqlog.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop, so that the server closes its
// connections and logging is shut down as on any other exit.
bool handleTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        VqLog::info("vq_simserver stopping");
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vq_simserver"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VQ_VERSION));

    SimServerOptions options;
    QString error;
    if (!parseSimServerOptions(QCoreApplication::arguments(), options, &error)) {
        std::fprintf(stderr, "vq_simserver: %s\n", qPrintable(error));
        return 2;
    }

    StreamRecording recording;
    if (!options.replayFile.isEmpty() && !recording.load(options.replayFile, &error)) {
        std::fprintf(stderr, "vq_simserver: %s\n", qPrintable(error));
        return 2;
    }
    if (!options.exportStreamFile.isEmpty()) {
        QFile file(options.exportStreamFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(recording.stream()) < 0) {
            std::fprintf(stderr, "vq_simserver: cannot write %s: %s\n", qPrintable(options.exportStreamFile),
                         qPrintable(file.errorString()));
            return 1;
        }
        return 0;
    }

    // The tree is read before anything is logged: a file that is refused is
    // a usage error, reported on standard error alone.
    std::unique_ptr<SimServer> server;
    if (options.replayFile.isEmpty()) {
        server = std::make_unique<SimServer>(options);
        if (!server->loadTree(&error)) {
            std::fprintf(stderr, "vq_simserver: %s\n", qPrintable(error));
            return 2;
        }
    }

    initialiseLogging(true, std::string());
    int status = 0;
    {
        std::unique_ptr<ReplayServer> replay;
        bool started = handleTerminationSignals();
        if (!started) {
            error = QStringLiteral("cannot handle signals");
        } else if (server) {
            started = server->start(&error);
        } else {
            replay = std::make_unique<ReplayServer>(recording, options.replayFast);
            started = replay->listen(options.port, &error);
        }
        if (!started) {
            std::fprintf(stderr, "vq_simserver: %s\n", qPrintable(error));
            status = 1;
        } else {
            if (options.durationSeconds > 0)
                QTimer::singleShot(options.durationSeconds * 1000, &application, &QCoreApplication::quit);
            QCoreApplication::exec();
        }
        server.reset();
    }
    shutdownLogging();
    return status;
}
