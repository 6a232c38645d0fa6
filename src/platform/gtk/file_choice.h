// The rules of the open-file dialog that do not need a display: how the
// filter patterns read on Linux, and which file a typed name means.
#pragma once

#include <string>
#include <vector>

struct FileFilterSpec {
    std::string name;
    std::vector<std::string> globs;
};

// The NUL-separated pairs of description and pattern list ("*.hex;*.h86"),
// ended by an empty description, as GTK globs. Patterns match regardless of
// case ("*.hex" finds MODEM.HEX) and "*.*" matches every file, with or
// without a dot in its name.
std::vector<FileFilterSpec> parse_file_filters(const char* pairs);

// The file a confirmed name stands for: a name without an extension first
// tries it with the default extension, then as it stands. Empty when neither
// is an existing file (a directory does not count).
std::string resolve_chosen_file(const std::string& path, const char* default_extension);

// The part of a path after its last '/'.
std::string file_title_of(const std::string& path);
