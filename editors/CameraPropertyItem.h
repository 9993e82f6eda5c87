#pragma once

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

// One camera property of the quality dialog: the camera's range, the row's
// widgets (any may be null), and two states of value and automatic mode:
// the live one on the camera and the kept one that closing reverts to.
struct CameraPropertyItem
{
    // The camera's range, in the order the helper writes it.
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 0;
    int32_t defaultValue = 0;
    int32_t capabilityFlags = 0; // bit 0: an automatic mode exists
    int32_t propertyIndex = 0;
    QLabel *label = nullptr;
    QSlider *slider = nullptr;
    QLineEdit *valueBox = nullptr;
    QCheckBox *autoBox = nullptr;
    bool valid = false; // the last read succeeded
    bool autoCapable = false;
    int32_t keptValue = 0;
    int32_t currentValue = 0;
    bool keptAuto = false;
    bool currentAuto = false;
};
