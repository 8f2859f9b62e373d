// The comment lines that kivo's own files of an account keep beside record lines: a tag, then
// fields separated by tabs, each escaped so that any text from a server fits on one line.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// "<tag><field>\t<field>...", a tab, a line end or a percent sign in a field written as %XX.
std::string tagLine(std::string_view tag, std::initializer_list<std::string_view> fields);
// The fields of what follows a tag, unescaped.
std::vector<std::string> splitFields(std::string_view text);

} // namespace kivo
