#include "window/Form.h"

#include "window/FormStyles.h"
#include "window/Pictures.h"

#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

void LoadPictures(TForm& form) {
  const qreal dpr = qApp->devicePixelRatio();
  auto picture = [dpr](TPicture which) { return Pictures::Picture(which, QSize(), dpr); };
  Pictures::FillBitmapList(form.bmplist1, dpr);
  // The settings face shows the backgrounds as 40 × 40 thumbnails: rendered at that size, not
  // shrunk from full pictures (the full one is rendered when it is chosen).
  for (int n = 1; n <= 8; ++n) {
    TvxDBImage* thumb = form.DBImage(n);
    const QSize size(int(thumb->Width()), int(thumb->Height()));
    thumb->Bitmap().Assign(Pictures::Picture(Pictures::Background(n), size, dpr));
  }
  const QImage background = picture(TPicture::Background0);
  form.RectangleRoot->Fill().Bitmap().Assign(background);
  form.RectangleRoot->Fill().SetKind(vgBrushBitmap);
  form.RectangleRoot->Fill().SetWrapMode(vgWrapStretch);
  form.RectangleSet->Fill().Bitmap().Assign(background);
  form.RectangleSet->Fill().SetKind(vgBrushBitmap);
  form.RectangleSet->Fill().SetWrapMode(vgWrapTile);
  form.imageDisc->Bitmap().Assign(picture(TPicture::Disc));
  form.DBImageWait->Bitmap().Assign(picture(TPicture::Disc));
  form.imageArtist->Bitmap().Assign(picture(TPicture::Artist));
  form.imgTip->Bitmap().Assign(picture(TPicture::Invitation));
  form.Image1->Bitmap().Assign(picture(TPicture::Message));
  // Every picture button shows its glyph from the start, so the window is whole even when its
  // creation stops early; the configuration gives the ones that change (play, mode, mute).
  const std::pair<TvxBitmapButton*, int> glyphs[] = {
      {form.btnSuggest, 21}, {form.btnLocalSearch, 20}, {form.btnSet, 13},   {form.btnAdd, 18},
      {form.btnClose, 12},   {form.btnReturn, 11},      {form.btnCircle, 5}, {form.btnOrder, 5},
      {form.btnRandom, 6},   {form.btnSingle, 3},       {form.btnPlay, 7},   {form.btnNext, 9},
      {form.btnSound, 10}};
  for (auto [button, index] : glyphs)
    if (const TdxBitmapList::Entry* item = form.bmplist1.Item(index))
      button->Bitmap().Assign(item->Bitmap);
  // The page buttons have no glyph in the list: arrows of their own.
  form.btnOLper->Bitmap().Assign(picture(TPicture::PagePrevious));
  form.btnOLnext->Bitmap().Assign(picture(TPicture::PageNext));
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
  form.TrayIcon1->setIcon(Pictures::AppIcon());
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
