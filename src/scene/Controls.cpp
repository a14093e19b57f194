#include "scene/Controls.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "scene/Scene.h"

// ---------------------------------------------------------------------------------------------
// Text

QFont TvxFont::ToQFont() const {
  QFont f;
  QStringList families{Family};
  if (Family == QStringLiteral("微软雅黑") || Family == QStringLiteral("Microsoft YaHei"))
    families << QStringLiteral("Microsoft YaHei");
  families << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("Noto Sans SC")
           << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("sans-serif");
  f.setFamilies(families);
  f.setPixelSize(std::max(1, int(std::lround(Size))));
  f.setBold(Style == vgFontBold || Style == vgFontBoldItalic);
  f.setItalic(Style == vgFontItalic || Style == vgFontBoldItalic);
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

static Qt::Alignment ToQtAlign(TvxTextAlign horz, TvxTextAlign vert) {
  Qt::Alignment a;
  a |= horz == vgTextAlignNear  ? Qt::AlignLeft
       : horz == vgTextAlignFar ? Qt::AlignRight
                                : Qt::AlignHCenter;
  a |= vert == vgTextAlignNear  ? Qt::AlignTop
       : vert == vgTextAlignFar ? Qt::AlignBottom
                                : Qt::AlignVCenter;
  return a;
}

void vgDrawText(QPainter& p, const QRectF& r, const QString& text, const TvxFont& font,
                TAlphaColor color, TvxTextAlign horz, TvxTextAlign vert, bool wordWrap) {
  if (text.isEmpty() || ColorAlpha(color) == 0) return;
  p.setFont(font.ToQFont());
  p.setPen(QColor::fromRgba(color));
  QTextOption option(ToQtAlign(horz, vert));
  option.setWrapMode(wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
  if (!wordWrap) {
    // One line: cut with an ellipsis rather than spilling out of the box.
    const QFontMetricsF fm(p.font());
    const QString shown = fm.elidedText(text, Qt::ElideRight, r.width());
    p.drawText(r, shown, option);
    return;
  }
  p.drawText(r, text, option);
}

QImage vgRenderSvg(const QByteArray& svg, int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) return QImage();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  renderer.render(&p);
  return image;
}

// ---------------------------------------------------------------------------------------------
// Controls and styles

void TvxControl::SetResource(const QString& name) {
  FResource = name;
  FStyled = false;
  ApplyStyle();
}

TvxControl::StyleChoice TvxControl::ChooseStyle(const TvxResources* sceneResources) const {
  const TvxResources& generic = TvxResources::Generic();
  auto find = [&](const QString& name) {
    const TvxResources::TStyleBuilder* b = sceneResources ? sceneResources->Find(name) : nullptr;
    return b ? b : generic.Find(name);
  };
  if (FResource.isEmpty()) return {find(DefaultStyle()), true};
  if (const TvxResources::TStyleBuilder* b = find(FResource)) return {b, true};
  return {find(DefaultStyle()), false};
}

void TvxControl::ApplyStyle() {
  if (FStyled) return;
  TdxScene* scene = Scene();
  const StyleChoice choice = ChooseStyle(scene ? scene->Resources() : nullptr);
  // Out of any scene, a style the generic looks lack may come with the scene's resources: keep
  // the parts it has and wait for the scene instead of dressing the control twice.
  if (!scene && !choice.Named) {
    FStylePending = true;
    return;
  }
  Dress(choice.Builder);
}

void TvxControl::Dress(const TvxResources::TStyleBuilder* builder) {
  FStyled = true;
  FStylePending = false;
  FStyleBuilder = builder;
  for (int i = ChildrenCount() - 1; i >= 0; --i)
    if (Child(i)->Locked) delete Child(i);
  if (builder) (*builder)(this);
  StyleApplied();
  Realign();
  Repaint();
}

void TvxControl::SceneJoined(TdxScene* scene) {
  const StyleChoice choice = ChooseStyle(scene->Resources());
  if (FStylePending || (FStyled && choice.Builder != FStyleBuilder)) {
    const std::weak_ptr<void> alive = LifeToken();
    Dress(choice.Builder);
    if (!IsAlive(alive)) return;
  }
  TvxVisualObject::SceneJoined(scene);
}

TvxObject* TvxControl::FindStyleResource(const QString& binding) {
  if (FStylePending) {
    TdxScene* scene = Scene();
    Dress(ChooseStyle(scene ? scene->Resources() : nullptr).Builder);
  }
  return StylePart(binding);
}

TvxObject* TvxControl::StylePart(const QString& binding) const {
  for (TvxObject* c : Children()) {
    if (!c->Locked) continue;
    if (TvxObject* found = c->FindBinding(binding)) return found;
  }
  return nullptr;
}

void TvxControl::SetStyleText(const QString& binding, const QString& text) {
  if (TvxObject* part = StylePart(binding)) part->SetBindingData(text);
}

TvxLayout::TvxLayout() {
  SetHitTest(false);
}

void TvxRectangle::Paint(QPainter& p) {
  PaintFillAndStroke(p, std::max(XRadius, YRadius));
}

// ---------------------------------------------------------------------------------------------
// Effects

TvxEffect::TvxEffect() {
  SetHitTest(false);
  Locked = true;
  SetAlign(vaClient);
}

static QImage GlowFrom(const QImage& source, QSize size, TAlphaColor color, int radius) {
  QImage mask(size + QSize(2 * radius, 2 * radius), QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  {
    QPainter p(&mask);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int steps = 12;
    p.setOpacity(0.22);
    for (int ring = 1; ring <= 2; ++ring)
      for (int i = 0; i < steps; ++i) {
        const double a = 2 * M_PI * i / steps;
        const double d = radius * ring / 2.0;
        p.drawImage(
            QRectF(radius + d * std::cos(a), radius + d * std::sin(a), size.width(), size.height()),
            source);
      }
    p.setOpacity(1);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(mask.rect(), QColor::fromRgba(color));
  }
  return mask;
}

void TvxEffect::Paint(QPainter& p) {
  const QRectF r = LocalRect();
  const float radius = 2 + Softness * 20;
  if (FollowGlyph) {
    auto* control = dynamic_cast<TvxControl*>(Parent());
    auto* image = control ? dynamic_cast<TvxImage*>(control->StylePart("image")) : nullptr;
    if (image && !image->Bitmap().IsEmpty() && image->Visible()) {
      // The glow image depends only on glyph, size and colour; keep the last one.
      static thread_local struct {
        qint64 key = 0;
        QSize size;
        TAlphaColor color = 0;
        QImage glow;
      } cache;
      const QSize size(std::max(1, int(image->Width())), std::max(1, int(image->Height())));
      const int rad = int(radius);
      if (cache.key != image->Bitmap().Image().cacheKey() || cache.size != size ||
          cache.color != GlowColor) {
        cache.key = image->Bitmap().Image().cacheKey();
        cache.size = size;
        cache.color = GlowColor;
        cache.glow = GlowFrom(
            image->Bitmap().Image().scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation),
            size, GlowColor, rad);
      }
      p.drawImage(QPointF(image->Position().X() - rad, image->Position().Y() - rad), cache.glow);
      return;
    }
  }
  QColor c = QColor::fromRgba(GlowColor);
  QPointF offset(0, 0);
  if (Shadow) {
    const double a = Direction * M_PI / 180;
    offset = QPointF(Distance * std::cos(a), Distance * std::sin(a));
  }
  const int rings = 6;
  p.setPen(Qt::NoPen);
  for (int i = rings; i >= 1; --i) {
    const double grow = radius * i / rings;
    QColor ring = c;
    ring.setAlphaF(c.alphaF() * (1.0 / rings) * (Shadow ? 0.9 : 0.7));
    p.setBrush(ring);
    p.drawRoundedRect(r.translated(offset).adjusted(-grow, -grow, grow, grow), CornerRadius + grow,
                      CornerRadius + grow);
  }
}

// ---------------------------------------------------------------------------------------------
// Text, image

TvxText::TvxText() {
  Fill().SetColor(0xFF000000);
}

void TvxText::SetText(const QString& t) {
  if (FText == t) return;
  FText = t;
  Repaint();
}

void TvxText::Paint(QPainter& p) {
  vgDrawText(p, LocalRect(), FText, Font, Fill().Color(), HorzTextAlign, VertTextAlign, WordWrap);
}

TvxImage::TvxImage() {
  FBitmap.OnChange = [this] { Repaint(); };
}

void TvxImage::Paint(QPainter& p) {
  if (FBitmap.IsEmpty()) return;
  const QImage& img = FBitmap.Image();
  if (WrapMode == vgWrapTile) {
    p.fillRect(LocalRect(), QBrush(img));
    return;
  }
  p.drawImage(LocalRect(), img);
}

// ---------------------------------------------------------------------------------------------
// Buttons

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
// List box

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

// ---------------------------------------------------------------------------------------------
// Progress bar and track bar

TvxProgressBar::TvxProgressBar() {
  SetWidth(150);
  SetHeight(14);
  SetClipChildren(true);
  ApplyStyle();
}

void TvxProgressBar::SetMin(float v) {
  FMin = v;
  SetValue(FValue);
  Repaint();
}
void TvxProgressBar::SetMax(float v) {
  FMax = v;
  SetValue(FValue);
  Repaint();
}
void TvxProgressBar::SetValue(float v) {
  v = std::clamp(v, std::min(FMin, FMax), std::max(FMin, FMax));
  if (v == FValue) return;
  FValue = v;
  Repaint();
}

QRectF TvxProgressBar::IndicatorRect() const {
  const QRectF inner =
      LocalRect().adjusted(IndicatorInset, IndicatorInset, -IndicatorInset, -IndicatorInset);
  const float span = FMax - FMin;
  const float f = span > 0 ? std::clamp((FValue - FMin) / span, 0.0f, 1.0f) : 0;
  if (Vertical)
    return QRectF(inner.left(), inner.bottom() - inner.height() * f, inner.width(),
                  inner.height() * f);
  return QRectF(inner.left(), inner.top(), inner.width() * f, inner.height());
}

void TvxProgressBar::Paint(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromRgba(TrackColor));
  p.drawRect(LocalRect());
  const QRectF ind = IndicatorRect();
  p.setBrush(QColor::fromRgba(IndicatorColor));
  p.drawRect(ind);
  // The moving band loops while the bar is on screen; painting is how we know it is.
  if (auto* band = StylePart(QStringLiteral("bandmove")))
    if (auto* a = band->AsAnimation(); a && !a->Running()) a->Start();
}

