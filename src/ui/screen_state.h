// screen_state: the toolkit's shared record of the current screen, the view and the window sizes.
#pragma once

struct screen_state_record {
    // Screen ids: the current one and the word beside it; APP_set_screen sets both. -1 is the start-up
    // screen.
    int screen_id = -1;
    int screen_id_prev = -1;
    // The screen the pointer is over: the current id, or 0 over the second-monitor window.
    int mouse_screen = 0;

    // The logical view of the current screen: its origin in the window (added by every primitive) and size.
    float origin_x = 0.0f;
    float origin_y = 0.0f;
    float view_width = 1024.0f;
    float view_height = 768.0f;
    // The view rectangle of the screen set-up: left, bottom, right, top.
    float view_left = 0.0f;
    float view_bottom = 0.0f;
    float view_right = 0.0f;
    float view_top = 0.0f;
    // Centring of a 1024 x 768 layout: offsets and centre.
    float layout_offset_x = 0.0f;
    float layout_offset_y = 0.0f;
    float layout_centre_x = 0.0f;
    float layout_centre_y = 0.0f;
    // The UI scale factors; the mouse mapping and the centring read the first.
    float ui_scale = 1.0f;
    float ui_scale2 = 1.0f;

    // The size the views are built for (the window's drawable).
    int drawable_width = 800;
    int drawable_height = 600;
    // Display: full-screen flag, the windowed size, and the full-screen size and rate (0 keeps the mode).
    int fullscreen = 0;
    int window_width = 800;
    int window_height = 600;
    int fullscreen_width = 0;
    int fullscreen_height = 0;
    int fullscreen_rate = 0;
};

// The one screen state (main thread only).
extern screen_state_record screen_state;
