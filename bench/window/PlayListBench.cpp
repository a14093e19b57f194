// Figures of the play list through the real window (offscreen, no sound):
//   load     LoadSongList with 10,000 stored songs, and the first paint of the list after it
//   scroll   one wheel step through the loaded list (entries make their parts as they come)
//   search   a key release in the local search box to the suggestions painted, 100,000 rows
//   import   1,000 tagged MP3 files through the add button: files per second from the click
//            until the last entry is in the list (probe, store, entries), and the longest time
//            the window's thread did not answer meanwhile
// Usage: melvo-bench-playlist TONE_MP3 [RUNS]   (TONE_MP3: an untagged MP3 without ID3 tag)
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "library/dataCtr.h"
#include "scene/Animation.h"
#include "window/unitMain.h"

namespace {

// Processor time of the calling thread in ms: what the window's thread spends, whatever the
// machine's load does to the wall clock.
double ThreadMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double ProcessMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// An ID3v2.3 tag with Latin-1 title, artist and album frames.
QByteArray Id3Tag(const QByteArray& title, const QByteArray& artist, const QByteArray& album) {
  QByteArray frames;
  auto frame = [&frames](const char* id, const QByteArray& text) {
    const QByteArray body = QByteArray(1, '\0') + text;
    const quint32 n = quint32(body.size());
    frames += id;
    frames += char(n >> 24);
    frames += char(n >> 16);
    frames += char(n >> 8);
    frames += char(n);
    frames += QByteArray(2, '\0');
    frames += body;
  };
  frame("TIT2", title);
  frame("TPE1", artist);
  frame("TALB", album);
  const quint32 n = quint32(frames.size());
  QByteArray tag("ID3\x03\x00\x00", 6);
  for (int shift : {21, 14, 7, 0}) tag += char((n >> shift) & 0x7F);
  return tag + frames;
}

void SetEnvironment(const QString& home) {
  for (const char* var : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
    const QString dir = home + "/" + var;
    QDir().mkpath(dir);
    qputenv(var, dir.toUtf8());
  }
  const QString runtime = home + "/runtime";
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
  InitDatabase();
  CurConfig = std::make_unique<TTSC>();
}

TSongList Songs(int n) {
  TSongList songs;
  songs.reserve(size_t(n));
  for (int i = 0; i < n; ++i) {
    TTSL s;
    s.s_title = "歌曲 " + std::to_string(i);
    s.s_singer = "歌手 " + std::to_string(i % 500);
    s.s_artist = "专辑 " + std::to_string(i % 900);
    s.s_path = "/music/library/folder " + std::to_string(i % 40) + "/" + std::to_string(i) + ".mp3";
    s.s_ltime = 200 + i % 100;
    s.s_addtime = 2512081405 + i % 50;
    songs.push_back(std::move(s));
  }
  return songs;
}

std::unique_ptr<TunitMain> OpenWindow() {
  auto w = std::make_unique<TunitMain>();
  w->show();
  QApplication::processEvents();
  return w;
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BenchLoad(int runs) {
  QTemporaryDir home;
  SetEnvironment(home.path());
  AddSongs(Songs(10000));
  auto w = OpenWindow();
  Pump(200);
  std::vector<double> load, loadCpu, query, paint, scroll;
  for (int r = 0; r < runs; ++r) {
    double c = ThreadMs();
    GetSongList(10);
    query.push_back(ThreadMs() - c);
    w->musicListBox->Clear();
    QElapsedTimer t;
    t.start();
    c = ThreadMs();
    w->LoadSongList(w->musicListBox);
    loadCpu.push_back(ThreadMs() - c);
    load.push_back(t.nsecsElapsed() / 1e6);
    t.restart();
    w->repaint();
    paint.push_back(t.nsecsElapsed() / 1e6);
    // Wheel steps deep into the list: the entries coming into view make their parts.
    for (int step = 0; step < 20; ++step) {
      t.restart();
      w->musicListBox->ScrollBy(55 * 37);
      w->repaint();
      scroll.push_back(t.nsecsElapsed() / 1e6);
    }
  }
  std::printf(
      "load    10000 songs: LoadSongList %.1f ms wall, %.1f ms processor (the query "
      "alone %.1f ms), then first paint %.1f ms (median of %d)\n",
      Median(load), Median(loadCpu), Median(query), Median(paint), runs);
  std::printf(
      "scroll  a step of 37 entries to entries not shown before: %.2f ms per frame "
      "(median), %.2f ms worst\n",
      Median(scroll), *std::max_element(scroll.begin(), scroll.end()));
}

void BenchSearch(int runs) {
  QTemporaryDir home;
  SetEnvironment(home.path());
  AddSongs(Songs(100000));
  auto w = OpenWindow();
  Pump(200);
  std::vector<double> times, cpu;
  size_t suggestions = 0;
  // "曲 12" is in 1,111 titles; each run types another text of the same kind.
  for (int r = 0; r < runs; ++r) {
    w->hudtextSearch->Tag = 0;
    w->hudtextSearch->SetText(QStringLiteral("曲 %1").arg(10 + r % 80));
    int key = 0;
    QString ch;
    QElapsedTimer t;
    t.start();
    const double c = ThreadMs();
    w->hudtextSearchKeyUp(w->hudtextSearch, key, ch, 0);
    w->repaint();
    cpu.push_back(ThreadMs() - c);
    times.push_back(t.nsecsElapsed() / 1e6);
    suggestions = size_t(w->StringListBoxSearch->Count());
    w->StringListBoxSearchMouseLeave(w->StringListBoxSearch);
  }
  std::printf(
      "search  100000 rows: key release to suggestions painted %.1f ms wall, %.1f ms "
      "processor (median of %d; %zu suggestions)\n",
      Median(times), Median(cpu), runs, suggestions);
}

void BenchImport(const QString& tone, int runs) {
  QFile toneFile(tone);
  if (!toneFile.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(tone));
    return;
  }
  const QByteArray audio = toneFile.readAll();
  std::vector<double> rates, perCore, gaps, bursts, probeMs;
  for (int r = 0; r < runs; ++r) {
    QTemporaryDir home;
    SetEnvironment(home.path());
    const QString dir = home.path() + "/music";
    QDir().mkpath(dir);
    QStringList files;
    for (int i = 0; i < 1000; ++i) {
      const QString path = dir + QStringLiteral("/%1.mp3").arg(i, 4, 10, QChar('0'));
      QFile f(path);
      f.open(QIODevice::WriteOnly);
      f.write(Id3Tag("Title " + QByteArray::number(i), "Artist " + QByteArray::number(i % 37),
                     "Album " + QByteArray::number(i % 91)) +
              audio);
      files << path;
    }
    ::sync();
    auto w = OpenWindow();
    Pump(200);
    // The probe alone, one thread, for comparison.
    {
      const double c = ThreadMs();
      for (int i = 0; i < 100; ++i) w->Engine()->GetSongLength(files[i].toStdString());
      probeMs.push_back((ThreadMs() - c) / 100);
    }
    TunitMain::SetAddDialogForTesting([files](TunitMain&) {
      TunitMain::TAddChoice c;
      c.Accepted = true;
      c.Files = files;
      return c;
    });
    // Between two turns of the event loop: the wall time (what the user waits, the machine's
    // load included) and the window thread's processor time (what the window itself spent).
    QElapsedTimer sinceTick;
    double cpuAtTick = 0;
    qint64 longestGap = 0;
    double longestBurst = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      longestGap = std::max(longestGap, sinceTick.nsecsElapsed());
      sinceTick.restart();
      const double now = ThreadMs();
      longestBurst = std::max(longestBurst, now - cpuAtTick);
      cpuAtTick = now;
    });
    QElapsedTimer t;
    t.start();
    const double cpu0 = ProcessMs();
    double c = ThreadMs();
    w->btnAddClick(w->btnAdd);
    longestBurst = ThreadMs() - c;
    longestGap = t.nsecsElapsed();
    sinceTick.start();
    cpuAtTick = ThreadMs();
    ticker.start(1);
    while (w->ImportRunning())
      QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    const double seconds = t.nsecsElapsed() / 1e9;
    const double cpuSeconds = (ProcessMs() - cpu0) / 1e3;
    ticker.stop();
    TunitMain::SetAddDialogForTesting(nullptr);
    if (w->musicListBox->Count() != 1000)
      std::fprintf(stderr, "only %d entries\n", w->musicListBox->Count());
    rates.push_back(1000 / seconds);
    perCore.push_back(1000 / cpuSeconds);
    gaps.push_back(longestGap / 1e6);
    bursts.push_back(longestBurst);
  }
  std::printf(
      "import  1000 tagged MP3, medians of %d runs: %.0f files/s end to end (wall), "
      "%.0f files per processor-second (all threads); the probe alone %.2f ms "
      "processor per file\n",
      runs, Median(rates), Median(perCore), Median(probeMs));
  std::printf(
      "        longest the window's thread was held: %.1f ms of its processor time "
      "(worst %.1f), %.1f ms wall with the machine's load (worst %.1f)\n",
      Median(bursts), *std::max_element(bursts.begin(), bursts.end()), Median(gaps),
      *std::max_element(gaps.begin(), gaps.end()));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("SDL_AUDIODRIVER", "dummy");
  qputenv("MELVO_AUDIO_DEVICE", "nosound");
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s TONE_MP3 [RUNS]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const QString tone = QString::fromLocal8Bit(argv[1]);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  TunitMain::SetReportSink([](const std::string&, const std::string&) {});
  TunitMain::SetTrayAvailableForTesting(true);
  TunitMain::SetMediaBusForTesting(false);
  BenchLoad(runs);
  BenchSearch(runs);
  BenchImport(tone, runs);
  CurConfig.reset();
  return 0;
}
