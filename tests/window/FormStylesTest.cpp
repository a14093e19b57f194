// The form's styles: every name its controls use, and the looks and timings each one gives.
#include "SceneTestSupport.h"
#include "window/FormStyles.h"

namespace {

class FormStyles : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    RegisterFormStyles(Resources1);
    scene->SetResources(&Resources1);
  }
  template <typename T>
  T* Add(const QString& style, float x, float y, float w, float h) {
    auto* c = new T();
    c->SetBounds(x, y, w, h);
    c->SetParent(root);
    c->SetResource(style);
    return c;
  }
  TvxVisualObject* Part(TvxControl* c, const char* binding) {
    TvxObject* part = c->FindStyleResource(binding);
    return part ? part->AsVisual() : nullptr;
  }
  TvxResources Resources1;
};

}  // namespace

TEST_F(FormStyles, EveryStyleTheFormNamesIsThere) {
  const QStringList expected = {"btnStyleWhite",
                                "btnStyleBlack",
                                "btnStyleEffect",
                                "musicListBoxStyle1",
                                "musicListBoxvscrollbar1",
                                "musicListBoxhscrollbar1",
                                "musicListBoxvsmallscrollbar1",
                                "musicListBoxhsmallscrollbar1",
                                "musicProgressStyle1",
                                "musicTrack_vs",
                                "musicThumb_vs",
                                "HudTextBox1Style1",
                                "MsgPopStyle1",
                                "msgButtonStyle",
                                "checkAutoStartStyle1"};
  EXPECT_EQ(FormStyleNames(), expected);
  EXPECT_EQ(Resources1.Count(), expected.size());
  for (const QString& name : expected)
    EXPECT_NE(Resources1.Find(name), nullptr) << name.toStdString();
  for (const QString& name : expected)
    EXPECT_EQ(TvxResources::Generic().Find(name), nullptr)
        << "not the toolkit's: " << name.toStdString();
}

TEST_F(FormStyles, FadingButtonsShowTheirBackgroundOnlyWhileHoveredAndNotPressed) {
  auto* white = Add<TvxBitmapButton>("btnStyleWhite", 76, 7.5f, 107, 32.5f);
  auto* black = Add<TvxBitmapButton>("btnStyleBlack", 300, 0, 20, 20);
  white->SetText("清空列表");
  TvxVisualObject* wbg = Part(white, "background");
  TvxVisualObject* bbg = Part(black, "background");
  ASSERT_TRUE(wbg && bbg);
  EXPECT_EQ(wbg->Fill().Color(), 0xFFD6D6D6u);
  EXPECT_EQ(bbg->Fill().Color(), 0xFFF49090u);
  EXPECT_EQ(Part(white, "text")->Fill().Color(), 0xFFE0E0E0u);
  EXPECT_EQ(Part(black, "text")->Fill().Color(), 0xFFEFFA18u);
  EXPECT_EQ(wbg->Opacity(), 0.0f);
  white->SetIsMouseOver(true);
  black->SetIsMouseOver(true);
  Ticks(3);
  EXPECT_GT(wbg->Opacity(), 0.0f);
  EXPECT_LT(wbg->Opacity(), 0.4f) << "still fading after 0.1 s";
  Ticks(4);
  EXPECT_FLOAT_EQ(wbg->Opacity(), 0.4f);
  EXPECT_FLOAT_EQ(bbg->Opacity(), 0.65f);
  white->SetIsMouseOver(false);
  Ticks(7);
  EXPECT_FLOAT_EQ(wbg->Opacity(), 0.0f);
  white->SetIsPressed(true);
  white->SetIsMouseOver(true);
  Ticks(7);
  EXPECT_FLOAT_EQ(wbg->Opacity(), 0.0f) << "pressed: no hover look";
}

TEST_F(FormStyles, EffectButtonsGlowAndMessageButtonsChangeColour) {
  auto* play = Add<TvxBitmapButton>("btnStyleEffect", 373, 207.5f, 50, 50);
  EXPECT_EQ(Part(play, "background"), nullptr) << "no background";
  auto* glow = dynamic_cast<TvxEffect*>(Part(play, "glow"));
  ASSERT_NE(glow, nullptr);
  EXPECT_EQ(glow->GlowColor, 0xFFF69E2Du);
  EXPECT_FLOAT_EQ(glow->Softness, 0.2f);
  play->SetIsMouseOver(true);
  Ticks(7);
  EXPECT_FLOAT_EQ(glow->Opacity(), 0.9f);

  auto* ok = Add<TvxSpeedButton>("msgButtonStyle", 334, 153.5f, 62, 24.5f);
  TvxVisualObject* bg = Part(ok, "background");
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->Fill().Color(), 0xFFD6D6D6u);
  EXPECT_EQ(Part(ok, "text")->Fill().Color(), 0xFF323232u);
  ok->SetIsMouseOver(true);
  Ticks(7);
  EXPECT_EQ(bg->Fill().Color(), 0xFFF49090u);
}

