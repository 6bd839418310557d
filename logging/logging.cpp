#include "logging.h"

#include "vqlog.h"

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/sinks/syslog_sink.h>

#include <syslog.h>

#include <vector>

namespace {
constexpr const char LINE_PATTERN[] = "[%C/%m/%d][tid:%t][%L]> %v";
}

bool initialiseLogging(bool logToStdout, const std::string& /*logDirectory*/)
{
    // Checked before any sink exists: a syslog sink built and thrown away would
    // call closelog() under the feet of the logger that is already registered.
    if (spdlog::get(VQ_LOGGER_NAME))
        return false;

    try {
        std::vector<spdlog::sink_ptr> sinks;
        if (logToStdout)
            sinks.push_back(std::make_shared<spdlog::sinks::stdout_sink_mt>());
        // Empty identity: the C library then tags messages with the program's name.
        sinks.push_back(std::make_shared<spdlog::sinks::syslog_sink_mt>(std::string(), 0, LOG_USER, false));

        auto logger = std::make_shared<spdlog::logger>(VQ_LOGGER_NAME, sinks.begin(), sinks.end());
        logger->set_level(spdlog::level::info);
        spdlog::register_logger(logger);
        spdlog::set_pattern(LINE_PATTERN);
    } catch (const spdlog::spdlog_ex&) {
        return false;
    }
    return true;
}

void shutdownLogging()
{
    if (auto logger = spdlog::get(VQ_LOGGER_NAME))
        logger->flush();
    spdlog::drop_all();
}
