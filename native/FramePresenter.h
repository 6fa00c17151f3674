// The scenes end each frame with PresentFrame; in the native program it goes
// to whichever output runs: the window, or the offline render's frames.
#pragma once

void SetFramePresenter(void (*present)());
