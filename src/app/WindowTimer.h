#pragma once

#include <QObject>
#include <QTimer>

// A window timer whose interval 0 means stopped, as the countdown's switch expects.
class WindowTimer final : public QObject
{
    Q_OBJECT
public:
    explicit WindowTimer(QObject* parent = nullptr);

    int Interval() const { return m_interval; }
    void setInterval(int milliseconds);

Q_SIGNALS:
    void Timer();

private:
    QTimer m_timer;
    int m_interval = 0;
};
