#include "setup/core/extract_folder.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

#include "setup/cab/cabinet.h"
#include "setup/cab/member_file.h"
#include "setup/core/cabinet_errors.h"
#include "setup/core/exceptions.h"

namespace quelstat::setup {
namespace {

using namespace quelstat::cab;

class ExtractAll : public CabinetNotify {
public:
    explicit ExtractAll(std::string folder) : folder_(std::move(folder)) {}

    std::unique_ptr<CabinetHandler> copyFile(const CabinetFile& file) override
    {
        // A name that is not valid text, or that would climb out of the folder, means the
        // cabinet was not made by a trustworthy hand: refuse it as a whole.
        std::string relative;
        if (file.name.empty() || !safeMemberPath(file.name, relative))
            throw resourceException(IDS_ERR_CORRUPT, {});
        std::string path = folder_ + "/" + relative;
        if (!createParentFolders(path))
            throw systemException(IDS_ERR_CREATE_DIR, {path.substr(0, path.rfind('/'))});
        auto out = openMemberOutput(path);
        if (!out)
            throw systemException(IDS_ERR_OPEN_FILE, {path, lastErrorText()});
        path_ = path;
        return out;
    }

    bool closeFileInfo(const CabinetFile& file, std::unique_ptr<CabinetHandler> out) override
    {
        if (out->close() != 0)
            return false;
        applyMemberTimeAndAttributes(path_, file.date, file.time, file.attributes);
        return true;
    }

private:
    std::string folder_;
    std::string path_;
};

}  // namespace

void extractCabinetToFolder(const std::string& cabinet, const std::string& folder)
{
    auto source = openCabinet(cabinet);
    if (!source)
        raiseCabinetError(CabinetError::CabinetNotFound, cabinet);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        throw systemException(IDS_ERR_CREATE_DIR, {folder});
    ExtractAll notify(folder);
    CabinetError error = copyCabinet(*source, notify);
    raiseCabinetError(error, cabinet);
    if (error != CabinetError::None)
        throw ExceptionX(describe(error));
}

}  // namespace quelstat::setup
