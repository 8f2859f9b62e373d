// Text files under the text-mode rules of the original platform, byte-identical everywhere:
// lines are written with CR LF; on reading, LF ends a line, a CR just before it is dropped and a
// Ctrl-Z (0x1A) ends the file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// Splits file bytes into lines by the reading rules above. A last line without LF is a line too;
// a file that ends with LF has no extra empty line after it.
std::vector<std::string> splitTextLines(std::string_view bytes);

// How a read ended: every line read, the file not opened (missing, unreadable, or a folder), or a
// read that failed part-way.
enum class TextReadStatus { Ok, CannotOpen, ReadError };

// Reads a whole file and appends its lines to `lines`. After a failed read only the complete lines
// before the failure are appended.
TextReadStatus readTextFile(const std::string& path, std::vector<std::string>& lines);

// Reads a whole file and appends its lines to `lines`. Returns false when the file cannot be
// opened or a read fails part-way (the lines read before the failure stay appended).
bool readTextLines(const std::string& path, std::vector<std::string>& lines);

// Appends `line` and CR LF to `out`.
void appendTextLine(std::string& out, std::string_view line);

// Writes `bytes` to a temporary file in the folder of `path`, flushes and syncs it, and only then
// replaces `path` with it. On any failure the old file stays exactly as it was, the temporary file
// is removed, false is returned and `error` (when given) receives the reason.
bool replaceFileAtomically(const std::string& path, std::string_view bytes,
                           std::string* error = nullptr);

} // namespace kivo
