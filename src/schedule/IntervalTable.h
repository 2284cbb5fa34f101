#pragma once

#include <QString>
#include <array>

// The fifteen backup intervals in list order; "OftenIndex" stores a 1-based position in it.
struct Interval
{
    const char* label;
    int seconds;
};

inline constexpr std::array<Interval, 15> IntervalTable { {
    { "Backup every 5 seconds", 5 },
    { "Backup every 10 seconds", 10 },
    { "Backup every 30 seconds", 30 },
    { "Backup every 1 minute", 60 },
    { "Backup every 5 minutes", 300 },
    { "Backup every 10 minutes", 600 },
    { "Backup every 15 minutes", 900 },
    { "Backup every 20 minutes", 1200 },
    { "Backup every 30 minutes", 1800 },
    { "Backup every 1 hour", 3600 },
    { "Backup every 2 hours", 7200 },
    { "Backup every 4 hours", 14400 },
    { "Backup every 8 hours", 28800 },
    { "Backup every 16 hours", 57600 },
    { "Backup every 24 hours", 86400 },
} };

// Seconds of the row whose label equals the text exactly (case counts); 0 when none does.
int IntervalSecondsForLabel(const QString& label);
