#pragma once

#include "base/Launcher.h"

#include <QStringList>

// Records what the program asked the desktop to open. Installs itself while it lives.
class TestLauncher final : public Launcher
{
public:
    TestLauncher();
    ~TestLauncher() override;

    void openPath(const QString& path) override { paths.append(path); }
    void openWebPage(const QString& address) override { pages.append(address); }

    QStringList paths;
    QStringList pages;
};
