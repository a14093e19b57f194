// The styles of the player's resources: each adds locked parts with their trigger animations.
#include <QPainter>
#include <QPainterPath>

#include "scene/Controls.h"

namespace {

template <typename T>
T* AddPart(TvxControl* c, const QString& binding) {
  auto* part = new T();
  part->Locked = true;
  part->SetHitTest(false);
  part->BindingName = binding;
  int index = 0;
  while (index < c->ChildrenCount() && c->Child(index)->Locked) ++index;
  c->InsertObject(index, part);
  return part;
}

TvxRectangle* AddBackground(TvxControl* c, TAlphaColor color, float radius) {
  auto* r = AddPart<TvxRectangle>(c, QStringLiteral("background"));
  r->SetAlign(vaClient);
  r->Fill().SetColor(color);
  r->Stroke().SetKind(vgBrushNone);
  r->XRadius = r->YRadius = radius;
  return r;
}

template <class TAnimation, class TValue>
TAnimation* AddTriggered(TvxObject* part, const QString& property, TValue from, TValue to,
                         float duration, const QString& trigger, const QString& inverse) {
  auto* a = new TAnimation();
  a->SetPropertyName(property);
  a->SetStartValue(from);
  a->SetStopValue(to);
  a->SetDuration(duration);
  a->SetTrigger(trigger);
  a->SetTriggerInverse(inverse);
  a->SetParent(part);
  return a;
}

TvxFloatAnimation* AddHover(TvxObject* part, const QString& property, float from, float to,
                            float duration, const QString& trigger, const QString& inverse) {
  return AddTriggered<TvxFloatAnimation>(part, property, from, to, duration, trigger, inverse);
}

TvxColorAnimation* AddColorHover(TvxObject* part, const QString& property, TAlphaColor from,
                                 TAlphaColor to, float duration, const QString& trigger,
                                 const QString& inverse) {
  return AddTriggered<TvxColorAnimation>(part, property, from, to, duration, trigger, inverse);
}

void AddGlyphAndText(TvxControl* c, TAlphaColor textColor) {
  auto* image = AddPart<TvxImage>(c, QStringLiteral("image"));
  image->SetVisible(false);
  auto* text = AddPart<TvxText>(c, QStringLiteral("text"));
  text->Fill().SetColor(textColor);
  text->Font.Size = 13;
  text->WordWrap = false;
  text->SetVisible(false);
}

// Buttons whose background fades in on hover: "btnStyleWhite", "btnStyleBlack".
void FadingButton(TvxControl* c, TAlphaColor background, float hoverOpacity, TAlphaColor text) {
  TvxRectangle* bg = AddBackground(c, background, 2);
  bg->SetOpacity(0);
  AddHover(bg, QStringLiteral("Opacity"), 0, hoverOpacity, 0.2f,
           QStringLiteral("IsMouseOver=true;IsPressed=false"), QStringLiteral("IsMouseOver=false"));
  AddGlyphAndText(c, text);
}

void EffectButton(TvxControl* c) {
  auto* glow = AddPart<TvxEffect>(c, QStringLiteral("glow"));
  glow->GlowColor = 0xFFF69E2D;
  glow->Softness = 0.2f;
  glow->FollowGlyph = true;
  glow->SetOpacity(0);
  AddHover(glow, QStringLiteral("Opacity"), 0, 0.9f, 0.2f, QStringLiteral("IsMouseOver=true"),
           QStringLiteral("IsMouseOver=false"));
  AddGlyphAndText(c, 0xFFE0E0E0);
}

void ColourButton(TvxControl* c, TAlphaColor normal, TAlphaColor hover, TAlphaColor text) {
  TvxRectangle* bg = AddBackground(c, normal, 2);
  AddColorHover(bg, QStringLiteral("Fill.Color"), normal, hover, 0.2f,
                QStringLiteral("IsMouseOver=true"), QStringLiteral("IsMouseOver=false"));
  AddGlyphAndText(c, text);
}

void MusicList(TvxControl* c, TAlphaColor background, bool small) {
  auto* list = dynamic_cast<TvxListBox*>(c);
  c->Fill().SetColor(background);
  c->Stroke().SetKind(vgBrushNone);
  c->Margins().Set(2, 2, 2, 2);
  if (!list) return;
  list->SelectionColor = 0xC8F5CD7B;
  list->ScrollColor = 0x90E0E0E0;
  list->SmallScrollBars = small;
}

void MusicProgress(TvxControl* c) {
  auto* bar = dynamic_cast<TvxProgressBar*>(c);
  if (bar) {
    bar->TrackColor = 0xC8303030;
    bar->IndicatorColor = 0xFFF5CD76;
    bar->IndicatorInset = 2;
  }
  auto* band = AddPart<TvxRectangle>(c, QStringLiteral("band"));
  band->SetBounds(-50, 0, 40, c->Height());
  band->Stroke().SetKind(vgBrushNone);
  band->Fill().SetLinearGradient({{0, 0x00F1D384}, {0.5f, 0xB9F1D384}, {1, 0x00F1D384}},
                                 QPointF(0, 0.5), QPointF(1, 0.5));
  band->XRadius = band->YRadius = 9;
  auto* move = new TvxFloatAnimation();
  move->BindingName = QStringLiteral("bandmove");
  move->SetPropertyName(QStringLiteral("Position.x"));
  move->SetStartValue(-50);
  move->SetStopValue(800);
  move->SetDuration(4);
  move->SetLoop(true);
  move->SetParent(band);
}

void TextBoxLook(TvxControl* c, bool glow) {
  if (glow) {
    auto* g = AddPart<TvxEffect>(c, QStringLiteral("glow"));
    g->GlowColor = 0xFFE0E0E0;
    g->Softness = 0.2f;
    g->SetOpacity(0);
    AddHover(g, QStringLiteral("Opacity"), 0, 0.8f, 0.2f, QStringLiteral("IsFocused=true"),
             QStringLiteral("IsFocused=false"));
  }
  auto* border = AddPart<TvxRectangle>(c, QStringLiteral("border"));
  border->SetAlign(vaClient);
  border->Fill().SetKind(vgBrushNone);
  border->Stroke().SetColor(0x80FFFFFF);
  if (auto* box = dynamic_cast<TvxHudTextBox*>(c)) box->ContentInset = 3;
}

// A tick drawn in the check box.
class TvxCheckMark : public TvxVisualObject {
 public:
  void Paint(QPainter& p) override {
    QPainterPath path;
    const float w = Width(), h = Height();
    path.moveTo(w * 0.18, h * 0.52);
    path.lineTo(w * 0.42, h * 0.76);
    path.lineTo(w * 0.84, h * 0.24);
    p.setPen(QPen(QColor::fromRgba(Fill().Color()), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
};

void CheckBoxLook(TvxControl* c) {
  auto* box = AddPart<TvxRectangle>(c, QStringLiteral("box"));
  box->SetBounds(2, (c->Height() - 13) / 2, 13, 13);
  box->Fill().SetLinearGradient({{0, 0x82000000}, {1, 0x20FFFFFF}});
  box->Stroke().SetColor(0x80FFFFFF);
  box->XRadius = box->YRadius = 2;
  auto* hover = AddPart<TvxRectangle>(c, QStringLiteral("hover"));
  hover->SetBounds(2, (c->Height() - 13) / 2, 13, 13);
  hover->Fill().SetColor(0x42000000);
  hover->Stroke().SetKind(vgBrushNone);
  hover->SetOpacity(0);
  AddHover(hover, QStringLiteral("Opacity"), 0, 1, 0.1f, QStringLiteral("IsMouseOver=true"),
           QStringLiteral("IsMouseOver=false"));
  auto* mark = AddPart<TvxCheckMark>(c, QStringLiteral("checkmark"));
  mark->SetBounds(2, (c->Height() - 13) / 2, 13, 13);
  mark->Fill().SetColor(0xE0FFFFFF);
  mark->SetOpacity(0);
  AddHover(mark, QStringLiteral("Opacity"), 0, 1, 0.1f, QStringLiteral("IsChecked=true"),
           QStringLiteral("IsChecked=false"));
  auto* text = AddPart<TvxText>(c, QStringLiteral("text"));
  text->SetBounds(20, 0, c->Width() - 20, c->Height());
  text->Fill().SetColor(0xFFFFFFFF);
  text->HorzTextAlign = vgTextAlignNear;
  text->WordWrap = false;
  text->Font.Size = 13;
}

void PopupLook(TvxControl* c, TAlphaColor panel) {
  auto* shadow = AddPart<TvxEffect>(c, QStringLiteral("shadow"));
  shadow->Shadow = true;
  shadow->GlowColor = 0xFF000000;
  shadow->Distance = 1;
  shadow->Direction = 45;
  shadow->Softness = 0.8f;
  shadow->CornerRadius = 4;
  shadow->SetOpacity(0.5f);
  TvxRectangle* bg = AddBackground(c, panel, 4);
  bg->BindingName = QStringLiteral("panel");
}

}  // namespace

TvxResources::TvxResources() {
  Add("btnStyleWhite", [](TvxControl* c) { FadingButton(c, 0xFFD6D6D6, 0.4f, 0xFFE0E0E0); });
  Add("btnStyleBlack", [](TvxControl* c) { FadingButton(c, 0xFFF49090, 0.65f, 0xFFEFFA18); });
  Add("btnStyleEffect", EffectButton);
  Add("msgButtonStyle", [](TvxControl* c) { ColourButton(c, 0xFFD6D6D6, 0xFFF49090, 0xFF323232); });
  Add("buttonstyle", [](TvxControl* c) { ColourButton(c, 0xFFE6E6E6, 0xFFFFFFFF, 0xFF323232); });
  Add("musicListBoxStyle1", [](TvxControl* c) { MusicList(c, 0x00404040, true); });
  Add("listboxstyle", [](TvxControl* c) { MusicList(c, 0x40404040, false); });
  // Scroll bar looks of the list style: overlay thumbs in two sizes.
  for (const char* name : {"musicListBoxvscrollbar1", "musicListBoxhscrollbar1"})
    Add(name, [](TvxControl* c) { MusicList(c, 0x00404040, false); });
  for (const char* name : {"musicListBoxvsmallscrollbar1", "musicListBoxhsmallscrollbar1"})
    Add(name, [](TvxControl* c) { MusicList(c, 0x00404040, true); });
  Add("musicProgressStyle1", MusicProgress);
  Add("progressbarstyle", [](TvxControl*) {});
  Add("musicTrack_vs", [](TvxControl* c) {
    if (auto* t = dynamic_cast<TvxTrackBar*>(c)) t->TrackColor = 0x96E0E0E0;
  });
  Add("trackbarstyle", [](TvxControl*) {});
  Add("musicThumb_vs", [](TvxControl* c) {
    c->Fill().SetColor(0xFFF4BB40);
    AddColorHover(c, QStringLiteral("Fill.Color"), 0xFFF4BB40, 0xFFF9DDA2, 0.1f,
                  QStringLiteral("IsMouseOver=true"), QStringLiteral("IsMouseOver=false"));
  });
  Add("HudTextBox1Style1", [](TvxControl* c) { TextBoxLook(c, true); });
  Add("hudtextboxstyle", [](TvxControl* c) { TextBoxLook(c, false); });
  Add("MsgPopStyle1", [](TvxControl* c) { PopupLook(c, 0xC8969696); });
  Add("popupstyle", [](TvxControl* c) { PopupLook(c, 0xC8969696); });
  Add("checkAutoStartStyle1", CheckBoxLook);
  Add("checkboxstyle", CheckBoxLook);
}

TvxResources& TvxResources::Default() {
  static TvxResources* resources = new TvxResources();
  return *resources;
}

void TvxResources::Add(const QString& name, TStyleBuilder builder) {
  for (auto& entry : FStyles)
    if (entry.first.compare(name, Qt::CaseInsensitive) == 0) {
      entry.second = std::move(builder);
      return;
    }
  FStyles.emplace_back(name, std::move(builder));
}

const TvxResources::TStyleBuilder* TvxResources::Find(const QString& name) const {
  for (const auto& entry : FStyles)
    if (entry.first.compare(name, Qt::CaseInsensitive) == 0) return &entry.second;
  return nullptr;
}

QStringList TvxResources::Names() const {
  QStringList names;
  for (const auto& entry : FStyles) names << entry.first;
  return names;
}
