#include "platform/gtk/file_choice.h"

#include <cctype>
#include <cstring>
#include <sys/stat.h>

namespace {

std::string any_case_glob(const std::string& pattern)
{
    if (pattern == "*.*")
        return "*";
    std::string glob;
    for (char c : pattern) {
        unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u) && u < 0x80) {
            glob += '[';
            glob += static_cast<char>(std::tolower(u));
            glob += static_cast<char>(std::toupper(u));
            glob += ']';
        } else {
            glob += c;
        }
    }
    return glob;
}

std::vector<std::string> split_patterns(const char* list)
{
    std::vector<std::string> globs;
    std::string pattern;
    for (const char* p = list;; ++p) {
        if (*p == ';' || *p == '\0') {
            if (!pattern.empty())
                globs.push_back(any_case_glob(pattern));
            pattern.clear();
            if (*p == '\0')
                return globs;
        } else {
            pattern += *p;
        }
    }
}

bool is_regular_file(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::vector<FileFilterSpec> parse_file_filters(const char* pairs)
{
    std::vector<FileFilterSpec> filters;
    if (!pairs)
        return filters;
    const char* p = pairs;
    while (*p) {
        const char* patterns = p + std::strlen(p) + 1;
        if (*patterns == '\0')
            break;  // a description without patterns ends the list
        filters.push_back({p, split_patterns(patterns)});
        p = patterns + std::strlen(patterns) + 1;
    }
    return filters;
}

std::string resolve_chosen_file(const std::string& path, const char* default_extension)
{
    std::string title = file_title_of(path);
    bool has_extension = title.find('.') != std::string::npos;
    if (!has_extension && default_extension && *default_extension) {
        std::string extended = path + "." + default_extension;
        if (is_regular_file(extended))
            return extended;
    }
    return is_regular_file(path) ? path : std::string();
}

std::string file_title_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