TvxPropKind TvxProgressBar::PropKind(const QString& name) const {
  if (SameName(name, "Value") || SameName(name, "Min") || SameName(name, "Max"))
    return TvxPropKind::Float;
  return TvxControl::PropKind(name);
}
float TvxProgressBar::GetFloatProp(const QString& name) const {
  if (SameName(name, "Value")) return FValue;
  if (SameName(name, "Min")) return FMin;
  if (SameName(name, "Max")) return FMax;
  return TvxControl::GetFloatProp(name);
}
void TvxProgressBar::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "Value"))
    SetValue(value);
  else if (SameName(name, "Min"))
    SetMin(value);
  else if (SameName(name, "Max"))
    SetMax(value);
  else
    TvxControl::SetFloatProp(name, value);
}

// The thumb takes the mouse itself (for its hover colour) and hands the drag to its bar.
class TvxThumb : public TvxControl {
 public:
  TvxThumb() {
    Locked = true;
    Stroke().SetKind(vgBrushNone);
    ApplyStyle();
  }
  void Paint(QPainter& p) override { PaintFillAndStroke(p, std::min(Width(), Height()) / 2); }
  TvxTrackBar* Bar() const { return dynamic_cast<TvxTrackBar*>(Parent()); }
  QPointF ToBar(float x, float y) const { return LocalToParent().map(QPointF(x, y)); }
  void MouseDown(TvxMouseButton b, unsigned s, float x, float y) override {
    SetIsPressed(b == mbLeft);
    if (auto* bar = Bar()) bar->MouseDown(b, s, float(ToBar(x, y).x()), float(ToBar(x, y).y()));
  }
  void MouseMove(unsigned s, float x, float y, float dx, float dy) override {
    if (auto* bar = Bar())
      bar->MouseMove(s, float(ToBar(x, y).x()), float(ToBar(x, y).y()), dx, dy);
  }
  void MouseUp(TvxMouseButton b, unsigned s, float x, float y) override {
    SetIsPressed(false);
    if (auto* bar = Bar()) bar->MouseUp(b, s, float(ToBar(x, y).x()), float(ToBar(x, y).y()));
  }

