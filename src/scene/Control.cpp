#include "scene/Control.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "scene/Scene.h"
#include "scene/TextPictures.h"
#include "scene/TurnFrames.h"

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

static void DrawTextDirectly(QPainter& p, const QRectF& r, const TvxTextLook& look) {
  p.setFont(TvxFont{look.Family, look.Size, TvxFontStyle(look.Style)}.ToQFont());
  p.setPen(QColor::fromRgba(look.Color));
  QTextOption option(ToQtAlign(TvxTextAlign(look.Horz), TvxTextAlign(look.Vert)));
  option.setWrapMode(look.WordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                   : QTextOption::NoWrap);
  if (!look.WordWrap) {
    // One line: cut with an ellipsis rather than spilling out of the box.
    const QFontMetricsF fm(p.font());
    const QString shown = fm.elidedText(look.Text, Qt::ElideRight, r.width());
    p.drawText(r, shown, option);
    return;
  }
  p.drawText(r, look.Text, option);
}

void vgDrawText(QPainter& p, const QRectF& r, const QString& text, const TvxFont& font,
                TAlphaColor color, TvxTextAlign horz, TvxTextAlign vert, bool wordWrap) {
  if (text.isEmpty() || ColorAlpha(color) == 0) return;
  const TvxTextLook look{text,  font.Family, font.Size, int(font.Style),
                         color, int(horz),   int(vert), wordWrap};
  // Two references: small enough for std::function to keep without allocating, on every paint.
  auto direct = [&r, &look](QPainter& to) { DrawTextDirectly(to, r, look); };
  if (!TvxTextPictures::Draw(p, r, look, direct)) direct(p);
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
  FBitmap.OnChange = [this] {
    // The old picture may have been turned beyond the box even if the new one is round.
    FRepaintingChange = true;
    Repaint();
    FRepaintingChange = false;
  };
}

bool TvxImage::IsRound() const {
  if (FBitmap.IsEmpty()) return false;
  if (FRoundKey != FBitmap.Image().cacheKey()) {
    FRoundKey = FBitmap.Image().cacheKey();
    FRound = vgIsRoundPicture(FBitmap.Image());
  }
  return FRound;
}

TvxVisualObject::TvxOpaqueBands TvxImage::OpaqueBands() const {
  if (FBitmap.IsEmpty() || WrapMode != vgWrapStretch || RotateAngle() != 0) return {};
  const QImage& img = FBitmap.Image();
  if (FBandsKey != img.cacheKey()) {
    FBandsKey = img.cacheKey();
    std::tie(FColumns, FRows) = vgOpaqueBands(img);
  }
  // A stretched picture is smoothed: beside an inner edge of a band a picture pixel blends with
  // its translucent neighbour, so a band loses a picture pixel there.
  const int w = img.width(), h = img.height();
  const qreal sx = Width() / w, sy = Height() / h;
  const auto inner = [](int first, int end, int size) {  // [first, end) within [0, size)
    return std::pair(first > 0 ? first + 1 : first, end < size ? end - 1 : end);
  };
  TvxOpaqueBands bands;
  if (const auto [x0, x1] = inner(FColumns.left(), FColumns.right() + 1, w);
      !FColumns.isEmpty() && x1 > x0)
    bands.Columns = QRectF(x0 * sx, 0, (x1 - x0) * sx, h * sy);
  if (const auto [y0, y1] = inner(FRows.top(), FRows.bottom() + 1, h); !FRows.isEmpty() && y1 > y0)
    bands.Rows = QRectF(0, y0 * sy, w * sx, (y1 - y0) * sy);
  return bands;
}

bool TvxImage::TurnsWithinItsBox() const {
  if (FRepaintingChange || WrapMode != vgWrapStretch || std::fabs(Width() - Height()) > 0.01f)
    return false;
  for (TvxObject* c : Children())
    if (c->AsVisual()) return false;
  return IsRound();
}

// Drawn from a frame of the turn when the picture is round and shown unscaled (apart from the
// pixel ratio); perspective, shear or a scaled layer (the flip) turn it directly.
bool TvxImage::PaintTurned(QPainter& p) {
  const QTransform w = p.worldTransform();
  if (w.type() > QTransform::TxRotate || !TurnsWithinItsBox()) return false;
  const double sx = std::hypot(w.m11(), w.m12()), sy = std::hypot(w.m21(), w.m22());
  if (std::fabs(sx - 1) > 1e-3 || std::fabs(sy - 1) > 1e-3) return false;
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  const int size = int(std::lround(Width() * dpr));
  if (size < 2 || TvxTurnFrames::Steps(size) == 0) return false;
  const double degrees = std::atan2(w.m12(), w.m11()) * 180 / M_PI;
  const QImage& frame = TvxTurnFrames::Frame(FBitmap.Image(), size, degrees, dpr);
  // Whole device pixels, so that the frame is copied, not resampled.
  const QPointF centre = w.map(LocalRect().center()) * dpr;
  const QPointF at(std::round(centre.x() - size / 2.0) / dpr,
                   std::round(centre.y() - size / 2.0) / dpr);
  p.setWorldTransform(QTransform());
  p.drawImage(at, frame);
  p.setWorldTransform(w);
  return true;
}

void TvxImage::Paint(QPainter& p) {
  if (FBitmap.IsEmpty()) return;
  const QImage& img = FBitmap.Image();
  if (WrapMode == vgWrapTile) {
    p.fillRect(LocalRect(), QBrush(img));
    return;
  }
  if (RotateAngle() != 0 && PaintTurned(p)) return;
  p.drawImage(LocalRect(), img);
}
