// What is heard: raw samples, the spectrum, levels and the equaliser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "TestSupport.h"

using namespace audiolib_test;
using namespace std::chrono_literals;

namespace {

class AnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override { initDevice(); }
};

TEST_F(AnalysisTest, SpectrumOfA1kHzTonePeaksInItsBinAtAboutHalf) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(300ms);
  float fft[512];
  ASSERT_EQ(BASS_ChannelGetData(h, fft, BASS_DATA_FFT1024), 2048u);
  int peak = int(std::max_element(fft, fft + 512) - fft);
  EXPECT_EQ(peak, int(std::lround(1000.0 * 1024 / 44100)));  // bin 23
  // 1 kHz sits 0.22 bins off the centre: Hann's scalloping costs a few per cent.
  EXPECT_GT(fft[peak], 0.42f);
  EXPECT_LT(fft[peak], 0.52f);
  EXPECT_LT(fft[200], 0.01f);
}

TEST_F(AnalysisTest, SamplesAndSpectrumAreZeroWhenNotPlaying) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  auto allZero = [&] {
    float fft[512];
    int16_t raw[1024];
    std::fill(fft, fft + 512, 1.0f);
    std::fill(raw, raw + 1024, int16_t(1));
    BASS_ChannelGetData(h, fft, BASS_DATA_FFT1024);
    BASS_ChannelGetData(h, raw, 2048);
    return std::all_of(fft, fft + 512, [](float v) { return v == 0.0f; }) &&
           std::all_of(raw, raw + 1024, [](int16_t v) { return v == 0; }) &&
           BASS_ChannelGetLevel(h) == 0;
  };
  EXPECT_TRUE(allZero());  // never started
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(allZero());
  ASSERT_TRUE(BASS_ChannelPause(h));
  EXPECT_TRUE(allZero());
}

TEST_F(AnalysisTest, RawDataAndLevelFollowWhatIsHeard) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(200ms);
  int16_t raw[1024];  // mono: 2048 bytes are 1024 samples
  ASSERT_EQ(BASS_ChannelGetData(h, raw, 2048), 2048u);
  int16_t top = *std::max_element(raw, raw + 1024);
  EXPECT_GT(top, 32000);
  DWORD level = BASS_ChannelGetLevel(h);
  EXPECT_GT(level & 0xFFFF, 32000u);
  EXPECT_LE(level & 0xFFFF, 32768u);
  EXPECT_GT(level >> 16, 32000u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.5f));
  std::this_thread::sleep_for(100ms);
  level = BASS_ChannelGetLevel(h);
  EXPECT_NEAR(double(level & 0xFFFF), 16384.0, 600.0);
}

// Amplitudes at 200 Hz and 3 kHz of the two-tone file after a band at `center` with `gain`.
std::pair<double, double> twoToneAfterEq(float center, float gain) {
  HSTREAM h =
      BASS_StreamCreateFile(FALSE, fixture("twotone.wav").c_str(), 0, 0, BASS_STREAM_DECODE);
  StreamGuard g(h);
  HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 1);
  EXPECT_NE(fx, 0u);
  BASS_DX8_PARAMEQ p{center, 5.0f, gain};
  EXPECT_TRUE(BASS_FXSetParameters(fx, &p));
  std::vector<int16_t> pcm = decodeAll(h);
  std::vector<float> tail;  // skip the filter's settling time
  for (size_t i = 4410; i < pcm.size(); ++i) tail.push_back(float(pcm[i]) / 32768.0f);
  return {toneAmplitude(tail, 44100, 200), toneAmplitude(tail, 44100, 3000)};
}

TEST_F(AnalysisTest, EqualiserBoostsAndCutsOnlyItsBand) {
  auto [flatLow, flatHigh] = twoToneAfterEq(3000, 0);
  EXPECT_NEAR(flatLow, 0.3, 0.01);
  EXPECT_NEAR(flatHigh, 0.3, 0.01);
  auto [cutLow, cutHigh] = twoToneAfterEq(3000, -12);
  EXPECT_NEAR(20 * std::log10(cutHigh / flatHigh), -12.0, 0.5);
  EXPECT_NEAR(cutLow, flatLow, 0.01);
  auto [boostLow, boostHigh] = twoToneAfterEq(200, 6);
  EXPECT_NEAR(20 * std::log10(boostLow / flatLow), 6.0, 0.5);
  EXPECT_NEAR(boostHigh, flatHigh, 0.01);
}

TEST_F(AnalysisTest, EqualiserIsHeardOnAPlayingStream) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 1);
  BASS_DX8_PARAMEQ cut{1000.0f, 5.0f, -15.0f};
  ASSERT_TRUE(BASS_FXSetParameters(fx, &cut));
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(300ms);
  float fft[512];
  ASSERT_EQ(BASS_ChannelGetData(h, fft, BASS_DATA_FFT1024), 2048u);
  EXPECT_NEAR(20 * std::log10(fft[23] / 0.485f), -15.0, 1.5);
}

TEST_F(AnalysisTest, EqualiserParametersReadBackClamped) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 1);
  BASS_DX8_PARAMEQ p{};
  ASSERT_TRUE(BASS_FXGetParameters(fx, &p));
  EXPECT_EQ(p.fGain, 0.0f);
  p = {14000.0f, 5.0f, 40.0f};
  ASSERT_TRUE(BASS_FXSetParameters(fx, &p));
  ASSERT_TRUE(BASS_FXGetParameters(fx, &p));
  EXPECT_EQ(p.fCenter, 14000.0f);
  EXPECT_EQ(p.fGain, 15.0f);
  EXPECT_EQ(BASS_ChannelSetFX(h, 99, 1), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
  ASSERT_TRUE(BASS_StreamFree(h));
  g.h = 0;
  EXPECT_FALSE(BASS_FXSetParameters(fx, &p));  // the effect went with its stream
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

}  // namespace
