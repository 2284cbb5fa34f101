#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

// The local paths of a dragged "text/uri-list", in its order, comment lines skipped. Nothing at all
// when any address is not a local file (another scheme or another host) or names a path whose
// bytes are not valid UTF-8, which the folder list, being text, could only hold as a different path.
std::optional<QStringList> LocalPathsFromUriList(const QByteArray& uriList);
