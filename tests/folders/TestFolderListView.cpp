#include "base/MousePointer.h"
#include "base/SettingsStore.h"
#include "folders/FolderListView.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

class TestFolderListView : public WindowTest
{
    Q_OBJECT
    std::unique_ptr<MainWindow> m_window;
    FolderListView* m_list = nullptr;

    // Screen rows inside the band where a reorder step scrolls nothing.
    static constexpr int QuietY = 330;

    void fill(const QStringList& texts)
    {
        for (const QString& text : texts)
            m_list->appendEntry(text);
    }

    QPoint rowCentre(int row) const { return m_list->visualItemRect(m_list->topLevelItem(row)).center(); }

    void mouse(QEvent::Type type, QPoint pos, int screenY, Qt::MouseButton button, Qt::MouseButtons held)
    {
        const QPointF global(m_list->viewport()->mapToGlobal(pos).x(), screenY);
        QMouseEvent event(type, QPointF(pos), global, button, held, Qt::NoModifier);
        QApplication::sendEvent(m_list->viewport(), &event);
    }
    void press(int row) { mouse(QEvent::MouseButtonPress, rowCentre(row), QuietY, Qt::LeftButton, Qt::LeftButton); }
    void moveTo(int row, int screenY = QuietY)
    {
        mouse(QEvent::MouseMove, rowCentre(row), screenY, Qt::NoButton, Qt::LeftButton);
    }
    void release(int row) { mouse(QEvent::MouseButtonRelease, rowCentre(row), QuietY, Qt::LeftButton, Qt::NoButton); }

    // What a window system delivers for a double-click: the second press arrives as the double-click.
    void doubleClick(QPoint pos)
    {
        mouse(QEvent::MouseButtonPress, pos, QuietY, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, pos, QuietY, Qt::LeftButton, Qt::NoButton);
        mouse(QEvent::MouseButtonDblClick, pos, QuietY, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, pos, QuietY, Qt::LeftButton, Qt::NoButton);
    }

    bool rowVisible(int row) const
    {
        return m_list->viewport()->rect().contains(m_list->visualItemRect(m_list->topLevelItem(row)));
    }

    // Sends a drag over the list and, when asked, the drop; returns whether the list took the drag,
    // and the drop when there was one.
    bool dragOnto(QMimeData* data, bool drop, Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction)
    {
        const QPoint at = m_list->viewport()->rect().center();
        QDragEnterEvent enter(at, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_list->viewport(), &enter);
        bool accepted = enter.isAccepted() && enter.dropAction() != Qt::IgnoreAction;
        if (drop) {
            QDropEvent dropEvent(QPointF(at), offered, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_list->viewport(), &dropEvent);
            accepted = accepted && dropEvent.isAccepted() && dropEvent.dropAction() != Qt::IgnoreAction;
        }
        return accepted;
    }

    bool dropUriList(const QByteArray& list)
    {
        QMimeData data;
        data.setData(QStringLiteral("text/uri-list"), list);
        return dragOnto(&data, true);
    }

    static QMimeData* fileUrls(const QStringList& paths)
    {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data->setUrls(urls);
        return data;
    }

private Q_SLOTS:
    void init()
    {
        beginTest();
        m_window = std::make_unique<MainWindow>();
        m_list = m_window->controls().folderList;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        endTest();
    }

