#include "job/expand_params.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "job/ascii_case.h"

namespace {

// Appends to a fixed buffer, always leaving room for the NUL; remembers
// whether anything had to be left out.
struct Output {
    std::span<char> buffer;
    std::size_t length = 0;
    bool fits = true;

    void Put(char c)
    {
        if (length + 1 < buffer.size()) {
            buffer[length++] = c;
        } else {
            fits = false;
        }
    }
    void Put(std::string_view text)
    {
        for (const char c : text) {
            Put(c);
        }
    }
};

bool HasBlank(const char* text)
{
    return std::strchr(text, ' ') != nullptr;
}

struct File {
    const char* fullPath;
    const char* name;
    const char* dropFolder;
};

std::string_view BaseName(const File& file)
{
    const char* dot = std::strrchr(file.name, '.');
    const std::size_t total = std::strlen(file.name);
    return {file.name, dot != nullptr ? static_cast<std::size_t>(dot - file.name) : total};
}

std::string_view Extension(const File& file)
{
    const char* dot = std::strrchr(file.name, '.');
    return dot != nullptr ? std::string_view(dot + 1) : std::string_view();
}

// Expands the modifier sequence `sequence` (the text between "%~" and its "1").
void ExpandSequence(Output& out, std::string_view sequence, const File& file)
{
    const bool quoted =
        (sequence.find('Q') != std::string_view::npos ||
         sequence.find('q') != std::string_view::npos) &&
        (HasBlank(file.fullPath) || HasBlank(file.dropFolder) || HasBlank(file.name));

    if (quoted) {
        out.Put('"');
    }
    for (const char c : sequence) {
        switch (UpperAscii(c)) {
            case 'F': out.Put(file.fullPath); break;
            case 'P': out.Put(file.dropFolder); break;
            case 'N': out.Put(BaseName(file)); break;
            case 'E':
            case 'X': out.Put(Extension(file)); break;
            case 'Q': break;
            default: out.Put(c); break;
        }
    }
    if (quoted) {
        out.Put('"');
    }
}

}  // namespace

bool ExpandParams(std::span<char> output, const char* templateText, const char* fullPath,
                  const char* name, const char* dropFolder)
{
    Output out{output};
    const File file{fullPath, name, dropFolder};
    const std::string_view text(templateText);

    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] != '%') {
            out.Put(text[at++]);
            continue;
        }
        if (at + 1 == text.size()) {
            out.Put('%');
            break;
        }
        const char next = text[at + 1];
        at += 2;
        if (next == '%') {
            out.Put('%');
        } else if (next == '1') {
            out.Put(fullPath);
        } else if (next == '~') {
            const std::size_t end = std::min(text.find('1', at), text.size());
            ExpandSequence(out, text.substr(at, end - at), file);
            at = end + 1;  // past the "1"; past the end when the template ran out
        }
        // any other character after "%": both are dropped
    }

    out.buffer[out.length] = '\0';
    return out.fits;
}
