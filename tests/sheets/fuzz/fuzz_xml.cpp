// libFuzzer target: the streaming XML parser of sheets against the general parser.
#include "tests/sheets/fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sheets::fuzz::XmlOne(data, size);
  return 0;
}