 protected:
  QString DefaultStyle() const override { return QStringLiteral("trackthumbstyle"); }
};

TvxTrackBar::TvxTrackBar() {
  SetWidth(100);
  SetHeight(14);
  ApplyStyle();
}

void TvxTrackBar::StyleApplied() {
  FThumb = nullptr;
  for (TvxObject* c : Children())
    if (auto* t = dynamic_cast<TvxThumb*>(c)) FThumb = t;
  if (!FThumb) {
    auto* t = new TvxThumb();
    t->SetParent(this);
    if (!ThumbResource.isEmpty()) t->SetResource(ThumbResource);
    FThumb = t;
  }
  PlaceThumb();
}

void TvxTrackBar::SetMin(float v) {
  FMin = v;
  SetValue(FValue);
  PlaceThumb();
}
void TvxTrackBar::SetMax(float v) {
  FMax = v;
  SetValue(FValue);
  PlaceThumb();
}

void TvxTrackBar::SetValue(float v) {
  v = std::clamp(v, std::min(FMin, FMax), std::max(FMin, FMax));
  if (Frequency > 0) v = FMin + std::round((v - FMin) / Frequency) * Frequency;
  if (v == FValue) return;
  FValue = v;
  PlaceThumb();
  Repaint();
  if (FDragging && !Tracking) {
    FPendingChange = true;
    return;
  }
  vgRaise(OnChange, this);
}

