// The player's single window. Its handlers keep the names of the form's events; their bodies
// live in one file per concern (see README.md), in the order of the sections below.
#pragma once

#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/AudioEngine.h"
#include "library/Import.h"
#include "library/dataCtr.h"
#include "scene/SceneHost.h"
#include "window/Form.h"

class QMenu;
struct TImportState;
namespace shell {
class ITaskbarList;
class TTaskbarButtons;
class TMprisControls;
}  // namespace shell

// Views of the main face that ShowPlayView can come from.
enum TFromView { fvList, fvOnline };

// What a close does with the form; FormClose leaves it as it is.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

// The entry last seen by the progress handler.
struct TTamp {
  int32_t id = 0;
  QString singer;
  QString song;
};
using PTamp = TTamp*;

// A delayed retry after a failed opening is scheduled (set on the main thread, cleared by the
// retry's worker).
extern std::atomic<bool> PlayAgainPending;

// TForm comes first: it builds the scene that the host below shows.
class TunitMain : public TForm, public TdxSceneHost {
 public:
  // params: the command line without the program path.
  explicit TunitMain(const QStringList& params = QStringList(), QWidget* parent = nullptr);
  ~TunitMain() override;

  // ---- unitMain.cpp: creation, hooks shared by every concern ---------------------------------

  void FormCreate(TvxObject* Sender);
  // The usage report "click" with a component name, started as a handler's first step.
  void ReportClick(const char* btnName);
  void ReportUsage(const char* oper, const char* btnName);
  // The "close" report, waited for within its cap.
  void ReportClose();
  // Runs fn now; an exception that escapes it goes to the application's exception handler.
  void Guarded(const char* handler, const std::function<void()>& fn);
  // Runs fn later on the main thread, guarded the same way.
  void Post(std::function<void()> fn);
  TAudioEngine* Engine() const { return FEngine.get(); }
  const QStringList& Params() const { return FParams; }

  // Seams for tests: every report goes to the sink instead of the network; the probe sees every
  // creation step (by number) and every handler (by name) before it runs and may throw.
  using TReportSink = std::function<void(const std::string& oper, const std::string& btnName)>;
  static void SetReportSink(TReportSink sink);
  static void SetCreateProbe(std::function<void(int step)> probe);
  static void SetHandlerProbe(std::function<void(const char* handler)> probe);

  // ---- Views.cpp: views and transitions ------------------------------------------------------

  void ShowPlayView(TFromView from);
  void ShowDisc();
  void HideDisc();
  void btnSearchClick(TvxObject* Sender);
  void btnReturnClick(TvxObject* Sender);
  void btnSetClick(TvxObject* Sender);
  void btnOKClick(TvxObject* Sender);
  void btnLocalSearchClick(TvxObject* Sender);
  void DBImage1Click(TvxObject* Sender);
  void DBImage2Click(TvxObject* Sender);
  void DBImage3Click(TvxObject* Sender);
  void DBImage4Click(TvxObject* Sender);
  void DBImage5Click(TvxObject* Sender);
  void DBImage6Click(TvxObject* Sender);
  void DBImage7Click(TvxObject* Sender);
  void DBImage8Click(TvxObject* Sender);
  void imageArtistClick(TvxObject* Sender);
  void btnSoundFloatAnimationFinish(TvxObject* Sender);
  void TbFloatAnimationFinish(TvxObject* Sender);
  void FloatAnimation1Finish(TvxObject* Sender);
  // Background n (1 … 8) on both faces; other numbers change nothing. ApplyConfig uses it.
  void SetBackground(int n);
  // How the artist picture opens the product site; tests put in their own.
  static void SetUrlOpener(std::function<bool(const QString& url)> opener);

  // ---- Lifecycle.cpp: life of the window, tray, exceptions -----------------------------------

