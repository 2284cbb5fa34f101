#include "zip/ArchiveSummary.h"

#include "base/NativePath.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipFormat.h"

#include <QRegularExpression>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype EndSize = 22; // the end record without its comment
constexpr qsizetype LongestComment = 100;

const QRegularExpression& commentPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^Tessaly backup: ([0-9]{1,19}) files, ([0-9]{1,19}) bytes, (complete|incomplete)$"));
    return pattern;
}

std::uint32_t u16(const QByteArray& bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes[at])
        | (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
}

// The archive's comment, when the file ends in an end record whose comment is short enough to be
// ours.
std::optional<QByteArray> shortComment(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < EndSize)
        return std::nullopt;
    const qsizetype tailSize = std::min<qsizetype>(st.st_size, EndSize + LongestComment);
    QByteArray tail(tailSize, '\0');
    if (::pread(fd, tail.data(), static_cast<std::size_t>(tailSize), st.st_size - tailSize) != tailSize)
        return std::nullopt;
    for (qsizetype at = tailSize - EndSize; at >= 0; --at) {
        if ((u16(tail, at) | (u16(tail, at + 2) << 16)) == ZipFormat::EndSignature
            && at + EndSize + u16(tail, at + 20) == tailSize)
            return tail.mid(at + EndSize);
    }
    return std::nullopt;
}

std::optional<ArchiveSummary> noted(int fd)
{
    const std::optional<QByteArray> comment = shortComment(fd);
    if (!comment)
        return std::nullopt;
    const QRegularExpressionMatch found = commentPattern().match(QString::fromLatin1(*comment));
    if (!found.hasMatch())
        return std::nullopt;
    return ArchiveSummary { found.captured(1).toULongLong(), found.captured(2).toULongLong(),
                            found.captured(3) == QLatin1String("complete") };
}

std::optional<ArchiveSummary> counted(int fd)
{
    CentralDirectory directory;
    if (!ReadCentralDirectory(fd, directory))
        return std::nullopt;
    ArchiveSummary summary { 0, 0, true };
    for (const CentralEntry& entry : directory.entries) {
        if (entry.name.endsWith('/'))
            continue;
        ++summary.files;
        summary.bytes += entry.size;
    }
    return summary;
}

// An open file descriptor for as long as it lives; -1 when the file cannot be opened.
class ReadOnlyFile
{
public:
    explicit ReadOnlyFile(const QString& path)
        : m_fd(::open(NativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
    { }
    ~ReadOnlyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

QByteArray SummaryComment(const ArchiveSummary& summary)
{
    return QStringLiteral("Tessaly backup: %1 files, %2 bytes, %3")
        .arg(summary.files)
        .arg(summary.bytes)
        .arg(summary.complete ? QLatin1String("complete") : QLatin1String("incomplete"))
        .toLatin1();
}

bool IsOwnArchive(const QString& path)
{
    const ReadOnlyFile file(path);
    return file.fd() >= 0 && noted(file.fd()).has_value();
}

std::optional<ArchiveSummary> ReadArchiveSummary(const QString& path)
{
    const ReadOnlyFile file(path);
    if (file.fd() < 0)
        return std::nullopt;
    if (const std::optional<ArchiveSummary> summary = noted(file.fd()))
        return summary;
    return counted(file.fd());
}
