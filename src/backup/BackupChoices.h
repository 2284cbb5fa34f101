#pragma once

#include <QString>

// What a backup run reads from the user's choices. A run asks again for every folder: the user may
// change them while the run lets window events through, and the folder list may shrink meanwhile.
class BackupChoices
{
public:
    virtual ~BackupChoices() = default;
    virtual int folderCount() const = 0;
    // The list entry at a 1-based position; raises "Index out of bounds" past the end.
    virtual QString folderEntry(int position) const = 0;
    virtual QString backupFolder() const = 0;
    virtual QString prefix() const = 0;
    virtual bool dateStamped() const = 0;
    virtual bool timeStamped() const = 0;
    // How many archives of each folder are kept; 0 keeps all.
    virtual int keepLast() const = 0;
};
