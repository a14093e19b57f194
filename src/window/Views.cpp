// The four views of the window and the animated ways between them.
#include <QDesktopServices>
#include <QUrl>

#include "online/Hosts.h"
#include "window/Pictures.h"
#include "window/unitMain.h"

namespace {

std::function<bool(const QString&)>& UrlOpener() {
  static std::function<bool(const QString&)> opener;
  return opener;
}

}  // namespace

void TunitMain::SetUrlOpener(std::function<bool(const QString&)> opener) {
  UrlOpener() = std::move(opener);
}

void TunitMain::FadeOut(TvxVisualObject* view, TvxAnimationType type) {
  view->AnimateFloatWait(QStringLiteral("Opacity"), 0, 0.2f, type, vgInterpolationLinear);
  view->SetVisible(false);
}

void TunitMain::FadeIn(TvxVisualObject* view) {
  view->SetVisible(true);
  view->AnimateFloatWait(QStringLiteral("Opacity"), 1, 0.2f, vgAnimationIn, vgInterpolationLinear);
}

void TunitMain::ShowPlayView(TFromView from) {
  TvxRectangle* outgoing = from == fvList ? RectangleList : RectangleOL;
  (from == fvList ? LayoutTopcenterList : LayoutTopcenterSearch)->SetVisible(false);
  RectanglePlay->Position().SetX(0);
  RectanglePlay->SetOpacity(0);
  FadeOut(outgoing, vgAnimationIn);
  FadeIn(RectanglePlay);
  RectanglePlay->SetEnabled(true);
  if (from == fvList) {
    btnReturn->SetVisible(true);
    btnReturn->AnimateFloat(QStringLiteral("Opacity"), 1, 0.2f, vgAnimationIn,
                            vgInterpolationLinear);
  }
}

void TunitMain::ShowDisc() {
  imageArtist->AnimateFloatWait(QStringLiteral("Position.X"), 35, 0.3f, vgAnimationIn,
                                vgInterpolationLinear);
  imageDisc->SetVisible(true);
  imageDisc->AnimateFloatWait(QStringLiteral("Position.X"), 80, 0.4f, vgAnimationIn,
                              vgInterpolationQuintic);
  if (FEngine && FEngine->EngineState() == psPlaying) FloatAnimation2->Start();
}

// The way back waits the disc's full time even when the disc or its view is hidden (an
// animation of a hidden object would return at once): the wait then runs on the scene's root.
static void SlideOrWait(TvxVisualObject* v, TvxObject* root, float x, float duration,
                        TvxInterpolationType interpolation) {
  if (v->IsVisibleInTree())
    v->AnimateFloatWait(QStringLiteral("Position.X"), x, duration, vgAnimationIn, interpolation);
  else
    root->AnimateFloatWait(QStringLiteral("Wait"), 0, duration, vgAnimationIn, interpolation);
}

void TunitMain::HideDisc() {
  SlideOrWait(imageDisc, Root1, 42, 0.4f, vgInterpolationQuintic);
  imageDisc->SetVisible(false);
  SlideOrWait(imageArtist, Root1, 65, 0.3f, vgInterpolationLinear);
}

void TunitMain::btnSearchClick(TvxObject*) {
  ReportClick("btnSearch");
  imgTip->SetVisible(false);
  RectangleOL->Position().SetX(0);
  RectangleOL->SetOpacity(0);
  FadeOut(RectangleList, vgAnimationIn);
  FadeIn(RectangleOL);
  RectangleOL->SetEnabled(true);
  btnReturn->SetVisible(true);
  btnReturn->AnimateFloat(QStringLiteral("Opacity"), 1, 0.2f, vgAnimationIn, vgInterpolationLinear);
  LayoutTopcenterList->SetVisible(false);
  LayoutTopcenterSearch->SetVisible(true);
}

void TunitMain::btnReturnClick(TvxObject*) {
  ReportClick("btnReturn");
  HideDisc();
  RectangleList->Position().SetX(520);
  RectangleList->SetOpacity(1);
  RectangleList->SetVisible(true);
  FadeOut(btnReturn, vgAnimationIn);
  if (RectanglePlay->Visible()) {
    RectanglePlay->SetEnabled(false);
    FadeOut(RectanglePlay, vgAnimationOut);
  } else if (RectangleOL->Visible()) {
    LayoutTopcenterSearch->SetVisible(false);
    RectangleOL->SetEnabled(false);
    FadeOut(RectangleOL, vgAnimationOut);
    if (musicListBox->Count() == 0) imgTip->SetVisible(true);
  }
  RectangleList->AnimateFloat(QStringLiteral("Position.X"), 0, 0.5f, vgAnimationOut,
                              vgInterpolationBack);
  LayoutTopcenterList->SetVisible(true);
}

