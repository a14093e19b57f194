#include "scene/ListBoxes.h"

#include <QPainter>
#include <algorithm>

#include "scene/Scene.h"

TvxListBoxItem::TvxListBoxItem() {
  SetHeight(19);
  SetHitTest(false);
  Fill().SetKind(vgBrushNone);
  Stroke().SetKind(vgBrushNone);
}

TvxListBox* TvxListBoxItem::ListBox() const {
  return dynamic_cast<TvxListBox*>(Parent());
}

void TvxListBoxItem::SetSelectedFlag(bool v) {
  if (FIsSelected == v) return;
  FIsSelected = v;
  Repaint();
  StartTriggerAnimation(this, QStringLiteral("IsSelected"));
}

void TvxListBoxItem::SetIsSelected(bool v) {
  TvxListBox* list = ListBox();
  if (!list) {
    SetSelectedFlag(v);
    return;
  }
  if (v)
    list->Select(this);
  else if (list->Selected() == this)
    list->Select(nullptr);
}

void TvxListBoxItem::SetText(const QString& t) {
  FText = t;
  Repaint();
}

void TvxListBoxItem::Paint(QPainter& p) {
  TvxListBox* list = ListBox();
  if (FIsSelected && list) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(list->SelectionColor));
    p.drawRect(LocalRect());
  }
  PaintFillAndStroke(p);
  if (!FText.isEmpty()) {
    TvxFont f;
    f.Size = 12;
    vgDrawText(p, LocalRect().adjusted(4, 0, -2, 0), FText, f, 0xFFFFFFFF, vgTextAlignNear,
               vgTextAlignCenter, false);
  }
}

std::optional<bool> TvxListBoxItem::GetBoolProp(const QString& name) const {
  if (SameName(name, "IsSelected")) return FIsSelected;
  return TvxControl::GetBoolProp(name);
}

TvxListBox::TvxListBox() {
  SetWidth(200);
  SetHeight(200);
  SetClipChildren(true);
  CanFocus = true;
  ApplyStyle();
}

int TvxListBox::Count() const {
  return int(FItems.size());
}

TvxListBoxItem* TvxListBox::ItemByIndex(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FItems[size_t(index)];
}

