// Styles: named looks that dress a control with locked parts (background, text, glyph, glow,
// check mark, …) and the trigger animations of those parts.
//
// Where a control finds its style: a control asks for `Resource` (or, when that is empty, its
// class's default look, e.g. "buttonstyle"). The name is looked up, without regard to case, in
//   1. the resources of the scene the control belongs to (`TdxScene::SetResources`), then
//   2. the toolkit's generic looks (`TvxResources::Generic()`);
// and when neither has it, the class's default look is looked up the same way. A control made
// outside any scene whose name the generic looks do not know waits for its scene before it is
// dressed (so it is not dressed twice); when it joins a scene, or the scene's resources are set,
// every control whose look that changes is dressed again.
//
// The toolkit itself holds generic looks only. An application registers its own styles in a
// `TvxResources` it owns, built from the `vgDress…` pieces below, and gives it to its scene.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "scene/Types.h"

class TvxControl;

// A table of named styles.
class TvxResources {
 public:
  using TStyleBuilder = std::function<void(TvxControl*)>;
  TvxResources();
  ~TvxResources();
  TvxResources(const TvxResources&) = delete;
  TvxResources& operator=(const TvxResources&) = delete;

  // The toolkit's generic looks ("buttonstyle", "listboxstyle", "progressbarstyle",
  // "trackbarstyle", "trackthumbstyle", "hudtextboxstyle", "popupstyle", "checkboxstyle").
  static const TvxResources& Generic();

  // Adds a style; a style of the same name (in any case) is replaced in place.
  void Add(const QString& name, TStyleBuilder builder);
  // The style of that name, without regard to case; nullptr when there is none. The pointer
  // stays valid as long as the table does.
  const TStyleBuilder* Find(const QString& name) const;
  QStringList Names() const;
  int Count() const { return int(FStyles.size()); }

 private:
  struct Entry {
    QString Name;
    TStyleBuilder Builder;
  };
  std::vector<std::unique_ptr<Entry>> FStyles;
};

// ---------------------------------------------------------------------------------------------
// Looks. Each dresses a control with locked parts that take no mouse and carry binding names
// ("background", "text", "image", "glow", "band", "border", "shadow", "panel", "box", "hover",
// "checkmark"); the parts come before the control's own children.

// Buttons whose background fades in while the pointer is over them and they are not pressed.
struct TvxFadingButtonLook {
  TAlphaColor Background = 0xFFD6D6D6;
  float Radius = 2;
  float HoverOpacity = 0.4f;
  float Duration = 0.2f;
  TAlphaColor Text = 0xFFE0E0E0;
};
void vgDressFadingButton(TvxControl* control, const TvxFadingButtonLook& look);

// Buttons without background whose glyph glows while the pointer is over them.
struct TvxGlowButtonLook {
  TAlphaColor Glow = 0xFFFFFFFF;
  float Softness = 0.2f;
  float Opacity = 0.9f;
  float Duration = 0.2f;
  TAlphaColor Text = 0xFFE0E0E0;
};
void vgDressGlowButton(TvxControl* control, const TvxGlowButtonLook& look);

// Buttons whose background colour turns to another while the pointer is over them.
struct TvxColourButtonLook {
  TAlphaColor Background = 0xFFE6E6E6;
  TAlphaColor Hover = 0xFFFFFFFF;
  float Radius = 2;
  float Duration = 0.2f;
  TAlphaColor Text = 0xFF323232;
};
void vgDressColourButton(TvxControl* control, const TvxColourButtonLook& look);

// List boxes: background, inner margins, selection and the overlay scroll thumb.
struct TvxListLook {
  TAlphaColor Background = 0x40404040;
  float Margin = 2;
  TAlphaColor Selection = 0xC8F5CD7B;
  TAlphaColor ScrollThumb = 0x90E0E0E0;
  bool SmallScrollBars = false;
};
void vgDressList(TvxControl* control, const TvxListLook& look);
// Only the scroll thumb of a list (a scroll-bar style).
void vgDressScrollBar(TvxControl* control, TAlphaColor thumb, bool small);

// Progress bars: track and indicator; optionally a soft band that sweeps along "Position.x"
// from BandFrom to BandTo every BandPeriod seconds, looping while the bar is shown.
struct TvxProgressLook {
  TAlphaColor Track = 0xC8303030;
  TAlphaColor Indicator = 0xFFF5CD76;
  float Inset = 2;
  TAlphaColor Band = 0;  // 0: no band; else the colour at the middle of its gradient
  float BandRadius = 9;
  float BandWidth = 40;
  float BandFrom = -50, BandTo = 800, BandPeriod = 4;
};
void vgDressProgress(TvxControl* control, const TvxProgressLook& look);

// Track bars: the track's colour and the style of their thumb.
void vgDressTrack(TvxControl* control, TAlphaColor track, const QString& thumbStyle);
// A thumb whose colour turns to `hover` while the pointer is over it.
void vgDressThumb(TvxControl* control, TAlphaColor normal, TAlphaColor hover, float duration);

// Text boxes: border, inset of the content and, when Glow is not 0, a glow while focused.
struct TvxTextBoxLook {
  TAlphaColor Border = 0x80FFFFFF;
  float Inset = 3;
  TAlphaColor Glow = 0;
  float GlowSoftness = 0.2f;
  float GlowOpacity = 0.8f;
  float Duration = 0.2f;
};
void vgDressTextBox(TvxControl* control, const TvxTextBoxLook& look);

// Popups: a panel with a shadow, and how they slide in and out.
struct TvxPopupLook {
  TAlphaColor Panel = 0xC8969696;
  float Radius = 4;
  TAlphaColor Shadow = 0xFF000000;
  float ShadowDistance = 1, ShadowDirection = 45, ShadowSoftness = 0.8f;
  float HiddenY = -200;
  float OpenDuration = 0.4f;
  TvxInterpolationType OpenInterpolation = vgInterpolationQuartic;
  float CloseDuration = 0.3f;
  TvxInterpolationType CloseInterpolation = vgInterpolationQuintic;
};
void vgDressPopup(TvxControl* control, const TvxPopupLook& look);

// Check boxes: a small box, its hover shade, a check mark that fades in when ticked, a text.
struct TvxCheckBoxLook {
  float BoxSize = 13;
  TAlphaColor BoxFrom = 0x82000000, BoxTo = 0x20FFFFFF;  // vertical gradient
  TAlphaColor Border = 0x80FFFFFF;
  TAlphaColor Hover = 0x42000000;
  TAlphaColor Mark = 0xE0FFFFFF;
  float Duration = 0.1f;
  TAlphaColor Text = 0xFFFFFFFF;
};
void vgDressCheckBox(TvxControl* control, const TvxCheckBoxLook& look);
