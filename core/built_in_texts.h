// The built-in table: every text the windows, the reminder lines and the printed pages look up, in
// its English wording. A translation has a line for each of them.
#pragma once

#include <span>
#include <string_view>

namespace kivo {

std::span<const std::string_view> builtInTexts();

} // namespace kivo
