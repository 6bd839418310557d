#include "datacoresnapshot.h"
#include "datacoretool.h"
#include "datacoretooloptions.h"
#include "vqlog.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <spdlog/sinks/stdout_sinks.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// SIGINT and SIGTERM arrive as readable data on the returned descriptor;
// blocked before any thread starts, so that every thread inherits the mask.
int takeTerminationSignals()
{
    sigset_t terminationSignals;
    sigemptyset(&terminationSignals);
    sigaddset(&terminationSignals, SIGINT);
    sigaddset(&terminationSignals, SIGTERM);
    if (::pthread_sigmask(SIG_BLOCK, &terminationSignals, nullptr) != 0)
        return -1;
    return ::signalfd(-1, &terminationSignals, SFD_NONBLOCK | SFD_CLOEXEC);
}

void logToStandardError()
{
    auto logger = std::make_shared<spdlog::logger>(VQ_LOGGER_NAME, std::make_shared<spdlog::sinks::stderr_sink_mt>());
    logger->set_pattern("[%C/%m/%d][tid:%t][%L]> %v");
    logger->set_level(spdlog::level::info);
    spdlog::register_logger(logger);
}

bool readSavedDump(const QString& fileName, DatacoreSnapshot* saved, QString* error)
{
    QFile file(fileName);
    const bool opened = fileName == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                       : file.open(QIODevice::ReadOnly);
    if (!opened) {
        *error = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (!DatacoreSnapshot::read(file.readAll(), saved, error)) {
        *error = fileName + QStringLiteral(": ") + *error;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int signalDescriptor = takeTerminationSignals();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vq_datacore"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VQ_VERSION));

    DatacoreToolOptions options;
    DatacoreSnapshot saved;
    QString error;
    QHash<QString, QString> environment;
    for (const char* name : {"VQ_HOST", "VQ_PORT"})
        environment.insert(QLatin1String(name), QString::fromLocal8Bit(qgetenv(name)));
    if (!parseDatacoreToolOptions(QCoreApplication::arguments(), environment, options, &error)
        || (options.command == DatacoreToolCommand::Diff && !readSavedDump(options.dumpFile, &saved, &error))) {
        std::fprintf(stderr, "vq_datacore: %s\n", error.toUtf8().constData());
        return int(DatacoreToolStatus::Usage);
    }
    if (options.verbose)
        logToStandardError();

    DatacoreTool tool(options, saved);
    QObject::connect(&tool, &DatacoreTool::finished, &application, [](int status) { QCoreApplication::exit(status); });
    if (signalDescriptor >= 0) {
        auto* notifier = new QSocketNotifier(signalDescriptor, QSocketNotifier::Read, &application);
        QObject::connect(notifier, &QSocketNotifier::activated, &tool, [&tool, signalDescriptor] {
            signalfd_siginfo received;
            while (::read(signalDescriptor, &received, sizeof received) == ssize_t(sizeof received)) {
            }
            static int interruptions = 0;
            // A second interruption does not wait for anything.
            if (++interruptions > 1)
                std::_Exit(int(DatacoreToolStatus::Interrupted));
            tool.interrupt();
        });
    }
    tool.start();
    const int status = QCoreApplication::exec();
    std::fflush(stdout);
    spdlog::drop_all();
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Taking the mirror of a large server apart costs more than many a
    // command; the system frees it all at once. The sanitizer builds do take
    // it apart, so that leaks and races in it are still found.
    std::_Exit(status);
#endif
    return status;
}