TEST_F(FormStyles, ListsBarsAndTheVolumeThumb) {
  auto* list = Add<TvxListBox>("musicListBoxStyle1", 0, 44.5f, 520, 273);
  EXPECT_EQ(list->Fill().Color(), 0x00404040u);
  EXPECT_FLOAT_EQ(list->Margins().Left, 2);
  EXPECT_EQ(list->SelectionColor, 0xC8F5CD7Bu);
  EXPECT_TRUE(list->SmallScrollBars);

  auto* bar = Add<TvxProgressBar>("musicProgressStyle1", 143, 223, 178, 14);
  EXPECT_EQ(bar->TrackColor, 0xC8303030u);
  EXPECT_EQ(bar->IndicatorColor, 0xFFF5CD76u);
  EXPECT_FLOAT_EQ(bar->IndicatorInset, 2);
  TvxVisualObject* band = Part(bar, "band");
  ASSERT_NE(band, nullptr);
  TvxAnimation* move = bar->FindStyleResource("bandmove")->AsAnimation();
  ASSERT_NE(move, nullptr);
  EXPECT_TRUE(move->Loop());
  EXPECT_FLOAT_EQ(move->Duration(), 4);
  scene->RenderToImage();  // shown: the band starts
  ASSERT_TRUE(move->Running());
  EXPECT_FLOAT_EQ(band->Position().X(), -50);
  Tick(2);
  EXPECT_NEAR(band->Position().X(), 375, 0.01) << "half of -50 .. 800";

  auto* volume = new TvxTrackBar();
  volume->Vertical = true;
  volume->SetResource("musicTrack_vs");  // made outside the scene, as a builder may
  volume->SetBounds(6, 3, 10, 71.5f);
  volume->SetParent(root);
  EXPECT_EQ(volume->TrackColor, 0x96E0E0E0u);
  ASSERT_NE(volume->Thumb(), nullptr);
  EXPECT_EQ(volume->Thumb()->Fill().Color(), 0xFFF4BB40u);
  volume->Thumb()->SetIsMouseOver(true);
  Ticks(4);
  EXPECT_EQ(volume->Thumb()->Fill().Color(), 0xFFF9DDA2u);
}

TEST_F(FormStyles, TextBoxGlowPopupSlideAndCheckMark) {
  auto* box = Add<TvxHudTextBox>("HudTextBox1Style1", 10, 7, 210, 27.5f);
  EXPECT_FLOAT_EQ(box->ContentInset, 3);
  EXPECT_EQ(Part(box, "border")->Stroke().Color(), 0x80FFFFFFu);
  TvxVisualObject* glow = Part(box, "glow");
  ASSERT_NE(glow, nullptr);
  box->SetFocus();
  Ticks(7);
  EXPECT_FLOAT_EQ(glow->Opacity(), 0.8f);

  auto* pop = Add<TvxMessagePopup>("MsgPopStyle1", 0, 0, 520, 210);
  EXPECT_EQ(Part(pop, "panel")->Fill().Color(), 0xC8969696u);
  EXPECT_FLOAT_EQ(pop->HiddenY, -200);
  EXPECT_FLOAT_EQ(pop->OpenDuration, 0.4f);
  EXPECT_EQ(pop->OpenInterpolation, vgInterpolationQuartic);
  EXPECT_FLOAT_EQ(pop->CloseDuration, 0.3f);
  EXPECT_EQ(pop->CloseInterpolation, vgInterpolationQuintic);

  auto* check = Add<TvxHudCheckBox>("checkAutoStartStyle1", 52, 21, 136, 31.5f);
  TvxVisualObject* mark = Part(check, "checkmark");
  ASSERT_NE(mark, nullptr);
  EXPECT_FLOAT_EQ(Part(check, "box")->Width(), 13);
  EXPECT_EQ(mark->Fill().Color(), 0xE0FFFFFFu);
  check->SetIsChecked(true);
  Ticks(4);
  EXPECT_FLOAT_EQ(mark->Opacity(), 1);
  check->SetIsChecked(false);
  Ticks(4);
  EXPECT_FLOAT_EQ(mark->Opacity(), 0);
}
