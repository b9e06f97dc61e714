// The beeper (placeholder until the beeper lands).
#include "ula/ula.h"

void mixsound() {}
void start_sound_stream() {}
void stop_sound_stream() {}