  void FormActivate(TvxObject* Sender);
  void FormClose(TvxObject* Sender, TCloseAction& Action);
  void btnCloseClick(TvxObject* Sender);
  void N4Click(TvxObject* Sender);
  void TrayIcon1DblClick(TvxObject* Sender);
  void TrayIcon1Activated(QSystemTrayIcon::ActivationReason reason);
  void Timer1Timer(TvxObject* Sender);
  void AppMinimize(TvxObject* Sender);
  void AppRestore(TvxObject* Sender);
  void IgnoreException(std::exception_ptr e);
  // Raises and activates the window (hand-off, media-control Raise).
  void BringToFront();
  // Whether the desktop shows the tray icon; tests may decide it.
  static bool TrayAvailable();
  static void SetTrayAvailableForTesting(std::optional<bool> available);
  // The window's own menu where there is no tray: "退出" (and restore from minimised).
  QMenu* WindowMenu() const { return FWindowMenu.get(); }
  int IgnoredExceptions() const { return FIgnoredExceptions; }
  bool FormClosed() const { return FClosed; }

  // ---- PlayListView.cpp: the play list -------------------------------------------------------

  void AddSongItem(TvxListBox* listBox, int id, const QString& title, const QString& singer,
                   const QString& location);
  void LoadSongList(TvxListBox* listBox);
  void GetSongInfo(TSL _tsl, int maxID);
  void musicListBoxMouseUp(TvxObject* Sender, TvxMouseButton Button, unsigned Shift, float X,
                           float Y);
  void musicListBoxMouseMove(TvxObject* Sender, unsigned Shift, float X, float Y, float Dx,
                             float Dy);
  void NAddClick(TvxObject* Sender);
  void NDeleteClick(TvxObject* Sender);
  void btnClearlistClick(TvxObject* Sender);
  void NTimeSortClick(TvxObject* Sender);
  void NSingerSortClick(TvxObject* Sender);
  void hudtextSearchKeyUp(TvxObject* Sender, int& Key, QString& KeyChar, unsigned Shift);
  void hudtextSearchInputMethodCommit(TvxObject* Sender);
  void hudtextSearchMouseUp(TvxObject* Sender, TvxMouseButton Button, unsigned Shift, float X,
                            float Y);
  void StringListBoxSearchMouseUp(TvxObject* Sender, TvxMouseButton Button, unsigned Shift, float X,
                                  float Y);
  void StringListBoxSearchMouseLeave(TvxObject* Sender);
  // GetSongInfo for every record of a batch with its id, in order; returns the index of the
  // entry of the last record (-1 for no records).
  int GetSongsInfo(const TSongList& songs, const std::vector<int>& ids);
  // The list's context menu pmMusic at the pointer; deleting is offered over an entry.
  void ShowListMenu(bool overEntry);
  // The sort handlers: stores the order, reloads the list.
  void SortList(int sort);

  // ---- PlayerController.cpp: playback --------------------------------------------------------

  void ApplyConfig();
  // Creation step 11, once the list is loaded: a stored now_psi without an entry becomes 0.
  void CheckStartIndex();
  void MarkPlayingItem(int OldIndex, int NewIndex);
  void PlaySelected();
  void btnPlayClick(TvxObject* Sender);
  void btnNextClick(TvxObject* Sender);
  void PlayNextByMode();
  void SongFinished(int32_t State);
  void AudioFailed(int32_t State, int32_t ErrCode);
  void PlayerStateChanged(int32_t State);
  void UpdatePlayProgress(int32_t State, float MaxPos, float CurPos, const TFFTData& NFFT,
                          const TWaveData& NWave);
  void DrawSpectrum(const TFFTData& spectrum);
  void musicProgressMouseUp(TvxObject* Sender, TvxMouseButton Button, unsigned Shift, float X,
                            float Y);
  void soundTrackBarChange(TvxObject* Sender);
  void btnSoundClick(TvxObject* Sender);
  void btnOrderClick(TvxObject* Sender);
  void btnRandomClick(TvxObject* Sender);
  void btnSingleClick(TvxObject* Sender);
  // The listening-status report (title, singer, "1" started, "2" left); unitMain.cpp sends it.
  void ReportListening(const QString& song, const QString& singer, const char* status);
  // Seams for tests: listening reports go to the sink (while the usage reports have a sink and
  // this one is empty, they are dropped), and random play draws from `random` (empty: the
  // process's generator).
  using TListeningSink = std::function<void(const std::string& song, const std::string& singer,
                                            const std::string& status)>;
  static void SetListeningSinkForTesting(TListeningSink sink);
  static void SetRandomForTesting(std::function<int(int n)> random);
  // The spectrum's peak and bar heights, kept for the life of the process.
  static const std::array<int32_t, 6>& SpectrumPeaks();
  static const std::array<int32_t, 6>& SpectrumBars();

