// melvo-art export DIR: writes "sound on.png" and the icon theme below DIR.
// melvo-art sheet FILE.png: draws every picture at 1× and 2× on one contact sheet.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "ContactSheet.h"
#include "window/Pictures.h"

namespace {

bool WriteFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

bool Export(const QString& dir) {
  bool ok = true;
  // Drawn at twice the button's 20 units so that it stays crisp on HiDPI screens too; the
  // button scales any picture into its glyph box.
  QImage sound = Pictures::Picture(TPicture::SoundOn, QSize(40, 40), 1.0);
  ok = sound.save(dir + "/sound on.png") && ok;
  const QString theme = dir + "/icons/hicolor";
  for (int s : {16, 24, 32, 48, 64, 128, 256}) {
    const QString sub = QStringLiteral("%1/%2x%2/apps").arg(theme).arg(s);
    QDir().mkpath(sub);
    ok = Pictures::Picture(TPicture::AppIcon, QSize(s, s), 1.0).save(sub + "/melvo.png") && ok;
  }
  ok = WriteFile(theme + "/scalable/apps/melvo.svg", Pictures::Source(TPicture::AppIcon)) && ok;
  return ok;
}

// The whole sheet, and each of its parts beside it as FILE-1.png, FILE-2.png, … for viewers
// that shrink large pictures.
bool Sheet(const QString& file) {
  QList<QRect> sections;
  const QImage sheet = DrawContactSheet(&sections);
  bool ok = sheet.save(file);
  QString stem = file;
  if (stem.endsWith(".png", Qt::CaseInsensitive)) stem.chop(4);
  for (int i = 0; i < sections.size(); ++i)
    ok = sheet.copy(sections[i]).save(QStringLiteral("%1-%2.png").arg(stem).arg(i + 1)) && ok;
  return ok;
}

int Usage() {
  std::fputs(
      "usage: melvo-art export DIR      write \"sound on.png\" and icons/hicolor below DIR\n"
      "       melvo-art sheet FILE.png  draw every picture at 1x and 2x on a contact sheet\n"
      "                                 (and its parts as FILE-1.png, FILE-2.png, ...)\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 3) return Usage();
  if (args[1] == "export") return Export(args[2]) ? 0 : 1;
  if (args[1] == "sheet") return Sheet(args[2]) ? 0 : 1;
  return Usage();
}