void TvxTrackBar::Realign() {
  TvxControl::Realign();
  PlaceThumb();
}

void TvxTrackBar::PlaceThumb() {
  if (!FThumb) return;
  const float span = FMax - FMin;
  const float f = span > 0 ? (FValue - FMin) / span : 0;
  if (Vertical) {
    const float size = Width();
    FThumb->SetBounds(0, (Height() - size) * f, size, size);
  } else {
    const float size = Height();
    FThumb->SetBounds((Width() - size) * f, 0, size, size);
  }
}

float TvxTrackBar::ValueAt(float x, float y) const {
  const float span = FMax - FMin;
  const float f = Vertical ? (y - Width() / 2) / std::max(1.0f, Height() - Width())
                           : (x - Height() / 2) / std::max(1.0f, Width() - Height());
  return FMin + std::clamp(f, 0.0f, 1.0f) * span;
}

void TvxTrackBar::Paint(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromRgba(TrackColor));
  const QRectF r =
      Vertical ? QRectF(Width() / 2 - 2, 0, 4, Height()) : QRectF(0, Height() / 2 - 2, Width(), 4);
  p.drawRoundedRect(r, 2, 2);
}

void TvxTrackBar::MouseDown(TvxMouseButton button, unsigned shift, float x, float y) {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::MouseDown(button, shift, x, y);
  if (!IsAlive(alive) || button != mbLeft) return;
  FDragging = true;
  SetValue(ValueAt(x, y));
}

