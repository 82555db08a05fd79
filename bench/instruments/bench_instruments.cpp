// One paint of each instrument as a playback tick causes it, and of all four together.
// Run from a Release build: build-release/bin/bench_instruments

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "instruments/instrument_font.h"
#include "instruments/speedo_meter.h"
#include "tools/gallery/sample_track.h"

namespace {

struct Setup {
    InstrumentMode mode;
    int face;
};
// Indexed by the mode's value, which the benchmark arguments carry.
constexpr Setup kInstruments[] = {{InstrumentMode::Speedometer, 1159},
                                  {InstrumentMode::Compass, 1161},
                                  {InstrumentMode::GSensorChart, 1185},
                                  {InstrumentMode::SatelliteChart, 1186}};
constexpr int64_t Arg(InstrumentMode mode) {
    return static_cast<int64_t>(mode);
}

std::unique_ptr<CSpeedoMeter> MakeInstrument(const Setup& s, const TrackEntry* list) {
    auto meter = std::make_unique<CSpeedoMeter>();
    meter->SetFaceBitmap(s.face);
    meter->SetMode(s.mode);
    meter->SetNeedleWidth(3);
    meter->SetNeedleColor(0x3F57FFu);
    meter->resize(meter->sizeHint());
    meter->SetSampleList(list);
    return meter;
}

// The whole paint path: the paint event into an off-screen target of the control's size.
void Paint(CSpeedoMeter& meter, QImage& target) {
    meter.render(&target);
    benchmark::DoNotOptimize(target.constBits());
}

void BM_Instrument(benchmark::State& state) {
    const Setup& s = kInstruments[state.range(0)];
    std::vector<TrackEntry> track = MakeDriveTrack(static_cast<int>(state.range(1)));
    auto meter = MakeInstrument(s, track.data());
    QImage target(meter->size(), QImage::Format_RGB32);
    size_t i = 0;
    for (auto _ : state) {
        meter->SetCurrentSample(&track[i]);
        Paint(*meter, target);
        i = (i + 1) % track.size();
    }
}
BENCHMARK(BM_Instrument)
    ->ArgNames({"mode", "entries"})
    ->Args({Arg(InstrumentMode::Speedometer), 3600})
    ->Args({Arg(InstrumentMode::Compass), 3600})
    ->Args({Arg(InstrumentMode::GSensorChart), 3600})
    ->Args({Arg(InstrumentMode::GSensorChart), 86400})
    ->Args({Arg(InstrumentMode::SatelliteChart), 3600})
    ->Unit(benchmark::kMicrosecond);

// The first paint after a recording is opened walks the whole track and draws its traces.
void BM_GSensorFirstPaint(benchmark::State& state) {
    std::vector<TrackEntry> track = MakeDriveTrack(static_cast<int>(state.range(0)));
    auto meter = MakeInstrument(kInstruments[Arg(InstrumentMode::GSensorChart)], track.data());
    QImage target(meter->size(), QImage::Format_RGB32);
    meter->SetCurrentSample(&track[0]);
    for (auto _ : state) {
        meter->SetSampleList(track.data());
        Paint(*meter, target);
    }
}
BENCHMARK(BM_GSensorFirstPaint)->Arg(3600)->Arg(86400)->Unit(benchmark::kMicrosecond);

// One log tick: the current entry handed to all four instruments and each repainted.
void BM_Tick(benchmark::State& state) {
    std::vector<TrackEntry> track = MakeDriveTrack(static_cast<int>(state.range(0)));
    std::vector<std::unique_ptr<CSpeedoMeter>> meters;
    std::vector<QImage> targets;
    for (const Setup& s : kInstruments) {
        meters.push_back(MakeInstrument(s, track.data()));
        targets.emplace_back(meters.back()->size(), QImage::Format_RGB32);
    }
    size_t i = 0;
    for (auto _ : state) {
        for (size_t m = 0; m < meters.size(); ++m) {
            meters[m]->SetCurrentSample(&track[i]);
            Paint(*meters[m], targets[m]);
        }
        i = (i + 1) % track.size();
    }
}
BENCHMARK(BM_Tick)->ArgName("entries")->Arg(3600)->Arg(86400)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterInstrumentFont();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
