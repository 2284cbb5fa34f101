#include "FuzzSupport.h"

#include "base/NativePath.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace Fuzz {

QByteArray SeedKey()
{
    return QByteArrayLiteral("Tessaly fuzz seeds: not a secret");
}

QString WorkFolder()
{
    // Removed with everything in it when the process ends.
    static const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tessaly-fuzz-XXXXXX"));
    Require(folder.isValid(), "a work folder can be made");
    return folder.path();
}

void WriteFile(const QString& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(NativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(fd >= 0, "the work file can be written");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        Require(n > 0, "the work file can be written");
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

void Require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

} // namespace Fuzz
