#pragma once

#include "backup/Clock.h"

// A clock that shows a fixed moment, optionally moving on by a number of seconds at every read, and
// that sleeps when told.
// Installs itself while it lives.
class TestClock final : public Clock
{
public:
    explicit TestClock(QDateTime moment)
        : m_moment(std::move(moment))
    {
        Clock::install(this);
    }
    ~TestClock() override { Clock::install(nullptr); }
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    QDateTime now() const override
    {
        const QDateTime moment = m_moment;
        m_moment = m_moment.addSecs(m_step);
        ++m_reads;
        return moment;
    }

    qint64 sleptMilliseconds() const override { return m_slept; }

    void set(const QDateTime& moment) { m_moment = moment; }
    // The computer sleeps: the wall clock moves on, the program's ticks do not.
    void sleep(int seconds)
    {
        m_moment = m_moment.addSecs(seconds);
        m_slept += qint64(seconds) * 1000;
    }
    void setStepSeconds(int seconds) { m_step = seconds; }
    int reads() const { return m_reads; }

private:
    mutable QDateTime m_moment;
    mutable int m_reads = 0;
    int m_step = 0;
    qint64 m_slept = 0;
};
