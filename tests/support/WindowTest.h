#pragma once

#include "history/HistoryFile.h"
#include "support/TempSettings.h"
#include "support/TestLauncher.h"
#include "support/TestPrompter.h"
#include "window/MainWindow.h"

#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

// What every test of the real window needs: a settings store of its own and recorders for message
// boxes and open requests, renewed for each test function (beginTest() in init(), endTest() in cleanup()).
class WindowTest : public QObject
{
protected:
    void beginTest()
    {
        m_settings.clear();
        m_prompter = std::make_unique<TestPrompter>();
        m_launcher = std::make_unique<TestLauncher>();
    }

    void endTest()
    {
        m_launcher.reset();
        m_prompter.reset();
    }

    // A main window after its start-up sequence.
    static std::unique_ptr<MainWindow> load()
    {
        auto window = std::make_unique<MainWindow>();
        window->load();
        return window;
    }

    // The history log's lines, without the line ends.
    static QStringList logLines()
    {
        QFile file(HistoryFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }

    // Calls `step` on every pass of the event loop while `body` runs, for as long as it returns true.
    void whileRunning(const std::function<bool()>& step, const std::function<void()>& body)
    {
        QTimer timer;
        timer.setInterval(0);
        bool active = true;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (active)
                active = step();
        });
        timer.start();
        body();
        timer.stop();
    }

    TempSettings m_settings;
    std::unique_ptr<TestPrompter> m_prompter;
    std::unique_ptr<TestLauncher> m_launcher;
};
