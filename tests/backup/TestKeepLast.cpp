#include "app/SettingsStore.h"
#include "backup/HistoryFile.h"
#include "backup/IntervalSave.h"
#include "backup/TestClock.h"
#include "folders/FolderListView.h"
#include "support/WindowTest.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

// Keeping the last N archives of each folder: real runs into a real backup folder that also holds
// archives of another prefix, of folders whose names end alike, and files of no series at all.
class TestKeepLast : public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_files;

    QString backups() const { return m_files.path() + QStringLiteral("/Backups/"); }
    QStringList files() const { return QDir(backups()).entryList(QDir::Files, QDir::Name); }

    // An old file whose modification time lies `minutes` back.
    void put(const QString& name, int minutes)
    {
        QFile file(backups() + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(
            file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutes), QFileDevice::FileModificationTime));
    }

    QStringList removalsLogged() const
    {
        QFile log(HistoryFile());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(log.readAll()).split(QStringLiteral("\r\n")).filter(QStringLiteral("Old backup"));
    }

    QStringList removed(const QStringList& names, int keep) const
    {
        QStringList lines;
        for (const QString& name : names)
            lines << QStringLiteral("Old backup %1%2 was removed, keeping the last %3").arg(backups(), name).arg(keep);
        return lines;
    }

private Q_SLOTS:
    void init() { beginTest(); }
    void cleanup() { endTest(); }

    void onlyTheFoldersOwnOldestArchivesGo()
    {
        TestClock clock(QDateTime(QDate(2021, 8, 31), QTime(14, 5)));
        QVERIFY(QDir().mkpath(m_files.path() + QStringLiteral("/Src/Docs")) && QDir().mkpath(backups()));
        QFile(m_files.path() + QStringLiteral("/Src/Docs/a.txt")).open(QIODevice::WriteOnly);
        // Modification times in the opposite order to the stamps: the stamps decide.
        const QStringList docs = { QStringLiteral("Backup 2021-08-30 12-30-AM Docs.zip"),
                                   QStringLiteral("Backup 2021-08-30 11-00-AM Docs.zip"),
                                   QStringLiteral("Backup 2021-08-30 01-00-PM Docs.zip"),
                                   QStringLiteral("Backup 2021-08-31 01-15-AM Docs.zip") };
        for (int i = 0; i < docs.size(); ++i)
            put(docs[i], 10 + i);
        const QStringList others = { QStringLiteral("Backup 2021-08-29 09-00-AM My Docs.zip"),
                                     QStringLiteral("Nightly 2021-08-29 09-00-AM Docs.zip"),
                                     QStringLiteral("Backup Docs.zip"),
                                     QStringLiteral("Backup 2021-08-29 Docs.zip"),
                                     QStringLiteral("Backup 2021-02-30 09-00-AM Docs.zip"),
                                     QStringLiteral("Backup 2021-08-29 09-00-AM Docs.zip.txt"),
                                     QStringLiteral("Backup 2021-08-28 09-00-AM Missing.zip"),
                                     QStringLiteral("Backup 2021-08-29 09-00-AM Missing.zip"),
                                     QStringLiteral("notes.txt") };
        for (const QString& name : others)
            put(name, 100);
        const QString fresh = QStringLiteral("Backup 2021-08-31 02-05-PM Docs.zip");

        auto form = load();
        form->Text5->setText(backups());
        form->ListView1->AppendEntry(m_files.path() + QStringLiteral("/Src/Docs"));
        form->ListView1->AppendEntry(m_files.path() + QStringLiteral("/Src/Missing"));
        SaveAll(*form, *form->ListView1, *form->Frame1, true);
        QCOMPARE(files().size(), docs.size() + others.size() + 1);
        QVERIFY(removalsLogged().isEmpty());

        form->KeepLastBox->setValue(2);
        QCOMPARE(SettingsStore::ReadSetting(SettingsKeys::KeepLast), QStringLiteral("2"));
        SaveAll(*form, *form->ListView1, *form->Frame1, true);
        QCOMPARE(removalsLogged(), removed(docs.first(3), 2));
        QStringList left = others + QStringList { docs.last(), fresh };
        left.sort();
        QCOMPARE(files(), left);

        // A time stamp alone cannot tell old from new: the modification time does.
        form->Check1->setChecked(false);
        put(QStringLiteral("Backup 01-00-AM Docs.zip"), 5);
        put(QStringLiteral("Backup 11-00-PM Docs.zip"), 50);
        put(QStringLiteral("Backup 03-00-PM Docs.zip"), 30);
        SaveAll(*form, *form->ListView1, *form->Frame1, true);
        QCOMPARE(
            removalsLogged().mid(3),
            removed({ QStringLiteral("Backup 11-00-PM Docs.zip"), QStringLiteral("Backup 03-00-PM Docs.zip") }, 2));
        QVERIFY(files().contains(QStringLiteral("Backup 01-00-AM Docs.zip")));

        // Restored at start-up; a stored text that is no count keeps all.
        QCOMPARE(load()->KeepLastBox->value(), 2);
        SettingsStore::WriteSetting(SettingsKeys::KeepLast, QStringLiteral("-3"));
        QCOMPARE(load()->KeepLastBox->value(), 0);
    }
};

QTEST_MAIN(TestKeepLast)
#include "TestKeepLast.moc"
