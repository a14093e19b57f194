// The gallery scene: every control in every style, a long list, easing dots and the flip.
#pragma once

#include "SceneParts.h"
#include "scene/Scene.h"

struct Gallery {
  TdxScene* Scene = nullptr;
  TdxGUIObjectLayer* Layer = nullptr;
  TvxRectangle* Front = nullptr;
  TvxRectangle* Back = nullptr;
  TvxListBox* Songs = nullptr;
  TvxMessagePopup* Popup = nullptr;
  TvxHudLabel* Status = nullptr;
  TvxImage* Disc = nullptr;
  TvxBitmapButton* FlipButton = nullptr;
  TvxBitmapButton* PopupButton = nullptr;
  TvxBitmapButton* BackButton = nullptr;
  TvxHudTextBox* Search = nullptr;
  void Flip(bool toBack);
};

// Builds the gallery into a new scene of the given size.
Gallery BuildGallery(float width, float height, int listItems);
