// The looks of the toolkit: pieces that add locked parts with their trigger animations, and
// the generic styles built from them.
#include "scene/Styles.h"

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
  a->Locked = true;  // goes with the look when the control is dressed again
  a->SetPropertyName(property);
  a->SetStartValue(from);
  a->SetStopValue(to);
  a->SetDuration(duration);
  a->SetTrigger(trigger);
  a->SetTriggerInverse(inverse);
  a->SetParent(part);
  return a;
}

const QString kOver = QStringLiteral("IsMouseOver=true");
const QString kNotOver = QStringLiteral("IsMouseOver=false");

void AddGlyphAndText(TvxControl* c, TAlphaColor textColor) {
  auto* image = AddPart<TvxImage>(c, QStringLiteral("image"));
  image->SetVisible(false);
  auto* text = AddPart<TvxText>(c, QStringLiteral("text"));
  text->Fill().SetColor(textColor);
  text->Font.Size = 13;
  text->WordWrap = false;
  text->SetVisible(false);
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

}  // namespace

// ---------------------------------------------------------------------------------------------
// Looks

void vgDressFadingButton(TvxControl* c, const TvxFadingButtonLook& look) {
  TvxRectangle* bg = AddBackground(c, look.Background, look.Radius);
  bg->SetOpacity(0);
  AddTriggered<TvxFloatAnimation>(bg, QStringLiteral("Opacity"), 0.0f, look.HoverOpacity,
                                  look.Duration, QStringLiteral("IsMouseOver=true;IsPressed=false"),
                                  kNotOver);
  AddGlyphAndText(c, look.Text);
}

void vgDressGlowButton(TvxControl* c, const TvxGlowButtonLook& look) {
  auto* glow = AddPart<TvxEffect>(c, QStringLiteral("glow"));
  glow->GlowColor = look.Glow;
  glow->Softness = look.Softness;
  glow->FollowGlyph = true;
  glow->SetOpacity(0);
  AddTriggered<TvxFloatAnimation>(glow, QStringLiteral("Opacity"), 0.0f, look.Opacity,
                                  look.Duration, kOver, kNotOver);
  AddGlyphAndText(c, look.Text);
}

void vgDressColourButton(TvxControl* c, const TvxColourButtonLook& look) {
  TvxRectangle* bg = AddBackground(c, look.Background, look.Radius);
  AddTriggered<TvxColorAnimation>(bg, QStringLiteral("Fill.Color"), look.Background, look.Hover,
                                  look.Duration, kOver, kNotOver);
  AddGlyphAndText(c, look.Text);
}

void vgDressList(TvxControl* c, const TvxListLook& look) {
  c->Fill().SetColor(look.Background);
  c->Stroke().SetKind(vgBrushNone);
  c->Margins().Set(look.Margin, look.Margin, look.Margin, look.Margin);
  if (auto* list = dynamic_cast<TvxListBox*>(c)) list->SelectionColor = look.Selection;
  vgDressScrollBar(c, look.ScrollThumb, look.SmallScrollBars);
}

void vgDressScrollBar(TvxControl* c, TAlphaColor thumb, bool small) {
  auto* list = dynamic_cast<TvxListBox*>(c);
  if (!list) return;
  list->ScrollColor = thumb;
  list->SmallScrollBars = small;
}

void vgDressProgress(TvxControl* c, const TvxProgressLook& look) {
  if (auto* bar = dynamic_cast<TvxProgressBar*>(c)) {
    bar->TrackColor = look.Track;
    bar->IndicatorColor = look.Indicator;
    bar->IndicatorInset = look.Inset;
  }
  if (look.Band == 0) return;
  auto* band = AddPart<TvxRectangle>(c, QStringLiteral("band"));
  band->SetBounds(look.BandFrom, 0, look.BandWidth, c->Height());
  band->Stroke().SetKind(vgBrushNone);
  const TAlphaColor clear = look.Band & 0x00FFFFFF;
  band->Fill().SetLinearGradient({{0, clear}, {0.5f, look.Band}, {1, clear}}, QPointF(0, 0.5),
                                 QPointF(1, 0.5));
  band->XRadius = band->YRadius = look.BandRadius;
  auto* move = new TvxFloatAnimation();
  move->BindingName = QStringLiteral("bandmove");
  move->SetPropertyName(QStringLiteral("Position.x"));
  move->SetStartValue(look.BandFrom);
  move->SetStopValue(look.BandTo);
  move->SetDuration(look.BandPeriod);
  move->SetLoop(true);
  move->SetParent(band);
  // The bar starts the band when it paints; it stops once the bar is off screen, whichever
  // ancestor hid it, so that a hidden view costs no ticks.
  move->OnProcess = [c](TvxObject* sender) {
    if (!c->IsVisibleInTree()) static_cast<TvxAnimation*>(sender)->StopAtCurrent();
  };
}

void vgDressTrack(TvxControl* c, TAlphaColor track, const QString& thumbStyle) {
  if (auto* t = dynamic_cast<TvxTrackBar*>(c)) {
    t->TrackColor = track;
    t->ThumbResource = thumbStyle;
  }
}

void vgDressThumb(TvxControl* c, TAlphaColor normal, TAlphaColor hover, float duration) {
  c->Fill().SetColor(normal);
  c->Stroke().SetKind(vgBrushNone);
  AddTriggered<TvxColorAnimation>(c, QStringLiteral("Fill.Color"), normal, hover, duration, kOver,
                                  kNotOver);
}