void TvxTrackBar::MouseMove(unsigned shift, float x, float y, float dx, float dy) {
  const std::weak_ptr<void> alive = LifeToken();
  if (FDragging) SetValue(ValueAt(x, y));
  if (IsAlive(alive)) TvxControl::MouseMove(shift, x, y, dx, dy);
}

void TvxTrackBar::MouseUp(TvxMouseButton button, unsigned shift, float x, float y) {
  const std::weak_ptr<void> alive = LifeToken();
  const bool pending = FPendingChange;
  FDragging = false;
  FPendingChange = false;
  if (pending) vgRaise(OnChange, this);
  if (IsAlive(alive)) TvxControl::MouseUp(button, shift, x, y);
}

bool TvxTrackBar::MouseWheel(unsigned shift, int delta) {
  if (TvxControl::MouseWheel(shift, delta)) return true;
  SetValue(FValue - float(delta) / 120.0f * (FMax - FMin) / 20.0f);
  return true;
}

TvxPropKind TvxTrackBar::PropKind(const QString& name) const {
  if (SameName(name, "Value")) return TvxPropKind::Float;
  return TvxControl::PropKind(name);
}
float TvxTrackBar::GetFloatProp(const QString& name) const {
  return SameName(name, "Value") ? FValue : TvxControl::GetFloatProp(name);
}
void TvxTrackBar::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "Value"))
    SetValue(value);
  else
    TvxControl::SetFloatProp(name, value);
}

// ---------------------------------------------------------------------------------------------
// Text box

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

// ---------------------------------------------------------------------------------------------
// Popup

TvxMessagePopup::TvxMessagePopup() {
  SetWidth(300);
  SetHeight(200);
  SetVisible(false);
  ApplyStyle();
}

TvxMessagePopup::~TvxMessagePopup() {
  if (FQuitLoop) FQuitLoop();  // a modal wait ends when its popup goes
}

float TvxMessagePopup::PlacedY() const {
  if (PlacementTarget)
    return PlacementTarget->Position().Y() + PlacementTarget->Height() + VerticalOffset;
  return VerticalOffset;
}

void TvxMessagePopup::Popup() {
  if (FOpen) return;
  FOpen = true;
  Position().SetY(HiddenY);
  SetVisible(true);
  StartTriggerAnimation(this, QStringLiteral("IsOpen"));
  AnimateFloat(QStringLiteral("Position.Y"), PlacedY(), OpenDuration, vgAnimationOut,
               OpenInterpolation);
}

void TvxMessagePopup::ClosePopup() {
  if (!FOpen) return;
  FOpen = false;
  const std::weak_ptr<void> alive = LifeToken();
  AnimateFloatWait(QStringLiteral("Position.Y"), HiddenY, CloseDuration, vgAnimationIn,
                   CloseInterpolation);
  if (IsAlive(alive)) SetVisible(false);
}

void TvxMessagePopup::SetModalResult(int r) {
  FModalResult = r;
  if (r != mrNone && FQuitLoop) FQuitLoop();
}

int TvxMessagePopup::PopupModal() {
  if (FModal || !QCoreApplication::instance()) return mrCancel;
  FModalResult = mrNone;
  FModal = true;
  Popup();
  const std::weak_ptr<void> alive = LifeToken();
  {
    QEventLoop loop;
    FQuitLoop = [&loop] { loop.exit(0); };
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop,
                     &QEventLoop::quit);
    if (FModalResult == mrNone) loop.exec();
  }
  if (!IsAlive(alive)) return mrCancel;  // freed meanwhile
  FQuitLoop = nullptr;
  FModal = false;
  const int result = FModalResult == mrNone ? mrCancel : FModalResult;
  ClosePopup();
  return result;
}

std::optional<bool> TvxMessagePopup::GetBoolProp(const QString& name) const {
  if (SameName(name, "IsOpen")) return FOpen;
  return TvxControl::GetBoolProp(name);
}
