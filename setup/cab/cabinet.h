// Reader of Microsoft Cabinet archives (signature "MSCF", format 1.3): the directory of folders
// and members, and extraction of members from uncompressed and MSZIP folders with every data
// block's checksum verified. All bytes pass through CabinetHandler.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "setup/cab/cab_handler.h"

namespace quelstat::cab {

// The decoder's error codes; their numbers are the ones the installer maps to messages.
enum class CabinetError : int {
    None = 0,
    CabinetNotFound = 1,
    NotACabinet = 2,
    UnknownVersion = 3,
    Corrupt = 4,
    OutOfMemory = 5,
    BadCompressionType = 6,
    TargetFile = 8,
    UserAbort = 11,
};

const char* describe(CabinetError error);

// Attribute bits of a member.
enum : std::uint16_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrArchive = 0x20,
    kAttrExecute = 0x40,
    kAttrNameIsUtf8 = 0x80,
};

enum : std::uint16_t { kCompressNone = 0, kCompressMszip = 1 };

struct CabinetFolder {
    std::uint32_t dataOffset = 0;  // first data block, from the start of the cabinet
    std::uint16_t blocks = 0;
    std::uint16_t compression = 0;  // low four bits: the method
};

struct CabinetFile {
    std::string rawName;  // the bytes stored in the cabinet
    std::string name;     // as UTF-8; empty when the stored bytes are not valid
    std::uint32_t size = 0;
    std::uint32_t offset = 0;  // within the uncompressed folder
    std::uint16_t folder = 0;
    std::uint16_t date = 0;  // DOS date and time
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
};

struct CabinetDirectory {
    std::uint32_t size = 0;  // cabinet size stated in the header
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    std::vector<CabinetFolder> folders;
    std::vector<CabinetFile> files;
};

// What the reader tells its caller while copying. Exceptions thrown here end the copy and
// reach the caller of copyCabinet unchanged.
class CabinetNotify {
public:
    virtual ~CabinetNotify() = default;
    virtual void cabinetInfo(const CabinetDirectory&) {}
    // Returns where the member goes, or null to skip it.
    virtual std::unique_ptr<CabinetHandler> copyFile(const CabinetFile& file) = 0;
    // The member is complete; returns false to stop with a target-file error.
    virtual bool closeFileInfo(const CabinetFile& file, std::unique_ptr<CabinetHandler> out) = 0;
};

// Reads the directory only.
CabinetError readCabinetDirectory(CabinetHandler& source, CabinetDirectory& directory);

// Reads the directory and copies every member the notification asks for.
CabinetError copyCabinet(CabinetHandler& source, CabinetNotify& notify);

// Member names as bytes: Latin-1 when the name is not flagged as UTF-8. Returns false for
// invalid or overlong UTF-8 and for names containing control characters.
bool decodeMemberName(const std::string& raw, bool utf8, std::string& name);

}  // namespace quelstat::cab
