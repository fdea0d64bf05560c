#include "addin/framework/services.h"

#include "addin/framework/parameters.h"
#include "addin/framework/test.h"
#include "addin/host/addin_services.h"

namespace qs {

void InstallFrameworkServices() {
    AddinServices& s = Services();
    s.loadParameters = [] { LoadRememberedParameters(); };
    s.saveParameters = [] { SaveRememberedParameters(); };
    s.testAvailable = [](int id) { return id > 0 && FindTest(static_cast<unsigned>(id)) != nullptr; };
}

}  // namespace qs
