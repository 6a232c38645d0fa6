// The image file named on the command line or typed at the prompt, checked
// as the open-file dialog checks a name: it must exist, a name without an
// extension may mean the same name with the default extension.
#pragma once

#include <string>

// Full path of the file meant by `name`; false with the reason when there is
// no such file (or it is a directory).
bool resolve_image_name(const std::string& name, const char* default_extension, std::string& full_path,
                        std::string& reason);
