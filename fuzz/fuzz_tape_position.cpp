// Fuzz target for the quick-save slot's tape position file.
//
// Any input must be taken or refused; a refused one leaves the result as it
// was, and a taken one reads back the same when written out again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "state/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    tape_position out{"untouched", 1, 2, 3};
    if (!parse_tape_position(data, size, out)) {
        if (out.name != "untouched" || out.pos != 1 || out.left != 2 || out.played != 3) std::abort();
        return 0;
    }
    const std::string again = format_tape_position(out);
    tape_position back;
    if (!parse_tape_position(reinterpret_cast<const uint8_t *>(again.data()), again.size(), back)) std::abort();
    if (back.name != out.name || back.pos != out.pos || back.left != out.left || back.played != out.played)
        std::abort();
    return 0;
}
