// The raw-byte path mapping and the safe entry-name mapping, on any bytes.
// The input is a name as given to the zip layer, then, after each NUL, a name its folder listing
// may hold. Every name's bytes survive the trip into the program's text and back; a name holds
// raw bytes exactly when it is not valid UTF-8; and the entry name stored for the path the names
// make (with and without its folders) is never absolute and has no ".." part, read with "/" or
// "\" as the separator. A path without "\" or ":" is stored as it is.
#include "FuzzSupport.h"
#include "base/NativePath.h"
#include "zip/EntryName.h"
#include "zip/ZipExpand.h"

#include <QList>
#include <QStringDecoder>

namespace {

using Fuzz::Require;

void checkRawBytes(const QByteArray& bytes)
{
    const QString text = PathFromNative(bytes);
    Require(NativePath(text) == bytes, "a name's bytes survive the trip into text and back");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    Require(HasRawBytes(text) == utf8.hasError(), "a name holds raw bytes exactly when it is not valid UTF-8");
    Require(utf8.hasError() || text == decoded, "a name in UTF-8 reads as Qt reads it");
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void checkStored(const QString& stored)
{
    if (stored.isEmpty())
        return; // nothing is stored under an empty name
    const QString safe = SafeEntryName(stored);
    const QByteArray name = NativePath(safe);
    Require(!name.startsWith('/') && !name.startsWith('\\'), "an entry name never starts at a root");
    Require(!(name.size() >= 2 && name[1] == ':' && isLetter(name[0])), "an entry name never starts with a drive");
    QByteArray forward = name;
    forward.replace('\\', '/');
    Require(!forward.split('/').contains(".."), "an entry name never climbs with either separator");
    if (!stored.contains(u'\\') && !stored.contains(u':'))
        Require(safe == stored, "a name without a backslash or colon is stored as it is");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkRawBytes(input);
    const QList<QByteArray> names = input.split('\0');
    QString stored = StoredName(PathFromNative(names.first()));
    checkStored(stored);
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QByteArray& child = names[i];
        checkRawBytes(child);
        // What a folder listing can hold.
        if (child.isEmpty() || child == "." || child == ".." || child.contains('/'))
            continue;
        const QString part = PathFromNative(child);
        stored = stored.isEmpty() ? part : QString(stored + u'/' + part);
        checkStored(stored);
        checkStored(part); // with its folders left out
    }
    return 0;
}
