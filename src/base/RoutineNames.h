#pragma once

#include <QString>

// The names the "Application Error" box and raised errors give for the code that failed. Users
// and support know the program by them, so they stay fixed whatever the code is called.
namespace Routine {

inline const QString ProgramModule = QStringLiteral("Tessaly2021/08/31");
inline const QString SampleModule = QStringLiteral("Pellamy2021/08/31");

inline const QString WindowLoad = QStringLiteral("Form1.Form_Load");
inline const QString WindowUnload = QStringLiteral("Form1.Form_QueryUnload");
inline const QString ApplySkin = QStringLiteral("Main.ApplySkin");
inline const QString DesktopFolder = QStringLiteral("Main.DesktopFolder");

inline const QString ChooseInterval = QStringLiteral("Form1.ListView2_Click");
inline const QString IntervalListItems = QStringLiteral("ListView2.ListItems");
inline const QString IntervalListSelection = QStringLiteral("ListView2.SelectedItem");
inline const QString CountdownTick = QStringLiteral("Form1.Timer1_Timer");
inline const QString ToggleAutoBackup = QStringLiteral("Form1.PushButton5_Click");
inline const QString BackUpNow = QStringLiteral("Form1.PushButton6_Click");

inline const QString BackupRun = QStringLiteral("IntervalSave.SaveAll");
inline const QString AddToHistory = QStringLiteral("IntervalSave.AddToHistory");
inline const QString ViewHistory = QStringLiteral("Form1.PushButton3_Click");
inline const QString CopyHistory = QStringLiteral("Form1.PushButton4_Click");
inline const QString ClearHistory = QStringLiteral("Form1.PushButton12_Click");

inline const QString AddFolder = QStringLiteral("Form1.PushButton7_Click");
inline const QString ClearList = QStringLiteral("Form1.PushButton8_Click");
inline const QString LoadSamples = QStringLiteral("Form1.PushButton9_Click");
inline const QString FolderListItems = QStringLiteral("ListView1.ListItems");
inline const QString SubFolders = QStringLiteral("AddFolder.GetSubDirectories2016");
inline const QString ChooseBackupFolder = QStringLiteral("Form1.PushButton1_Click");
inline const QString ViewBackupFolder = QStringLiteral("Form1.PushButton2_Click");

inline const QString ShowHelp = QStringLiteral("Form1.PushButton11_Click");
inline const QString ShowBalloon = QStringLiteral("cSysTray.ShowBalloon");

inline const QString ZipAddFile = QStringLiteral("CGZip::AddFile");
inline const QString ZipRemoveFile = QStringLiteral("CGZip::RemoveFile");
inline const QString ZipMakeFile = QStringLiteral("Oskerfield.CGZipFiles.MakeZipFile");

} // namespace Routine
