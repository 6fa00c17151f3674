#include "native/FramePresenter.h"

#include "scenes/FrameOutput.h"

namespace {

void (*presenter)() = nullptr;

}  // namespace

void SetFramePresenter(void (*present)())
{
    presenter = present;
}

void PresentFrame()
{
    if (presenter)
        presenter();
}
