#include "scenes/FramePresenter.h"

namespace {

FramePresenter presenter = nullptr;

}  // namespace

void SetFramePresenter(FramePresenter present)
{
    presenter = present;
}

bool HasFramePresenter()
{
    return presenter != nullptr;
}

void PresentFrame()
{
    if (presenter)
        presenter();
}
