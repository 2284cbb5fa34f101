#pragma once

#include <QByteArray>
#include <QString>

// The user's own secret that signs the reuse records of every archive this program writes, so
// that only records it wrote are ever trusted. It lives beside the settings store (never in a
// backup folder), readable by the user alone, and is made on first use.
//
// Returns the key, or an empty array when there is none and none can be made (then nothing is
// reused or carried over from earlier archives, and no record is written).
QByteArray LoadRecordKey();

// Where the key lives.
QString RecordKeyPath();
