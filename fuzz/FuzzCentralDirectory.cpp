// The central-directory reader, the entry locator and reuse, fed any bytes as an earlier archive.
// Whatever the bytes: the entries read are no more than the directory's bytes can hold, every
// local header and every entry's data lie in the file before the directory, and the header bytes
// handed on are the file's own. And when records of ours vouch for entries, their data is copied
// into a new archive as a backup would copy it; whenever the read-back check passes that archive,
// libzip must read from it exactly the compressed bytes and the file contents the records vouch
// for.
#include "FuzzSupport.h"
#include "zip/ArchiveCheck.h"
#include "zip/ZipReuse.h"
#include "zip/ZipWriter.h"

#include <QHash>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

namespace {

using Fuzz::Require;

void checkLayout(const PreviousArchive& previous, const std::uint8_t* data, std::size_t size)
{
    const CentralDirectory& directory = previous.directory();
    Require(directory.start <= size, "the directory starts within the file");
    std::uint64_t held = 0;
    for (const CentralEntry& entry : directory.entries) {
        held += 46 + static_cast<std::uint64_t>(entry.name.size()) + static_cast<std::uint64_t>(entry.extra.size());
        Require(entry.localHeaderOffset < directory.start, "local headers lie before the directory");
        const std::optional<ZipWriter::CopiedData> copied = previous.locate(entry);
        if (!copied)
            continue;
        Require(copied->entryOffset == entry.localHeaderOffset, "the entry begins at its local header");
        Require(copied->dataOffset <= directory.start && copied->compressedSize <= directory.start - copied->dataOffset,
                "an entry's data lies before the directory");
        Require(copied->dataOffset - copied->entryOffset == static_cast<std::uint64_t>(copied->localHeader.size())
                    && std::memcmp(data + copied->entryOffset, copied->localHeader.constData(),
                                   static_cast<std::size_t>(copied->localHeader.size()))
                        == 0,
                "the local header handed on is the file's own bytes");
    }
    Require(held <= size - directory.start, "the entries read are no more than the directory holds");
}

// Reads every byte of one entry through libzip, compressed or not.
bool readEntry(zip_t* archive, zip_uint64_t index, zip_flags_t flags, QByteArray& out)
{
    zip_file_t* file = zip_fopen_index(archive, index, flags);
    if (!file)
        return false;
    out.clear();
    char buffer[65536];
    zip_int64_t got = 0;
    while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<qsizetype>(got));
    zip_fclose(file);
    return got == 0;
}

// What libzip reads from the new archive is what the records vouch for.
void checkNewArchive(const QString& path, const QHash<QByteArray, EntryRecord>& vouched)
{
    int error = 0;
    zip_t* archive = zip_open(path.toLocal8Bit().constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    Require(archive != nullptr, "libzip opens an archive the check passed");
    Require(zip_get_num_entries(archive, 0) == vouched.size(), "the new archive holds the copied entries only");
    QByteArray bytes;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(vouched.size()); ++i) {
        const char* name = zip_get_name(archive, i, ZIP_FL_ENC_RAW);
        Require(name != nullptr && vouched.contains(QByteArray(name)), "each entry is one that was copied");
        const EntryRecord& record = vouched.value(QByteArray(name));
        Require(readEntry(archive, i, ZIP_FL_COMPRESSED, bytes), "libzip reads the copied data");
        Sha256 sha;
        sha.add(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
        Require(static_cast<std::uint64_t>(bytes.size()) == record.compressedSize && sha.finish() == record.dataHash,
                "the copied bytes are the ones the record vouches for");
        Require(readEntry(archive, i, 0, bytes), "libzip inflates the copied data and finds its CRC right");
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), static_cast<uInt>(bytes.size())));
        Require(static_cast<std::uint64_t>(bytes.size()) == record.evidence.size && crc == record.crc,
                "the copied data holds the file the record describes");
    }
    zip_discard(archive);
}

// Copies what the records vouch for as a backup would, and has the new archive checked.
void checkReuse(const PreviousArchive& previous)
{
    static const QString path = Fuzz::WorkFolder() + QStringLiteral("/new.zip");
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Require(fd >= 0, "the new archive can be made");
    ZipWriter writer(fd);
    MessageTagger tagger(Fuzz::SeedKey());
    ExpectedEntries expected;
    QHash<QByteArray, EntryRecord> vouched;
    bool written = true;
    for (const CentralEntry& entry : previous.directory().entries) {
        if (vouched.contains(entry.name))
            continue;
        const std::optional<PreviousArchive::Match> match = previous.recorded(entry.name);
        if (!match)
            continue;
        ZipWriter::Entry copied;
        copied.name = entry.name;
        copied.dosTime = entry.dosTime;
        copied.externalAttributes = entry.externalAttributes;
        copied.centralExtra = match->record.field(entry.name, tagger);
        // A copy that cannot be read makes a backup start over without this archive.
        if (!(written = writer.addCopied(copied, match->data)))
            break;
        expected.insert(
            entry.name,
            ExpectedEntry { match->record.crc,
                            static_cast<std::int64_t>(match->record.evidence.size),
                            {},
                            std::make_shared<const RecordedData>(RecordedData {
                                writer.dataOffset(), match->record.compressedSize, match->record.dataHash }) });
        vouched.insert(entry.name, match->record);
    }
    written = written && !vouched.isEmpty() && writer.finish();
    ::close(fd);
    if (!written)
        return;
    const ArchiveCheckResult check = CheckArchive(path, expected, writer.fileCrc(), 1, [] { return false; });
    if (check.problem.isEmpty())
        checkNewArchive(path, vouched);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString path = Fuzz::WorkFolder() + QStringLiteral("/previous.zip");
    Fuzz::WriteFile(path, data, size);
    PreviousArchive previous;
    if (!previous.open(path, Fuzz::SeedKey()))
        return 0;
    checkLayout(previous, data, size);
    checkReuse(previous);
    return 0;
}
