// libFuzzer target: one cabinet from memory through the whole reader, every member copied into
// memory and its name put through the same checks as an extraction.
#include <cstddef>
#include <cstdint>

#include "setup/cab/cab_handler.h"
#include "setup/cab/cabinet.h"
#include "setup/cab/member_file.h"

using namespace quelstat::cab;

namespace {

class MemoryNotify : public CabinetNotify {
public:
    std::unique_ptr<CabinetHandler> copyFile(const CabinetFile& file) override {
        std::string relative;
        (void)safeMemberPath(file.name, relative);
        return std::make_unique<CabinetSinkHandler>(false);
    }
    bool closeFileInfo(const CabinetFile&, std::unique_ptr<CabinetHandler> out) override { return out->close() == 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CabinetMemoryHandler source(data, size);
    MemoryNotify notify;
    (void)copyCabinet(source, notify);
    CabinetMemoryHandler again(data, size);
    CabinetDirectory dir;
    (void)readCabinetDirectory(again, dir);
    return 0;
}
