// Texts and messages of the dataset model, from the add-in's string table.
#pragma once

#include <initializer_list>
#include <string>

#include "addin/host/exceptions.h"

namespace qs {

// The string with this id; empty when the table has none.
std::string DatasetString(unsigned id);
// The message with %1, %2 ... replaced by `args`.
std::string DatasetMessage(unsigned id, std::initializer_list<std::string> args = {});
// Raises the message as a CStdException (thrown as a pointer, as every add-in exception is).
[[noreturn]] void ThrowDatasetMessage(unsigned id, std::initializer_list<std::string> args = {});

}  // namespace qs
