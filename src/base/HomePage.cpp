#include "base/HomePage.h"

#include "base/Launcher.h"

#include <QRandomGenerator>

void MaybeOpenHomePage(const std::function<double()>& randomFraction)
{
    const double r = randomFraction ? randomFraction() : QRandomGenerator::global()->generateDouble();
    const int n = static_cast<int>(r * 100) + 1;
    if (n == 7)
        Launcher::instance().openWebPage(QString::fromLatin1(HomePageAddress));
}
