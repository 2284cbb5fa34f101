#include "backup/FolderArchives.h"

#include "backup/ArchiveName.h"
#include "backup/BackupChoices.h"
#include "backup/Clock.h"
#include "backup/FolderArchiveName.h"
#include "backup/PathHelpers.h"

ArchiveSeries SeriesOfListedFolder(const BackupChoices& choices, int position)
{
    const QChar separator = PathSeparator();
    QStringList folderPaths;
    const int count = choices.folderCount();
    for (int listed = 1; listed <= count; ++listed)
        folderPaths.append(FolderPathOf(choices.folderEntry(listed), separator));
    const ArchiveNaming naming { choices.backupFolder(), choices.prefix(), choices.dateStamped(),
                                 choices.timeStamped() };
    return { naming,
             ArchiveFolderName(folderPaths, FolderPathOf(choices.folderEntry(position), separator), separator) };
}

QStringList ArchivesOfListedFolder(const BackupChoices& choices, int position)
{
    const QChar separator = PathSeparator();
    QStringList paths;
    for (const SeriesArchive& archive :
         SeriesArchives(SeriesOfListedFolder(choices, position), Clock::currentDateTime(), separator))
        paths.append(archive.path);
    return paths;
}
