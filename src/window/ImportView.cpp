// Adding songs: the add dialog (files or a whole folder), drops from the file manager, the
// command-line and hand-off import, and the import's progress. Files are probed and stored
// off the main thread; their entries come in pieces, each with the row ids its songs got.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <shared_mutex>

#include "library/AudioFiles.h"
#include "library/Import.h"
#include "window/unitMain.h"

// What running imports share with the window: the window and its engine while they live.
// Workers probe under a shared lock and post their pieces under it; the window's end takes it
// exclusively, so no worker reaches a window or engine that is gone.
struct TImportLink {
  std::shared_mutex Lock;
  TunitMain* Window = nullptr;
  std::atomic<TAudioEngine*> Engine{nullptr};
};

struct TImportState {
  std::shared_ptr<TImportLink> Link = std::make_shared<TImportLink>();
  std::vector<std::unique_ptr<TImportJob>> Jobs;
  uint64_t Batch = 0;  // number of the latest batch, which ImportList holds
  std::size_t Done = 0, Total = 0;
  TvxText* Progress = nullptr;
  ~TImportState() {
    // Cancelled first: the workers then stop probing, and the lock is free within a file.
    for (auto& job : Jobs) job->Cancel();
    std::unique_lock lock(Link->Lock);
    Link->Window = nullptr;
    Link->Engine = nullptr;
  }
};

namespace {

std::function<TunitMain::TAddChoice(TunitMain&)>& AddDialog() {
  static std::function<TunitMain::TAddChoice(TunitMain&)> dialog;
  return dialog;
}

constexpr int kFolderChosen = 2;

std::vector<std::string> ToStd(const QStringList& paths) {
  std::vector<std::string> out;
  out.reserve(size_t(paths.size()));
  for (const QString& p : paths) out.push_back(p.toStdString());
  return out;
}

}  // namespace

void TunitMain::SetAddDialogForTesting(std::function<TAddChoice(TunitMain&)> dialog) {
  AddDialog() = std::move(dialog);
}

void TunitMain::CreateImportList() {
  ImportList.clear();
  FImport = std::make_shared<TImportState>();
  FImport->Link->Window = this;
  setAcceptDrops(true);
}

QStringList TunitMain::AudioExtensions() const {
  QStringList extensions;
  for (const std::string& ext : AudioExtensionsOf(dlgOpen1.Filter.toStdString()))
    extensions << QString::fromStdString(ext);
  return extensions;
}

QStringList TunitMain::AudioFilesIn(const QStringList& paths) const {
  std::vector<std::string> given;
  given.reserve(size_t(paths.size()));
  for (const QString& p : paths) given.push_back(QFile::encodeName(p).toStdString());
  QStringList files;
  for (const std::string& file :
       FindAudioFiles(given, AudioExtensionsOf(dlgOpen1.Filter.toStdString()))) {
    // A name that is not valid UTF-8 cannot pass through Qt's text unchanged: stored, it would
    // name no file. Such a file is left out rather than stored under a garbled name.
    const QByteArray bytes = QByteArray::fromStdString(file);
    const QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) == bytes) files << name;
  }
  return files;
}

