// Small text helpers every program of the tree shares: ASCII case folding (names of keys, files,
// menus, tests and labels compare without regard to case) and the plain text of a control caption.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The text with A-Z turned into a-z; other bytes (UTF-8 sequences among them) stay as they are.
std::string FoldCase(std::string text);
// Whether the texts are equal but for the case of A-Z.
bool EqualNoCase(std::string_view a, std::string_view b);
// Whether `part` occurs in `text`, regardless of the case of A-Z.
bool ContainsNoCase(std::string_view text, std::string_view part);
// A caption as shown: "&&" is an ampersand, a single "&" marks the accelerator key and goes.
std::string WithoutAccelerators(std::string_view caption);

}  // namespace platform
