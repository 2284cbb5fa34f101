#pragma once

#include "desktop/TrayBackend.h"

#include <QStringList>
#include <QTimer>

// A notification area for tests: records every call going out, and lets the test send
// activations and balloon notices in.
class FakeTrayBackend final : public TrayBackend
{
    Q_OBJECT
public:
    struct Options
    {
        bool available = true;
        bool messages = true;
        // The user clicks every balloon as soon as events flow.
        bool clickBalloons = false;
    };

    explicit FakeTrayBackend(Options options)
        : m_options(options)
    { }

    bool isSystemTrayAvailable() const override { return m_options.available; }
    bool supportsMessages() const override { return m_options.messages; }
    void addIcon(const QIcon& icon, const QString& tip) override
    {
        record(QStringLiteral("add"));
        iconShown = icon;
        tipShown = tip;
    }
    void removeIcon() override { record(QStringLiteral("remove")); }
    void setIcon(const QIcon& icon) override
    {
        record(QStringLiteral("setIcon"));
        iconShown = icon;
    }
    void setToolTip(const QString& tip) override
    {
        record(QStringLiteral("setToolTip"));
        tipShown = tip;
    }
    void showMessage(const QString& title, const QString& text, int milliseconds) override
    {
        record(QStringLiteral("showMessage"));
        balloonTitle = title;
        balloonText = text;
        balloonMilliseconds = milliseconds;
        if (m_options.clickBalloons)
            QTimer::singleShot(0, this, [this] { Q_EMIT messageClicked(); });
    }
    void hideMessage() override { record(QStringLiteral("hideMessage")); }

    // Calls also go here; it outlives the fake.
    QStringList* journal = nullptr;

    // The notification area appears or goes away, and says so as the real one does.
    void setAvailable(bool available)
    {
        m_options.available = available;
        Q_EMIT availabilityChanged();
    }
    int count(const char* call) const { return int(calls.count(QLatin1String(call))); }

    QStringList calls;
    QIcon iconShown;
    QString tipShown;
    QString balloonTitle;
    QString balloonText;
    int balloonMilliseconds = -1;

private:
    void record(const QString& call)
    {
        calls << call;
        if (journal)
            *journal << call;
    }

    Options m_options;
};

// Every TrayIcon made while this lives gets a fake with these options.
class FakeTrayFactory
{
public:
    explicit FakeTrayFactory(FakeTrayBackend::Options options = {})
    {
        TrayBackend::setFactory([options] { return std::make_unique<FakeTrayBackend>(options); });
    }
    ~FakeTrayFactory() { TrayBackend::setFactory({}); }
    FakeTrayFactory(const FakeTrayFactory&) = delete;
    FakeTrayFactory& operator=(const FakeTrayFactory&) = delete;
};
