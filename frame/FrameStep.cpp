#include "frame/FrameStep.h"

#include "scenes/FramePresenter.h"
#include "scenes/LevelMeter.h"
#include "scenes/Scenes.h"

void StepFrame(const VisModule& record, int module)
{
    MeasureLevels(record, sceneModules[module].meter);
    RedrawFrame(module);
}

void MeasureFrame(const VisModule& record, int module)
{
    MeasureLevels(record, sceneModules[module].meter);
}

void RedrawFrame(int module)
{
    if (HasFramePresenter())
        sceneModules[module].draw();
}
