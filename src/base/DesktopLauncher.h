#pragma once

#include "base/Launcher.h"

// Opens paths and pages with the desktop's own programs.
class DesktopLauncher final : public Launcher
{
public:
    void openPath(const QString& path) override;
    void openWebPage(const QString& address) override;
};
