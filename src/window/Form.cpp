#include "window/Form.h"

#include "window/FormStyles.h"

#include <QAction>
#include <QFileDialog>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// The names of bmplist1, by index; entry 19 has neither name nor picture.
const char* const kGlyphNames[22] = {
    "关闭", "最小化",   "设置", "单曲循环", "顺序播放", "列表循环", "随机播放", "播放",
    "暂停", "下一首",   "音量", "返回",     "m_关闭",   "m设置",    "m最小化",  "喇叭X",
    "删除", "默认专辑", "添加", "",         "搜索",     "意见反馈"};

// Stand-in pictures until the form's own are drawn: a soft disc of the accent colour.
QImage Placeholder(int width, int height, QRgb colour) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromRgba(colour));
  p.drawEllipse(QRectF(width * 0.2, height * 0.2, width * 0.6, height * 0.6));
  return image;
}

QImage PlaceholderBackground(int n) {
  QImage image(520, 315, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  QLinearGradient g(0, 0, 520, 315);
  g.setColorAt(0, QColor::fromHsv((n * 40) % 360, 90, 90));
  g.setColorAt(1, QColor::fromHsv((n * 40 + 30) % 360, 120, 40));
  p.fillRect(image.rect(), g);
  return image;
}

void LoadPictures(TForm& form) {
  for (int i = 0; i < 22; ++i)
    form.bmplist1.Add(QString::fromUtf8(kGlyphNames[i]),
                      i == 19 ? QImage() : Placeholder(48, 48, 0xFFF5CD76));
  for (int n = 1; n <= 8; ++n) form.DBImage(n)->Bitmap().Assign(PlaceholderBackground(n));
  const QImage background = PlaceholderBackground(0);
  form.RectangleRoot->Fill().Bitmap().Assign(background);
  form.RectangleRoot->Fill().SetKind(vgBrushBitmap);
  form.RectangleRoot->Fill().SetWrapMode(vgWrapStretch);
  form.RectangleSet->Fill().Bitmap().Assign(background);
  form.RectangleSet->Fill().SetKind(vgBrushBitmap);
  form.RectangleSet->Fill().SetWrapMode(vgWrapTile);
  form.imageDisc->Bitmap().Assign(Placeholder(212, 212, 0xFF303030));
  form.imageArtist->Bitmap().Assign(Placeholder(240, 216, 0xFF9D9D9D));
  form.DBImageWait->Bitmap().Assign(Placeholder(112, 112, 0xFF303030));
  form.imgTip->Bitmap().Assign(Placeholder(810, 528, 0x40FFFFFF));
  form.Image1->Bitmap().Assign(Placeholder(200, 200, 0xFFF49090));
  // The page buttons have no glyph in the list: arrows of their own.
  form.btnOLper->Bitmap().Assign(Placeholder(64, 64, 0xFFE0E0E0));
  form.btnOLnext->Bitmap().Assign(Placeholder(64, 64, 0xFFE0E0E0));
}

QAction* AddItem(QMenu* menu, const char* text) {
  return menu->addAction(QString::fromUtf8(text));
}

void MakeNonVisual(TForm& form) {
  form.dlgOpen1.MultiSelect = true;
  form.dlgOpen1.FileMustExist = true;
  form.dlgOpen2.FileMustExist = true;

  form.pm1 = std::make_unique<QMenu>();
  form.N4 = AddItem(form.pm1.get(), "退出");
  form.TrayIcon1 = std::make_unique<QSystemTrayIcon>();
  form.TrayIcon1->setIcon(QIcon(QPixmap::fromImage(Placeholder(64, 64, 0xFFF5CD76))));
  form.TrayIcon1->setToolTip(QStringLiteral("Melvo 5"));
  form.TrayIcon1->setContextMenu(form.pm1.get());

  form.pmCircle = std::make_unique<QMenu>();
  form.N1 = AddItem(form.pmCircle.get(), "列表循环");
  form.N2 = AddItem(form.pmCircle.get(), "随机播放");
  form.N3 = AddItem(form.pmCircle.get(), "单曲循环");

  form.pmMusic = std::make_unique<QMenu>();
  form.NAdd = AddItem(form.pmMusic.get(), "添加歌曲");
  form.NDelete = AddItem(form.pmMusic.get(), "删除歌曲");
  form.mniN5 = form.pmMusic->addMenu(QStringLiteral("歌曲排序"));
  form.NTimeSort = AddItem(form.mniN5, "按添加时间排序");
  form.NSingerSort = AddItem(form.mniN5, "按歌手名字排序");

  form.Timer1 = std::make_unique<QTimer>();
  form.Timer1->setInterval(300000);
}

}  // namespace

QStringList QtNameFilters(const QString& filter) {
  QStringList out;
  const QStringList parts = filter.split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.simplified());
  }
  return out;
}

bool TOpenDialog::Execute(QWidget* owner) {
  QFileDialog dialog(owner, Title);
  dialog.setFileMode(MultiSelect
                         ? QFileDialog::ExistingFiles
                         : (FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
  dialog.setNameFilters(QtNameFilters(Filter));
  if (dialog.exec() != QDialog::Accepted) return false;
  Files = dialog.selectedFiles();
  return true;
}

TForm::TForm() : FScene(std::make_unique<TdxScene>()) {
  mainBs = FScene.get();
  mainBs->Name = QStringLiteral("mainBs");
  mainBs->SetSize(550, 330);
  mainBs->Transparency = true;
  mainBs->Fill().SetColorText(QStringLiteral("#00000000"));
  mainBs->AmbientColor = vgStrToColor(QStringLiteral("#FF202020"));
  mainBs->AllowDrag = true;
  RegisterFormStyles(Resources1);
  mainBs->SetResources(&Resources1);
  BuildFormTree(*this);
  LoadPictures(*this);
  MakeNonVisual(*this);
  mainBs->Loaded();
}

TForm::~TForm() = default;

TvxObject* TForm::Component(const QString& name) const {
  auto it = FComponents.find(name);
  return it == FComponents.end() ? nullptr : it->second;
}

TvxDBImage* TForm::DBImage(int n) const {
  TvxDBImage* const images[] = {DBImage1, DBImage2, DBImage3, DBImage4,
                                DBImage5, DBImage6, DBImage7, DBImage8};
  return n >= 1 && n <= 8 ? images[n - 1] : nullptr;
}
