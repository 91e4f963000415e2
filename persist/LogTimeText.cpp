#include "persist/LogTimeText.h"

#include <cstring>

namespace velmora {

namespace {

    struct Output
    {
        char* out;
        std::size_t capacity;
        std::size_t length = 0;

        void put(char c)
        {
            if (length + 1 < capacity) {
                out[length++] = c;
            }
        }

        void text(const char* s)
        {
            while (*s != '\0') {
                put(*s++);
            }
        }

        void number(int value, int width)
        {
            char digits[12];
            int count = 0;
            unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
            do {
                digits[count++] = static_cast<char>('0' + v % 10);
                v /= 10;
            } while (v != 0 && count < 11);
            while (count < width) {
                digits[count++] = '0';
            }
            while (count > 0) {
                put(digits[--count]);
            }
        }
    };

    const char* const kMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

} // namespace

LogTime logTimeFromUtc(std::time_t utcSeconds, long offsetSeconds) noexcept
{
    const long long seconds = static_cast<long long>(utcSeconds) + offsetSeconds;
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    LogTime t;
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    t.second = static_cast<int>(rest % 60);
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    t.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
    return t;
}

std::size_t formatLogTime(const char* pattern, const LogTime& time, char* out, std::size_t capacity) noexcept
{
    if (capacity == 0) {
        return 0;
    }
    Output o { out, capacity };
    const char* p = pattern;
    bool pendingSpace = false;
    while (*p != '\0') {
        const char c = *p;
        std::size_t run = 1;
        while (p[run] == c) {
            ++run;
        }
        if (c == '\'') {
            // 'text' is literal; '' is a quote.
            if (run >= 2 && (run % 2) == 0) {
                for (std::size_t i = 0; i < run / 2; ++i) {
                    o.put('\'');
                }
                p += run;
                continue;
            }
            ++p;
            while (*p != '\0' && *p != '\'') {
                o.put(*p++);
            }
            if (*p == '\'') {
                ++p;
            }
            continue;
        }
        if (c == ' ') {
            pendingSpace = true;
            p += run;
            continue;
        }
        if (pendingSpace && c != 't') {
            if (o.length > 0) {
                o.put(' ');
            }
            pendingSpace = false;
        }
        const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
        switch (c) {
        case 'd':
            o.number(time.day, run >= 2 ? 2 : 1);
            break;
        case 'M':
            if (run >= 3 && time.month >= 1 && time.month <= 12) {
                o.text(kMonths[time.month - 1]);
            } else {
                o.number(time.month, run >= 2 ? 2 : 1);
            }
            break;
        case 'y':
            if (run >= 4) {
                o.number(time.year, 4);
            } else {
                o.number(time.year % 100, 2);
            }
            break;
        case 'H':
            o.number(time.hour, run >= 2 ? 2 : 1);
            break;
        case 'h':
            o.number(hour12, run >= 2 ? 2 : 1);
            break;
        case 'm':
            o.number(time.minute, run >= 2 ? 2 : 1);
            break;
        case 's':
            o.number(time.second, run >= 2 ? 2 : 1);
            break;
        case 'A':
        case 'a':
            if (p[run] == 'P' || p[run] == 'p') {
                o.text(time.hour < 12 ? (c == 'A' ? "AM" : "am") : (c == 'A' ? "PM" : "pm"));
                ++run;
            } else {
                o.text(time.hour < 12 ? (c == 'A' ? "AM" : "am") : (c == 'A' ? "PM" : "pm"));
            }
            break;
        case 't':
            // The zone name: left out, the time text is local time anyway.
            pendingSpace = false;
            break;
        case 'z':
            break;
        default:
            for (std::size_t i = 0; i < run; ++i) {
                o.put(c);
            }
            break;
        }
        p += run;
    }
    out[o.length] = '\0';
    return o.length;
}

} // namespace velmora
