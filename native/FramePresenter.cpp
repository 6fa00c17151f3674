#include "native/FramePresenter.h"

#include "scenes/FrameOutput.h"

void (*presentFrameTo)() = nullptr;

void PresentFrame()
{
    if (presentFrameTo != nullptr)
        presentFrameTo();
}
