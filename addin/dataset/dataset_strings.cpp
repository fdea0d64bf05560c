#include "addin/dataset/dataset_strings.h"

#include "addin/host/messages.h"
#include "addin/resources/resources.h"

namespace qs {

std::string DatasetString(unsigned id) {
  const char* s = res::FindString(id);
  return s ? std::string(s) : std::string();
}

std::string DatasetMessage(unsigned id, std::initializer_list<std::string> args) {
  std::string list;
  for (const std::string& a : args) list += "\xAC" + a;
  return SubstituteArguments(DatasetString(id), list);
}

void ThrowDatasetMessage(unsigned id, std::initializer_list<std::string> args) {
  throw new CStdException(CSharedString(DatasetMessage(id, args)), id);
}

}  // namespace qs
