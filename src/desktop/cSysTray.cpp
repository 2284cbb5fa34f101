#include "desktop/cSysTray.h"

#include <QSystemTrayIcon>

cSysTray::cSysTray(QObject* parent)
    : QObject(parent)
    , m_tray(new QSystemTrayIcon(this))
{
}

cSysTray::~cSysTray() { setInTray(false); }

void cSysTray::setInTray(bool inTray)
{
    if (inTray == m_inTray)
        return;
    m_inTray = inTray;
    if (inTray) {
        m_tray->setIcon(m_icon);
        m_tray->setToolTip(m_tip.left(127));
        m_tray->show();
    } else {
        m_tray->hide();
    }
}

void cSysTray::setTrayIcon(const QIcon& icon)
{
    if (icon.isNull())
        return;
    m_icon = icon;
    m_tray->setIcon(icon);
}

void cSysTray::setTrayTip(const QString& tip)
{
    m_tip = tip;
    m_tray->setToolTip(tip.left(127));
}
