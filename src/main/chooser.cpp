// The snapshot chooser (placeholder until snapshots land).
#include "main/chooser.h"

void openfilesna() {}
void load_snapshot_path(const char *) {}
