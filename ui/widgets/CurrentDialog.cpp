#include "CurrentDialog.h"

QPointer<QDialog> currentDialog;
