#pragma once

#include <QString>

// What one backup run came to, for those who tell the user about it.
struct RunOutcome
{
    // The list entries the run came to, and how many of them were not backed up in full.
    int folders = 0;
    int failed = 0;
    // The first of those, by its folder name.
    QString firstFailed;
    // Why the run stopped before its first folder, when it did ("... does not exist").
    QString stoppedBecause;

    bool fullySucceeded() const { return folders > 0 && failed == 0; }
};
