#pragma once

#include <cstddef>
#include <ctime>

namespace velmora {

// Local date and time broken down into fields.
struct LogTime
{
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local time of `utcSeconds` for a zone `offsetSeconds` east of UTC. Async-signal-safe.
LogTime logTimeFromUtc(std::time_t utcSeconds, long offsetSeconds) noexcept;

// Writes `time` as a NUL-terminated UTF-8 text into `out` following a date/time pattern of the kind the system
// locale gives (d dd M MM MMM yy yyyy h hh H HH m mm s ss AP ap, 'quoted text'; zone names are left out).
// Returns the length written. Async-signal-safe, so the fatal signal handler stamps its entries the same way.
std::size_t formatLogTime(const char* pattern, const LogTime& time, char* out, std::size_t capacity) noexcept;

} // namespace velmora
