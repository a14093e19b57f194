// The easing curves of the property animations: eleven kinds, each in three directions.
#pragma once

#include "scene/Types.h"

// Eased progress of kind `kind` in direction `type` at time t of a run of length d seconds:
// 0 at the start, 1 at the end; Back and Elastic leave that range on the way.
float vgInterpolate(TvxInterpolationType kind, TvxAnimationType type, float t, float d);
