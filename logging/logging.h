#pragma once

#include <string>

// Registers the "VQLOG" logger: a standard-output sink (when logToStdout) and a
// syslog sink, threshold info, lines "[%C/%m/%d][tid:%t][%L]> %v". The log
// directory is accepted for the callers' sake; nothing is written to files.
// Returns false, and changes nothing, when "VQLOG" is already registered or
// spdlog reports an error.
bool initialiseLogging(bool logToStdout, const std::string& logDirectory);

// Flushes "VQLOG" and drops every logger; the syslog sink closes the system log.
void shutdownLogging();
