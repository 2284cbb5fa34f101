#pragma once

#include <QObject>
#include <QTimer>

// A window timer whose interval 0 means stopped, as the countdown's switch expects.
class WindowTimer final : public QObject
{
    Q_OBJECT
public:
    explicit WindowTimer(QObject* parent = nullptr);

    int interval() const { return m_interval; }
    // Also drops every tick already queued: one that fell due before a stop or a restart never arrives.
    void setInterval(int milliseconds);

Q_SIGNALS:
    void ticked();

private:
    QTimer m_timer;
    int m_interval = 0;
    // Counts the starts and stops, so a queued tick knows whether it is still current.
    quint64 m_run = 0;
};
