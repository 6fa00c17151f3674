// The three scenes: each call draws one frame from channelLevels, presents it
// and moves the scene's animation one step.
#pragma once

void DrawRectanglesScene();
void DrawSpheresScene();
void DrawTextureScene();
