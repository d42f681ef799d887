// SPDX-License-Identifier: MIT
// Purpose: table files on the operating system: positioned reads and writes, and the advisory lock.
#include "formats/dbf_format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace enlazio::dbf {
namespace {

class OsStream final : public Stream {
public:
    explicit OsStream(int fd) : m_fd(fd) {}
    ~OsStream() override { ::close(m_fd); } // closing drops the lock too
    OsStream(const OsStream&) = delete;
    OsStream& operator=(const OsStream&) = delete;

    std::optional<std::uint64_t> size() override
    {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            m_error = std::strerror(errno);
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(st.st_size);
    }

    bool readAt(std::uint64_t offset, void* data, std::size_t size) override
    {
        auto* out = static_cast<char*>(data);
        while (size > 0) {
            ssize_t got = ::pread(m_fd, out, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                m_error = std::strerror(errno);
                return false;
            }
            if (got == 0) {
                m_error = "el archivo termina antes de lo esperado";
                return false;
            }
            out += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    bool writeAt(std::uint64_t offset, const void* data, std::size_t size) override
    {
        const auto* in = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t put = ::pwrite(m_fd, in, size, static_cast<off_t>(offset));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                m_error = put < 0 ? std::strerror(errno) : "no se escribió nada";
                return false;
            }
            in += put;
            offset += static_cast<std::uint64_t>(put);
            size -= static_cast<std::size_t>(put);
        }
        return true;
    }

    bool tryLockExclusive() override
    {
        // flock, not fcntl: its locks belong to the open file, so two handles in one
        // process exclude each other as two processes do.
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno == EWOULDBLOCK)
                return false;
            // A file system without locks (ENOLCK, EINVAL) cannot be shared safely
            // either way; the tables stay usable on it.
            return true;
        }
        return true;
    }

    std::string lastError() const override { return m_error; }

private:
    int m_fd;
    std::string m_error;
};

class OsFileSystem final : public FileSystem {
public:
    std::unique_ptr<Stream> open(const std::filesystem::path& path, OpenMode mode,
                                 IoError& error) override
    {
        int flags = O_CLOEXEC;
        switch (mode) {
        case OpenMode::Read: flags |= O_RDONLY; break;
        case OpenMode::ReadWrite: flags |= O_RDWR; break;
        case OpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            error.notFound = errno == ENOENT;
            error.reason = std::strerror(errno);
            return nullptr;
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            error.reason = std::strerror(EISDIR);
            return nullptr;
        }
        return std::make_unique<OsStream>(fd);
    }

    bool remove(const std::filesystem::path& path, IoError& error) override
    {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT)
            return true;
        error.reason = std::strerror(errno);
        return false;
    }
};

} // namespace

FileSystem& osFileSystem()
{
    static OsFileSystem fs;
    return fs;
}

} // namespace enlazio::dbf
