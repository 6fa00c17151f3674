// The keys of a module's section in plugin.ini, in load and save order.
#pragma once

#include "settings/Settings.h"

#include <array>

struct SettingsKey {
    const char* name;
    int Settings::*field;
    bool spheresOnly;  // travels only while the Spheres module is active
};

constexpr std::array<SettingsKey, 10> settingsKeys = {{
    {"screen_x", &Settings::screen_x, false},
    {"screen_y", &Settings::screen_y, false},
    {"screen_w", &Settings::screen_w, false},
    {"screen_h", &Settings::screen_h, false},
    {"vistype", &Settings::vistype, false},
    {"fallspeed", &Settings::fallspeed, false},
    {"scales", &Settings::scales, false},
    {"scalew", &Settings::scalew, false},
    {"detail", &Settings::detail, true},
    {"lines", &Settings::lines, true},
}};

constexpr bool KeyApplies(const SettingsKey& key, bool spheresActive)
{
    return !key.spheresOnly || spheresActive;
}
