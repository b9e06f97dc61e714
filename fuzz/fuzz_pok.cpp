// Fuzz target for the .pok reader.
//
// Any input must be taken or refused. A refused input must leave the list
// given exactly as it was and say why, with a line number; a taken one must
// give at least one trainer, each with at least one poke whose numbers are
// in range.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pok/pok.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    std::vector<trainer> out(1);
    out[0].name = "before";
    const pok_result result = read_pok(data, size, "fuzz.pok", out);
    if (!result.ok) {
        if (result.text.find(": line ") == std::string::npos) std::abort();  // no line named
        if (out.size() != 1 || out[0].name != "before" || !out[0].pokes.empty()) std::abort();  // the list changed
        return 0;
    }
    if (out.empty()) std::abort();
    for (const trainer &t : out) {
        if (t.pokes.empty() || t.name.empty() || t.applied) std::abort();
        for (const poke_line &p : t.pokes)
            if (p.value > pok_ask) std::abort();
    }
    return 0;
}
