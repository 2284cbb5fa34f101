#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The text a name's bytes are shown as: bytes that are not UTF-8 appear as U+FFFD.
QString ShownName(const QByteArray& bytes);
// A size and a modification time as the user's regional settings write them.
QString ShownSize(std::uint64_t bytes);
QString ShownTime(std::int64_t mtimeNs);
// "1 file", "2 files": a count with its noun in the right number.
QString ShownCount(qsizetype count, const char* one, const char* many);
