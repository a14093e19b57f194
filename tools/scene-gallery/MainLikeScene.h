// A scene shaped like the player's main window, for the benchmarks: 550 x 330, the top bar, a
// long play list, and the now-playing view with the turning disc and the progress bar.
#pragma once

#include "SceneParts.h"
#include "scene/Scene.h"

struct MainLikeScene {
  TdxScene* Scene = nullptr;
  TdxGUIObjectLayer* Layer = nullptr;
  TvxRectangle* Face = nullptr;  // the main face (`RectangleRoot`)
  TvxListBox* List = nullptr;
  TvxImage* Disc = nullptr;
  TvxFloatAnimation* Spin = nullptr;
  TvxProgressBar* Progress = nullptr;
};

// Items of kSongHeight in the list; discView shows the now-playing view instead of the list.
MainLikeScene BuildMainLikeScene(int items, bool discView);
constexpr float kSongHeight = 49;
