// Charges of the CB and ED pages.
#pragma once

#include <cstdint>
