#include "scene/Buttons.h"

#include <algorithm>

#include "scene/Popup.h"

TvxButtonBase::TvxButtonBase() {
  SetWidth(80);
  SetHeight(24);
  CanFocus = false;
}

void TvxButtonBase::SetText(const QString& t) {
  FText = t;
  SetStyleText(QStringLiteral("text"), t);
  ArrangeParts();
}

void TvxButtonBase::StyleApplied() {
  SetStyleText(QStringLiteral("text"), FText);
  ArrangeParts();
}

void TvxButtonBase::Realign() {
  TvxControl::Realign();
  ArrangeParts();
}

void TvxButtonBase::ArrangeParts() {
  if (auto* text = dynamic_cast<TvxVisualObject*>(StylePart("text"))) {
    text->SetVisible(!FText.isEmpty());
    text->SetBounds(0, 0, Width(), Height());
  }
}

void TvxButtonBase::Click() {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::Click();
  if (!IsAlive(alive) || ModalResult == mrNone) return;
  for (TvxObject* p = Parent(); p; p = p->Parent())
    if (auto* popup = dynamic_cast<TvxMessagePopup*>(p)) {
      popup->SetModalResult(ModalResult);
      return;
    }
}

void TvxButtonBase::KeyDown(int& key, QString& keyChar, unsigned shift) {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::KeyDown(key, keyChar, shift);
  if (IsAlive(alive) && (key == 13 || key == 32)) Click();
}

TvxBitmapButton::TvxBitmapButton() {
  FBitmap.OnChange = [this] {
    if (auto* image = dynamic_cast<TvxImage*>(StylePart("image"))) image->Bitmap().Assign(FBitmap);
    ArrangeParts();
  };
  ApplyStyle();
}

void TvxBitmapButton::SetBitmapLayout(TvxButtonLayout l) {
  FLayout = l;
  ArrangeParts();
}

void TvxBitmapButton::StyleApplied() {
  TvxButtonBase::StyleApplied();
  if (auto* image = dynamic_cast<TvxImage*>(StylePart("image"))) image->Bitmap().Assign(FBitmap);
  ArrangeParts();
}

void TvxBitmapButton::ArrangeParts() {
  auto* image = dynamic_cast<TvxVisualObject*>(StylePart("image"));
  auto* text = dynamic_cast<TvxText*>(StylePart("text"));
  const float w = Width(), h = Height();
  const bool hasGlyph = !FBitmap.IsEmpty();
  const bool hasText = !FText.isEmpty();
  const float textH = text ? text->Font.Size + 6 : 0;
  float g = std::min({BitmapSize, w, h});
  if (image) image->SetVisible(hasGlyph);
  if (text) text->SetVisible(hasText);
  if (!image || !text) return;
  if (!hasGlyph || !hasText || FLayout == vgGlyphCenter) {
    image->SetBounds((w - g) / 2, (h - g) / 2, g, g);
    text->SetBounds(0, 0, w, h);
    return;
  }
  switch (FLayout) {
    case vgGlyphTop:
      g = std::min(g, h - textH);
      image->SetBounds((w - g) / 2, (h - g - textH) / 2, g, g);
      text->SetBounds(0, image->Position().Y() + g, w, textH);
      break;
    case vgGlyphBottom:
      g = std::min(g, h - textH);
      text->SetBounds(0, (h - g - textH) / 2, w, textH);
      image->SetBounds((w - g) / 2, text->Position().Y() + textH, g, g);
      break;
    case vgGlyphLeft:
      image->SetBounds(4, (h - g) / 2, g, g);
      text->SetBounds(g + 6, 0, w - g - 8, h);
      break;
    case vgGlyphRight:
      image->SetBounds(w - g - 4, (h - g) / 2, g, g);
      text->SetBounds(2, 0, w - g - 8, h);
      break;
    case vgGlyphCenter:
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// Label and check box

TvxHudLabel::TvxHudLabel() {
  SetHitTest(false);
  Font.Size = 13;
}

void TvxHudLabel::SetText(const QString& t) {
  FText = t;
  Repaint();
}

void TvxHudLabel::Paint(QPainter& p) {
  vgDrawText(p, LocalRect(), FText, Font, TextColor, HorzTextAlign, VertTextAlign, WordWrap);
}

TvxHudCheckBox::TvxHudCheckBox() {
  SetWidth(120);
  SetHeight(20);
  ApplyStyle();
}

void TvxHudCheckBox::StyleApplied() {
  SetStyleText(QStringLiteral("text"), FText);
  StartTriggerAnimation(this, QStringLiteral("IsChecked"));
}

void TvxHudCheckBox::SetText(const QString& t) {
  FText = t;
  SetStyleText(QStringLiteral("text"), t);
}

void TvxHudCheckBox::SetIsChecked(bool v) {
  if (FIsChecked == v) return;
  FIsChecked = v;
  Repaint();
  StartTriggerAnimation(this, QStringLiteral("IsChecked"));
}

void TvxHudCheckBox::Click() {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::Click();  // the handler sees the state before the toggle
  if (IsAlive(alive)) SetIsChecked(!FIsChecked);
}

std::optional<bool> TvxHudCheckBox::GetBoolProp(const QString& name) const {
  if (SameName(name, "IsChecked")) return FIsChecked;
  return TvxControl::GetBoolProp(name);
}
