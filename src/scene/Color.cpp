#include <QColor>

#include "scene/Types.h"

namespace {

bool IsHexColorText(const QString& text) {
  if (text.size() != 9 || text[0] != u'#') return false;
  for (int i = 1; i < 9; ++i) {
    const QChar c = text[i];
    const bool hex =
        (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (!hex) return false;
  }
  return true;
}

bool IsPlainName(const QString& text) {
  if (text.isEmpty()) return false;
  for (QChar c : text)
    if (!c.isLetter() || c.unicode() > 127) return false;
  return true;
}

}  // namespace

TAlphaColor vgStrToColor(const QString& text) {
  if (IsHexColorText(text)) return TAlphaColor(text.mid(1).toUInt(nullptr, 16));
  // Only bare ASCII names go to the named-colour table: Qt would also accept "#RGB" and the
  // like, which must stay invalid here.
  if (!IsPlainName(text)) return 0;
  if (text.compare(QLatin1String("transparent"), Qt::CaseInsensitive) == 0) return 0;
  const QColor named = QColor::fromString(text.toLower());
  return named.isValid() ? TAlphaColor(named.rgba()) : 0;
}

QString vgColorToStr(TAlphaColor color) {
  return QStringLiteral("#%1").arg(color, 8, 16, QLatin1Char('0')).toUpper();
}
