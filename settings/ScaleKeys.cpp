#include "settings/ScaleKeys.h"

#include "settings/Settings.h"

#include <climits>

namespace {

constexpr int waveformStep = 100;
constexpr int spectrumStep = 25;

void StepDivisor(int& divisor, ScaleKey key, int step)
{
    if (key == ScaleKey::LessSensitive)
        divisor = divisor > INT_MAX - step ? INT_MAX : divisor + step;
    else
        divisor = divisor < 1 + step ? 1 : divisor - step;
}

}  // namespace

void ApplyScaleKey(ScaleKey key)
{
    if (settings.vistype == 0)
        StepDivisor(settings.scalew, key, waveformStep);
    else if (settings.vistype == 1)
        StepDivisor(settings.scales, key, spectrumStep);
}