    void dropOfFilesAndFoldersAppendsThemInOrder()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("notes.txt"));
        const QString second = dir.filePath(QStringLiteral("a b; c.txt"));
        const QString folder = dir.filePath(QStringLiteral("Photos"));
        QFile(first).open(QIODevice::WriteOnly);
        QFile(second).open(QIODevice::WriteOnly);
        QVERIFY(QDir().mkdir(folder));
        fill({ QStringLiteral("/already/there") });

        std::unique_ptr<QMimeData> data(fileUrls({ second, folder, first }));
        // The list only reads the paths: it takes the drop as a copy, so the source keeps its files.
        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(m_list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QVERIFY(dragOnto(data.get(), true));
        QCOMPARE(m_list->entries(), (QStringList { QStringLiteral("/already/there"), second, folder, first }));

        // The same folder again is simply listed twice, and a drop is taken while the window is busy.
        m_window->setMousePointer(MousePointer::Busy);
        std::unique_ptr<QMimeData> again(fileUrls({ folder }));
        QVERIFY(dragOnto(again.get(), true));
        QCOMPARE(m_list->entryCount(), 5);
        QCOMPARE(m_list->entryText(5), folder);
    }

    void dragsThatAreNotLocalFilesAreRefused()
    {
        fill({ QStringLiteral("/kept") });
        QMimeData text;
        text.setText(QStringLiteral("/home/ann/Docs"));
        QVERIFY(!dragOnto(&text, true));

        QMimeData remote;
        remote.setUrls({ QUrl(QStringLiteral("https://example.org/Docs")) });
        QVERIFY(!dragOnto(&remote, true));

        QMimeData mixed;
        mixed.setUrls({ QUrl::fromLocalFile(QStringLiteral("/tmp")), QUrl(QStringLiteral("sftp://host/srv")) });
        QVERIFY(!dragOnto(&mixed, true));

        // A source that offers only a move would delete its files after the drop: refused.
        std::unique_ptr<QMimeData> moveOnly(fileUrls({ QStringLiteral("/tmp") }));
        QVERIFY(!dragOnto(moveOnly.get(), true, Qt::MoveAction));

        QCOMPARE(m_list->entries(), QStringList { QStringLiteral("/kept") });
    }

    // The path list is read as written: comment lines are skipped, and an address of another host,
    // or a path whose bytes are not UTF-8, refuses the whole drop.
    void droppedPathListIsReadAsWritten()
    {
        QVERIFY(dropUriList("# dragged from a file manager\r\nfile:///srv/a%20b\r\nfile://localhost/srv/c\r\n"));
        QCOMPARE(m_list->entries(), (QStringList { QStringLiteral("/srv/a b"), QStringLiteral("/srv/c") }));
        QVERIFY(!dropUriList("file:///srv/d\r\nfile://otherhost/srv/share\r\n"));
        QVERIFY(!dropUriList("file:///srv/d\r\nfile:///srv/caf%E9\r\n"));
        QVERIFY(!dropUriList("# only a comment\r\n"));
        QCOMPARE(m_list->entryCount(), 2);
    }

    // The release only ends the gesture: below the rows, or on a row of equal text, the selection
    // stays where the drag put it. A user selects a row with one click and drags it with the next.
    void releaseKeepsTheSelectionOfTheDrag()
    {
        fill({ QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("C") });
        const QPoint below(5, m_list->viewport()->height() - 2);
        press(0), release(0), press(0);
        moveTo(1);
        mouse(QEvent::MouseButtonRelease, below, QuietY, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(m_list->selectedItems(), QList<QTreeWidgetItem*> { m_list->topLevelItem(1) });
        press(2), release(2), press(2);
        moveTo(3);
        release(3);
        QTest::keyClick(m_list, Qt::Key_Delete);
        QCOMPARE(m_list->entries(), (QStringList { QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("C") }));
    }

    void removalWaitsWhileTheWindowIsBusy()
    {
        fill({ QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D") });
        m_list->setCurrentItem(m_list->topLevelItem(1));
        m_list->setFocus();
        m_window->setMousePointer(MousePointer::Busy);

        QTest::keyClick(m_list, Qt::Key_Delete);
        doubleClick(rowCentre(1));
        QTest::mouseClick(m_window->controls().clearListButton, Qt::LeftButton);
        QCOMPARE(m_list->entryCount(), 4);

        m_window->setMousePointer(MousePointer::Default);
        QTest::keyClick(m_list, Qt::Key_Delete);
        QCOMPARE(m_list->entries(), (QStringList { QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("D") }));

        // The row under a double-click plays no part: below the last row the selected one goes.
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        const QRect last = m_list->visualItemRect(m_list->topLevelItem(2));
        const QPoint belowLast(last.center().x(), last.bottom() + 3 * last.height());
        QVERIFY(m_list->viewport()->rect().contains(belowLast));
        doubleClick(belowLast);
        QCOMPARE(m_list->entries(), (QStringList { QStringLiteral("C"), QStringLiteral("D") }));

        QTest::mouseClick(m_window->controls().clearListButton, Qt::LeftButton);
        QCOMPARE(m_list->entryCount(), 0);
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void deleteKeyOnlyAndNothingOnAnEmptyList()
    {
        m_list->setFocus();
        QTest::keyClick(m_list, Qt::Key_Delete);
        doubleClick(QPoint(20, 20));
        QCOMPARE(m_list->entryCount(), 0);

        fill({ QStringLiteral("A"), QStringLiteral("B") });
        m_list->setCurrentItem(m_list->topLevelItem(0));
        for (const Qt::Key key : { Qt::Key_Backspace, Qt::Key_Insert, Qt::Key_X, Qt::Key_Escape })
            QTest::keyClick(m_list, key);
        QCOMPARE(m_list->entryCount(), 2);

        // Entries but no selected row: there is nothing to remove.
        m_list->clearSelection();
        QTest::keyClick(m_list, Qt::Key_Delete);
        QCOMPARE(m_list->entryCount(), 2);
    }

    void draggingOneRowAtATimeCarriesTheText()
    {
        fill({ QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D") });
        press(0);
        QVERIFY(m_list->isArmed());
        QCOMPARE(m_list->dragSourceRow(), 0);
        moveTo(1);
        moveTo(2);
        release(2);
        QCOMPARE(m_list->entries(),
                 (QStringList { QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("D") }));
        QCOMPARE(m_list->currentItem(), m_list->topLevelItem(2));
        QVERIFY(m_list->topLevelItem(2)->isSelected());
        QVERIFY(!m_list->isArmed());
        QCOMPARE(m_list->dragSourceRow(), 2);

        // Disarmed: moving over the rows changes nothing.
        moveTo(0);
        QCOMPARE(m_list->entries(),
                 (QStringList { QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("D") }));
    }

    void aJumpExchangesOnlyTheTwoRows()
    {
        fill({ QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D") });
        press(0);
        moveTo(2);
        release(2);
        QCOMPARE(m_list->entries(),
                 (QStringList { QStringLiteral("C"), QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("D") }));
    }

    void rowsWithEqualTextAreNeverExchanged()
    {
        fill({ QStringLiteral("/a"), QStringLiteral("/a"), QStringLiteral("/A") });
        press(0);
        moveTo(1);
        QCOMPARE(m_list->entries(), (QStringList { QStringLiteral("/a"), QStringLiteral("/a"), QStringLiteral("/A") }));
        QCOMPARE(m_list->dragSourceRow(), 0);
        // The comparison is exact: "/A" differs from "/a".
        moveTo(2);
        release(2);
        QCOMPARE(m_list->entries(), (QStringList { QStringLiteral("/A"), QStringLiteral("/a"), QStringLiteral("/a") }));
    }

    void dragPointerFromTheIconBesideTheProgram()
    {
        QVERIFY(QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/drag.ico")));
        fill({ QStringLiteral("A"), QStringLiteral("B") });
        m_window->setMousePointer(MousePointer::Custom);
        press(1);
        QCOMPARE(m_list->viewport()->cursor().shape(), Qt::BitmapCursor);
        QVERIFY(!m_list->viewport()->cursor().pixmap().isNull());
        // Moving over the list gives the window its arrow back.
        moveTo(1);
        QCOMPARE(m_window->mousePointer(), MousePointer::Default);
        release(1);
        QCOMPARE(m_list->viewport()->cursor().shape(), Qt::ArrowCursor);

        // The hourglass is never replaced.
        m_window->setMousePointer(MousePointer::Busy);
        moveTo(0);
        QCOMPARE(m_window->mousePointer(), MousePointer::Busy);
    }

    void scrollFollowsThePointersScreenRow()
    {
        for (int i = 0; i < 60; ++i)
            m_list->appendEntry(QStringLiteral("/folder/%1").arg(i, 2, 10, QLatin1Char('0')));
        QScrollBar* bar = m_list->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);

        // Near the top of the screen the row above the target comes into view.
        m_list->scrollToItem(m_list->topLevelItem(30), QAbstractItemView::PositionAtTop);
        QVERIFY(!rowVisible(29));
        press(31);
        moveTo(30, 120);
        release(30);
        QCOMPARE(m_list->entryText(31 + 1), QStringLiteral("/folder/30"));
        QVERIFY(rowVisible(29));

        // Between 305 and 364 nothing scrolls.
        m_list->scrollToItem(m_list->topLevelItem(30), QAbstractItemView::PositionAtTop);
        int before = bar->value();
        press(31);
        moveTo(30, 305);
        moveTo(31, 364);
        release(31);
        QCOMPARE(bar->value(), before);

        // Near the bottom the row below the target comes into view.
        m_list->scrollToItem(m_list->topLevelItem(30), QAbstractItemView::PositionAtBottom);
        QVERIFY(!rowVisible(31));
        press(29);
        moveTo(30, 365);
        release(30);
        QVERIFY(rowVisible(31));

        // The first row has no row above and the last none below: nothing to scroll, no failure.
        m_list->scrollToTop();
        before = bar->value();
        press(1);
        moveTo(0, 10);
        release(0);
        QCOMPARE(bar->value(), before);
        m_list->scrollToBottom();
        press(58);
        moveTo(59, 2000);
        release(59);
        QVERIFY(rowVisible(59));
    }

    void listSurvivesACloseAndAStart_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("restored");
        QTest::newRow("empty") << QStringList {} << QString() << QStringList {};
        QTest::newRow("duplicates") << QStringList { QStringLiteral("/srv/a"), QStringLiteral("/srv/a") }
                                    << QStringLiteral("/srv/a;/srv/a;")
                                    << QStringList { QStringLiteral("/srv/a"), QStringLiteral("/srv/a") };
        QTest::newRow("spaces kept") << QStringList { QStringLiteral(" /srv/b ") } << QStringLiteral(" /srv/b ;")
                                     << QStringList { QStringLiteral(" /srv/b ") };
        QTest::newRow("semicolon splits")
            << QStringList { QStringLiteral("/home/ann/a;b") } << QStringLiteral("/home/ann/a;b;")
            << QStringList { QStringLiteral("/home/ann/a"), QStringLiteral("b") };
        QTest::newRow("blank entry dropped") << QStringList { QStringLiteral("/x"), QStringLiteral("  ") }
                                             << QStringLiteral("/x;  ;") << QStringList { QStringLiteral("/x") };
    }

    void listSurvivesACloseAndAStart()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, stored);
        QFETCH(QStringList, restored);
        fill(entries);
        m_window->unload();
        QCOMPARE(SettingsStore::ReadSetting(QLatin1String(SettingsKeys::Folders.name), QStringLiteral("absent")),
                 stored);

        MainWindow next;
        next.load();
        QCOMPARE(next.controls().folderList->entries(), restored);
    }
};

QTEST_MAIN(TestFolderListView)
#include "TestFolderListView.moc"
