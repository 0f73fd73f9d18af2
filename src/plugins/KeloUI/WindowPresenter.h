#pragma once

#include "keloui_global.h"

class QWidget;

// Brings a window the person asked for to the front with the keyboard focus, whether it was
// hidden, minimised or left behind another window: shown, restored, raised and activated. A
// raise alone is not enough where the window manager keeps applications from taking the focus
// (openbox, for one): activation asks it on behalf of the click that asked for the window.
class KELOUI_EXPORT WindowPresenter
{
public:
    static void present(QWidget* window);
};
