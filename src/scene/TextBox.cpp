#include "scene/TextBox.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>

TvxHudTextBox::TvxHudTextBox() {
  SetWidth(150);
  SetHeight(24);
  CanFocus = true;
  Cursor = crIBeam;
  Font.Size = 13;
  ApplyStyle();
}

void TvxHudTextBox::StyleApplied() {
  auto* caret = new TvxRectangle();
  caret->Locked = true;
  caret->SetHitTest(false);
  caret->BindingName = QStringLiteral("caretpart");
  caret->Fill().SetColor(TextColor);
  caret->Stroke().SetKind(vgBrushNone);
  caret->SetVisible(false);
  caret->SetParent(this);
  FCaretPart = caret;
  FCaretBlink = new TvxFloatAnimation();
  FCaretBlink->BindingName = QStringLiteral("caret");
  FCaretBlink->SetPropertyName(QStringLiteral("Opacity"));
  FCaretBlink->SetStartValue(1);
  FCaretBlink->SetStopValue(0);
  FCaretBlink->SetDuration(0.2f);
  FCaretBlink->SetLoop(true);
  FCaretBlink->SetAutoReverse(true);
  FCaretBlink->SetInterpolation(vgInterpolationQuintic);
  FCaretBlink->SetParent(caret);
}

void TvxHudTextBox::SetText(const QString& t) {
  if (t == FText) return;
  FText = MaxLength > 0 ? t.left(MaxLength) : t;
  FCaret = FAnchor = std::min(FCaret, int(FText.size()));
  TextChanged();
}

void TvxHudTextBox::TextChanged() {
  MoveCaret(FCaret, true);
  Repaint();
  vgRaise(OnChange, this);
}

int TvxHudTextBox::SelStart() const {
  return std::min(FCaret, FAnchor);
}
int TvxHudTextBox::SelLength() const {
  return std::abs(FCaret - FAnchor);
}
QString TvxHudTextBox::SelText() const {
  return FText.mid(SelStart(), SelLength());
}

void TvxHudTextBox::SelectAll() {
  FAnchor = 0;
  MoveCaret(int(FText.size()), true);
}

void TvxHudTextBox::ClearSelection() {
  MoveCaret(FCaret, false);
}

void TvxHudTextBox::SetCaretPosition(int pos) {
  MoveCaret(pos, false);
}

float TvxHudTextBox::TextX(int pos) const {
  const QFontMetricsF fm(Font.ToQFont());
  return ContentInset + float(fm.horizontalAdvance(FText.left(pos))) - FScrollX;
}

int TvxHudTextBox::PositionAt(float x) const {
  const QFontMetricsF fm(Font.ToQFont());
  const float target = x - ContentInset + FScrollX;
  for (int i = 0; i < FText.size(); ++i) {
    const float mid =
        float(fm.horizontalAdvance(FText.left(i)) + fm.horizontalAdvance(FText.mid(i, 1)) / 2);
    if (target < mid) return i;
  }
  return int(FText.size());
}

void TvxHudTextBox::MoveCaret(int pos, bool extend) {
  FCaret = std::clamp(pos, 0, int(FText.size()));
  if (!extend) FAnchor = FCaret;
  // Keep the caret inside the visible part of a long text.
  const float inner = Width() - 2 * ContentInset;
  const float x = TextX(FCaret) - ContentInset;
  if (x > inner) FScrollX += x - inner;
  if (x < 0) FScrollX = std::max(0.0f, FScrollX + x);
  if (FCaretPart) {
    const float h = Font.Size + 4;
    FCaretPart->SetBounds(std::round(TextX(FCaret)), (Height() - h) / 2, 1, h);
    FCaretPart->SetOpacity(1);
  }
  Repaint();
}

void TvxHudTextBox::DeleteSelection() {
  if (SelLength() == 0) return;
  const int start = SelStart();
  FText.remove(start, SelLength());
  FCaret = FAnchor = start;
}

void TvxHudTextBox::InsertText(const QString& s) {
  if (ReadOnly) return;
  DeleteSelection();
  QString add = s;
  add.remove(u'\r');
  add.remove(u'\n');
  if (MaxLength > 0) add = add.left(std::max(0, MaxLength - int(FText.size())));
  FText.insert(FCaret, add);
  FCaret += int(add.size());
  FAnchor = FCaret;
  TextChanged();
}

void TvxHudTextBox::CopyToClipboard() {
  if (SelLength() > 0 && QGuiApplication::clipboard())
    QGuiApplication::clipboard()->setText(SelText());
}

