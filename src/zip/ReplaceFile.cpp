#include "zip/ReplaceFile.h"

#include "base/NativePath.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
namespace {

std::wstring widePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString lastErrorText()
{
    const DWORD code = ::GetLastError();
    wchar_t* text = nullptr;
    const DWORD size
        = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const QString result = size ? QString::fromWCharArray(text, size).trimmed() : QString::number(code);
    ::LocalFree(text);
    return result;
}

} // namespace
#endif

bool ReplaceFileAtomically(const QString& from, const QString& to, QString& error)
{
#ifdef Q_OS_WIN
    const std::wstring source = widePath(from);
    const std::wstring target = widePath(to);
    // A read-only old archive is still replaced, as on other systems.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(target.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = lastErrorText();
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(target.c_str(), attributes);
    return false;
#else
    if (::rename(NativePath(from).constData(), NativePath(to).constData()) == 0)
        return true;
    error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#endif
}

void SyncFolderOf(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path); // MOVEFILE_WRITE_THROUGH already waited for the move to reach the disk
#else
    const int fd = ::open(NativePath(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
#endif
}
