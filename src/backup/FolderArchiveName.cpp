#include "backup/FolderArchiveName.h"

#include "backup/PathHelpers.h"

#include <QCryptographicHash>
#include <QHash>
#include <vector>

namespace {

// 0: the folder's own name; 1: with the name of the folder it lies in; from 2 on: with a digest of
// its path, 8 more hex digits at each step.
constexpr int LastStep = 6;

QString nameAtStep(const QString& folderPath, QChar separator, int step)
{
    const QString own = LastPathPart(folderPath, separator);
    if (step == 0)
        return own;
    const QString parent
        = LastPathPart(folderPath.left(std::max<qsizetype>(0, folderPath.lastIndexOf(separator))), separator);
    const QString told = step == 1 && !parent.isEmpty()
        ? parent
        : QString::fromLatin1(QCryptographicHash::hash(folderPath.toUtf8(), QCryptographicHash::Sha1)
                                  .toHex()
                                  .left(8 * std::max(1, step - 1)));
    return own + QStringLiteral(" (") + told + u')';
}

} // namespace

QString ArchiveFolderName(const QStringList& folderPaths, const QString& folderPath, QChar separator)
{
    QStringList folders = folderPaths;
    folders.append(folderPath);
    folders.removeDuplicates();
    std::vector<int> steps(static_cast<std::size_t>(folders.size()), 0);
    QStringList names(folders.size());
    // Each step gives every folder whose name is still shared a longer one, until none is shared.
    // A folder whose own name was unique from the start never changes it.
    for (bool firstPass = true, changed = true; changed; firstPass = false) {
        QHash<QString, int> holders;
        for (qsizetype i = 0; i < folders.size(); ++i) {
            names[i] = nameAtStep(folders[i], separator, steps[static_cast<std::size_t>(i)]);
            ++holders[names[i].toCaseFolded()];
        }
        changed = false;
        for (qsizetype i = 0; i < folders.size(); ++i) {
            int& step = steps[static_cast<std::size_t>(i)];
            if (holders.value(names[i].toCaseFolded()) > 1 && (step > 0 || firstPass) && step < LastStep) {
                ++step;
                changed = true;
            }
        }
    }
    return names[folders.indexOf(folderPath)];
}
