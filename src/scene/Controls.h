// The controls of the scene toolkit.
#pragma once

#include <QFont>
#include <QStringList>

#include "scene/Animation.h"
#include "scene/Bitmap.h"
#include "scene/Styles.h"
#include "scene/VisualObject.h"

class TvxListBox;
class TvxMessagePopup;

// The font of every text: the player asks for "微软雅黑" and falls back to an installed CJK font.
struct TvxFont {
  QString Family = QStringLiteral("微软雅黑");
  float Size = 11;
  TvxFontStyle Style = vgFontRegular;
  QFont ToQFont() const;
};

// Draws a text in a rectangle with the toolkit's alignment rules.
void vgDrawText(QPainter& p, const QRectF& r, const QString& text, const TvxFont& font,
                TAlphaColor color, TvxTextAlign horz, TvxTextAlign vert, bool wordWrap);

// A control takes its look from a named style (see scene/Styles.h for where it is looked up):
// the style adds locked parts.
class TvxControl : public TvxVisualObject {
 public:
  QString Resource() const { return FResource; }
  void SetResource(const QString& name);
  // Applies the style now (controls call this when made so a default look is there).
  void ApplyStyle();
  // A named part of the style; a control still waiting for its scene is dressed first.
  TvxObject* FindStyleResource(const QString& binding);
  // The same without dressing a waiting control.
  TvxObject* StylePart(const QString& binding) const;
  // Data of a named part of the style (a text part's text).
  void SetStyleText(const QString& binding, const QString& text);
  // Waiting for a scene whose resources may hold the style asked for.
  bool StylePending() const { return FStylePending; }

 protected:
  virtual QString DefaultStyle() const { return QString(); }
  virtual void StyleApplied() {}
  void SceneJoined(TdxScene* scene) override;

 private:
  struct StyleChoice {
    const TvxResources::TStyleBuilder* Builder = nullptr;
    bool Named = false;  // found under the name asked for, not the class's default
  };
  StyleChoice ChooseStyle(const TvxResources* sceneResources) const;
  void Dress(const TvxResources::TStyleBuilder* builder);
  QString FResource;
  const TvxResources::TStyleBuilder* FStyleBuilder = nullptr;
  bool FStyled = false;
  bool FStylePending = false;
};

class TvxLayout : public TvxVisualObject {
 public:
  TvxLayout();
};

class TvxRectangle : public TvxVisualObject {
 public:
  float XRadius = 0, YRadius = 0;
  void Paint(QPainter& p) override;
};

// A soft glow or shadow painted around the parent's shape.
class TvxEffect : public TvxVisualObject {
 public:
  TvxEffect();
  TAlphaColor GlowColor = 0xFFFFFFFF;
  float Softness = 0.2f;  // 0..1 of the blur radius
  float Distance = 0;     // shadows: offset along Direction
  float Direction = 45;   // degrees
  bool Shadow = false;
  float CornerRadius = 0;
  bool FollowGlyph = false;  // glows around the control's glyph instead of its box
  void Paint(QPainter& p) override;
  float PaintOutset() const override { return 4 + Softness * 20 + Distance; }
};

class TvxText : public TvxVisualObject {
 public:
  TvxText();
  QString Text() const { return FText; }
  void SetText(const QString& t);
  TvxTextAlign HorzTextAlign = vgTextAlignCenter;
  TvxTextAlign VertTextAlign = vgTextAlignCenter;
  bool WordWrap = true;
  TvxFont Font;
  QString BindingData() const override { return FText; }
  void SetBindingData(const QString& v) override { SetText(v); }
  void Paint(QPainter& p) override;

 private:
  QString FText;
};

class TvxImage : public TvxVisualObject {
 public:
  TvxImage();
  TvxBitmap& Bitmap() { return FBitmap; }
  TvxWrapMode WrapMode = vgWrapStretch;
  void Paint(QPainter& p) override;

 private:
  TvxBitmap FBitmap;
};

// An image bound to stored picture data; here it simply holds its picture.
class TvxDBImage : public TvxImage {};

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

class TvxListBoxItem : public TvxControl {
 public:
  TvxListBoxItem();
  bool IsSelected() const { return FIsSelected; }
  void SetIsSelected(bool v);
  QString Text() const { return FText; }
  void SetText(const QString& t);
  TvxListBox* ListBox() const;
  void Paint(QPainter& p) override;
  std::optional<bool> GetBoolProp(const QString& name) const override;
  QString BindingData() const override { return FText; }
  void SetBindingData(const QString& v) override { SetText(v); }

 private:
  friend class TvxListBox;
  void SetSelectedFlag(bool v);
  bool FIsSelected = false;
  QString FText;
};

// A scrolling list: items are its children, stacked in child order; only the items in view
// are laid out, painted and hit-tested, so thousands of items cost nothing extra.
class TvxListBox : public TvxControl {
 public:
  TvxListBox();
  int Count() const;
  TvxListBoxItem* ItemByIndex(int index) const;
  TvxListBoxItem* ItemByPoint(float x, float y);  // list coordinates
  TvxListBoxItem* Selected() const { return FSelected; }
  int ItemIndex() const;
  void SetItemIndex(int index);
  void Clear();
  float ItemHeight = 0;  // 0: each item keeps its own height
  bool HideSelectionUnfocused = false;
  bool SmallScrollBars = false;
  bool MouseTracking = false;  // hover tracking: select what the pointer is over
  TAlphaColor SelectionColor = 0xC8F5CD7B;
  TAlphaColor ScrollColor = 0x80FFFFFF;
  float ViewportHeight() const;
  float ContentHeight();
  float ScrollOffset() const { return FScroll; }
  void ScrollTo(float offset);
  void ScrollBy(float delta) { ScrollTo(FScroll + delta); }
  TvxNotifyEvent OnChange;

