#include "folders/FolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace {

class DesktopFolderDialog final : public FolderDialog
{
public:
    QString chooseFolder(QWidget* owner, const QString& prompt, const QString& initialFolder) override
    {
        // Only folders of the file system can be chosen; an initial folder that does not exist
        // leaves the dialog at its own starting point.
        const QString chosen
            = QFileDialog::getExistingDirectory(owner, prompt, initialFolder, QFileDialog::ShowDirsOnly);
        return QDir::toNativeSeparators(chosen);
    }
};

DesktopFolderDialog g_desktopDialog;
FolderDialog* g_dialog = &g_desktopDialog;

} // namespace

FolderDialog& FolderDialog::instance()
{
    return *g_dialog;
}

void FolderDialog::install(FolderDialog* dialog)
{
    g_dialog = dialog ? dialog : &g_desktopDialog;
}

QString PickFolder(QWidget* owner, const QString& prompt, const QString& initialFolder)
{
    return FolderDialog::instance().chooseFolder(owner, prompt, initialFolder);
}
