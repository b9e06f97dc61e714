// Charges of the DD and FD pages and their bit pages.
#pragma once

#include <cstdint>

#include "z80/z80_charges.h"
