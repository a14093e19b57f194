// The main window's component tree in one table: one row per component, parents before their
// children, in child order. The kind of a component is the type of its field in TForm.
#include <optional>
#include <type_traits>
#include <utility>

#include "window/Form.h"
#include "window/unitMain.h"

namespace {

struct TPlace {
  float X = 0, Y = 0, W = 0, H = 0;
  TvxAlign Align = vaNone;
};

// Settings beyond placement; zero or empty values leave the kind's default.
struct TLook {
  const char* Fill = nullptr;  // colour text
  bool NoHitTest = false;
  bool Clip = false;
  float Glyph = 0;  // glyph size of a bitmap button
  TvxButtonLayout GlyphLayout = vgGlyphTop;
  float FontSize = 0;
  std::optional<TvxTextAlign> HAlign;
  bool OneLine = false;
  int Tag = 0;
  float Max = 0, Value = 0;
  bool Vertical = false;
  float ItemHeight = 0;
  bool HoverTracking = false;
  bool SmallScrollBars = false;
  int ModalResult = mrNone;
  const char* PlacedAgainst = nullptr;  // popups
  float VerticalOffset = 0;
};

// A declared animation.
struct TAnim {
  const char* Property = "";
  float From = 0, To = 0, Duration = 0.2f;
  bool Loop = false;
  bool Enabled = false;
  const char* Trigger = "";
};

template <class F>
struct TOn {
  F Method = nullptr;
  const char* Name = nullptr;
};
using TNotifyHandler = void (TunitMain::*)(TvxObject*);
using TMouseHandler = void (TunitMain::*)(TvxObject*, TvxMouseButton, unsigned, float, float);
using TMoveHandler = void (TunitMain::*)(TvxObject*, unsigned, float, float, float, float);
using TKeyHandler = void (TunitMain::*)(TvxObject*, int&, QString&, unsigned);

struct THooks {
  TOn<TNotifyHandler> Click;
  TOn<TMouseHandler> MouseUp;
  TOn<TMoveHandler> MouseMove;
  TOn<TKeyHandler> KeyUp;
  TOn<TNotifyHandler> MouseLeave;
  TOn<TNotifyHandler> Change;  // track bar
  TOn<TNotifyHandler> Finish;  // animation
  TOn<TNotifyHandler> Commit;  // text box: input-method text committed
};

struct TRow {
  const char* Name;
  TvxObject* (*Make)(TForm&);
  const char* Parent;
  TPlace At{};
  bool Hidden = false;
  const char* Text = nullptr;
  const char* Hint = nullptr;
  const char* Style = nullptr;
  int Cursor = crDefault;
  TLook Look{};
  TAnim Anim{};
  THooks On{};
};

// Creates the component of the field's type and stores it in the field.
template <auto Field>
TvxObject* Make(TForm& form) {
  using T = std::remove_pointer_t<std::remove_cvref_t<decltype(form.*Field)>>;
  auto* object = new T();
  form.*Field = object;
  return object;
}

#define N(field) .Name = #field, .Make = &Make<&TForm::field>
#define ON(handler) \
  { &TunitMain::handler, #handler }

constexpr const char* kClear = "#00000000";
constexpr const char* kWhite = "#FFFFFFFF";

// Rows name only what differs from the defaults; every other member keeps its default.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// clang-format off
const TRow kForm[] = {
  {N(Root1), .Parent = "mainBs"},
  {N(GuiMain), .Parent = "Root1", .At = {275, 165, 520, 315}},
  {N(Root2), .Parent = "GuiMain", .At = {0, 0, 520, 315}},

  // Main face.
  {N(RectangleRoot), .Parent = "Root2", .At = {0, 0, 520, 315, vaTop},
   .Look = {.NoHitTest = true, .Clip = true}},
  // List view.
  {N(RectangleList), .Parent = "RectangleRoot", .At = {0, 44.5f, 520, 273},
   .Look = {.Fill = kClear, .Clip = true}},
  {N(musicListBox), .Parent = "RectangleList", .At = {0, 0, 520, 273, vaClient},
   .Style = "musicListBoxStyle1", .Cursor = crHandPoint,
   .Look = {.HoverTracking = true, .SmallScrollBars = true},
   .On = {.MouseUp = ON(musicListBoxMouseUp), .MouseMove = ON(musicListBoxMouseMove)}},
  {N(imgTip), .Parent = "RectangleRoot", .At = {122, 0, 405, 264}, .Hidden = true,
   .Cursor = crHandPoint, .On = {.Click = ON(btnAddClick)}},
  // The top bar lies above the list and the invitation, so its buttons keep their clicks.
  {N(RectangleTop), .Parent = "RectangleRoot", .At = {0, 0, 520, 44.5f, vaTop},
   .Look = {.Fill = kClear, .NoHitTest = true}},
  {N(LayoutTopleft), .Parent = "RectangleTop", .At = {0, 0, 77, 44.5f, vaLeft}},
  {N(btnReturn), .Parent = "LayoutTopleft", .At = {3, 0, 52, 40}, .Hidden = true,
   .Hint = "返回列表界面", .Style = "btnStyleEffect", .Look = {.Glyph = 36},
   .On = {.Click = ON(btnReturnClick)}},
  {N(LayoutTopcenterList), .Parent = "RectangleTop", .At = {77, 0, 336, 44.5f, vaClient}},
  {N(btnClearlist), .Parent = "LayoutTopcenterList", .At = {76, 7.5f, 107, 32.5f},
   .Text = "清空列表", .Style = "btnStyleWhite", .On = {.Click = ON(btnClearlistClick)}},
  {N(btnSearch), .Parent = "LayoutTopcenterList", .At = {183, 7.5f, 107, 32.5f},
   .Text = "云歌库", .Style = "btnStyleWhite", .On = {.Click = ON(btnSearchClick)}},
  {N(LayoutTopcenterSearch), .Parent = "RectangleTop", .At = {77, 0, 336, 44.5f, vaClient},
   .Hidden = true},
  {N(textSearch), .Parent = "LayoutTopcenterSearch", .At = {10, 7, 210, 27.5f},
   .Text = "输入搜索歌曲名", .Style = "HudTextBox1Style1",
   .On = {.MouseUp = ON(textSearchMouseUp), .KeyUp = ON(textSearchKeyUp)}},
  {N(btnOL), .Parent = "LayoutTopcenterSearch", .At = {230, 5, 59, 32.5f}, .Text = "搜索",
   .Style = "btnStyleWhite", .On = {.Click = ON(btnOLClick)}},
  {N(LayoutTopright), .Parent = "RectangleTop", .At = {413, 0, 107, 44.5f, vaRight}},
  {N(btnSuggest), .Parent = "LayoutTopright", .At = {7, 0, 20, 20}, .Hint = "意见反馈",
   .Style = "btnStyleBlack", .On = {.Click = ON(btnSuggestClick)}},
  {N(btnLocalSearch), .Parent = "LayoutTopright", .At = {27, 0, 20, 20}, .Hint = "本地歌曲搜索",
   .Style = "btnStyleBlack", .On = {.Click = ON(btnLocalSearchClick)}},
  {N(btnSet), .Parent = "LayoutTopright", .At = {47, 0, 20, 20}, .Hint = "设置",
   .Style = "btnStyleBlack", .On = {.Click = ON(btnSetClick)}},
  {N(btnAdd), .Parent = "LayoutTopright", .At = {67, 0, 20, 20}, .Hint = "添加歌曲",
   .Style = "btnStyleBlack", .Look = {.Glyph = 8}, .On = {.Click = ON(btnAddClick)}},
  {N(btnClose), .Parent = "LayoutTopright", .At = {87, 0, 20, 20}, .Hint = "最小化至托盘",
   .Style = "btnStyleBlack", .On = {.Click = ON(btnCloseClick)}},
  {N(hudtextSearch), .Parent = "LayoutTopright", .At = {107, 22.5f, 107, 22},
   .Text = "输入本地歌曲信息", .Style = "HudTextBox1Style1", .Look = {.FontSize = 12, .Tag = 8},
   .On = {.MouseUp = ON(hudtextSearchMouseUp),
          .KeyUp = ON(hudtextSearchKeyUp),
          .Commit = ON(hudtextSearchInputMethodCommit)}},
  {N(RectangleSearch), .Parent = "LayoutTopright", .At = {-143, 44.5f, 250, 100},
   .Hidden = true, .Look = {.Fill = "#FF9D9D9D"}},
  {N(StringListBoxSearch), .Parent = "RectangleSearch", .At = {0, 0, 250, 100, vaClient},
   .Style = "musicListBoxStyle1", .Look = {.NoHitTest = true, .ItemHeight = 19},
   .On = {.MouseUp = ON(StringListBoxSearchMouseUp),
          .MouseLeave = ON(StringListBoxSearchMouseLeave)}},

  // Now-playing view. The disc lies behind the artist picture and slides out beside it.
  {N(RectanglePlay), .Parent = "RectangleRoot", .At = {0, 44.5f, 520, 273}, .Hidden = true,
   .Look = {.Fill = kClear}},
  {N(imageDisc), .Parent = "RectanglePlay", .At = {42, 67, 106, 106}, .Hidden = true},
  {N(FloatAnimation2), .Parent = "imageDisc",
   .Anim = {.Property = "RotateAngle", .To = 360, .Duration = 2, .Loop = true, .Enabled = true}},
  {N(imageArtist), .Parent = "RectanglePlay", .At = {65, 66, 120, 108}, .Cursor = crHandPoint,
   .On = {.Click = ON(imageArtistClick)}},
  {N(vxtxtSinger), .Parent = "RectanglePlay", .At = {187, 73, 266, 46},
   .Look = {.Fill = kWhite, .FontSize = 23, .HAlign = vgTextAlignNear, .OneLine = true}},
  {N(vxtxtSongName), .Parent = "RectanglePlay", .At = {187, 124.5f, 259, 49.5f},
   .Look = {.Fill = kWhite, .FontSize = 20, .HAlign = vgTextAlignNear, .OneLine = true}},
  {N(vxtxtTotalTime), .Parent = "RectanglePlay", .At = {132, 237, 49, 20.5f}, .Text = "00:00",
   .Look = {.Fill = kWhite, .FontSize = 12, .OneLine = true}},
  {N(musicProgress), .Parent = "RectanglePlay", .At = {143, 223, 178, 14},
   .Style = "musicProgressStyle1", .Cursor = crHandPoint, .Look = {.Max = 100},
   .On = {.MouseUp = ON(musicProgressMouseUp)}},
  {N(vxtxtCurTime), .Parent = "RectanglePlay", .At = {283, 237, 49, 20.5f}, .Text = "00:00",
   .Look = {.Fill = kWhite, .FontSize = 12, .OneLine = true}},
  {N(btnCircle), .Parent = "RectanglePlay", .At = {338, 227.5f, 32, 32}, .Hint = "循环模式",
   .Style = "btnStyleEffect"},
  {N(FloatAnimation1), .Parent = "btnCircle", .Anim = {.Trigger = "IsMouseOver=true"},
   .On = {.Finish = ON(FloatAnimation1Finish)}},
  {N(RectangleCircle), .Parent = "RectanglePlay", .At = {341, 155, 26, 98}, .Hidden = true,
   .Look = {.Fill = kClear}},
  {N(btnOrder), .Parent = "RectangleCircle", .At = {-2, -3, 32, 32}, .Hint = "顺序播放",
   .Style = "btnStyleEffect", .On = {.Click = ON(btnOrderClick)}},
  {N(btnRandom), .Parent = "RectangleCircle", .At = {-2, 22, 32, 32}, .Hint = "随机播放",
   .Style = "btnStyleEffect", .On = {.Click = ON(btnRandomClick)}},
  {N(btnSingle), .Parent = "RectangleCircle", .At = {-2, 47, 32, 32}, .Hint = "单曲循环",
   .Style = "btnStyleEffect", .On = {.Click = ON(btnSingleClick)}},
  {N(btnPlay), .Parent = "RectanglePlay", .At = {373, 207.5f, 50, 50}, .Hint = "播放/暂停",
   .Style = "btnStyleEffect", .Look = {.Glyph = 48}, .On = {.Click = ON(btnPlayClick)}},
  {N(btnNext), .Parent = "RectanglePlay", .At = {425, 225.5f, 32, 32}, .Hint = "下一首",
   .Style = "btnStyleEffect", .On = {.Click = ON(btnNextClick)}},
  {N(bRectangleSound), .Parent = "RectanglePlay", .At = {465, 164, 23, 93.5f},
   .Look = {.Fill = kClear}},
  {N(soundTrackBar), .Parent = "bRectangleSound", .At = {6, 3, 10, 71.5f},
   .Style = "musicTrack_vs", .Look = {.Max = 100, .Value = 100, .Vertical = true},
   .On = {.Change = ON(soundTrackBarChange)}},
  {N(btnSound), .Parent = "bRectangleSound", .At = {1, 73.5f, 20, 20}, .Hint = "静音",
   .Style = "btnStyleEffect", .On = {.Click = ON(btnSoundClick)}},
  {N(btnSoundFloatAnimation), .Parent = "btnSound",
   .Anim = {.Property = "Opacity", .From = 1, .To = 1, .Duration = 0.1f,
            .Trigger = "IsMouseOver=true"},
   .On = {.Finish = ON(btnSoundFloatAnimationFinish)}},
  {N(TbFloatAnimation), .Parent = "RectanglePlay",
   .Anim = {.Duration = 0.01f, .Trigger = "IsMouseOver=true"},
   .On = {.Finish = ON(TbFloatAnimationFinish)}},

  // Online view.
  {N(RectangleOL), .Parent = "RectangleRoot", .At = {0, 44.5f, 520, 270.5f, vaClient},
   .Hidden = true, .Look = {.Fill = kClear}},
  {N(btnOLper), .Parent = "RectangleOL", .At = {0, 0, 55, 270.5f, vaLeft},
   .Style = "btnStyleWhite", .Look = {.Glyph = 32, .GlyphLayout = vgGlyphCenter},
   .On = {.Click = ON(btnOLperClick)}},
  {N(OLListBox), .Parent = "RectangleOL", .At = {55, 0, 410, 270.5f, vaClient},
   .Style = "musicListBoxStyle1", .Look = {.HoverTracking = true},
   .On = {.MouseUp = ON(OLListBoxMouseUp), .MouseMove = ON(OLListBoxMouseMove)}},
  {N(btnOLnext), .Parent = "RectangleOL", .At = {465, 0, 55, 270.5f, vaRight},
   .Style = "btnStyleWhite", .Look = {.Glyph = 32, .GlyphLayout = vgGlyphCenter},
   .On = {.Click = ON(btnOLnextClick)}},
  {N(DBImageWait), .Parent = "RectangleOL", .At = {232, 107, 56, 56}, .Hidden = true},
  {N(showloading), .Parent = "RectangleOL", .At = {210, 85, 100, 100}, .Hidden = true},
  {N(Image3), .Parent = "showloading", .At = {0, 0, 100, 100, vaClient}},

  // Popups: closed until opened, sliding down below the top bar.
  {N(MsgPop), .Parent = "RectangleRoot", .At = {0, 52.5f, 520, 210}, .Hidden = true,
   .Style = "MsgPopStyle1", .Look = {.PlacedAgainst = "RectangleTop", .VerticalOffset = 8}},
  {N(labelDel), .Parent = "MsgPop", .At = {188, 34, 270, 75.5f},
   .Look = {.FontSize = 18, .HAlign = vgTextAlignCenter}},
  {N(Image1), .Parent = "MsgPop", .At = {48, 34, 100, 100}},
  {N(msgBtnOk), .Parent = "MsgPop", .At = {334, 153.5f, 62, 24.5f}, .Text = "确定",
   .Style = "msgButtonStyle", .Look = {.ModalResult = mrYes}},
  {N(msgBtnNo), .Parent = "MsgPop", .At = {406, 153.5f, 62, 24.5f}, .Text = "取消",
   .Style = "msgButtonStyle", .Look = {.ModalResult = mrNo}},
  {N(suggestPop), .Parent = "RectangleRoot", .At = {0, 44.5f, 520, 210}, .Hidden = true,
   .Style = "MsgPopStyle1", .Look = {.PlacedAgainst = "RectangleTop"}},
  {N(HudTextBoxSuggest), .Parent = "suggestPop", .At = {141, 27, 230, 30.5f}, .Text = "建议"},
  {N(HudTextBoxMail), .Parent = "suggestPop", .At = {141, 70, 230, 29.5f}, .Text = "邮箱"},
  {N(btnSOK), .Parent = "suggestPop", .At = {125, 118, 75, 29.5f}, .Text = "确定",
   .Look = {.ModalResult = mrYes}},
  {N(btnSCancer), .Parent = "suggestPop", .At = {305, 118, 75, 29.5f}, .Text = "取消",
   .Look = {.ModalResult = mrNo}},
  {N(vxhdlblHudLabel2), .Parent = "suggestPop", .At = {101, 158, 310, 28.5f},
   .Text = "适当吐槽 轻喷即可 欢迎骚扰"},

  // Settings face, on the back of the flip.
  {N(RectangleSet), .Parent = "Root2", .At = {53, 30, 414, 256}, .Hidden = true,
   .Look = {.NoHitTest = true}},
  {N(checkAutoStart), .Parent = "RectangleSet", .At = {52, 21, 136, 31.5f},
   .Text = "设置开机启动", .Style = "checkAutoStartStyle1",
   .On = {.Click = ON(checkAutoStartClick)}},
  {N(HudLabel1), .Parent = "RectangleSet", .At = {54, 74, 120, 40}, .Text = "设置播放器背景"},
  {N(DBImage1), .Parent = "RectangleSet", .At = {200, 74, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage1Click)}},
  {N(DBImage2), .Parent = "RectangleSet", .At = {255, 74, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage2Click)}},
  {N(DBImage3), .Parent = "RectangleSet", .At = {310, 74, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage3Click)}},
  {N(DBImage4), .Parent = "RectangleSet", .At = {365, 74, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage4Click)}},
  {N(DBImage5), .Parent = "RectangleSet", .At = {200, 131, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage5Click)}},
  {N(DBImage6), .Parent = "RectangleSet", .At = {255, 131, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage6Click)}},
  {N(DBImage7), .Parent = "RectangleSet", .At = {310, 131, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage7Click)}},
  {N(DBImage8), .Parent = "RectangleSet", .At = {365, 131, 40, 40}, .Cursor = crHandPoint,
   .On = {.Click = ON(DBImage8Click)}},
  {N(btnOK), .Parent = "RectangleSet", .At = {327, 196, 62, 26.5f}, .Text = "完成",
   .Style = "btnStyleWhite", .On = {.Click = ON(btnOKClick)}},
};
// clang-format on
#pragma GCC diagnostic pop

