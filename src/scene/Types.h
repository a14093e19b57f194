// Basic value types of the scene toolkit: colours, enumerations, cursors.
#pragma once

#include <QString>
#include <cstdint>

using TAlphaColor = uint32_t;  // alpha in the top byte, then red, green, blue

enum TvxAlign { vaNone, vaTop, vaLeft, vaRight, vaBottom, vaClient };
enum TvxAnimationType { vgAnimationIn, vgAnimationOut, vgAnimationInOut };
enum TvxInterpolationType {
  vgInterpolationLinear,
  vgInterpolationQuadratic,
  vgInterpolationCubic,
  vgInterpolationQuartic,
  vgInterpolationQuintic,
  vgInterpolationSinusoidal,
  vgInterpolationExponential,
  vgInterpolationCircular,
  vgInterpolationElastic,
  vgInterpolationBack,
  vgInterpolationBounce
};
enum TvxTextAlign { vgTextAlignCenter, vgTextAlignNear, vgTextAlignFar };
enum TvxButtonLayout { vgGlyphLeft, vgGlyphRight, vgGlyphTop, vgGlyphBottom, vgGlyphCenter };
enum TvxFontStyle { vgFontRegular, vgFontBold, vgFontItalic, vgFontBoldItalic };
enum TvxMouseButton { mbLeft, mbRight, mbMiddle };
enum TvxBrushKind { vgBrushNone, vgBrushSolid, vgBrushGradient, vgBrushBitmap };
enum TvxWrapMode { vgWrapStretch, vgWrapTile };

// Cursor codes as the window code passes them.
constexpr int crDefault = 0;
constexpr int crArrow = -2;
constexpr int crIBeam = -4;
constexpr int crHandPoint = -21;

// Modal results of popup buttons.
constexpr int mrNone = 0;
constexpr int mrCancel = 2;
constexpr int mrOk = 1;
constexpr int mrYes = 6;
constexpr int mrNo = 7;

// Shift state bits passed with mouse and key events.
enum TvxShift : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16 };

// "#AARRGGBB" (either case) or a colour name; anything else is 0 (fully transparent).
TAlphaColor vgStrToColor(const QString& text);
// "#" and eight upper-case hex digits.
QString vgColorToStr(TAlphaColor color);

inline uint8_t ColorAlpha(TAlphaColor c) {
  return uint8_t(c >> 24);
}