int TvxListBox::ItemIndex() const {
  if (!FSelected) return -1;
  auto it = std::find(FItems.begin(), FItems.end(), FSelected);
  return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TvxListBox::SetItemIndex(int index) {
  Select(ItemByIndex(index));
}

void TvxListBox::Select(TvxListBoxItem* item) {
  if (item == FSelected) {
    if (item) item->SetSelectedFlag(true);
    return;
  }
  if (FSelected) FSelected->SetSelectedFlag(false);
  FSelected = item;
  if (item) item->SetSelectedFlag(true);
  vgRaise(OnChange, this);
}

void TvxListBox::Clear() {
  FClearing = true;
  FSelected = nullptr;
  std::vector<TvxListBoxItem*> items;
  items.swap(FItems);
  if (TdxScene* scene = Scene())
    for (TvxListBoxItem* item : items) scene->ObjectGone(item);
  for (auto it = items.rbegin(); it != items.rend(); ++it) delete *it;
  FClearing = false;
  FScroll = 0;
  MarkLayoutDirty();
}

void TvxListBox::ChildAdded(TvxObject* child) {
  if (auto* item = dynamic_cast<TvxListBoxItem*>(child)) {
    if (child == Children().back()) {
      FItems.push_back(item);
    } else {
      FItems.clear();
      for (TvxObject* c : Children())
        if (auto* i = dynamic_cast<TvxListBoxItem*>(c)) FItems.push_back(i);
    }
    if (item->IsSelected()) Select(item);
    MarkLayoutDirty();
    return;
  }
  FParts.push_back(child);
  TvxControl::ChildAdded(child);
}

void TvxListBox::ChildRemoved(TvxObject* child) {
  if (FClearing) return;
  // Compared by address: a child on its way out may no longer be a complete item.
  auto it = std::find_if(FItems.rbegin(), FItems.rend(), [child](TvxListBoxItem* i) {
    return static_cast<TvxObject*>(i) == child;
  });
  if (it != FItems.rend()) {
    if (static_cast<TvxObject*>(FSelected) == child) FSelected = nullptr;
    FItems.erase(std::next(it).base());
    MarkLayoutDirty();
    return;
  }
  FParts.erase(std::remove(FParts.begin(), FParts.end(), child), FParts.end());
  TvxControl::ChildRemoved(child);
}

void TvxListBox::MarkLayoutDirty() {
  FLayoutDirty = true;
  Repaint();
}

float TvxListBox::ItemsWidth() const {
  return std::max(0.0f, Width() - Margins().Left - Margins().Right);
}

float TvxListBox::ViewportHeight() const {
  return std::max(0.0f, Height() - Margins().Top - Margins().Bottom);
}

void TvxListBox::EnsureItemLayout() {
  if (!FLayoutDirty) return;
  FLayoutDirty = false;
  FTops.resize(FItems.size());
  float top = 0;
  const float w = ItemsWidth();
  for (size_t i = 0; i < FItems.size(); ++i) {
    TvxListBoxItem* item = FItems[i];
    if (ItemHeight > 0 && item->Height() != ItemHeight) item->SetHeight(ItemHeight);
    FTops[i] = top;
    const TvxBounds& pad = item->Padding();
    if (item->Visible()) {
      item->SetBounds(Margins().Left + pad.Left, Margins().Top + top + pad.Top,
                      w - pad.Left - pad.Right, item->Height());
      top += pad.Top + item->Height() + pad.Bottom;
    }
  }
  FLayoutDirty = false;  // item updates above may have marked it again
  ScrollTo(FScroll);
}

float TvxListBox::ContentHeight() {
  EnsureItemLayout();
  if (FItems.empty()) return 0;
  const TvxListBoxItem* last = FItems.back();
  return FTops.back() +
         (last->Visible() ? last->Height() + last->Padding().Top + last->Padding().Bottom : 0);
}

void TvxListBox::ScrollTo(float offset) {
  const float maxScroll = std::max(0.0f, ContentHeight() - ViewportHeight());
  offset = std::clamp(offset, 0.0f, maxScroll);
  if (offset == FScroll) return;
  FScroll = offset;
  Repaint();
}

QTransform TvxListBox::ContentTransform() const {
  return QTransform::fromTranslate(0, -FScroll);
}

std::pair<int, int> TvxListBox::VisibleRange() {
  EnsureItemLayout();
  const float from = FScroll, to = FScroll + ViewportHeight();
  auto first = std::upper_bound(FTops.begin(), FTops.end(), from);
  int begin = int(first - FTops.begin()) - 1;
  begin = std::max(begin, 0);
  auto last = std::lower_bound(FTops.begin(), FTops.end(), to);
  int end = int(last - FTops.begin());
  return {begin, std::min(end, Count())};
}

TvxListBoxItem* TvxListBox::ItemByPoint(float x, float y) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return nullptr;
  auto [begin, end] = VisibleRange();
  for (int i = begin; i < end; ++i) {
    TvxListBoxItem* item = FItems[size_t(i)];
    if (!item->Visible()) continue;
    const QPointF local = item->LocalToParent().inverted().map(QPointF(x, y));
    if (item->ContainsLocalPoint(local)) return item;
  }
  return nullptr;
}

TvxVisualObject* TvxListBox::ObjectAtPoint(QPointF local) {
  if (!Visible() || !Enabled()) return nullptr;
  if (!ContainsLocalPoint(local)) return nullptr;
  if (ScrollThumbRect().adjusted(-3, 0, 3, 0).contains(local) && HitTest()) return this;
  auto [begin, end] = VisibleRange();
  for (int i = end - 1; i >= begin; --i) {
    TvxListBoxItem* item = FItems[size_t(i)];
    if (!item->Visible()) continue;
    item->EnsureChildren();
    if (TvxVisualObject* hit = item->ObjectAtPoint(item->LocalToParent().inverted().map(local)))
      return hit;
  }
  return HitTest() ? this : nullptr;
}

void TvxListBox::Realign() {
  TvxControl::Realign();
  FLayoutDirty = true;
}

