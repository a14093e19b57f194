// The player's own pictures: SVG sources compiled in as Qt resources, rendered once per logical
// size and device pixel ratio and kept. Every image handed out carries its devicePixelRatio, so
// it paints at its logical size on any screen. Main thread only, like the rest of the window.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

class TdxBitmapList;

enum class TPicture {
  Background0,  // the default background of both faces, before a choice is applied
  Background1,  // Background1 … Background8: the eight pictures of the settings face
  Background2,
  Background3,
  Background4,
  Background5,
  Background6,
  Background7,
  Background8,
  Disc,          // the record that turns beside the artist picture
  Artist,        // the default artist picture (an album sleeve)
  Invitation,    // imgTip: invites the user to add songs
  Message,       // the confirmation popup's picture
  PagePrevious,  // btnOLper
  PageNext,      // btnOLnext
  AppIcon,       // application, window and tray icon
  SoundOn,       // the "sound on.png" file beside the program
  ThumbPlay,     // M_PLAY … M_RND: the small media-control icons
  ThumbPause,
  ThumbNext,
  ThumbRandom,
};

namespace Pictures {

inline constexpr int kGlyphCount = 22;  // entries of bmplist1
inline constexpr int kNoGlyph = 19;     // the nameless, empty entry

// `which` rendered at `logical` size (its natural size when `logical` is empty) for a screen of
// pixel ratio `dpr`: the image is round(logical × dpr) pixels and says devicePixelRatio() == dpr.
// The same request returns the same cached image. A picture whose aspect differs from the
// requested size is stretched, as the form's image fills do.
QImage Picture(TPicture which, QSize logical = QSize(), qreal dpr = 1.0);

// The size the picture is drawn for in the window (the disc 106 × 106, a background 520 × 315, …).
QSize NaturalSize(TPicture which);

// Background number n as stored in the configuration: 1 … 8; anything else is the default one.
TPicture Background(int n);

// Entry `index` of bmplist1 as a square glyph, white on transparent; a null image for entry 19
// and for indices outside 0 … 21. `logicalSize` 0 means the size the window uses it at.
QImage Glyph(int index, int logicalSize = 0, qreal dpr = 1.0);
QString GlyphName(int index);  // "关闭" … "意见反馈"; empty for 19 and outside the list
int GlyphSize(int index);      // the glyph's size in the window: 48 play/pause, 36 return, …

// Clears nothing: appends the 22 entries of bmplist1 in index order, each with its name and its
// glyph at GlyphSize(index) × dpr (entry 19 nameless and empty).
void FillBitmapList(TdxBitmapList& list, qreal dpr);

// The application icon at 16 … 256 pixels (window, tray, and the icon theme's fallback).
QIcon AppIcon();
// A thumbnail icon (ThumbPlay … ThumbRandom) at 16 and 32 pixels; an empty icon for others.
QIcon ThumbIcon(TPicture which);

// The SVG text of a picture, for tools that write it out (the icon theme's scalable icon).
QByteArray Source(TPicture which);
// Number of rendered images held, and forgetting them all (images handed out stay valid).
int CachedCount();
void ClearCache();

}  // namespace Pictures