  // ---- ImportView.cpp: adding songs ----------------------------------------------------------

  void btnAddClick(TvxObject* Sender);
  // Creation step 5.
  void CreateImportList();
  // Creation step 18 and the hand-off: one path, imported and played at once.
  void ImportCommandLine(const QString& text);
  // A path handed over by a second copy of the player: imported and played, the window in front.
  void HandOffReceived(const QString& path);
  // What the add dialog gave: files, or a folder whose audio files are all added.
  struct TAddChoice {
    bool Accepted = false;
    QStringList Files;
    QString Folder;
  };
  // Tests answer the add dialog themselves (empty: the real dialog).
  static void SetAddDialogForTesting(std::function<TAddChoice(TunitMain&)> dialog);
  // The end of one import: now_psi before its last piece came, and the entry of its last song
  // (-1 when there is none).
  using TImportEnd = std::function<void(int previousPsi, int entry)>;
  // Probes and stores the files off the main thread; their entries come piece by piece.
  void ImportFiles(const QStringList& files, TImportEnd onEnd);
  // Files and folders dropped from the file manager.
  void ImportDropped(const QStringList& paths);
  // The audio files of the paths: files as given, folders searched through (sorted by path);
  // only the engine's extensions count.
  QStringList AudioFilesIn(const QStringList& paths) const;
  QStringList AudioExtensions() const;
  // Files of imports not yet in the list.
  bool ImportRunning() const;

  // ---- OnlineView.cpp: the online search -----------------------------------------------------

  void btnOLClick(TvxObject* Sender);
  void btnOLnextClick(TvxObject* Sender);
  void btnOLperClick(TvxObject* Sender);
  void textSearchKeyUp(TvxObject* Sender, int& Key, QString& KeyChar, unsigned Shift);
  void textSearchMouseUp(TvxObject* Sender, TvxMouseButton Button, unsigned Shift, float X,
                         float Y);
  void SearchOnline(const QString& page);
  void AddOnlineResultItem(const QString& name, const QString& singer, const QString& imgUrl,
                           const QString& mp3, const QString& album, const QString& duration);
  void OLListBoxMouseMove(TvxObject* Sender, unsigned Shift, float X, float Y, float Dx, float Dy);
  void OLListBoxMouseUp(TvxObject* Sender, TvxMouseButton Button, unsigned Shift, float X, float Y);
  // A search request is out and its reply not yet shown.
  bool SearchWaiting() const { return FOLWaiting; }
  // Runs job on a worker thread while the window keeps answering (a nested event loop), and
  // returns when it is done; what job throws is thrown here.
  void WaitOffMainThread(std::function<void()> job);

  // ---- Feedback.cpp --------------------------------------------------------------------------

  void btnSuggestClick(TvxObject* Sender);

  // ---- MediaControls.cpp: taskbar and desktop media controls ---------------------------------

