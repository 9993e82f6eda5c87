#pragma once

#include <QObject>

// Each test class of this area; main.cpp runs them all.
QObject *createDragTests();
QObject *createToolTipDialogTests();
QObject *createModalDriverTests();
QObject *createNoFocusDelegateTests();
