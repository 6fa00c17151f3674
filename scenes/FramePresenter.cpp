#include "scenes/FramePresenter.h"

#include <atomic>

namespace {

// A front end may clear it on one thread while a frame ends on another: the
// frame reads it once. Relaxed loads and stores are plain moves.
std::atomic<FramePresenter> presenter{nullptr};

}  // namespace

void SetFramePresenter(FramePresenter present)
{
    presenter.store(present, std::memory_order_relaxed);
}

bool HasFramePresenter()
{
    return presenter.load(std::memory_order_relaxed) != nullptr;
}

void PresentFrame()
{
    const FramePresenter present = presenter.load(std::memory_order_relaxed);
    if (present)
        present();
}
