// Where a drawn frame goes. The scenes end every frame with PresentFrame;
// each front end says what that does: swap the window's buffers, read the
// pixels back for a video, record the call in a test.
#pragma once

using FramePresenter = void (*)();

// Null: there is nowhere to show frames (the context is gone), and the frame
// step measures without drawing.
void SetFramePresenter(FramePresenter present);
bool HasFramePresenter();

// Ends a frame once every GL call of it is issued.
void PresentFrame();
