#include "base/CheckState.h"

#include "base/AppError.h"

int CheckValue(Qt::CheckState state)
{
    switch (state) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    }
    return 0;
}

Qt::CheckState CheckStateFromValue(int value, const QString& source)
{
    switch (value) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        throw AppError::invalidPropertyValue(source);
    }
}
