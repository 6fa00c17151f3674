// The perspective every scene is drawn with; the scenes rely on its far plane.
#pragma once

constexpr double fieldOfView = 45.0;
constexpr double nearDistance = 1.0;
constexpr double farDistance = 10.0;
