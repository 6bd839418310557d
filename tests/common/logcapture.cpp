#include "logcapture.h"

#include "vqlog.h"

#include <spdlog/sinks/base_sink.h>

#include <QRegularExpression>

#include <algorithm>
#include <mutex>

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex>
{
public:
    // The texts at level, or at every level for off.
    QStringList texts(spdlog::level::level_enum level)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        QStringList result;
        for (const Record& record : records) {
            if (level == spdlog::level::off || record.level == level)
                result.append(record.text);
        }
        return result;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        records.clear();
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override
    {
        records.append({message.level, QString::fromUtf8(message.payload.data(), int(message.payload.size()))});
    }
    void flush_() override {}

private:
    QList<Record> records;
};

LogCapture::LogCapture()
    : m_sink(std::make_shared<Sink>())
{
    auto logger = spdlog::get(VQ_LOGGER_NAME);
    if (!logger) {
        logger = std::make_shared<spdlog::logger>(VQ_LOGGER_NAME);
        logger->set_level(spdlog::level::info);
        spdlog::register_logger(logger);
        m_ownsLogger = true;
    }
    logger->sinks().push_back(m_sink);
}

LogCapture::~LogCapture()
{
    if (auto logger = spdlog::get(VQ_LOGGER_NAME)) {
        auto& sinks = logger->sinks();
        sinks.erase(std::remove(sinks.begin(), sinks.end(), m_sink), sinks.end());
        if (m_ownsLogger)
            spdlog::drop(VQ_LOGGER_NAME);
    }
}

QStringList LogCapture::messages() const
{
    return m_sink->texts(spdlog::level::off);
}

QStringList LogCapture::messages(spdlog::level::level_enum level) const
{
    return m_sink->texts(level);
}

int LogCapture::count(const QString& text) const
{
    return int(messages().count(text));
}

int LogCapture::count(spdlog::level::level_enum level, const QString& text) const
{
    return int(messages(level).count(text));
}

int LogCapture::countStartingWith(const QString& prefix) const
{
    return messages().filter(QRegularExpression('^' + QRegularExpression::escape(prefix))).size();
}

void LogCapture::clear()
{
    m_sink->clear();
}
