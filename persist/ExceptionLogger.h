#pragma once

#include "persist/LogFile.h"
#include "platform/ExceptionTracker.h"

#include <QStringList>

namespace velmora {

// The titles of the entry group that records one exception, with its location and the exception frames active
// when it was raised (up to the first frame that handles it). `frames` may be null: no frame entries then.
QStringList exceptionEntryTitles(const RaisedException& exception, const ExceptionFrameList* frames);

// The notifier: adds the entry group of `exception` to `log`, using the frames the tracker recorded for it in
// this thread. Never throws; a log that cannot be written keeps the entries in memory.
void LogException(LogFile& log, const RaisedException& exception) noexcept;

// Registers LogException for `log` with the tracker at normal priority, and lets a fatal signal append its entry
// group to the same log file. One registration at a time; a second call replaces the first.
void registerLogException(LogFile& log);
// Removes the registration; later exceptions are not logged.
void unregisterLogException();

// Registration for a scope (tests, and the window's lifetime).
class LogExceptionRegistration
{
public:
    explicit LogExceptionRegistration(LogFile& log) { registerLogException(log); }
    ~LogExceptionRegistration() { unregisterLogException(); }
    LogExceptionRegistration(const LogExceptionRegistration&) = delete;
    LogExceptionRegistration& operator=(const LogExceptionRegistration&) = delete;
};

} // namespace velmora