#undef N
#undef ON

void Place(TvxObject* object, const TRow& row) {
  if (auto* d = dynamic_cast<TdxObject*>(object)) {
    d->Position().SetPoint(row.At.X, row.At.Y);
    if (row.At.W > 0) d->Width = row.At.W;
    if (row.At.H > 0) d->Height = row.At.H;
    return;
  }
  TvxVisualObject* v = object->AsVisual();
  if (!v) return;
  v->SetBounds(row.At.X, row.At.Y, row.At.W, row.At.H);
  v->SetAlign(row.At.Align);
  v->SetVisible(!row.Hidden);
}

void SetText(TvxObject* object, const QString& text) {
  if (auto* b = dynamic_cast<TvxButtonBase*>(object)) b->SetText(text);
  if (auto* t = dynamic_cast<TvxText*>(object)) t->SetText(text);
  if (auto* e = dynamic_cast<TvxHudTextBox*>(object)) e->SetText(text);
  if (auto* l = dynamic_cast<TvxHudLabel*>(object)) l->SetText(text);
  if (auto* c = dynamic_cast<TvxHudCheckBox*>(object)) c->SetText(text);
}

void ApplyLook(TForm& form, TvxObject* object, const TRow& row) {
  const TLook& look = row.Look;
  object->Tag = look.Tag;
  if (auto* a = dynamic_cast<TvxFloatAnimation*>(object)) {
    a->SetPropertyName(QString::fromUtf8(row.Anim.Property));
    a->SetStartValue(row.Anim.From);
    a->SetStopValue(row.Anim.To);
    a->SetDuration(row.Anim.Duration);
    a->SetLoop(row.Anim.Loop);
    a->SetTrigger(QString::fromUtf8(row.Anim.Trigger));
    // Enabled at design: started when the scene is loaded.
    if (row.Anim.Enabled) a->SetEnabled(true);
    return;
  }
  TvxVisualObject* v = object->AsVisual();
  if (!v) return;
  if (auto* c = dynamic_cast<TvxControl*>(object); c && row.Style)
    c->SetResource(QString::fromUtf8(row.Style));
  if (dynamic_cast<TvxRectangle*>(object)) v->Stroke().SetKind(vgBrushNone);
  if (look.Fill) v->Fill().SetColorText(QString::fromUtf8(look.Fill));
  if (look.NoHitTest) v->SetHitTest(false);
  if (look.Clip) v->SetClipChildren(true);
  v->Cursor = row.Cursor;
  if (row.Hint) {
    v->Hint = QString::fromUtf8(row.Hint);
    v->ShowHint = true;
  }
  if (auto* b = dynamic_cast<TvxBitmapButton*>(object)) {
    if (look.Glyph > 0) b->BitmapSize = look.Glyph;
    b->SetBitmapLayout(look.GlyphLayout);
  }
  if (auto* b = dynamic_cast<TvxButtonBase*>(object)) b->ModalResult = look.ModalResult;
  if (auto* t = dynamic_cast<TvxText*>(object)) {
    if (look.FontSize > 0) t->Font.Size = look.FontSize;
    if (look.HAlign) t->HorzTextAlign = *look.HAlign;
    t->WordWrap = !look.OneLine;
  }
  if (auto* e = dynamic_cast<TvxHudTextBox*>(object); e && look.FontSize > 0)
    e->Font.Size = look.FontSize;
  if (auto* l = dynamic_cast<TvxHudLabel*>(object)) {
    if (look.FontSize > 0) l->Font.Size = look.FontSize;
    if (look.HAlign) l->HorzTextAlign = *look.HAlign;
  }
  if (auto* p = dynamic_cast<TvxProgressBar*>(object)) p->SetMax(look.Max);
  if (auto* t = dynamic_cast<TvxTrackBar*>(object)) {
    t->Vertical = look.Vertical;
    t->SetMax(look.Max);
    t->SetValue(look.Value);
    t->Tracking = true;
  }
  if (auto* l = dynamic_cast<TvxListBox*>(object)) {
    if (look.ItemHeight > 0) l->ItemHeight = look.ItemHeight;
    l->MouseTracking = look.HoverTracking;
    if (look.SmallScrollBars) l->SmallScrollBars = true;
  }
  if (auto* p = dynamic_cast<TvxMessagePopup*>(object)) {
    if (look.PlacedAgainst)
      p->PlacementTarget = form.Component(QString::fromUtf8(look.PlacedAgainst))->AsVisual();
    p->VerticalOffset = look.VerticalOffset;
  }
  if (row.Text) SetText(object, QString::fromUtf8(row.Text));
}

