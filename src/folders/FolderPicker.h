#pragma once

#include <QString>

class QWidget;

// The one folder-choosing dialog of the program. Tests install a stand-in that answers without a
// dialog, as the prompter does for message boxes.
class FolderDialog
{
public:
    virtual ~FolderDialog() = default;
    // The chosen folder's path, or the empty text on cancel.
    virtual QString chooseFolder(QWidget* owner, const QString& prompt, const QString& initialFolder) = 0;

    static FolderDialog& instance();
    // Does not take ownership; nullptr puts back the desktop's own folder dialog.
    static void install(FolderDialog* dialog);
};

// Shows the folder dialog over the owner with the prompt, at the initial folder when that names an
// existing folder. Returns the chosen path (a root keeps its separator, any other folder has none),
// or the empty text when the user cancels.
QString PickFolder(QWidget* owner, const QString& prompt, const QString& initialFolder);
