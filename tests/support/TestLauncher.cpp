#include "support/TestLauncher.h"

TestLauncher::TestLauncher()
{
    Launcher::install(this);
}

TestLauncher::~TestLauncher()
{
    Launcher::install(nullptr);
}
