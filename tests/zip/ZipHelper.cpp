// Makes one archive in a process of its own, so a test can kill it part way:
//   ziphelper <archive.zip> <pattern>...
#include "ZipTestTools.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    int result = -1;
    QTimer::singleShot(0, &app, [&] {
        result = ZipTestTools::makeZip(args.at(1), args.mid(2));
        app.exit(0);
    });
    app.exec();
    return result;
}
