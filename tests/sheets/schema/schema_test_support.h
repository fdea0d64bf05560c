// What the checker's tests share: the content-model table of this folder and whole files.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "schema_check.h"

namespace schemacheck {

inline const Schema& Table() {
  static const Schema schema = Schema::FromFile(QS_SCHEMA_TABLE);
  return schema;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace schemacheck
