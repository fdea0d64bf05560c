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

    std::unique_ptr<CabinetHandler> copyFile(const CabinetFile& file) override {
        // A name that is not valid text, or that would climb out of the folder, means the
        // cabinet was not made by a trustworthy hand: refuse it as a whole.
        std::string relative;
        if (file.name.empty() || !safeMemberPath(file.name, relative)) throw resourceException(IDS_ERR_CORRUPT, {});
        // Links already in the folder are never followed: a member lands inside it or not at all.
        std::size_t slash = relative.rfind('/');
        std::string failed;
        OpenFolder dir =
            openFolderBelow(folder_, slash == std::string::npos ? "" : relative.substr(0, slash), true, &failed);
        if (!dir) throw systemException(IDS_ERR_CREATE_DIR, {failed});
        std::string path = folder_ + "/" + relative;
        auto out = openMemberOutput(dir, relative.substr(slash + 1));
        if (!out) throw systemException(IDS_ERR_OPEN_FILE, {path, lastErrorText()});
        current_ = out.get();
        return out;
    }

    bool closeFileInfo(const CabinetFile& file, std::unique_ptr<CabinetHandler> out) override {
        // Set through the open file, so the time and mode reach the file that was written.
        applyMemberTimeAndAttributes(current_->descriptor(), file.date, file.time, file.attributes);
        current_ = nullptr;
        return out->close() == 0;
    }

private:
    std::string folder_;
    CabinetFileHandler* current_ = nullptr;  // the member being written, owned by the reader
};

}  // namespace

void extractCabinetToFolder(const std::string& cabinet, const std::string& folder) {
    auto source = openCabinet(cabinet);
    if (!source) raiseCabinetError(CabinetError::CabinetNotFound, cabinet);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) throw systemException(IDS_ERR_CREATE_DIR, {folder});
    ExtractAll notify(folder);
    CabinetError error = copyCabinet(*source, notify);
    raiseCabinetError(error, cabinet);
    if (error != CabinetError::None) throw ExceptionX(describe(error));
}

}  // namespace quelstat::setup
