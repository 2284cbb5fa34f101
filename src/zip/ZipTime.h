#pragma once

#include <QtGlobal>
#include <ctime>

// The entry headers keep local time from 1980 to 2107 only: a file time outside that range is
// stored as the nearest end of it, never wrapped into another year.
class ZipTimeRange final
{
public:
    // The range in the local zone as it is now (taken once per archive).
    ZipTimeRange();
    std::time_t clamp(qint64 secondsSinceEpoch) const;

private:
    std::time_t m_first;
    std::time_t m_last;
};
