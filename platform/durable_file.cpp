#include "platform/durable_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kelm::platform {

namespace {

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int FileOps::createExclusive(const std::string& path, mode_t mode)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

ssize_t FileOps::write(int fd, const char* data, size_t size)
{
    return ::write(fd, data, size);
}

int FileOps::fsync(int fd)
{
    return ::fsync(fd);
}

int FileOps::close(int fd)
{
    return ::close(fd);
}

int FileOps::rename(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str());
}

int FileOps::renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // File systems without the flag: link(2) fails with EEXIST as well.
    if (::link(from.c_str(), to.c_str()) != 0)
        return -1;
    ::unlink(from.c_str()); // the content is in place either way
    return 0;
}

int FileOps::unlink(const std::string& path)
{
    return ::unlink(path.c_str());
}

int FileOps::syncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int result = ::fsync(fd);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return result;
}

FileOps& DurableFile::systemFileOps()
{
    static FileOps ops;
    return ops;
}

DurableFile::DurableFile(FileOps& ops) : ops_(ops) {}

std::string DurableFile::temporaryPath(const std::string& path)
{
    return path + ".tmp";
}

bool DurableFile::writeTemporary(const std::string& temporary, std::string_view bytes) const
{
    // A leftover may be a second name of a finished file (a crash inside the link fallback):
    // take the name away rather than write through it.
    ops_.unlink(temporary);
    const int fd = ops_.createExclusive(temporary, kFileMode);
    if (fd < 0)
        return false;
    bool ok = true;
    while (ok && !bytes.empty()) {
        const ssize_t n = ops_.write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            bytes.remove_prefix(static_cast<size_t>(n));
    }
    // A failed fsync means the data may never reach the disk: not written, never retried here.
    ok = ok && ops_.fsync(fd) == 0;
    ok = ops_.close(fd) == 0 && ok;
    if (!ok)
        ops_.unlink(temporary);
    return ok;
}

bool DurableFile::replace(const std::string& path, std::string_view bytes) const
{
    const std::string temporary = temporaryPath(path);
    if (!writeTemporary(temporary, bytes))
        return false;
    if (ops_.rename(temporary, path) != 0) {
        ops_.unlink(temporary);
        return false;
    }
    return ops_.syncDirectory(directoryOf(path)) == 0;
}

DurableFile::CreateResult DurableFile::createNew(const std::string& path,
                                                 std::string_view bytes) const
{
    const std::string temporary = temporaryPath(path);
    if (!writeTemporary(temporary, bytes))
        return CreateResult::Failed;
    if (ops_.renameNoReplace(temporary, path) != 0) {
        const bool taken = errno == EEXIST;
        ops_.unlink(temporary);
        return taken ? CreateResult::NameTaken : CreateResult::Failed;
    }
    if (ops_.syncDirectory(directoryOf(path)) != 0) {
        // Reported as not written, so the caller will write these bytes again: the name must
        // not keep a second copy of them.
        ops_.unlink(path);
        return CreateResult::Failed;
    }
    return CreateResult::Created;
}

DurableFile::CreateResult DurableFile::moveNew(const std::string& from, const std::string& to) const
{
    if (ops_.renameNoReplace(from, to) != 0)
        return errno == EEXIST ? CreateResult::NameTaken : CreateResult::Failed;
    // Not undone when the directory sync fails: either name is a consistent state after a crash,
    // and the caller's next durable write in this directory syncs it again.
    ops_.syncDirectory(directoryOf(to));
    return CreateResult::Created;
}

} // namespace kelm::platform
