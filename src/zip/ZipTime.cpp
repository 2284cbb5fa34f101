#include "zip/ZipTime.h"

#include <algorithm>

namespace {

std::time_t localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

} // namespace

ZipTimeRange::ZipTimeRange()
    : m_first(localTime(1980, 1, 1, 0, 0, 0))
    , m_last(localTime(2107, 12, 31, 23, 59, 58))
{ }

std::time_t ZipTimeRange::clamp(qint64 secondsSinceEpoch) const
{
    return static_cast<std::time_t>(
        std::clamp<qint64>(secondsSinceEpoch, static_cast<qint64>(m_first), static_cast<qint64>(m_last)));
}
