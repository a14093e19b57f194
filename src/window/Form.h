// The main window's form: the scene with every named component, the glyph list and the
// non-visual components. The tree itself is described by one table (FormTable.cpp).
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

#include "scene/Controls.h"
#include "scene/Scene.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;
class TunitMain;

// An open-file dialog as the form describes it: the filter is "label|patterns|label|patterns".
struct TOpenDialog {
  QString Title;
  QString Filter;
  bool MultiSelect = false;
  bool FileMustExist = false;
  QStringList Files;  // the chosen files after Execute
  // Runs the dialog modally; false when the user cancelled.
  bool Execute(QWidget* owner);
};

// "label|patterns|…" as Qt's name filters "label (patterns)"; patterns separated by ";" become
// space-separated.
QStringList QtNameFilters(const QString& filter);

class TForm {
 public:
  TForm();
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  // A component of the scene by its name (nullptr when there is none).
  TvxObject* Component(const QString& name) const;
  const std::map<QString, TvxObject*>& Components() const { return FComponents; }

  // Scene.
  TdxScene* mainBs = nullptr;
  TdxVisualObject* Root1 = nullptr;
  TdxGUIObjectLayer* GuiMain = nullptr;
  TvxLayout* Root2 = nullptr;

  // Main face and its top bar.
  TvxRectangle* RectangleRoot = nullptr;
  TvxRectangle* RectangleTop = nullptr;
  TvxLayout* LayoutTopleft = nullptr;
  TvxBitmapButton* btnReturn = nullptr;
  TvxLayout* LayoutTopcenterList = nullptr;
  TvxBitmapButton* btnClearlist = nullptr;
  TvxBitmapButton* btnSearch = nullptr;
  TvxLayout* LayoutTopcenterSearch = nullptr;
  TvxHudTextBox* textSearch = nullptr;
  TvxBitmapButton* btnOL = nullptr;
  TvxLayout* LayoutTopright = nullptr;
  TvxBitmapButton* btnSuggest = nullptr;
  TvxBitmapButton* btnLocalSearch = nullptr;
  TvxBitmapButton* btnSet = nullptr;
  TvxBitmapButton* btnAdd = nullptr;
  TvxBitmapButton* btnClose = nullptr;
  TvxHudTextBox* hudtextSearch = nullptr;
  TvxRectangle* RectangleSearch = nullptr;
  TvxStringListBox* StringListBoxSearch = nullptr;

  // List view.
  TvxRectangle* RectangleList = nullptr;
  TvxListBox* musicListBox = nullptr;
  TvxImage* imgTip = nullptr;

  // Now-playing view.
  TvxRectangle* RectanglePlay = nullptr;
  TvxImage* imageArtist = nullptr;
  TvxImage* imageDisc = nullptr;
  TvxFloatAnimation* FloatAnimation2 = nullptr;
  TvxText* vxtxtSinger = nullptr;
  TvxText* vxtxtSongName = nullptr;
  TvxText* vxtxtTotalTime = nullptr;
  TvxProgressBar* musicProgress = nullptr;
  TvxText* vxtxtCurTime = nullptr;
  TvxBitmapButton* btnCircle = nullptr;
  TvxFloatAnimation* FloatAnimation1 = nullptr;
  TvxRectangle* RectangleCircle = nullptr;
  TvxBitmapButton* btnOrder = nullptr;
  TvxBitmapButton* btnRandom = nullptr;
  TvxBitmapButton* btnSingle = nullptr;
  TvxBitmapButton* btnPlay = nullptr;
  TvxBitmapButton* btnNext = nullptr;
  TvxRectangle* bRectangleSound = nullptr;
  TvxTrackBar* soundTrackBar = nullptr;
  TvxBitmapButton* btnSound = nullptr;
  TvxFloatAnimation* btnSoundFloatAnimation = nullptr;
  TvxFloatAnimation* TbFloatAnimation = nullptr;

  // Online view.
  TvxRectangle* RectangleOL = nullptr;
  TvxBitmapButton* btnOLper = nullptr;
  TvxListBox* OLListBox = nullptr;
  TvxBitmapButton* btnOLnext = nullptr;
  TvxImage* DBImageWait = nullptr;
  TvxLayout* showloading = nullptr;
  TvxImage* Image3 = nullptr;

  // Popups.
  TvxMessagePopup* MsgPop = nullptr;
  TvxHudLabel* labelDel = nullptr;
  TvxImage* Image1 = nullptr;
  TvxSpeedButton* msgBtnOk = nullptr;
  TvxSpeedButton* msgBtnNo = nullptr;
  TvxMessagePopup* suggestPop = nullptr;
  TvxHudTextBox* HudTextBoxSuggest = nullptr;
  TvxHudTextBox* HudTextBoxMail = nullptr;
  TvxBitmapButton* btnSOK = nullptr;
  TvxBitmapButton* btnSCancer = nullptr;
  TvxHudLabel* vxhdlblHudLabel2 = nullptr;

  // Settings face.
  TvxRectangle* RectangleSet = nullptr;
  TvxHudCheckBox* checkAutoStart = nullptr;
  TvxHudLabel* HudLabel1 = nullptr;
  TvxDBImage* DBImage1 = nullptr;
  TvxDBImage* DBImage2 = nullptr;
  TvxDBImage* DBImage3 = nullptr;
  TvxDBImage* DBImage4 = nullptr;
  TvxDBImage* DBImage5 = nullptr;
  TvxDBImage* DBImage6 = nullptr;
  TvxDBImage* DBImage7 = nullptr;
  TvxDBImage* DBImage8 = nullptr;
  TvxBitmapButton* btnOK = nullptr;
  TvxDBImage* DBImage(int n) const;  // 1 … 8, else nullptr

  // Non-visual components.
  TvxResources Resources1;  // the form's styles
  TdxBitmapList bmplist1;
  TOpenDialog dlgOpen1;
  TOpenDialog dlgOpen2;
  QImage Image2;  // a platform picture no operation shows
  std::unique_ptr<QSystemTrayIcon> TrayIcon1;
  std::unique_ptr<QMenu> pm1;
  QAction* N4 = nullptr;  // "退出", owned by pm1
  std::unique_ptr<QMenu> pmCircle;
  QAction* N1 = nullptr;
  QAction* N2 = nullptr;
  QAction* N3 = nullptr;
  std::unique_ptr<QMenu> pmMusic;
  QAction* NAdd = nullptr;
  QAction* NDelete = nullptr;
  QMenu* mniN5 = nullptr;
  QAction* NTimeSort = nullptr;
  QAction* NSingerSort = nullptr;
  std::unique_ptr<QTimer> Timer1;

 private:
  friend struct TFormBuilder;
  std::unique_ptr<TdxScene> FScene;
  std::map<QString, TvxObject*> FComponents;
};

// FormTable.cpp: builds the tree into the form, and binds the table's handlers to the window.
void BuildFormTree(TForm& form);
void BindFormHandlers(TunitMain& window);
