#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace kelm::platform {

// Rewrites of the collector file and its backups that survive a crash or a power cut: the bytes
// go to a temporary file beside the target and reach the disk before they take the target's
// name, so the target always holds either its old content or the whole new one.

// The system calls of a durable write, POSIX by default; tests override single steps to fail
// them. Each returns what the system call returns and sets errno.
class FileOps {
public:
    virtual ~FileOps() = default;
    // Creates a new file for writing; never opens an existing one or follows a symbolic link.
    virtual int createExclusive(const std::string& path, mode_t mode);
    virtual ssize_t write(int fd, const char* data, size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const std::string& from, const std::string& to);
    // Like rename, but fails with EEXIST when the name to is taken.
    virtual int renameNoReplace(const std::string& from, const std::string& to);
    virtual int unlink(const std::string& path);
    // Makes the directory's entries (a new or renamed name) durable.
    virtual int syncDirectory(const std::string& directory);
};

class DurableFile {
public:
    enum class CreateResult { Created, NameTaken, Failed };

    static constexpr mode_t kFileMode = 0644;

    // ops must outlive this object; the default one uses the system calls.
    explicit DurableFile(FileOps& ops = systemFileOps());

    // Replaces the file's content with bytes. On failure the temporary file is removed and the
    // target keeps its old content, except when only the final sync of the directory failed:
    // then the new content is in place but not known to be on disk, which counts as failure.
    bool replace(const std::string& path, std::string_view bytes) const;

    // Writes bytes under a name that must be new; an existing file is never replaced (NameTaken,
    // so the caller can try another name). On any failure the name is left free.
    CreateResult createNew(const std::string& path, std::string_view bytes) const;

    // Gives an existing file a name that must be new (NameTaken when it is not), e.g. to turn a
    // saved file into its backup without writing its bytes a second time. The file always has
    // exactly one of the two names, also across a crash.
    CreateResult moveNew(const std::string& from, const std::string& to) const;

    // The temporary file beside path. A stale one from a crash is removed, never written into.
    static std::string temporaryPath(const std::string& path);

    static FileOps& systemFileOps();

private:
    bool writeTemporary(const std::string& temporary, std::string_view bytes) const;

    FileOps& ops_;
};

} // namespace kelm::platform
