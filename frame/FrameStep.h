// One frame of a module, the same in every front end: the player's bytes in
// the record measured into channelLevels, then the module's scene drawn and
// presented through the front end's presenter.
#pragma once

#include "player/VisModule.h"

// With no presenter (the window's context is gone) the frame is measured
// only, so the levels go on following the music.
void StepFrame(const VisModule& record, int module);

// The levels of the frame only, for a front end that cannot draw it now.
void MeasureFrame(const VisModule& record, int module);

// A paint: the module's scene once more from the current levels, which also
// moves its animation on a step. Nothing without a presenter.
void RedrawFrame(int module);

