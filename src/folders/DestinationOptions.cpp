#include "folders/DestinationOptions.h"

#include "app/CheckState.h"
#include "app/Form1.h"
#include "app/SettingsStore.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

void storeStateOnChange(QCheckBox* box, const SettingsKeys::Key& key, QObject* context)
{
    QObject::connect(box, &QCheckBox::stateChanged, context,
                     [key](int state) {
                         SettingsStore::WriteSetting(key, QString::number(CheckValue(Qt::CheckState(state))));
                     });
}

} // namespace

DestinationOptions::DestinationOptions(Form1& form)
    : QObject(&form)
    , m_form(form)
{
    connect(m_form.Text5, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::WriteSetting(SettingsKeys::Path, text); });
    connect(m_form.Text1, &QLineEdit::textChanged, this,
            [](const QString& text) { SettingsStore::WriteSetting(SettingsKeys::Text1, text); });
    storeStateOnChange(m_form.Check1, SettingsKeys::Check1, this);
    storeStateOnChange(m_form.Check2, SettingsKeys::Check2, this);
}