// Turns the layer about its vertical axis: away and edge-on, swap the faces, back from the
// other side. The layer ends at 360 degrees; the next flip starts from there.
void TunitMain::Flip(TvxBitmapButton* own, bool toSettings) {
  own->SetEnabled(false);
  GuiMain->AnimateFloat(QStringLiteral("Position.Z"), 300, 0.3f, vgAnimationIn,
                        vgInterpolationLinear);
  GuiMain->AnimateFloatWait(QStringLiteral("RotateAngle.Y"), 90, 0.3f, vgAnimationIn,
                            vgInterpolationLinear);
  RectangleSet->SetVisible(toSettings);
  RectangleRoot->SetVisible(!toSettings);
  GuiMain->RotateAngle().SetY(270);
  GuiMain->AnimateFloat(QStringLiteral("Position.Z"), 0, 0.3f, vgAnimationIn,
                        vgInterpolationLinear);
  GuiMain->AnimateFloat(QStringLiteral("RotateAngle.Y"), 360, 0.3f, vgAnimationIn,
                        vgInterpolationLinear);
  own->SetEnabled(true);
}

void TunitMain::btnSetClick(TvxObject*) {
  ReportClick("btnSet");
  Flip(btnSet, true);
}

void TunitMain::btnOKClick(TvxObject*) {
  Flip(btnOK, false);
}

void TunitMain::btnLocalSearchClick(TvxObject*) {
  ReportClick("btnLocalSearch");
  const float to = hudtextSearch->Position().X() == 107 ? 0 : 107;
  hudtextSearch->AnimateFloat(QStringLiteral("Position.X"), to, 0.5f, vgAnimationInOut,
                              vgInterpolationQuadratic);
}

void TunitMain::SetBackground(int n) {
  if (!DBImage(n)) return;
  // The clicked image holds a thumbnail; the faces get the picture at full size.
  const QImage picture = Pictures::Picture(Pictures::Background(n), QSize(), devicePixelRatioF());
  TvxBrush& root = RectangleRoot->Fill();
  root.Bitmap().Assign(picture);
  root.SetKind(vgBrushBitmap);
  root.SetWrapMode(vgWrapStretch);
  TvxBrush& set = RectangleSet->Fill();
  set.Bitmap().Assign(picture);
  set.SetKind(vgBrushBitmap);
  set.SetWrapMode(vgWrapTile);
  RectangleRoot->Repaint();
  RectangleSet->Repaint();
}

void TunitMain::BackgroundClick(int n) {
  ReportClick("backImage");
  SetBackground(n);
  if (CurConfig) CurConfig->skin_name = std::to_string(n);
  btnOKClick(btnOK);
}

void TunitMain::DBImage1Click(TvxObject*) {
  BackgroundClick(1);
}
void TunitMain::DBImage2Click(TvxObject*) {
  BackgroundClick(2);
}
void TunitMain::DBImage3Click(TvxObject*) {
  BackgroundClick(3);
}
void TunitMain::DBImage4Click(TvxObject*) {
  BackgroundClick(4);
}
void TunitMain::DBImage5Click(TvxObject*) {
  BackgroundClick(5);
}
void TunitMain::DBImage6Click(TvxObject*) {
  BackgroundClick(6);
}
void TunitMain::DBImage7Click(TvxObject*) {
  BackgroundClick(7);
}
void TunitMain::DBImage8Click(TvxObject*) {
  BackgroundClick(8);
}

void TunitMain::imageArtistClick(TvxObject*) {
  ReportClick("imageArtist");
  const QString url = QString::fromStdString(online::ProductSiteUrl());
  if (UrlOpener())
    UrlOpener()(url);
  else
    QDesktopServices::openUrl(QUrl(url));
}

void TunitMain::btnSoundFloatAnimationFinish(TvxObject*) {
  bRectangleSound->AnimateColor(QStringLiteral("Fill.Color"), QStringLiteral("#64000000"), 0.2f,
                                vgAnimationIn, vgInterpolationLinear);
  soundTrackBar->SetVisible(true);
}

void TunitMain::FloatAnimation1Finish(TvxObject*) {
  RectangleCircle->SetVisible(true);
  RectangleCircle->AnimateColor(QStringLiteral("fill.color"), QStringLiteral("#64000000"), 0.2f,
                                vgAnimationIn, vgInterpolationLinear);
}

void TunitMain::TbFloatAnimationFinish(TvxObject*) {
  bRectangleSound->AnimateColor(QStringLiteral("Fill.Color"), QStringLiteral("#00000000"), 0.2f,
                                vgAnimationIn, vgInterpolationLinear);
  soundTrackBar->SetVisible(false);
  RectangleCircle->SetVisible(false);
}
