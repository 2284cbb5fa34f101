#pragma once

#include "backup/RunOutcome.h"

class BackupChoices;
class StatusLine;

// One backup run: one archive per listed folder in the backup folder, one history entry per
// folder. Reads the choices afresh for every folder. Silent runs (the timer's) show no failure box
// and no closing "Done.". The callers keep runs from overlapping (RunControl::Guard); a cancel
// request stops the run before its next folder. Once a folder's archive is written in full, its
// older archives beyond the number kept are removed.
RunOutcome RunBackup(const BackupChoices& choices, StatusLine& status, bool silent);
