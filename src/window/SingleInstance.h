#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

// One program per user session and settings store: the first start holds a lock and listens on a
// local socket in the user's runtime folder; a later start asks it to show its window and ends.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // True when this process is the one to run. False when another one runs: it has been asked to
    // show its window (or did not answer, which is said on stderr) and this one should end.
    bool claim();

Q_SIGNALS:
    // Another start asked for the window.
    void showRequested();

private:
    bool handOver();

    const QString m_folder;
    const QString m_name;
    QLockFile m_lock;
    QLocalServer m_server;
};
