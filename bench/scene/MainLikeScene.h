// A scene shaped like the player's main window: 550 x 330, top bar, a long play list,
// and the now-playing disc.
#pragma once

#include "scene/Controls.h"
#include "scene/Scene.h"

struct MainLikeScene {
  TdxScene* Scene = nullptr;
  TvxListBox* List = nullptr;
  TvxImage* Disc = nullptr;
  TvxFloatAnimation* Spin = nullptr;
  TvxProgressBar* Progress = nullptr;
};

MainLikeScene BuildMainLikeScene(int items, bool discView);
