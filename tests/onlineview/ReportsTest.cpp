// What the clicks of the online view and the feedback popup send, read back from what the
// reference services received.
#include <QTimer>

#include "OnlineViewSupport.h"
#include "RawListener.h"
#include "online/common.h"

namespace {

class OnlineReports : public OnlineWindowTest {
 protected:
  void SetUp() override {
    OnlineWindowTest::SetUp();
    TunitMain::SetReportSink(nullptr);  // every report goes over the network
    StartServices(19);
  }
  // "oper/btnName" of every usage report received so far, in arrival order.
  std::vector<std::string> Reports() {
    std::vector<std::string> out;
    for (const auto& row : Received("report")) {
      std::string text = Field(row, "oper");
      if (Field(row, "btnName") != "<absent>") {
        text += '/';  // appended: GCC 12 warns -Wrestrict on "/" + string (a false alarm)
        text += Field(row, "btnName");
      }
      out.push_back(text);
    }
    return out;
  }
  // Runs the action and expects exactly these reports to arrive (in any order) and no more.
  void ExpectReports(const std::function<void()>& action, std::vector<std::string> expected) {
    const size_t before = Reports().size();
    action();
    PumpUntil([&] { return Reports().size() >= before + expected.size(); });
    Pump(300);  // time for a report that should not be there
    std::vector<std::string> got = Reports();
    got.erase(got.begin(), got.begin() + std::min(before, got.size()));
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
  }
  // Opens the feedback popup and presses one of its buttons once it is open.
  void Feedback(TvxBitmapButton* TForm::*button) {
    QTimer::singleShot(100, [this, button] {
      PumpUntil([this] { return window->suggestPop->IsOpen(); });
      PumpAnimation(0.5);
      Click(window.get()->*button);
    });
    Click(window->btnSuggest);
  }
};

TEST_F(OnlineReports, EachClickSendsExactlyItsReport) {
  ExpectReports([this] { OpenOnlineView(); }, {"open", "click/btnSearch"});
  TunitMain& w = *window;
  ExpectReports([this] { Search(QStringLiteral("song")); }, {"click/btnOL"});
  ExpectReports(
      [&] {
        w.mainBs->SetFocused(w.textSearch);
        w.mainBs->KeyUp(13, QString(), 0);
        ASSERT_TRUE(WaitForReply());
      },
      {"click/btnOL"});
  ExpectReports(
      [&] {
        Click(w.btnOLnext);
        ASSERT_TRUE(WaitForReply());
        Click(w.btnOLper);
        ASSERT_TRUE(WaitForReply());
        Hover(w.OLListBox->ItemByIndex(1));
        Click(w.textSearch);
      },
      {});
  ASSERT_EQ(w.OLListBox->Count(), 19);
  // A right-button release over a result does nothing; a left one sends its report.
  ExpectReports(
      [&] {
        const QPointF p = ScenePoint(w.OLListBox->ItemByIndex(0));
        w.mainBs->MouseDown(p, mbRight, 0);
        w.mainBs->MouseUp(p, mbRight, 0);
      },
      {});
  EXPECT_TRUE(w.RectangleOL->Visible());
  ExpectReports([&] { Click(w.OLListBox->ItemByIndex(0)); }, {"click/OLListBox"});
  EXPECT_TRUE(w.OLListBox->Enabled());
  EXPECT_TRUE(w.RectanglePlay->Visible());
}

TEST_F(OnlineReports, FeedbackSendsThePopupTextsAsTheyStandAndNoUsageReport) {
  Open();
  PumpUntil([this] { return Reports().size() == 1; });
  ExpectReports([this] { Feedback(&TForm::btnSCancer); }, {});
  EXPECT_TRUE(Received("feedback").empty());

  ExpectReports([this] { Feedback(&TForm::btnSOK); }, {});
  // The post is done when the click returns.
  auto feedback = Received("feedback");
  ASSERT_EQ(feedback.size(), 1u);
  EXPECT_EQ(feedback[0].fields, (std::vector<std::pair<std::string, std::string>>{
                                    {"email", "邮箱"}, {"content", "建议"}}));

  window->HudTextBoxSuggest->SetText(QStringLiteral("声音 & 100%"));
  window->HudTextBoxMail->SetText(QString());
  Feedback(&TForm::btnSOK);
  feedback = Received("feedback");
  ASSERT_EQ(feedback.size(), 2u);
  EXPECT_EQ(feedback[1].fields,
            (std::vector<std::pair<std::string, std::string>>{{"content", "声音 & 100%"}}));
  EXPECT_EQ(window->HudTextBoxSuggest->Text(), QStringLiteral("声音 & 100%"));
}

// The feedback post is capped: a product web server that never answers holds the handler no
// longer than the cap, and the window paints meanwhile.
TEST_F(OnlineReports, FeedbackToASilentServerReturnsWithinItsCap) {
  Open();
  RawListener silent;
  silent.NeverAnswer();
  setenv("MELVO_WEB_HOST", silent.host().c_str(), 1);
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(50);
  QElapsedTimer clock;
  clock.start();
  Feedback(&TForm::btnSOK);
  EXPECT_LT(clock.elapsed(), online::kWindowRequestTimeoutMs + 2000);
  EXPECT_GT(ticks, 10);
  EXPECT_EQ(silent.Requests().size(), 1u);
}

}  // namespace

namespace {

// Every control of the window clicked once, through the scene: the ones of the usage table give
// exactly their report, every other one gives none.
class ClickReports : public WindowTest {
 protected:
  void Expect(TvxVisualObject* control, std::vector<std::pair<std::string, std::string>> expected) {
    reports.clear();
    Click(control);
    PumpAnimation(0.6);
    EXPECT_EQ(reports, expected) << control->Name.toStdString();
  }
  static std::pair<std::string, std::string> C(const char* name) { return {"click", name}; }
};

TEST_F(ClickReports, ControlsOfTheUsageTableReportAndTheOthersDoNot) {
  TunitMain::SetUrlOpener([](const QString&) { return true; });
  TunitMain& w = Open();
  Expect(w.btnLocalSearch, {C("btnLocalSearch")});
  Expect(w.btnLocalSearch, {C("btnLocalSearch")});
  Expect(w.btnSearch, {C("btnSearch")});
  Expect(w.btnOLper, {});
  Expect(w.btnOLnext, {});
  Expect(w.btnReturn, {C("btnReturn")});
  w.ShowPlayView(fvList);
  w.ShowDisc();
  Expect(w.imageArtist, {C("imageArtist")});
  for (TvxVisualObject* quiet : std::initializer_list<TvxVisualObject*>{
           w.btnPlay, w.btnNext, w.btnOrder, w.btnRandom, w.btnSingle, w.btnSound})
    Expect(quiet, {});
  Expect(w.btnSet, {C("btnSet")});
  Expect(w.checkAutoStart, {C("checkAutoStart")});
  Expect(w.checkAutoStart, {C("checkAutoStart")});
  Expect(w.btnOK, {});
  Expect(w.btnSet, {C("btnSet")});
  Expect(w.DBImage3, {C("backImage")});  // and back to the main face
  Expect(w.btnSet, {C("btnSet")});
  Expect(w.DBImage8, {C("backImage")});
  reports.clear();
  for (QAction* item : {w.N1, w.N2, w.N3, w.NTimeSort, w.NSingerSort}) item->trigger();
  EXPECT_TRUE(reports.empty());
  Expect(w.btnClose, {C("btnClose")});
  reports.clear();
  w.N4->trigger();
  EXPECT_EQ(reports, (std::vector<std::pair<std::string, std::string>>{{"close", ""}}));
}

}  // namespace