void TvxHudTextBox::CutToClipboard() {
  if (ReadOnly || SelLength() == 0) return;
  CopyToClipboard();
  DeleteSelection();
  TextChanged();
}

void TvxHudTextBox::PasteFromClipboard() {
  if (QGuiApplication::clipboard()) InsertText(QGuiApplication::clipboard()->text());
}

void TvxHudTextBox::KeyDown(int& key, QString& keyChar, unsigned shift) {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::KeyDown(key, keyChar, shift);
  if (!IsAlive(alive)) return;
  const bool ext = shift & ssShift;
  const bool ctrl = shift & ssCtrl;
  switch (key) {
    case 37:
      MoveCaret(!ext && SelLength() ? SelStart() : FCaret - 1, ext);
      return;
    case 39:
      MoveCaret(!ext && SelLength() ? SelStart() + SelLength() : FCaret + 1, ext);
      return;
    case 36:
      MoveCaret(0, ext);
      return;
    case 35:
      MoveCaret(int(FText.size()), ext);
      return;
    case 8:
      if (ReadOnly) return;
      if (SelLength() == 0 && FCaret > 0) FAnchor = FCaret - 1;
      DeleteSelection();
      TextChanged();
      return;
    case 46:
      if (ReadOnly) return;
      if (SelLength() == 0 && FCaret < FText.size()) FAnchor = FCaret + 1;
      DeleteSelection();
      TextChanged();
      return;
    default:
      break;
  }
  if (ctrl) {
    if (key == 'A') SelectAll();
    if (key == 'C') CopyToClipboard();
    if (key == 'X') CutToClipboard();
    if (key == 'V') PasteFromClipboard();
    return;
  }
  if (!keyChar.isEmpty() && keyChar[0].isPrint()) InsertText(keyChar);
}

void TvxHudTextBox::InputMethodText(const QString& commit, const QString& preedit) {
  if (!commit.isEmpty()) InsertText(commit);
  FPreedit = preedit;
  Repaint();
  if (!commit.isEmpty()) vgRaise(OnInputMethodCommit, this);
}

void TvxHudTextBox::MouseDown(TvxMouseButton button, unsigned shift, float x, float y) {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::MouseDown(button, shift, x, y);
  if (!IsAlive(alive) || button != mbLeft) return;
  MoveCaret(PositionAt(x), shift & ssShift);
  FSelecting = true;
}

void TvxHudTextBox::MouseMove(unsigned shift, float x, float y, float dx, float dy) {
  if (FSelecting && IsPressed()) MoveCaret(PositionAt(x), true);
  if (!IsPressed()) FSelecting = false;
  TvxControl::MouseMove(shift, x, y, dx, dy);
}

void TvxHudTextBox::EnterFocus() {
  if (FCaretPart) FCaretPart->SetVisible(true);
  MoveCaret(FCaret, true);
  if (FCaretBlink) FCaretBlink->Start();
}

void TvxHudTextBox::KillFocus() {
  if (FCaretBlink) FCaretBlink->StopAtCurrent();
  if (FCaretPart) FCaretPart->SetVisible(false);
  FPreedit.clear();
  FSelecting = false;
}

void TvxHudTextBox::Paint(QPainter& p) {
  const QRectF inner = LocalRect().adjusted(ContentInset, 0, -ContentInset, 0);
  p.save();
  p.setClipRect(inner, Qt::IntersectClip);
  const QFont font = Font.ToQFont();
  p.setFont(font);
  if (SelLength() > 0 && IsFocused()) {
    const float x1 = TextX(SelStart()), x2 = TextX(SelStart() + SelLength());
    p.fillRect(QRectF(x1, 3, x2 - x1, Height() - 6), QColor(0x33, 0x99, 0xFF, 0x90));
  }
  QString shown = FText;
  if (!FPreedit.isEmpty()) shown.insert(FCaret, FPreedit);
  p.setPen(QColor::fromRgba(TextColor));
  p.drawText(QRectF(ContentInset - FScrollX, 0, 10000, Height()), Qt::AlignLeft | Qt::AlignVCenter,
             shown);
  if (!FPreedit.isEmpty()) {
    const QFontMetricsF fm(font);
    const float x1 = TextX(FCaret);
    const float w = float(fm.horizontalAdvance(FPreedit));
    p.drawLine(QPointF(x1, Height() - 5), QPointF(x1 + w, Height() - 5));
  }
  p.restore();
}
