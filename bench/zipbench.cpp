// Archives one folder the way a backup run does (the folder's own pattern, then one pattern per
// sub-folder) through ZipFileSet::makeZipFile, while a 10 ms timer on the same thread measures the
// longest time the event loop was kept from running.
//   zipbench <archive.zip> <folder>
// Prints: result=<code> seconds=<wall> longest_gap_ms=<gap>, then the archive's message, if any.
#include "backup/FolderWalk.h"
#include "base/EventYield.h"
#include "zip/ZipFileSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>
#include <algorithm>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: zipbench <archive.zip> <folder>\n";
        return 2;
    }
    const QString archive = QDir::current().absoluteFilePath(args.at(1));
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(args.at(2)));

    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        const qint64 gap = sinceTick.elapsed();
        longestGap = std::max(longestGap, gap);
        sinceTick.restart();
    });

    int result = -1;
    QElapsedTimer wall;
    QTimer::singleShot(0, &app, [&] {
        wall.start();
        ZipFileSet zip;
        zip.setZipFileName(archive);
        zip.setUpdatingZip(false);
        zip.setEventPump(YieldToEvents);
        zip.addFile(folder + QStringLiteral("/*.*"));
        QStringList subFolders;
        CollectSubFolders(folder + u'/', subFolders, true);
        for (const QString& sub : subFolders)
            zip.addFile(sub + QStringLiteral("*.*"));
        // The loop is watched while the archive is made, which is when the window used to freeze.
        sinceTick.start();
        ticker.start();
        result = zip.makeZipFile();
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        ticker.stop();
        // The gap since the last tick counts too.
        longestGap = std::max(longestGap, sinceTick.elapsed());
        QTextStream(stdout) << "result=" << result << " seconds=" << QString::number(seconds, 'f', 3)
                            << " longest_gap_ms=" << longestGap << "\n"
                            << zip.lastMessage();
        app.exit(0);
    });
    app.exec();
    return result == 0 ? 0 : 1;
}
