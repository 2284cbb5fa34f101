#include "backup/TestClock.h"
#include "folders/FolderListView.h"
#include "folders/StubFolderDialog.h"
#include "restore/RestoreTestTools.h"
#include "restore/RestoreWindow.h"
#include "support/WindowTest.h"
#include "window/RunAdapters.h"
#include "zip/ZipTestTools.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace RestoreTestTools;

// The restore window on the real widgets, opened from the main window, over backups made by the
// real backup run.
class TestRestoreWindow : public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QDateTime m_moment { QDate(2021, 8, 31), QTime(14, 5) };

    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }

    static void select(QAbstractItemView* view, int row)
    {
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private Q_SLOTS:
    void init() { beginTest(); }
    void cleanup() { endTest(); }

    void findsEveryVersionAndRestoresIt()
    {
        StubFolderDialog folderDialog;
        auto window = load();
        const MainWindowControls& main = window->controls();
        main.folderList->appendEntry(path(QStringLiteral("Docs")));
        main.folderList->appendEntry(path(QStringLiteral("Other")));
        main.backupFolderEdit->setText(path(QStringLiteral("Backups")));
        main.prefixEdit->setText(QStringLiteral("Backup"));
        main.dateStampBox->setChecked(true);
        main.timeStampBox->setChecked(true);
        QDir().mkpath(path(QStringLiteral("Backups")));
        const ControlsBackupChoices choices(main);
        put(QFile::encodeName(path(QStringLiteral("Docs/report.txt"))), "first draft");
        put(QFile::encodeName(path(QStringLiteral("Docs/same.txt"))), "never changes");
        const QString first = backUp(choices, m_moment);
        put(QFile::encodeName(path(QStringLiteral("Docs/report.txt"))), "second draft, longer");
        backUp(choices, m_moment.addSecs(60));
        backUp(choices, m_moment.addSecs(120));
        // Neither another folder's archive nor another program's may appear.
        QFile::copy(first, path(QStringLiteral("Backups/Backup 2021-08-31 02-05-PM Documents.zip")));
        QFile::copy(first, path(QStringLiteral("Backups/Docs.zip")));

        QTest::mouseClick(main.restoreButton, Qt::LeftButton);
        auto* restoreWindow = window->findChild<RestoreWindow*>();
        QVERIFY(restoreWindow && restoreWindow->isVisible() && !restoreWindow->isModal());
        QVERIFY(!QApplication::activeModalWidget());
        const RestoreControls& c = restoreWindow->controls();
        QTRY_COMPARE(c.archiveList->topLevelItemCount(), 3);
        QCOMPARE(c.archiveList->topLevelItem(0)->text(RestoreWindow::BackupColumn),
                 QStringLiteral("Backup 2021-08-31 02-07-PM Docs.zip"));
        QCOMPARE(c.archiveList->topLevelItem(2)->text(RestoreWindow::FilesColumn), QStringLiteral("2"));
        QCOMPARE(c.archiveTree->model()->index(0, 0).data().toString(), QStringLiteral("report.txt"));
        c.folderList->setCurrentRow(1);
        QTRY_COMPARE(c.archiveList->topLevelItemCount(), 0);
        c.folderList->setCurrentRow(0);
        QTRY_COMPARE(c.archiveList->topLevelItemCount(), 3);

        // Three archives hold two versions of the report, and one of the other file.
        QTest::keyClicks(c.searchBox, QStringLiteral("same"));
        QTRY_COMPARE(c.views->currentWidget(), c.searchResults);
        QTRY_COMPARE(c.searchResults->model()->rowCount(), 1);
        c.searchBox->clear();
        QTest::keyClicks(c.searchBox, QStringLiteral("REPORT"));
        QTRY_COMPARE(c.searchResults->model()->rowCount(), 2);
        QCOMPARE(c.searchResults->model()->index(1, 3).data().toString(), QFileInfo(first).fileName());

        // The older version, into another folder.
        folderDialog.setNextDirectory(path(QStringLiteral("Elsewhere")));
        QTest::mouseClick(c.chooseFolderButton, Qt::LeftButton);
        QVERIFY(c.toOtherFolder->isChecked());
        select(c.searchResults, 1);
        QTest::mouseClick(c.restoreButton, Qt::LeftButton);
        QTRY_VERIFY(!restoreWindow->isBusy());
        QCOMPARE(ZipTestTools::readFile(path(QStringLiteral("Elsewhere/report.txt"))), QByteArray("first draft"));
        QVERIFY(logLines().last().startsWith(QStringLiteral("Docs was restored from %1 to %2 (1 file) at ")
                                                 .arg(first, path(QStringLiteral("Elsewhere")))));

        // The whole oldest archive, into its place: the report there differs and is kept.
        const TestClock clock(m_moment.addSecs(600));
        c.archiveList->setCurrentItem(c.archiveList->topLevelItem(2));
        QCOMPARE(c.views->currentWidget(), c.archiveTree);
        c.archiveTree->selectAll();
        c.toListedFolder->setChecked(true);
        m_prompter->setNextAnswer(Prompter::Answer::Yes);
        QTest::mouseClick(c.restoreButton, Qt::LeftButton);
        QTRY_VERIFY(!restoreWindow->isBusy());
        QVERIFY(m_prompter->texts().join(u'\n').contains(
            QStringLiteral("1 file in %1 differs from the backup:\nreport.txt").arg(path(QStringLiteral("Docs")))));
        QCOMPARE(ZipTestTools::readFile(path(QStringLiteral("Docs/report.txt"))), QByteArray("first draft"));
        QCOMPARE(ZipTestTools::readFile(path(QStringLiteral("Docs/report (before restore 2021-08-31 14-15).txt"))),
                 QByteArray("second draft, longer"));
        QCOMPARE(c.progressBar->value(), c.progressBar->maximum());
    }
};

QTEST_MAIN(TestRestoreWindow)
#include "TestRestoreWindow.moc"
