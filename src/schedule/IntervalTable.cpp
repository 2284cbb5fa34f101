#include "schedule/IntervalTable.h"

int IntervalSecondsForLabel(const QString& label)
{
    for (const Interval& interval : IntervalTable) {
        if (label == QLatin1String(interval.label))
            return interval.seconds;
    }
    return 0;
}
