// Smart enlarge (placeholder).
#include "enlarge/enlarge.h"

void do_smart_enlarge(BITMAP *, BITMAP *, int, int, int, int, int, int, int, int) {}
