#pragma once

#include <QString>

// Opens files, folders and web pages in the desktop's own programs. Tests install a recorder.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // A local path (file or folder), opened in the desktop's viewer for it.
    virtual void openPath(const QString& path) = 0;
    virtual void openWebPage(const QString& address) = 0;

    static Launcher& instance();
    // Does not take ownership; nullptr puts back the launcher that only logs.
    static void install(Launcher* launcher);
};
