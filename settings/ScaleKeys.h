// HOME and END: the meter's divisor of the data source in use, stepped.
#pragma once

enum class ScaleKey {
    MoreSensitive,  // HOME: the divisor down, never below 1
    LessSensitive,  // END: the divisor up, short of overflow
};

// Acts on scalew while vistype is 0, on scales while it is 1, on neither
// for any other vistype.
void ApplyScaleKey(ScaleKey key);