QRectF TvxListBox::ScrollThumbRect() {
  const float content = ContentHeight(), view = ViewportHeight();
  if (content <= view || view <= 0) return QRectF();
  const float barW = SmallScrollBars ? 4 : 7;
  const float thumbH = std::max(16.0f, view * view / content);
  const float y = Margins().Top + (view - thumbH) * (FScroll / (content - view));
  return QRectF(Width() - Margins().Right - barW - 1, y, barW, thumbH);
}

void TvxListBox::Paint(QPainter& p) {
  PaintFillAndStroke(p);
}

void TvxListBox::PaintChildren(QPainter& p, float opacity) {
  auto [begin, end] = VisibleRange();
  for (int i = begin; i < end; ++i) FItems[size_t(i)]->EnsureChildren();
  p.save();
  p.setClipRect(QRectF(Margins().Left, Margins().Top, ItemsWidth(), ViewportHeight()),
                Qt::IntersectClip);
  for (int i = begin; i < end; ++i) FItems[size_t(i)]->PaintTree(p, opacity);
  p.restore();
  const QRectF thumb = ScrollThumbRect();
  if (!thumb.isEmpty()) {
    p.setOpacity(opacity);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(ScrollColor));
    p.drawRoundedRect(thumb, thumb.width() / 2, thumb.width() / 2);
  }
}

void TvxListBox::MouseDown(TvxMouseButton button, unsigned shift, float x, float y) {
  const QRectF thumb = ScrollThumbRect();
  if (button == mbLeft && thumb.adjusted(-3, 0, 3, 0).contains(QPointF(x, y))) {
    FDraggingThumb = true;
    FThumbGrab = y - float(thumb.top());
  } else if (TvxListBoxItem* item = ItemByPoint(x, y)) {
    const std::weak_ptr<void> alive = LifeToken();
    Select(item);
    if (!IsAlive(alive)) return;
  }
  TvxControl::MouseDown(button, shift, x, y);
}

void TvxListBox::MouseMove(unsigned shift, float x, float y, float dx, float dy) {
  if (FDraggingThumb) {
    const QRectF thumb = ScrollThumbRect();
    const float track = ViewportHeight() - float(thumb.height());
    if (track > 0) {
      const float top = y - FThumbGrab - Margins().Top;
      ScrollTo(top / track * (ContentHeight() - ViewportHeight()));
    }
    return;
  }
  if (MouseTracking)
    if (TvxListBoxItem* item = ItemByPoint(x, y)) Select(item);
  TvxControl::MouseMove(shift, x, y, dx, dy);
}

void TvxListBox::MouseUp(TvxMouseButton button, unsigned shift, float x, float y) {
  if (FDraggingThumb) {
    FDraggingThumb = false;
    SetIsPressed(false);
    return;
  }
  TvxControl::MouseUp(button, shift, x, y);
}

bool TvxListBox::MouseWheel(unsigned shift, int delta) {
  if (TvxControl::MouseWheel(shift, delta)) return true;
  const float step = FItems.empty() ? 20 : std::max(19.0f, FItems.front()->Height());
  ScrollBy(-float(delta) / 120.0f * step);
  return true;
}

void TvxListBox::KeyDown(int& key, QString& keyChar, unsigned shift) {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::KeyDown(key, keyChar, shift);
  if (!IsAlive(alive) || (key != 38 && key != 40)) return;
  const int index = std::clamp(ItemIndex() + (key == 40 ? 1 : -1), 0, Count() - 1);
  SetItemIndex(index);
  if (TvxListBoxItem* item = Selected()) {
    EnsureItemLayout();
    const float top = FTops[size_t(index)], h = item->Height();
    if (top < FScroll) ScrollTo(top);
    if (top + h > FScroll + ViewportHeight()) ScrollTo(top + h - ViewportHeight());
  }
}

void TvxStrings::Add(const QString& s) {
  auto* item = new TvxListBoxItem();
  if (FOwner->ItemHeight > 0) item->SetHeight(FOwner->ItemHeight);
  item->SetText(s);
  item->SetParent(FOwner);
}

void TvxStrings::Clear() {
  FOwner->Clear();
}
int TvxStrings::Count() const {
  return FOwner->Count();
}
QString TvxStrings::operator[](int i) const {
  TvxListBoxItem* item = FOwner->ItemByIndex(i);
  return item ? item->Text() : QString();
}

TvxStringListBox::TvxStringListBox() {
  ItemHeight = 19;
}
