#include "schedule/ScheduleController.h"

#include "app/AppError.h"
#include "app/Form1.h"
#include "app/SettingsStore.h"
#include "app/TextRoutines.h"
#include "app/Twips.h"
#include "app/WindowTimer.h"
#include "schedule/IntervalTable.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

ScheduleController::ScheduleController(Form1& form)
    : QObject(&form)
    , m_form(form)
{
}

void ScheduleController::fillIntervalList()
{
    QTreeWidget* list = m_form.ListView2;
    list->setHeaderLabels({QStringLiteral("How often would you like to backup?")});
    list->header()->resizeSection(0, TwipsToPixels(7000));
    for (const Interval& interval : IntervalTable)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromLatin1(interval.label)}));
}

void ScheduleController::selectStoredInterval()
{
    const int position = ToInteger16(SettingsStore::ReadSetting(SettingsKeys::OftenIndex),
                                     QStringLiteral("Form1.Form_Load"));
    QTreeWidgetItem* row = m_form.ListView2->topLevelItem(position - 1);
    if (!row)
        throw AppError::indexOutOfBounds(QStringLiteral("ListView2.ListItems"));
    m_form.ListView2->setCurrentItem(row);
}

void ScheduleController::applyStoredSwitchState()
{
    const QString state = SettingsStore::ReadSetting(SettingsKeys::StartStopState);
    if (state == QLatin1String("Off")) {
        m_form.PushButton5->setText(QStringLiteral("Turn On Auto Zip And Backup"));
        m_form.setStatus(QStringLiteral("Auto Zip And Backup is Turned Off."));
        m_form.Timer1->setInterval(0);
    } else if (state == QLatin1String("On")) {
        m_form.PushButton5->setText(QStringLiteral("Turn Off Auto Zip And Backup"));
        m_form.Timer1->setInterval(1000);
    }
}
