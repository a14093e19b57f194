// List boxes and their items.
#pragma once

#include <QStringList>

#include "scene/Control.h"

class TvxListBox;

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
// are laid out, painted and hit-tested, so thousands of items cost nothing extra. An item that
// makes its children on demand (EnsureChildren) makes them when it first comes into view.
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
  // Only the style parts count, not the items: a repaint stays cheap in a long list.
  float PaintOutset() const override { return OutsetOfParts(FParts); }
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
  std::vector<TvxObject*> FParts;  // children that are not items
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
