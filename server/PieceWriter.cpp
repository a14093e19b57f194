// One piece of the built-in catalogue: a pentatonic tune over a soft chord pad, encoded to MP3
// with FFmpeg's encoder and muxer (ID3v2 tags from the stream's metadata).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "Catalogue.h"

namespace services {
namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

double MidiToHz(double note) {
  return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// A sine oscillator by rotation: far cheaper per sample than calling sin, and exact enough
// over a piece's few seconds.
struct Oscillator {
  explicit Oscillator(double hz)
      : stepC(std::cos(2 * kPi * hz / kRate)), stepS(std::sin(2 * kPi * hz / kRate)) {}
  void Next() {
    const double s2 = s * stepC + c * stepS;
    c = c * stepC - s * stepS;
    s = s2;
  }
  double stepC, stepS;
  double s = 0.0, c = 1.0;
};

// Adds a plucked tone: a few harmonics under an attack and an exponential decay.
void AddNote(std::vector<float>& out, size_t start, size_t length, double hz, double gain) {
  const size_t attack = kRate / 100;
  const double decay = std::exp(-3.0 / kRate);
  double env = 1.0;
  Oscillator osc(hz);
  for (size_t i = 0; i < length && start + i < out.size(); ++i, env *= decay, osc.Next()) {
    // A short rise and fall at both ends: a tone cut off mid-swing clicks.
    const size_t left = length - i;
    const double rise =
        std::min({1.0, static_cast<double>(i) / attack, static_cast<double>(left) / (2 * attack)});
    const double s = osc.s;
    // sin 2x = 2 sin x cos x, sin 3x = sin x (3 - 4 sin^2 x)
    const double tone = s + 0.3 * 2 * s * osc.c + 0.1 * s * (3 - 4 * s * s);
    out[start + i] += static_cast<float>(gain * rise * env * tone);
  }
}

// A held chord that swells in and out over its bar.
void AddPad(std::vector<float>& out, size_t start, size_t length, const double (&notes)[3]) {
  Oscillator oscs[3] = {Oscillator(MidiToHz(notes[0])), Oscillator(MidiToHz(notes[1])),
                        Oscillator(MidiToHz(notes[2]))};
  Oscillator swell(0.5 * kRate / static_cast<double>(length));  // half a turn over the bar
  for (size_t i = 0; i < length && start + i < out.size(); ++i) {
    double v = 0;
    for (auto& o : oscs) {
      v += o.s;
      o.Next();
    }
    out[start + i] += static_cast<float>(0.06 * swell.s * v);
    swell.Next();
  }
}

std::vector<float> Compose(const CataloguePiece& piece) {
  std::mt19937 random(piece.seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  std::vector<float> out(static_cast<size_t>(piece.seconds) * kRate, 0.0f);
  const int root = pick(55, 64);
  const int bpm = pick(84, 132);
  const size_t eighth = static_cast<size_t>(kRate * 30 / bpm);
  const size_t bar = 8 * eighth;
  static constexpr int kScale[] = {0, 2, 4, 7, 9, 12, 14, 16, 19, 21};
  static constexpr int kChords[4][3] = {{0, 4, 7}, {7, 11, 14}, {9, 12, 16}, {5, 9, 12}};
  for (size_t b = 0, at = 0; at < out.size(); ++b, at += bar) {
    const auto& chord = kChords[b % 4];
    const double pad[3] = {root - 12.0 + chord[0], root - 12.0 + chord[1], root - 12.0 + chord[2]};
    AddPad(out, at, bar, pad);
  }
  int degree = pick(0, 4);
  for (size_t at = 0; at + eighth <= out.size(); at += eighth) {
    if (pick(0, 5) == 0) continue;  // a rest now and then
    degree = std::clamp(degree + pick(-2, 2), 0, static_cast<int>(std::size(kScale)) - 1);
    const size_t length = eighth * static_cast<size_t>(pick(1, 3));
    AddNote(out, at, length, MidiToHz(root + kScale[degree]), 0.25);
  }
  float peak = 0.0f;
  for (float v : out) peak = std::max(peak, std::fabs(v));
  const size_t fade = kRate / 2;
  for (size_t i = 0; i < out.size(); ++i) {
    float v = peak > 0 ? out[i] * 0.8f / peak : 0.0f;
    if (i + fade > out.size()) v *= static_cast<float>(out.size() - i) / fade;
    out[i] = v;
  }
  return out;
}

struct Encoding {
  AVFormatContext* format = nullptr;
  AVCodecContext* encoder = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  ~Encoding() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }

  // Sends one frame (nullptr: the end) and writes every packet the encoder has ready.
  bool Send(const AVFrame* f) {
    if (avcodec_send_frame(encoder, f) < 0) return false;
    for (;;) {
      const int rc = avcodec_receive_packet(encoder, packet);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return false;
      av_packet_rescale_ts(packet, encoder->time_base, format->streams[0]->time_base);
      packet->stream_index = 0;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }
};

AVSampleFormat PickSampleFormat(const AVCodec* codec) {
  for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_S16P || *f == AV_SAMPLE_FMT_FLT ||
        *f == AV_SAMPLE_FMT_S16)
      return *f;
  return AV_SAMPLE_FMT_NONE;
}

void FillFrame(AVFrame* frame, const std::vector<float>& samples, size_t from) {
  for (int i = 0; i < frame->nb_samples; ++i) {
    const size_t at = from + static_cast<size_t>(i);
    const float v = at < samples.size() ? samples[at] : 0.0f;
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    if (fmt == AV_SAMPLE_FMT_FLTP || fmt == AV_SAMPLE_FMT_FLT)
      reinterpret_cast<float*>(frame->data[0])[i] = v;
    else
      reinterpret_cast<int16_t*>(frame->data[0])[i] = static_cast<int16_t>(std::lrint(v * 32767));
  }
}

}  // namespace

bool WritePiece(const std::string& path, const CataloguePiece& piece) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP3);
  if (!codec) return false;
  const AVSampleFormat sampleFormat = PickSampleFormat(codec);
  if (sampleFormat == AV_SAMPLE_FMT_NONE) return false;
  Encoding e;
  if (avformat_alloc_output_context2(&e.format, nullptr, "mp3", path.c_str()) < 0) return false;
  AVStream* stream = avformat_new_stream(e.format, nullptr);
  e.encoder = avcodec_alloc_context3(codec);
  e.frame = av_frame_alloc();
  e.packet = av_packet_alloc();
  if (!stream || !e.encoder || !e.frame || !e.packet) return false;
  e.encoder->sample_rate = kRate;
  e.encoder->sample_fmt = sampleFormat;
  e.encoder->bit_rate = 96000;
  e.encoder->compression_level = 9;  // the encoder's fastest: the pieces are simple tones
  e.encoder->time_base = {1, kRate};
  av_channel_layout_default(&e.encoder->ch_layout, 1);
  if (avcodec_open2(e.encoder, codec, nullptr) < 0) return false;
  if (avcodec_parameters_from_context(stream->codecpar, e.encoder) < 0) return false;
  stream->time_base = e.encoder->time_base;
  av_dict_set(&e.format->metadata, "title", piece.title.c_str(), 0);
  av_dict_set(&e.format->metadata, "artist", piece.artist.c_str(), 0);
  av_dict_set(&e.format->metadata, "album", piece.album.c_str(), 0);
  if (avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  if (avformat_write_header(e.format, nullptr) < 0) return false;

  const std::vector<float> samples = Compose(piece);
  const int frameSize = e.encoder->frame_size > 0 ? e.encoder->frame_size : 1152;
  e.frame->nb_samples = frameSize;
  e.frame->format = sampleFormat;
  e.frame->sample_rate = kRate;
  if (av_channel_layout_copy(&e.frame->ch_layout, &e.encoder->ch_layout) < 0 ||
      av_frame_get_buffer(e.frame, 0) < 0)
    return false;
  for (size_t at = 0; at < samples.size(); at += static_cast<size_t>(frameSize)) {
    if (av_frame_make_writable(e.frame) < 0) return false;
    FillFrame(e.frame, samples, at);  // the last frame is padded with silence
    e.frame->pts = static_cast<int64_t>(at);
    if (!e.Send(e.frame)) return false;
  }
  if (!e.Send(nullptr)) return false;
  return av_write_trailer(e.format) == 0;
}

}  // namespace services
