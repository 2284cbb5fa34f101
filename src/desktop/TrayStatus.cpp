#include "desktop/TrayStatus.h"

#include "desktop/TrayIcon.h"
#include "desktop/WarningIcon.h"

void TrayStatus::setFailure(const QString& line)
{
    m_failure = line;
    show();
}

void TrayStatus::setAge(const QString& line)
{
    m_age = line;
    show();
}

void TrayStatus::setOverdue(bool overdue)
{
    m_overdue = overdue;
    show();
}

void TrayStatus::show()
{
    if (!m_known) {
        m_ordinaryIcon = m_tray.icon();
        m_name = m_tray.tip();
        m_known = true;
    }
    const bool marked = !m_failure.isEmpty() || m_overdue;
    if (marked != m_marked) {
        m_tray.setIcon(marked ? WarningIcon(m_ordinaryIcon) : m_ordinaryIcon);
        m_marked = marked;
    }
    // The failure goes on the name's line, as it always did; the age goes under it.
    QString tip = m_failure.isEmpty() ? m_name : m_name + QStringLiteral(": ") + m_failure;
    if (!m_age.isEmpty())
        tip += u'\n' + m_age;
    if (tip != m_tray.tip())
        m_tray.setTip(tip);
}
