// Where controls find their looks: the scene's resources first, then the generic looks.
#include "SceneTestSupport.h"

namespace {

// A table whose styles count how often they dress a control.
struct CountingLooks {
  CountingLooks() {
    table.Add("Counted", [this](TvxControl* c) {
      ++dressed;
      vgDressFadingButton(c, {.Background = 0xFF112233});
    });
    table.Add("buttonstyle", [this](TvxControl* c) {
      ++defaults;
      vgDressColourButton(c, {.Background = 0xFF445566});
    });
  }
  TvxResources table;
  int dressed = 0;
  int defaults = 0;
};

TAlphaColor BackgroundOf(TvxControl* c) {
  TvxObject* bg = c->FindStyleResource("background");
  return bg && bg->AsVisual() ? bg->AsVisual()->Fill().Color() : 0;
}

}  // namespace

TEST(Resources, NamesMatchWithoutCaseAndAddReplacesInPlace) {
  TvxResources r;
  EXPECT_EQ(r.Count(), 0);
  r.Add("btnOne", [](TvxControl*) {});
  const TvxResources::TStyleBuilder* found = r.Find("BTNONE");
  ASSERT_NE(found, nullptr);
  bool second = false;
  r.Add("BtnOne", [&](TvxControl*) { second = true; });
  EXPECT_EQ(r.Count(), 1);
  EXPECT_EQ(r.Find("btnone"), found) << "replaced where it stood";
  (*found)(nullptr);
  EXPECT_TRUE(second);
  EXPECT_EQ(r.Find(""), nullptr);
  EXPECT_EQ(r.Find("other"), nullptr);
  for (const char* generic : {"buttonstyle", "listboxstyle", "progressbarstyle", "trackbarstyle",
                              "trackthumbstyle", "hudtextboxstyle", "popupstyle", "checkboxstyle"})
    EXPECT_NE(TvxResources::Generic().Find(generic), nullptr) << generic;
  EXPECT_EQ(TvxResources::Generic().Find("testFadeButton"), nullptr) << "the toolkit's own only";
}

class StyleLookup : public SceneTest {
 protected:
  CountingLooks looks;
};

TEST_F(StyleLookup, TheScenesStyleWinsAndUnknownNamesFallBackToTheDefaultLook) {
  scene->SetResources(&looks.table);
  auto* named = new TvxBitmapButton();
  named->SetParent(root);
  named->SetResource("counted");
  EXPECT_EQ(BackgroundOf(named), 0xFF112233u);
  auto* unknown = new TvxBitmapButton();
  unknown->SetParent(root);
  unknown->SetResource("noSuchStyle");
  EXPECT_EQ(BackgroundOf(unknown), 0xFF445566u) << "the scene's own default look";
  scene->SetResources(nullptr);
  EXPECT_EQ(BackgroundOf(named), 0xFFE6E6E6u) << "the generic default when the scene has none";
  EXPECT_EQ(BackgroundOf(unknown), 0xFFE6E6E6u);
}

TEST_F(StyleLookup, AControlMadeOutsideTheSceneWaitsAndIsDressedOnceWhenItJoins) {
  scene->SetResources(&looks.table);
  auto* item = new TvxListBoxItem();
  auto* button = new TvxBitmapButton();
  button->SetResource("Counted");
  button->SetText("删除");
  button->SetParent(item);
  EXPECT_TRUE(button->StylePending());
  const int defaultsBefore = looks.defaults;
  item->SetParent(root);
  EXPECT_FALSE(button->StylePending());
  EXPECT_EQ(looks.dressed, 1);
  EXPECT_EQ(looks.defaults, defaultsBefore) << "never dressed in the fallback on the way";
  EXPECT_EQ(button->GetBinding("text"), "删除") << "the text reaches the new parts";
  EXPECT_EQ(BackgroundOf(button), 0xFF112233u);

  // Asked for its parts before it has a scene: dressed in the fallback, and again on joining.
  auto* early = new TvxBitmapButton();
  early->SetResource("Counted");
  EXPECT_EQ(BackgroundOf(early), 0xFFE6E6E6u);
  early->SetParent(root);
  EXPECT_EQ(BackgroundOf(early), 0xFF112233u);
}

TEST_F(StyleLookup, SettingTheResourcesRedressesOnlyControlsWhoseLookChanges) {
  auto* named = new TvxBitmapButton();
  named->SetResource("Counted");
  named->SetParent(root);
  auto* plain = new TvxHudCheckBox();  // "checkboxstyle": not in the counting table
  plain->SetParent(root);
  TvxObject* checkPart = plain->StylePart("box");
  ASSERT_NE(checkPart, nullptr);
  const auto checkToken = checkPart->LifeToken();
  EXPECT_EQ(looks.dressed, 0);
  scene->SetResources(&looks.table);
  EXPECT_EQ(looks.dressed, 1);
  EXPECT_EQ(BackgroundOf(named), 0xFF112233u);
  EXPECT_TRUE(IsAlive(checkToken)) << "same look: its parts stay";
}

TEST_F(StyleLookup, ATrackBarsThumbTakesTheStyleTheTrackNames) {
  auto* bar = new TvxTrackBar();
  bar->SetResource("testTrack");
  bar->SetBounds(0, 0, 100, 14);
  EXPECT_TRUE(bar->StylePending());
  bar->SetParent(root);
  ASSERT_NE(bar->Thumb(), nullptr);
  EXPECT_EQ(bar->Thumb()->Fill().Color(), 0xFFF4BB40u);
  bar->Thumb()->SetIsMouseOver(true);
  Ticks(4);
  EXPECT_EQ(bar->Thumb()->Fill().Color(), 0xFFF9DDA2u);
  auto* plain = new TvxTrackBar();
  plain->SetParent(root);
  ASSERT_NE(plain->Thumb(), nullptr);
  EXPECT_EQ(plain->Thumb()->Fill().Color(), 0xFFD0D0D0u) << "the generic thumb";
}
