// T-state charges of the processor, one table per page; the two index pages
// have a column each for DD (IX) and FD (IY).
#pragma once

#include <cstdint>

enum : int { COL_DD = 0, COL_FD = 1 };
