#include "platform/text_file.h"

#include <new>

namespace {
constexpr int CTRL_Z = 0x1A;
}

struct TextFile {
    std::FILE* stream;
    bool ended;  // Ctrl-Z or the end of the stream was met; stays ended
};

TextFile* text_open(const char* path)
{
    std::FILE* stream = std::fopen(path, "rb");
    if (!stream)
        return nullptr;
    TextFile* file = new (std::nothrow) TextFile{stream, false};
    if (!file)
        std::fclose(stream);
    return file;
}

int text_getc(TextFile* file)
{
    if (file->ended)
        return TEXT_EOF;
    int ch = std::getc(file->stream);
    if (ch == '\r') {
        int next = std::getc(file->stream);
        if (next == '\n')
            return '\n';
        if (next != EOF)
            std::ungetc(next, file->stream);
        return '\r';
    }
    if (ch == EOF || ch == CTRL_Z) {
        file->ended = true;
        return TEXT_EOF;
    }
    return ch;
}

void text_close(TextFile* file)
{
    if (!file)
        return;
    std::fclose(file->stream);
    delete file;
}

const char* file_base_name(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}