  // Creation step 6: the taskbar buttons (they act on Windows 7 only) and the desktop media
  // controls on the session bus.
  void CreateTaskbar();
  void initTaskbar();
  // A thumbnail or media-control command: 0 next mode, 1 play/pause, 2 next.
  void ThumbButtonClicked(int id);
  // What the controller tells the taskbar and the desktop media controls:
  // PlayerStateChanged's last step, after PSTATUS is set.
  void MediaStateChanged(int32_t state);
  // Every progress tick (the taskbar progress on Windows 7), both in milliseconds.
  void MediaProgress(float curPos, float maxPos);
  // PlaySelected: the entry that now plays.
  void MediaSongChanged(int id, const QString& title, const QString& singer, const QString& album,
                        const QString& location, double lengthMs);
  // The play mode changed (mode buttons, ApplyConfig).
  void MediaModeChanged(int mode);
  // The stream volume changed, 0 … 1.
  void MediaVolumeChanged(double volume);
  // The user moved the position.
  void MediaSeeked(double positionMs);
  // The test every taskbar feature makes first: the version name is "Windows 7".
  static bool IsWindows7();
  // Seams for tests: a version name and taskbar object of their own (empty: the system's), and
  // whether the media controls go on the session bus (empty: when the desktop has one).
  static void SetTaskbarForTesting(std::function<std::string()> versionName,
                                   std::function<std::unique_ptr<shell::ITaskbarList>()> factory);
  static void SetMediaBusForTesting(std::optional<bool> on);

  // ---- Desktop.cpp: registration with the desktop --------------------------------------------

  // Creation step 8.
  void AssociateFileTypes();
  void checkAutoStartClick(TvxObject* Sender);

  // ---- state -----------------------------------------------------------------------------------

  // Playback (PlayerController.cpp).
  PTamp _ptam = nullptr;
  // Taskbar (MediaControls.cpp).
  int32_t PSTATUS = 1;
  bool IFLAG = true;
  std::shared_ptr<shell::TTaskbarButtons> FTaskBarList;
  std::shared_ptr<shell::TMprisControls> FMediaControls;
  // Play list (PlayListView.cpp): the entry that shows its delete button.
  TvxListBoxItem* FDeleteShownOn = nullptr;
  std::weak_ptr<void> FDeleteShownAlive;
  // Import (ImportView.cpp).
  std::shared_ptr<TImportState> FImport;
  // Online search (OnlineView.cpp).
  int OLPage = 0;
  bool OLMore = false;
  // Number of the latest search request: only its reply fills the list.
  uint64_t FOLRequest = 0;
  bool FOLWaiting = false;
  TvxFloatAnimation* FOLWaitTurn = nullptr;  // turns the busy disc, child of DBImageWait
  // Replies of workers check it on the main thread: an expired token means the window is gone.
  std::shared_ptr<char> FOLAlive = std::make_shared<char>(0);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // ImportView.cpp: drops from the file manager.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // unitMain.cpp
  void CreationStep(int step);
  void StartRegistration();
  void CreateAudioEngine();
  void ConnectAudioEngine();
  void SetStartVolume();
  void SetDialogFilters();
  void BindHandlers();
  // Lifecycle.cpp
  void CreateTray();
  void EnsureOnScreen();
  void ShowWindowMenu(const QPoint& globalPos);
  // ImportView.cpp
  TAddChoice RunAddDialog();
  void ShowImportProgress();
  void ImportPieceArrived(TImportProgress piece, uint64_t batch, TImportEnd onEnd);
  // PlayListView.cpp: the local search's suggestions for the box's text, when its length changed.
  void UpdateLocalSuggestions();
  // PlayerController.cpp
  void SetGlyph(TvxBitmapButton* button, int index);
  TvxListBoxItem* CurrentItem() const;
  void ShowModeButton(int mode);
  void ShowSongTexts(TvxListBoxItem* item);
  // Report, media controls and the engine's Play for an entry that starts.
  void StartEntry(TvxListBoxItem* item);
  void TPlayAgain();
  void SetPlayMode(int mode);
  // Views.cpp
  void FadeOut(TvxVisualObject* view, TvxAnimationType type);
  void FadeIn(TvxVisualObject* view);
  void Flip(TvxBitmapButton* own, bool toSettings);
  void BackgroundClick(int n);

  QStringList FParams;
  std::unique_ptr<TAudioEngine> FEngine;
  std::unique_ptr<TTamp> FTamp;
  std::unique_ptr<QMenu> FWindowMenu;
  std::function<void(std::exception_ptr)> FOnException;
  int FIgnoredExceptions = 0;
  bool FPlaced = false;
  bool FWatchingScreen = false;
  bool FPainted = false;
  bool FClosed = false;
};
