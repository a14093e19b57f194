// Buttons, labels and the check box.
#pragma once

#include "scene/Control.h"

// A button that reports its modal result to the popup it sits in.
class TvxButtonBase : public TvxControl {
 public:
  TvxButtonBase();
  QString Text() const { return FText; }
  void SetText(const QString& t);
  int ModalResult = mrNone;
  void Click() override;
  void KeyDown(int& key, QString& keyChar, unsigned shift) override;
  void Realign() override;

 protected:
  void StyleApplied() override;
  // Places the text and glyph parts.
  virtual void ArrangeParts();
  QString FText;
};

class TvxBitmapButton : public TvxButtonBase {
 public:
  TvxBitmap& Bitmap() { return FBitmap; }
  TvxButtonLayout BitmapLayout() const { return FLayout; }
  void SetBitmapLayout(TvxButtonLayout l);
  float BitmapSize = 32;
  TvxBitmapButton();

 protected:
  QString DefaultStyle() const override { return QStringLiteral("buttonstyle"); }
  void StyleApplied() override;
  void ArrangeParts() override;

 private:
  TvxBitmap FBitmap;
  TvxButtonLayout FLayout = vgGlyphTop;
};

class TvxSpeedButton : public TvxButtonBase {
 public:
  TvxSpeedButton() { ApplyStyle(); }

 protected:
  QString DefaultStyle() const override { return QStringLiteral("buttonstyle"); }
};

class TvxHudLabel : public TvxControl {
 public:
  TvxHudLabel();
  QString Text() const { return FText; }
  void SetText(const QString& t);
  TvxFont Font;
  TvxTextAlign HorzTextAlign = vgTextAlignNear;
  TvxTextAlign VertTextAlign = vgTextAlignCenter;
  bool WordWrap = true;
  TAlphaColor TextColor = 0xFFFFFFFF;
  QString BindingData() const override { return FText; }
  void SetBindingData(const QString& v) override { SetText(v); }
  void Paint(QPainter& p) override;

 private:
  QString FText;
};

class TvxHudCheckBox : public TvxControl {
 public:
  TvxHudCheckBox();
  bool IsChecked() const { return FIsChecked; }
  void SetIsChecked(bool v);
  QString Text() const { return FText; }
  void SetText(const QString& t);
  void Click() override;
  std::optional<bool> GetBoolProp(const QString& name) const override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("checkboxstyle"); }
  void StyleApplied() override;

 private:
  bool FIsChecked = false;
  QString FText;
};
