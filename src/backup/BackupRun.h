#pragma once

#include "backup/RunOutcome.h"

class MainWindow;
class FolderListView;
class QGroupBox;

// One backup run: one archive per listed folder in the backup folder, one history entry per
// folder. Reads the prefix, the two stamp options and the backup folder from the window afresh for
// every folder. Silent runs (the timer's) show no failure box and no closing "Done.". The callers
// keep runs from overlapping (RunControl::Guard); a cancel request stops the run before its next
// folder. Once a folder's archive is written in full, its older archives beyond the number the window
// keeps are removed.
RunOutcome RunBackup(MainWindow& form, FolderListView& FolderList, QGroupBox& StatusFrame, bool Silent);
