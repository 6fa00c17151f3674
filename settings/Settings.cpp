#include "settings/Settings.h"

Settings settings = initialSettings;
