// Base of the controls: fonts and texts, the styled control, and the simple shapes (layout,
// rectangle, glow, text, image).
#pragma once

#include <QFont>

#include "scene/Bitmap.h"
#include "scene/Styles.h"
#include "scene/VisualObject.h"

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

// A picture, stretched or tiled. A round picture (clear outside its inscribed ellipse) in a
// square box turns from frames made once per step (scene/TurnFrames.h), and a turn repaints
// only its box.
class TvxImage : public TvxVisualObject {
 public:
  TvxImage();
  TvxBitmap& Bitmap() { return FBitmap; }
  TvxWrapMode WrapMode = vgWrapStretch;
  void Paint(QPainter& p) override;
  bool TurnsWithinItsBox() const override;
  TvxOpaqueBands OpaqueBands() const override;
  // A picture is not stroked: it paints nothing beyond its box but its parts.
  float PaintOutset() const override { return ClipChildren() ? 0 : OutsetOfParts(Children(), 0); }

 private:
  bool IsRound() const;
  bool PaintTurned(QPainter& p);
  TvxBitmap FBitmap;
  bool FRepaintingChange = false;
  mutable qint64 FRoundKey = 0;
  mutable bool FRound = false;
  mutable qint64 FBandsKey = 0;
  mutable QRect FColumns, FRows;  // opaque bands of the picture, in its pixels
};

// An image bound to stored picture data; here it simply holds its picture.
class TvxDBImage : public TvxImage {};

QImage vgRenderSvg(const QByteArray& svg, int width, int height);
