#pragma once

#include <QString>
#include <QStringList>

// The stored form of the folder list: every entry followed by ";", nothing escaped.
QString FoldersValue(const QStringList& entries);
// The entries of a stored value, in order; empty and all-space pieces are skipped,
// and the spaces around a path are kept.
QStringList FoldersFromValue(const QString& value);
