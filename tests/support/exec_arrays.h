#pragma once

#include <string>
#include <vector>

// The NULL-ended array of pointers that execve and posix_spawn take, pointing
// into `texts`, which must outlive it.
inline std::vector<char*> ExecArray(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}
