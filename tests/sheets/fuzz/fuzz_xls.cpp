// libFuzzer target: the xls reader (and, for what it reads, the writer and a second read).
#include "tests/sheets/fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sheets::fuzz::XlsOne(data, size);
  return 0;
}
