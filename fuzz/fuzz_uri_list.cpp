// Fuzz target for the text/uri-list a drag source sends with a drop.
//
// Any list must give a path or a reason: a path is absolute and holds no
// NUL byte; a refusal always says why.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/drop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    const std::string list(reinterpret_cast<const char *>(data), size);
    std::string path, why;
    if (path_from_uri_list(list, "spectrum", path, why)) {
        if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos || !why.empty()) std::abort();
    } else if (why.empty()) {
        std::abort();
    }
    return 0;
}
