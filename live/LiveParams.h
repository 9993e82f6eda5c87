#pragma once

#include "CameraSettings.h"

#include <QtGui/qwindowdefs.h> // WId

#include <cstdint>

// The start record of the live scene, built by the workspace at start and by
// the camera page when the resolution changes. The facade reads the preview
// window, the quality, both sizes, the bit rate and the frame rate; the
// engine never receives this record.
struct LiveParams
{
    WId previewWindow = 0;
    int32_t quality = 0; // 0..2, a row of the quality table
    int32_t previewWidth = 0;
    int32_t previewHeight = 0;
    int32_t outputWidth = 0;
    int32_t outputHeight = 0;
    int32_t bitRate = 0; // kbit/s when handed in; bit/s as getLiveVideoConfig writes it
    int32_t frameRate = 0;
    int32_t cameraWidth = 0;
    int32_t cameraHeight = 0;
    int32_t qualityIndex = 0; // the same value as `quality`
    const ClarityPreset *qualityTable = nullptr;
};
