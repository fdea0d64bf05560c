// Texts of the dataset model: the add-in's string table, with the model's own entries for ids the
// table does not hold yet.
#pragma once

#include <initializer_list>
#include <string>

#include "addin/host/exceptions.h"

namespace qs {

// The string with this id (the add-in's table first).
std::string DatasetString(unsigned id);
// The message with %1, %2 ... replaced by `args`.
std::string DatasetMessage(unsigned id, std::initializer_list<std::string> args = {});
// Raises the message as a CStdException (thrown as a pointer, as every add-in exception is).
[[noreturn]] void ThrowDatasetMessage(unsigned id, std::initializer_list<std::string> args = {});

}  // namespace qs
