#pragma once

#include <QStringList>

class BackupChoices;

// The archives the backup run has written for the listed folder at `position` (1-based) of the
// choices' list, as the current naming options name them: newest first, other folders' and other
// programs' archives never among them. The whole list is given because how one folder's archives
// are named may depend on the other folders listed.
QStringList ArchivesOfListedFolder(const BackupChoices& choices, int position);
