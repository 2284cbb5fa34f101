#pragma once

#include <QString>
#include <Qt>

// A check box's state as the program stores it: 0 clear, 1 checked, 2 greyed.
int CheckValue(Qt::CheckState state);
// The state for a stored number; raises "Invalid property value" for anything but 0, 1 and 2.
Qt::CheckState CheckStateFromValue(int value, const QString& source);
