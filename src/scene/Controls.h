// The controls of the scene toolkit, one header per family.
#pragma once

#include "scene/Bars.h"
#include "scene/Buttons.h"
#include "scene/Control.h"
#include "scene/ListBoxes.h"
#include "scene/Popup.h"
#include "scene/Styles.h"
#include "scene/TextBox.h"
