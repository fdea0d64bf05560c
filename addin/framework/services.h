// Connects the framework to the add-in's service table: remembered parameter values and which
// tests this add-in carries.
#pragma once

namespace qs {

// Sets Services().loadParameters, saveParameters and testAvailable.
void InstallFrameworkServices();

}  // namespace qs
