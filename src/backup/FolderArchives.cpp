#include "backup/FolderArchives.h"

#include "backup/ArchiveName.h"
#include "backup/BackupChoices.h"
#include "backup/KeepLast.h"
#include "backup/PathHelpers.h"

QStringList ArchivesOfListedFolder(const BackupChoices& choices, int position)
{
    const QChar separator = PathSeparator();
    const QString folderPath = FolderPathOf(choices.folderEntry(position), separator);
    const ArchiveSeries series { choices.backupFolder(), choices.prefix(), LastPathPart(folderPath, separator),
                                 choices.dateStamped(), choices.timeStamped() };
    return SeriesArchives(series, separator);
}
