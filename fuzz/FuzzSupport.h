#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// What the fuzz targets share.
namespace Fuzz {

// The key the records of the seed archives are signed with. It signs nothing else, so it is no
// secret; with it a target trusts the seeds' records as the program trusts its own.
QByteArray SeedKey();

// A folder of this process's own for the files a target writes, made on first use.
QString WorkFolder();

// Writes the bytes to a file (replacing it); stops the process when it cannot.
void WriteFile(const QString& path, const std::uint8_t* data, std::size_t size);

// Stops the process with a message when a property does not hold: libFuzzer keeps the input.
void Require(bool holds, const char* property);

} // namespace Fuzz
