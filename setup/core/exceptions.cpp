#include "setup/core/exceptions.h"

#include <cerrno>
#include <cstring>

#include "setup/core/cabinet_errors.h"

namespace quelstat::setup {

std::string lastErrorText() {
    // Files below the installer's folders are opened without following links, so these two
    // mean a link was found where a file belongs; the system's own texts would not say so.
    if (errno == ELOOP) return "Is a symbolic link, which is not followed";
    if (errno == EMLINK) return "Has further hard links, which would change with it";
    return errno == 0 ? std::string("Unknown error") : std::string(std::strerror(errno));
}

void raiseCabinetError(cab::CabinetError error, const std::string& cabinetName) {
    using cab::CabinetError;
    switch (error) {
        case CabinetError::CabinetNotFound: throw systemException(IDS_ERR_NO_CABINET, {cabinetName});
        case CabinetError::NotACabinet:
        case CabinetError::UnknownVersion:
        case CabinetError::Corrupt:
        // A folder in a method this reader does not decode would otherwise install nothing and
        // report nothing; the cabinet is not one this program can use.
        case CabinetError::BadCompressionType: throw resourceException(IDS_ERR_CORRUPT, {});
        case CabinetError::OutOfMemory: throw memoryException();
        case CabinetError::TargetFile: throw systemException(IDS_ERR_WRITE_FILE, {lastErrorText()});
        default: return;
    }
}

}  // namespace quelstat::setup
