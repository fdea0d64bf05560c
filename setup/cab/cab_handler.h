// The one interface through which the cabinet reader sees bytes: the archive itself and every
// member it writes. Files, program resources and memory buffers all stand behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quelstat::cab {

class CabinetHandler {
public:
    virtual ~CabinetHandler() = default;
    // Returns 0 on success, -1 on failure.
    virtual int close() = 0;
    // origin: 0 from the start, 1 from the current position, 2 from the end. Returns the new
    // position, or -1 (errno set) when the position would be invalid.
    virtual std::int64_t seek(std::int64_t offset, int origin) = 0;
    // Returns the number of bytes read (fewer at the end), or -1 on failure.
    virtual std::int64_t read(void* buffer, std::size_t count) = 0;
    // Returns the number of bytes written, or -1 on failure.
    virtual std::int64_t write(const void* buffer, std::size_t count) = 0;
};

// A file on disk, reached through the run-time file functions.
class CabinetFileHandler : public CabinetHandler {
public:
    // Opens for reading only.
    static std::unique_ptr<CabinetFileHandler> openRead(const std::string& path);
    // Opens for binary sequential writing, creating the file or truncating it.
    static std::unique_ptr<CabinetFileHandler> openWrite(const std::string& path);
    // Takes over a descriptor opened elsewhere.
    static std::unique_ptr<CabinetFileHandler> adopt(int fd);
    ~CabinetFileHandler() override;
    int close() override;
    std::int64_t seek(std::int64_t offset, int origin) override;
    std::int64_t read(void* buffer, std::size_t count) override;
    std::int64_t write(const void* buffer, std::size_t count) override;
    int descriptor() const { return fd_; }

private:
    explicit CabinetFileHandler(int fd) : fd_(fd) {}
    int fd_;
};

// Read-only bytes held in memory: a program resource, or a buffer under test.
class CabinetMemoryHandler : public CabinetHandler {
public:
    CabinetMemoryHandler(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    int close() override;
    std::int64_t seek(std::int64_t offset, int origin) override;
    std::int64_t read(void* buffer, std::size_t count) override;
    std::int64_t write(const void* buffer, std::size_t count) override;
    std::int64_t position() const { return pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::int64_t pos_ = 0;
};

// A cabinet embedded in the running program as a resource of type "CAB".
class CabinetResourceHandler : public CabinetMemoryHandler {
public:
    // Returns null when the program holds no such resource.
    static std::unique_ptr<CabinetResourceHandler> open(const std::string& name);
    int close() override;
    std::int64_t read(void* buffer, std::size_t count) override;

private:
    using CabinetMemoryHandler::CabinetMemoryHandler;
    bool closed_ = false;
};

// Collects everything written into memory; used for members under test and by the fuzzer.
class CabinetSinkHandler : public CabinetHandler {
public:
    explicit CabinetSinkHandler(bool keep = true) : keep_(keep) {}
    int close() override { return 0; }
    std::int64_t seek(std::int64_t, int) override { return -1; }
    std::int64_t read(void*, std::size_t) override { return -1; }
    std::int64_t write(const void* buffer, std::size_t count) override;
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::uint64_t written() const { return written_; }

private:
    bool keep_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t written_ = 0;
};

// Opens a cabinet by name: a name holding a path separator ('/' or '\') is a file; any other
// name is looked up among the program's "CAB" resources. Returns null when nothing is found.
std::unique_ptr<CabinetHandler> openCabinet(const std::string& name);

}  // namespace quelstat::cab
