// GTK beside Allegro: started on first use, and its pending events handled
// after a dialog or menu closes so that it really leaves the screen.
#pragma once

// Starts GTK the first time; false (said once on standard error) when it
// cannot open the display, and no dialog or menu can be shown.
bool gtk_ready();
// Handles the pending GTK events.
void settle_gtk();
