// Program entry (placeholder until the machine shell lands).
#include <cstdio>

#include "z80/z80.h"

int main() {
    initz80();
    if (!loadroms()) return 1;
    resetz80();
    std::puts("Brenvik: the machine core is ready.");
    return 0;
}
