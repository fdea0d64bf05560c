#include "setup/cab/cab_handler.h"

#include "setup/cab/resources.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quelstat::cab {

std::unique_ptr<CabinetFileHandler> CabinetFileHandler::openRead(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::unique_ptr<CabinetFileHandler>(new CabinetFileHandler(fd));
}

std::unique_ptr<CabinetFileHandler> CabinetFileHandler::openWrite(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::unique_ptr<CabinetFileHandler>(new CabinetFileHandler(fd));
}

std::unique_ptr<CabinetFileHandler> CabinetFileHandler::adopt(int fd) {
    return std::unique_ptr<CabinetFileHandler>(new CabinetFileHandler(fd));
}

CabinetFileHandler::~CabinetFileHandler() { close(); }

int CabinetFileHandler::close() {
    if (fd_ < 0) return 0;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : -1;
}

std::int64_t CabinetFileHandler::seek(std::int64_t offset, int origin) {
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) {
        errno = EINVAL;
        return -1;
    }
    off_t pos = ::lseek(fd_, offset, whence[origin]);
    return pos < 0 ? -1 : pos;
}

std::int64_t CabinetFileHandler::read(void* buffer, std::size_t count) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t CabinetFileHandler::write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

int CabinetMemoryHandler::close() { return 0; }

std::int64_t CabinetMemoryHandler::seek(std::int64_t offset, int origin) {
    std::int64_t base = origin == 0 ? 0 : origin == 1 ? pos_ : origin == 2 ? static_cast<std::int64_t>(size_) : -1;
    if (base < 0 || (offset < 0 && -offset > base)) {
        errno = EINVAL;
        return -1;
    }
    pos_ = base + offset;
    return pos_;
}

std::int64_t CabinetMemoryHandler::read(void* buffer, std::size_t count) {
    if (pos_ >= static_cast<std::int64_t>(size_)) return 0;
    std::size_t left = size_ - static_cast<std::size_t>(pos_);
    std::size_t n = count < left ? count : left;
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += static_cast<std::int64_t>(n);
    return static_cast<std::int64_t>(n);
}

std::int64_t CabinetMemoryHandler::write(const void*, std::size_t) { return -1; }

std::unique_ptr<CabinetResourceHandler> CabinetResourceHandler::open(const std::string& name) {
    ResourceBytes bytes;
    if (!findResource("CAB", name, bytes)) return nullptr;
    return std::unique_ptr<CabinetResourceHandler>(new CabinetResourceHandler(bytes.data, bytes.size));
}

int CabinetResourceHandler::close() {
    // Resources live as long as the program; closing only ends this view of them.
    closed_ = true;
    return 0;
}

std::int64_t CabinetResourceHandler::read(void* buffer, std::size_t count) {
    if (closed_) {
        errno = EBADF;
        return -1;
    }
    return CabinetMemoryHandler::read(buffer, count);
}

std::int64_t CabinetSinkHandler::write(const void* buffer, std::size_t count) {
    if (keep_) {
        const auto* in = static_cast<const std::uint8_t*>(buffer);
        bytes_.insert(bytes_.end(), in, in + count);
    }
    written_ += count;
    return static_cast<std::int64_t>(count);
}

std::unique_ptr<CabinetHandler> openCabinet(const std::string& name) {
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
        std::string path = name;
        for (char& c : path)
            if (c == '\\') c = '/';
        return CabinetFileHandler::openRead(path);
    }
    return CabinetResourceHandler::open(name);
}

}  // namespace quelstat::cab