// A handler of the window behind a guard: exceptions that escape it are dropped.
template <class... A>
auto Bound(TunitMain& window, TOn<void (TunitMain::*)(TvxObject*, A...)> on) {
  TunitMain* self = &window;
  return [self, on](TvxObject* sender, A... args) {
    self->Guarded(on.Name, [&] { (self->*on.Method)(sender, args...); });
  };
}

}  // namespace

struct TFormBuilder {
  static void Build(TForm& form) {
    form.FComponents[QStringLiteral("mainBs")] = form.mainBs;
    for (const TRow& row : kForm) {
      TvxObject* parent = form.Component(QString::fromUtf8(row.Parent));
      TvxObject* object = row.Make(form);
      object->Name = QString::fromUtf8(row.Name);
      form.FComponents[object->Name] = object;
      Place(object, row);
      object->SetParent(parent);
      ApplyLook(form, object, row);
    }
  }
};

void BuildFormTree(TForm& form) {
  TFormBuilder::Build(form);
}

void BindFormHandlers(TunitMain& window) {
  for (const TRow& row : kForm) {
    TvxObject* object = window.Component(QString::fromUtf8(row.Name));
    const THooks& on = row.On;
    if (TvxVisualObject* v = object->AsVisual()) {
      if (on.Click.Method) v->OnClick = Bound(window, on.Click);
      if (on.MouseUp.Method) v->OnMouseUp = Bound(window, on.MouseUp);
      if (on.MouseMove.Method) v->OnMouseMove = Bound(window, on.MouseMove);
      if (on.KeyUp.Method) v->OnKeyUp = Bound(window, on.KeyUp);
      if (on.MouseLeave.Method) v->OnMouseLeave = Bound(window, on.MouseLeave);
    }
    if (auto* t = dynamic_cast<TvxTrackBar*>(object); t && on.Change.Method)
      t->OnChange = Bound(window, on.Change);
    if (TvxAnimation* a = object->AsAnimation(); a && on.Finish.Method)
      a->OnFinish = Bound(window, on.Finish);
    if (auto* t = dynamic_cast<TvxHudTextBox*>(object); t && on.Commit.Method)
      t->OnInputMethodCommit = Bound(window, on.Commit);
  }
}
