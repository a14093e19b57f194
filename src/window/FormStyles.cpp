// The looks of the player's main window, built from the toolkit's pieces.
#include "window/FormStyles.h"

#include "scene/Controls.h"
#include "scene/Styles.h"

namespace {

using TDress = void (*)(TvxControl*);

struct TFormStyle {
  const char* Name;
  TDress Dress;
};

// Used by btnClearlist, btnSearch, btnOL, btnOLper, btnOLnext, btnOK.
void BtnStyleWhite(TvxControl* c) {
  vgDressFadingButton(c, {.Background = 0xFFD6D6D6, .HoverOpacity = 0.4f, .Text = 0xFFE0E0E0});
}

// Used by the small buttons of the top bar and the delete button of a list entry.
void BtnStyleBlack(TvxControl* c) {
  vgDressFadingButton(c, {.Background = 0xFFF49090, .HoverOpacity = 0.65f, .Text = 0xFFEFFA18});
}

// Used by the glyph buttons of the now-playing view and btnReturn.
void BtnStyleEffect(TvxControl* c) {
  vgDressGlowButton(c, {.Glow = 0xFFF69E2D, .Softness = 0.2f, .Opacity = 0.9f, .Text = 0xFFE0E0E0});
}

void MusicListBoxStyle1(TvxControl* c) {
  vgDressList(c, {.Background = 0x00404040,
                  .Margin = 2,
                  .Selection = 0xC8F5CD7B,
                  .ScrollThumb = 0x90E0E0E0,
                  .SmallScrollBars = true});
}

void ScrollBar(TvxControl* c) {
  vgDressScrollBar(c, 0x90E0E0E0, false);
}
void SmallScrollBar(TvxControl* c) {
  vgDressScrollBar(c, 0x90E0E0E0, true);
}

void MusicProgressStyle1(TvxControl* c) {
  vgDressProgress(c, {.Track = 0xC8303030,
                      .Indicator = 0xFFF5CD76,
                      .Inset = 2,
                      .Band = 0xB9F1D384,
                      .BandRadius = 9,
                      .BandFrom = -50,
                      .BandTo = 800,
                      .BandPeriod = 4});
}

void MusicTrackVs(TvxControl* c) {
  vgDressTrack(c, 0x96E0E0E0, QStringLiteral("musicThumb_vs"));
}

void MusicThumbVs(TvxControl* c) {
  vgDressThumb(c, 0xFFF4BB40, 0xFFF9DDA2, 0.1f);
}

void HudTextBox1Style1(TvxControl* c) {
  vgDressTextBox(c, {.Border = 0x80FFFFFF,
                     .Inset = 3,
                     .Glow = 0xFFE0E0E0,
                     .GlowSoftness = 0.2f,
                     .GlowOpacity = 0.8f});
}

void MsgPopStyle1(TvxControl* c) {
  vgDressPopup(c, {.Panel = 0xC8969696,
                   .Shadow = 0xFF000000,
                   .ShadowDistance = 1,
                   .ShadowDirection = 45,
                   .ShadowSoftness = 0.8f,
                   .HiddenY = -200,
                   .OpenDuration = 0.4f,
                   .OpenInterpolation = vgInterpolationQuartic,
                   .CloseDuration = 0.3f,
                   .CloseInterpolation = vgInterpolationQuintic});
}

void MsgButtonStyle(TvxControl* c) {
  vgDressColourButton(
      c, {.Background = 0xFFD6D6D6, .Hover = 0xFFF49090, .Duration = 0.2f, .Text = 0xFF323232});
}

void CheckAutoStartStyle1(TvxControl* c) {
  vgDressCheckBox(c, {.BoxSize = 13,
                      .BoxFrom = 0x82000000,
                      .BoxTo = 0x20FFFFFF,
                      .Border = 0x80FFFFFF,
                      .Hover = 0x42000000,
                      .Mark = 0xE0FFFFFF,
                      .Duration = 0.1f,
                      .Text = 0xFFFFFFFF});
}

constexpr TFormStyle kFormStyles[] = {
    {"btnStyleWhite", BtnStyleWhite},
    {"btnStyleBlack", BtnStyleBlack},
    {"btnStyleEffect", BtnStyleEffect},
    {"musicListBoxStyle1", MusicListBoxStyle1},
    {"musicListBoxvscrollbar1", ScrollBar},
    {"musicListBoxhscrollbar1", ScrollBar},
    {"musicListBoxvsmallscrollbar1", SmallScrollBar},
    {"musicListBoxhsmallscrollbar1", SmallScrollBar},
    {"musicProgressStyle1", MusicProgressStyle1},
    {"musicTrack_vs", MusicTrackVs},
    {"musicThumb_vs", MusicThumbVs},
    {"HudTextBox1Style1", HudTextBox1Style1},
    {"MsgPopStyle1", MsgPopStyle1},
    {"msgButtonStyle", MsgButtonStyle},
    {"checkAutoStartStyle1", CheckAutoStartStyle1},
};

}  // namespace

void RegisterFormStyles(TvxResources& resources) {
  for (const TFormStyle& style : kFormStyles)
    resources.Add(QString::fromLatin1(style.Name), style.Dress);
}

QStringList FormStyleNames() {
  QStringList names;
  for (const TFormStyle& style : kFormStyles) names << QString::fromLatin1(style.Name);
  return names;
}
