#pragma once

#include <QIcon>

// The icon with a warning mark in its lower right corner: an orange disc with a white "!" and a
// white rim, flat like the icon itself. Drawn at the sizes trays and window lists ask for.
QIcon WarningIcon(const QIcon& ordinary);
