// qs_resave IN OUT: reads a workbook and saves it as OUT (xlsx family), for round-trip checks.
#include <iostream>

#include "sheets/io/workbook_io.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: qs_resave IN OUT\n";
    return 2;
  }
  try {
    auto book = sheets::ReadWorkbook(argv[1]);
    sheets::SaveWorkbook(*book, argv[2]);
  } catch (const sheets::FileError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
