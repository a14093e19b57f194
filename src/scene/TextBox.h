// The one-line text box.
#pragma once

#include "scene/Animation.h"
#include "scene/Control.h"

// A single-line editor with caret, selection, clipboard and input-method text.
class TvxHudTextBox : public TvxControl {
 public:
  TvxHudTextBox();
  QString Text() const { return FText; }
  void SetText(const QString& t);
  int CaretPosition() const { return FCaret; }
  void SetCaretPosition(int pos);
  int SelStart() const;
  int SelLength() const;
  QString SelText() const;
  void SelectAll();
  void ClearSelection();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void InsertText(const QString& s);
  QString PreeditText() const { return FPreedit; }
  int MaxLength = 0;
  bool ReadOnly = false;
  TAlphaColor TextColor = 0xFFFFFFFF;
  TvxFont Font;
  TvxNotifyEvent OnChange;
  // After text committed through an input method went in: such text comes with no key release.
  TvxNotifyEvent OnInputMethodCommit;
  QString BindingData() const override { return FText; }
  void SetBindingData(const QString& v) override { SetText(v); }

  void Paint(QPainter& p) override;
  void MouseDown(TvxMouseButton button, unsigned shift, float x, float y) override;
  void MouseMove(unsigned shift, float x, float y, float dx, float dy) override;
  void KeyDown(int& key, QString& keyChar, unsigned shift) override;
  void InputMethodText(const QString& commit, const QString& preedit) override;
  void EnterFocus() override;
  void KillFocus() override;
  float ContentInset = 3;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("hudtextboxstyle"); }
  void StyleApplied() override;

 private:
  int PositionAt(float x) const;
  float TextX(int pos) const;
  void MoveCaret(int pos, bool extend);
  void DeleteSelection();
  void TextChanged();
  QString FText;
  int FCaret = 0;
  int FAnchor = 0;
  QString FPreedit;
  float FScrollX = 0;
  bool FSelecting = false;
  TvxVisualObject* FCaretPart = nullptr;
  TvxFloatAnimation* FCaretBlink = nullptr;
};
