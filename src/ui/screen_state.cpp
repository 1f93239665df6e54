// screen_state: the toolkit's shared record of the current screen, the view and the window sizes.
#include "ui/screen_state.h"

// Main thread only.
screen_state_record screen_state;
