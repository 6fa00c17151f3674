// The one settings record that all three modules share.
#pragma once

// Fields are named after their keys in plugin.ini; fallStep and the spin rates
// are derived or constant and never stored.
struct Settings {
    int screen_x;
    int screen_y;
    int screen_w;
    int screen_h;
    float fallStep;
    int detail;
    int fallspeed;
    int scales;
    int scalew;
    float spinRateZ;
    float spinRateY;
    float spinRateX;
    int vistype;
    int lines;
};

static_assert(sizeof(Settings) == 14 * 4);

constexpr Settings initialSettings = {
    50,      // screen_x
    50,      // screen_y
    640,     // screen_w
    480,     // screen_h
    0.077f,  // fallStep
    10,      // detail
    77,      // fallspeed
    500,     // scales
    10000,   // scalew
    1.0f,    // spinRateZ
    0.75f,   // spinRateY
    0.75f,   // spinRateX
    1,       // vistype
    0,       // lines
};

extern Settings settings;
