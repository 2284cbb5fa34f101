#pragma once

#include "backup/ArchiveSeries.h"

#include <QStringList>

class BackupChoices;

// The series the backup run writes for the listed folder at `position` (1-based) of the choices'
// list, as the current naming options name it. The whole list is read because folders of one name
// are told apart (ArchiveFolderName).
ArchiveSeries SeriesOfListedFolder(const BackupChoices& choices, int position);

// The archives the backup run has written for the listed folder at `position` of the choices'
// list, as the current naming options name them: newest first (as SeriesArchives orders them now),
// other folders' and other programs' archives never among them.
QStringList ArchivesOfListedFolder(const BackupChoices& choices, int position);