  QTransform ContentTransform() const override;
  TvxVisualObject* ObjectAtPoint(QPointF local) override;
  void PaintChildren(QPainter& p, float opacity) override;
  void Paint(QPainter& p) override;
  void Realign() override;
  void MouseDown(TvxMouseButton button, unsigned shift, float x, float y) override;
  void MouseMove(unsigned shift, float x, float y, float dx, float dy) override;
  void MouseUp(TvxMouseButton button, unsigned shift, float x, float y) override;
  bool MouseWheel(unsigned shift, int delta) override;
  void KeyDown(int& key, QString& keyChar, unsigned shift) override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("listboxstyle"); }
  void ChildAdded(TvxObject* child) override;
  void ChildRemoved(TvxObject* child) override;

 private:
  friend class TvxListBoxItem;
  void Select(TvxListBoxItem* item);
  void EnsureItemLayout();
  void MarkLayoutDirty();
  std::pair<int, int> VisibleRange();
  QRectF ScrollThumbRect();
  float ItemsWidth() const;
  std::vector<TvxListBoxItem*> FItems;
  std::vector<float> FTops;
  bool FLayoutDirty = true;
  bool FClearing = false;
  float FScroll = 0;
  TvxListBoxItem* FSelected = nullptr;
  bool FDraggingThumb = false;
  float FThumbGrab = 0;
};

class TvxStringListBox;

// The text list of a string list box.
class TvxStrings {
 public:
  explicit TvxStrings(TvxStringListBox* owner) : FOwner(owner) {}
  void Add(const QString& s);
  void Clear();
  int Count() const;
  QString operator[](int i) const;

 private:
  TvxStringListBox* FOwner;
};

class TvxStringListBox : public TvxListBox {
 public:
  TvxStringListBox();
  TvxStrings& Items() { return FItems; }

 private:
  TvxStrings FItems{this};
};

class TvxProgressBar : public TvxControl {
 public:
  TvxProgressBar();
  float Min() const { return FMin; }
  float Max() const { return FMax; }
  float Value() const { return FValue; }
  void SetMin(float v);
  void SetMax(float v);
  void SetValue(float v);
  bool Vertical = false;
  TAlphaColor TrackColor = 0xC8303030;
  TAlphaColor IndicatorColor = 0xFFF5CD76;
  float IndicatorInset = 2;
  QRectF IndicatorRect() const;
  void Paint(QPainter& p) override;
  TvxPropKind PropKind(const QString& name) const override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("progressbarstyle"); }

 private:
  float FMin = 0, FMax = 100, FValue = 0;
};

class TvxTrackBar : public TvxControl {
 public:
  TvxTrackBar();
  float Min() const { return FMin; }
  float Max() const { return FMax; }
  float Value() const { return FValue; }
  void SetMin(float v);
  void SetMax(float v);
  void SetValue(float v);
  bool Vertical = false;
  bool Tracking = true;  // report every change while dragging, not only at release
  float Frequency = 0;
  TAlphaColor TrackColor = 0x96E0E0E0;
  QString ThumbResource;  // style of the thumb; empty: the generic thumb
  TvxNotifyEvent OnChange;
  TvxVisualObject* Thumb() const { return FThumb; }
  void Paint(QPainter& p) override;
  void Realign() override;
  void MouseDown(TvxMouseButton button, unsigned shift, float x, float y) override;
  void MouseMove(unsigned shift, float x, float y, float dx, float dy) override;
  void MouseUp(TvxMouseButton button, unsigned shift, float x, float y) override;
  bool MouseWheel(unsigned shift, int delta) override;
  TvxPropKind PropKind(const QString& name) const override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("trackbarstyle"); }
  void StyleApplied() override;

 private:
  float ValueAt(float x, float y) const;
  void PlaceThumb();
  float FMin = 0, FMax = 100, FValue = 0;
  bool FDragging = false;
  bool FPendingChange = false;
  TvxVisualObject* FThumb = nullptr;
};

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

// A panel that slides in over its parent; PopupModal waits in a nested event loop until one of
// its buttons gives a modal result.
class TvxMessagePopup : public TvxControl {
 public:
  TvxMessagePopup();
  ~TvxMessagePopup() override;
  TvxVisualObject* PlacementTarget = nullptr;
  float VerticalOffset = 0;
  bool IsOpen() const { return FOpen; }
  void Popup();
  void ClosePopup();
  int PopupModal();
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int r);
  float OpenDuration = 0.4f, CloseDuration = 0.3f;
  TvxInterpolationType OpenInterpolation = vgInterpolationQuartic;
  TvxInterpolationType CloseInterpolation = vgInterpolationQuintic;
  float HiddenY = -200;
  std::optional<bool> GetBoolProp(const QString& name) const override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("popupstyle"); }

 private:
  float PlacedY() const;
  bool FOpen = false;
  int FModalResult = mrNone;
  bool FModal = false;
  std::function<void()> FQuitLoop;
};

QImage vgRenderSvg(const QByteArray& svg, int width, int height);