TunitMain::TAddChoice TunitMain::RunAddDialog() {
  TAddChoice choice;
  // Qt's own dialog, so that it can offer the shown folder as a whole.
  QFileDialog dialog(this, dlgOpen1.Title);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(dlgOpen1.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog.setNameFilters(QtNameFilters(dlgOpen1.Filter));
  auto* folder = new QPushButton(QStringLiteral("添加整个文件夹"), &dialog);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(folder, grid->rowCount(), 0, 1, grid->columnCount());
  QObject::connect(folder, &QPushButton::clicked, &dialog, [&] {
    choice.Folder = dialog.directory().absolutePath();
    static_cast<QDialog&>(dialog).done(kFolderChosen);
  });
  const int result = dialog.exec();
  if (result == QDialog::Accepted) {
    choice.Files = dialog.selectedFiles();
    choice.Accepted = !choice.Files.isEmpty();
  } else if (result == kFolderChosen) {
    choice.Accepted = true;
  }
  dlgOpen1.Files = choice.Files;
  return choice;
}

void TunitMain::btnAddClick(TvxObject*) {
  imgTip->SetVisible(false);
  const TAddChoice choice = AddDialog() ? AddDialog()(*this) : RunAddDialog();
  if (choice.Accepted) {
    ReportClick("btnAdd");
    QStringList files = choice.Files;
    if (!choice.Folder.isEmpty()) files << AudioFilesIn({choice.Folder});
    ImportFiles(files, TImportEnd());
  }
  if (musicListBox->Count() == 0 && !ImportRunning()) imgTip->SetVisible(true);
}

bool TunitMain::ImportRunning() const {
  return FImport && FImport->Total > FImport->Done;
}

void TunitMain::ShowImportProgress() {
  TImportState& state = *FImport;
  if (state.Done >= state.Total) {
    state.Done = state.Total = 0;
    if (state.Progress) state.Progress->SetVisible(false);
    if (musicListBox->Count() == 0) imgTip->SetVisible(true);
    return;
  }
  if (state.Progress == nullptr) {
    // A line at the foot of the list view.
    state.Progress = new TvxText();
    state.Progress->SetBounds(0, 290, 520, 22);
    state.Progress->SetHitTest(false);
    state.Progress->Fill().SetColor(0xFFFFFFFF);
    state.Progress->Font.Size = 12;
    state.Progress->WordWrap = false;
    state.Progress->SetParent(RectangleRoot);
  }
  state.Progress->SetText(QStringLiteral("正在添加歌曲 %1 / %2").arg(state.Done).arg(state.Total));
  state.Progress->SetVisible(true);
}

void TunitMain::ImportFiles(const QStringList& files, TImportEnd onEnd) {
  if (!FImport) CreateImportList();
  if (files.isEmpty()) {
    if (onEnd) onEnd(CurConfig ? CurConfig->now_psi : 0, -1);
    return;
  }
  TImportState& state = *FImport;
  state.Link->Engine = FEngine.get();
  // A new batch: ImportList holds its records from now on.
  ImportList.clear();
  const uint64_t batch = ++state.Batch;
  state.Total += std::size_t(files.size());
  ShowImportProgress();

  std::weak_ptr<TImportLink> weakLink = state.Link;
  TSongProbe probe = [weakLink](const std::string& path) {
    TSongTags tags;
    const auto link = weakLink.lock();
    if (!link) return tags;
    std::shared_lock lock(link->Lock);
    TAudioEngine* engine = link->Engine;
    if (engine == nullptr) return tags;
    const TTags probed = engine->GetSongLength(path);
    tags.Title = probed.Title;
    tags.Artist = probed.Artist;
    tags.Album = probed.Album;
    tags.Longtime = probed.Longtime;
    return tags;
  };
  auto piece = [weakLink, batch, onEnd](TImportProgress p) {
    const auto link = weakLink.lock();
    if (!link) return;
    std::shared_lock lock(link->Lock);
    TunitMain* window = link->Window;
    if (window == nullptr) return;
    // Carried by a queued call: Qt drops it if the window goes first.
    QMetaObject::invokeMethod(
        window,
        [window, weakLink, batch, onEnd, p = std::move(p)]() mutable {
          const auto alive = weakLink.lock();
          if (!alive || alive->Window != window) return;
          window->Guarded("ImportPiece",
                          [&] { window->ImportPieceArrived(std::move(p), batch, onEnd); });
        },
        Qt::QueuedConnection);
  };
  // Finished jobs go before a new one is added.
  auto& jobs = state.Jobs;
  jobs.erase(std::remove_if(jobs.begin(), jobs.end(), [](const auto& j) { return j->Finished(); }),
             jobs.end());
  jobs.push_back(std::make_unique<TImportJob>(ToStd(files), std::move(probe), std::move(piece)));
}

void TunitMain::ImportPieceArrived(TImportProgress piece, uint64_t batch, TImportEnd onEnd) {
  TImportState& state = *FImport;
  if (batch == state.Batch)
    ImportList.insert(ImportList.end(), piece.Songs.begin(), piece.Songs.end());
  const std::size_t handled = piece.Songs.size();
  // Songs without a row (the store stopped at a song already stored, or failed) get no id a row
  // could have: 0 is never a row id.
  std::vector<int> ids = piece.Ids;
  ids.resize(piece.Songs.size(), 0);
  const int previous = CurConfig ? CurConfig->now_psi : 0;
  const int entry = GetSongsInfo(piece.Songs, ids);
  state.Done += handled;
  if (musicListBox->Count() > 0) imgTip->SetVisible(false);
  // The end of this import is told before the progress line may show the invitation again.
  if (piece.Last && onEnd) onEnd(previous, entry);
  ShowImportProgress();
}

void TunitMain::ImportCommandLine(const QString& text) {
  QStringList paths;
  for (const std::string& path : CommandLineImportPaths(text.toStdString()))
    paths << QString::fromStdString(path);
  if (paths.isEmpty()) return;
  ImportFiles(paths, [this](int previous, int entry) {
    // The entry of the named song plays: the one appended for it, or the one found.
    if (entry < 0 || entry >= musicListBox->Count()) return;
    if (CurConfig) CurConfig->now_psi = entry;
    MarkPlayingItem(previous, entry);
    PlaySelected();
    imgTip->SetVisible(false);
  });
}

void TunitMain::HandOffReceived(const QString& path) {
  BringToFront();
  ImportCommandLine(path);
}

void TunitMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TunitMain::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  event->acceptProposedAction();
  Guarded("dropEvent", [&] { ImportDropped(paths); });
}

void TunitMain::ImportDropped(const QStringList& paths) {
  const QStringList files = AudioFilesIn(paths);
  if (files.isEmpty()) return;
  imgTip->SetVisible(false);
  ImportFiles(files, TImportEnd());
}
