#include "history/HistoryFile.h"
#include "history/HistoryLog.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <memory>

// The three history buttons of the real window, clicked as a user clicks them.
class TestHistoryButtons : public WindowTest
{
    Q_OBJECT

    std::unique_ptr<MainWindow> m_window;

    const QString noHistory
        = QStringLiteral("There isn't a history to view because actions have not been performed yet.");
    const QString clearQuestion = QStringLiteral("Are you sure you want to delete the history log and start over?");

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    void writeLog(const QByteArray& bytes)
    {
        QFile file(HistoryFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

private Q_SLOTS:
    void init()
    {
        beginTest();
        m_window = std::make_unique<MainWindow>();
        SetHistoryFile(HistoryFilePath(QStringLiteral("Tessaly")));
        QFile::remove(HistoryFile());
        QDir(HistoryFile()).removeRecursively();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup()
    {
        m_window.reset();
        endTest();
    }

    void viewOpensTheLogOrSaysThereIsNone()
    {
        click(m_window->controls().viewHistoryButton);
        QCOMPARE(m_prompter->texts(), QStringList { noHistory });
        QCOMPARE(m_prompter->shown().first().buttons, Prompter::Buttons::Ok);
        QVERIFY(m_launcher->paths.isEmpty());

        m_prompter->clear();
        AddToHistory(QStringLiteral("an entry"));
        click(m_window->controls().viewHistoryButton);
        QVERIFY(m_prompter->shown().isEmpty());
        QCOMPARE(m_launcher->paths, QStringList { HistoryFile() });
    }

    void copyPutsTheWholeLogOnTheClipboard()
    {
        click(m_window->controls().copyHistoryButton);
        QVERIFY(m_prompter->shown().isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

        const QString first = QStringLiteral("Docs was backup and zipped as /b/Backup Docs.zip at 8/31/21 2:05:00 PM");
        // A log another program wrote to is copied as it is, bare line feeds and all.
        const QString second
            = QStringLiteral("Music \u00e4 was not backup and zipped because name not matched: /m/*.*\n"
                             "nothing to do, 8/31/21 2:05:01 PM");
        AddToHistory(first);
        writeLog(QString(first + QStringLiteral("\r\n") + second + QStringLiteral("\r\n")).toLocal8Bit());
        click(m_window->controls().copyHistoryButton);
        QVERIFY(m_prompter->shown().isEmpty());
        const QString expected = first + QStringLiteral("\r\n") + second + QStringLiteral("\r\n");
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);

        writeLog("short\r\n");
        click(m_window->controls().copyHistoryButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("short\r\n"));
    }

    void rich_text_markup_is_copied_as_plain_text()
    {
        writeLog("<b>Docs</b> was backup and zipped as /b/&amp;.zip at T\r\n");
        click(m_window->controls().copyHistoryButton);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("<b>Docs</b> was backup and zipped as /b/&amp;.zip at T\r\n"));
    }

    void clearAsksAndDeletesOnlyOnYes()
    {
        AddToHistory(QStringLiteral("kept"));
        m_prompter->setNextAnswer(Prompter::Answer::No);
        click(m_window->controls().clearHistoryButton);
        QCOMPARE(m_prompter->texts(), QStringList { clearQuestion });
        QCOMPARE(m_prompter->shown().first().buttons, Prompter::Buttons::YesNo);
        QVERIFY(QFile::exists(HistoryFile()));

        m_prompter->clear();
        m_prompter->setNextAnswer(Prompter::Answer::Yes);
        click(m_window->controls().clearHistoryButton);
        QCOMPARE(m_prompter->texts(), QStringList { clearQuestion });
        QVERIFY(!QFile::exists(HistoryFile()));

        // Clearing a log that is not there asks, then quietly does nothing.
        m_prompter->clear();
        m_prompter->setNextAnswer(Prompter::Answer::Yes);
        click(m_window->controls().clearHistoryButton);
        QCOMPARE(m_prompter->texts(), QStringList { clearQuestion });

        // The next entry starts a new file.
        AddToHistory(QStringLiteral("fresh"));
        QFile file(HistoryFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("fresh\r\n"));
    }

    void readOnlyLogIsStillCleared()
    {
        AddToHistory(QStringLiteral("entry"));
        QVERIFY(QFile::setPermissions(HistoryFile(), QFile::ReadOwner));
        m_prompter->setNextAnswer(Prompter::Answer::Yes);
        click(m_window->controls().clearHistoryButton);
        QVERIFY(!QFile::exists(HistoryFile()));
    }

    void unreadableLogIsReportedUnderTheButtonsName()
    {
        // A folder where the log should be: it "exists", but cannot be read as a file.
        QVERIFY(QDir().mkpath(HistoryFile()));
        click(m_window->controls().copyHistoryButton);
        QCOMPARE(m_prompter->shown().size(), 1);
        const TestPrompter::Shown box = m_prompter->shown().first();
        QCOMPARE(box.title, QStringLiteral("Application Error"));
        QVERIFY2(box.text.contains(QStringLiteral("in Tessaly2021/08/31.Form1.PushButton4_Click at line 10")),
                 qPrintable(box.text));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }
};

QTEST_MAIN(TestHistoryButtons)
#include "TestHistoryButtons.moc"
