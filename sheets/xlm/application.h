// The host's application object for automation: what add-ins (in this process or another) reach
// by asking for the running application of the host's version.
//
//   dispatch id 350   ExecuteExcel4Macro(text): evaluates a macro call in the host's context
//   dispatch id 1439  CommandBars: the collection of command bars; its default member (id 0)
//                     takes a bar by name; a bar's property 0x60040005 switches it on or off
#pragma once

#include <string>

namespace xlm {

class Host;

// The class id under which a host of this version is registered as running.
std::string ApplicationClassId(int excelVersion);
bool PublishApplication(Host& host);
void RevokeApplication(Host& host);

constexpr int kDispExecuteExcel4Macro = 350;
constexpr int kDispCommandBars = 1439;
constexpr int kDispCommandBarEnabled = 0x60040005;

}  // namespace xlm