void vgDressTextBox(TvxControl* c, const TvxTextBoxLook& look) {
  if (look.Glow != 0) {
    auto* g = AddPart<TvxEffect>(c, QStringLiteral("glow"));
    g->GlowColor = look.Glow;
    g->Softness = look.GlowSoftness;
    g->SetOpacity(0);
    AddTriggered<TvxFloatAnimation>(g, QStringLiteral("Opacity"), 0.0f, look.GlowOpacity,
                                    look.Duration, QStringLiteral("IsFocused=true"),
                                    QStringLiteral("IsFocused=false"));
  }
  auto* border = AddPart<TvxRectangle>(c, QStringLiteral("border"));
  border->SetAlign(vaClient);
  border->Fill().SetKind(vgBrushNone);
  border->Stroke().SetColor(look.Border);
  if (auto* box = dynamic_cast<TvxHudTextBox*>(c)) box->ContentInset = look.Inset;
}

void vgDressPopup(TvxControl* c, const TvxPopupLook& look) {
  auto* shadow = AddPart<TvxEffect>(c, QStringLiteral("shadow"));
  shadow->Shadow = true;
  shadow->GlowColor = look.Shadow;
  shadow->Distance = look.ShadowDistance;
  shadow->Direction = look.ShadowDirection;
  shadow->Softness = look.ShadowSoftness;
  shadow->CornerRadius = look.Radius;
  shadow->SetOpacity(0.5f);
  TvxRectangle* bg = AddBackground(c, look.Panel, look.Radius);
  bg->BindingName = QStringLiteral("panel");
  if (auto* popup = dynamic_cast<TvxMessagePopup*>(c)) {
    popup->HiddenY = look.HiddenY;
    popup->OpenDuration = look.OpenDuration;
    popup->OpenInterpolation = look.OpenInterpolation;
    popup->CloseDuration = look.CloseDuration;
    popup->CloseInterpolation = look.CloseInterpolation;
  }
}

void vgDressCheckBox(TvxControl* c, const TvxCheckBoxLook& look) {
  const float s = look.BoxSize, top = (c->Height() - s) / 2;
  auto* box = AddPart<TvxRectangle>(c, QStringLiteral("box"));
  box->SetBounds(2, top, s, s);
  box->Fill().SetLinearGradient({{0, look.BoxFrom}, {1, look.BoxTo}});
  box->Stroke().SetColor(look.Border);
  box->XRadius = box->YRadius = 2;
  auto* hover = AddPart<TvxRectangle>(c, QStringLiteral("hover"));
  hover->SetBounds(2, top, s, s);
  hover->Fill().SetColor(look.Hover);
  hover->Stroke().SetKind(vgBrushNone);
  hover->SetOpacity(0);
  AddTriggered<TvxFloatAnimation>(hover, QStringLiteral("Opacity"), 0.0f, 1.0f, look.Duration,
                                  kOver, kNotOver);
  auto* mark = AddPart<TvxCheckMark>(c, QStringLiteral("checkmark"));
  mark->SetBounds(2, top, s, s);
  mark->Fill().SetColor(look.Mark);
  mark->SetOpacity(0);
  AddTriggered<TvxFloatAnimation>(mark, QStringLiteral("Opacity"), 0.0f, 1.0f, look.Duration,
                                  QStringLiteral("IsChecked=true"),
                                  QStringLiteral("IsChecked=false"));
  auto* text = AddPart<TvxText>(c, QStringLiteral("text"));
  text->SetBounds(s + 7, 0, c->Width() - s - 7, c->Height());
  text->Fill().SetColor(look.Text);
  text->HorzTextAlign = vgTextAlignNear;
  text->WordWrap = false;
  text->Font.Size = 13;
}

// ---------------------------------------------------------------------------------------------
// Style tables

TvxResources::TvxResources() = default;
TvxResources::~TvxResources() = default;

const TvxResources& TvxResources::Generic() {
  static const TvxResources* generic = [] {
    auto* r = new TvxResources();
    r->Add("buttonstyle", [](TvxControl* c) { vgDressColourButton(c, {}); });
    r->Add("listboxstyle", [](TvxControl* c) { vgDressList(c, {}); });
    r->Add("progressbarstyle", [](TvxControl*) {});
    r->Add("trackbarstyle", [](TvxControl*) {});
    r->Add("trackthumbstyle", [](TvxControl* c) { vgDressThumb(c, 0xFFD0D0D0, 0xFFFFFFFF, 0.1f); });
    r->Add("hudtextboxstyle", [](TvxControl* c) { vgDressTextBox(c, {}); });
    r->Add("popupstyle", [](TvxControl* c) { vgDressPopup(c, {}); });
    r->Add("checkboxstyle", [](TvxControl* c) { vgDressCheckBox(c, {}); });
    return r;
  }();
  return *generic;
}

void TvxResources::Add(const QString& name, TStyleBuilder builder) {
  for (auto& entry : FStyles)
    if (entry->Name.compare(name, Qt::CaseInsensitive) == 0) {
      entry->Builder = std::move(builder);
      return;
    }
  FStyles.push_back(std::make_unique<Entry>(Entry{name, std::move(builder)}));
}

const TvxResources::TStyleBuilder* TvxResources::Find(const QString& name) const {
  if (name.isEmpty()) return nullptr;
  for (const auto& entry : FStyles)
    if (entry->Name.compare(name, Qt::CaseInsensitive) == 0) return &entry->Builder;
  return nullptr;
}

QStringList TvxResources::Names() const {
  QStringList names;
  for (const auto& entry : FStyles) names << entry->Name;
  return names;
}
