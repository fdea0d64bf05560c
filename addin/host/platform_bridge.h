// Connects the add-in's service interfaces (settings store, channel windows, automation, message
// boxes, help and web pages) to the platform layer of the machine it runs on.
#pragma once

namespace qs {

// Installs the platform's services. The add-in calls this once when it is loaded; unit tests keep
// the in-memory stand-ins instead.
void UsePlatformServices();

// The class id under which the host application of this version registers as running.
const char* ApplicationClassIdFor(int excelVersion);

}  // namespace qs
