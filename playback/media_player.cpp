#include "playback/media_player.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <QAudio>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <QVideoSink>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#include "app/message.h"
#include "playback/ts_duration.h"

namespace {

constexpr int kPollMs = 50;
// The backend's own formats that the picture takes as they are.
constexpr const char* kSinkCaps = "video/x-raw,format=(string){I420,NV12}";

const QEvent::Type kFrameEvent = static_cast<QEvent::Type>(QEvent::User + 14);

// The pictures of a player: the clip's, and the inset clip's.
constexpr int kMain = 0;
constexpr int kInset = 1;

// playbin's "video" flag alone, for the inset clip: its sound is not decoded.
constexpr guint kPlayVideoOnly = 0x1;

// A decoded frame on its way from a streaming thread to the picture.
struct FrameEvent : QEvent {
    FrameEvent(QVideoFrame f, unsigned g, int c)
        : QEvent(kFrameEvent), frame(std::move(f)), generation(g), channel(c) {}
    QVideoFrame frame;
    unsigned generation;
    int channel;
};

bool BackendDecodes(DecoderKind kind) {
    gst_init(nullptr, nullptr);
    GstCaps* caps = gst_caps_from_string(
        kind == DecoderKind::Video ? "video/x-h264" : "audio/mpeg, mpegversion=(int)4");
    GList* decoders =
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER, GST_RANK_MARGINAL);
    GList* fitting = gst_element_factory_list_filter(decoders, caps, GST_PAD_SINK, FALSE);
    const bool found = fitting != nullptr;
    gst_plugin_feature_list_free(fitting);
    gst_plugin_feature_list_free(decoders);
    gst_caps_unref(caps);
    return found;
}

DecoderCheck& CurrentDecoderCheck() {
    static DecoderCheck check = BackendDecodes;
    return check;
}

// The backend's streaming threads come and go with every clip, and each new thread would get
// a malloc arena of its own and keep what it freed there: a player that opens clip after clip
// would grow by megabytes a minute. A few arenas, shared from the start of the process (before
// any thread has made its own), keep it flat.
[[maybe_unused]] const int kMallocArenasLimited = mallopt(M_ARENA_MAX, 2);

// Where a frame stands on the clip's timeline (its stream time), in nanoseconds; -1 unknown.
int64_t StreamTime(GstSample* sample) {
    const GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    if (buffer == nullptr || segment == nullptr || !GST_BUFFER_PTS_IS_VALID(buffer))
        return -1;
    const guint64 time =
        gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return time == GST_CLOCK_TIME_NONE ? -1 : static_cast<int64_t>(time);
}

// The sample's picture as a frame of the toolkit, its planes copied.
QVideoFrame ToVideoFrame(GstSample* sample) {
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return {};
    const auto format = GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_NV12
                            ? QVideoFrameFormat::Format_NV12
                            : QVideoFrameFormat::Format_YUV420P;
    GstVideoFrame in;
    if (!gst_video_frame_map(&in, &info, gst_sample_get_buffer(sample), GST_MAP_READ))
        return {};
    QVideoFrame out(QVideoFrameFormat(
        QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)), format));
    if (out.map(QVideoFrame::WriteOnly)) {
        for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(&in); ++plane) {
            const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&in, plane);
            const int fromStride = GST_VIDEO_FRAME_PLANE_STRIDE(&in, plane);
            const int toStride = out.bytesPerLine(static_cast<int>(plane));
            const auto* from = static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&in, plane));
            uchar* to = out.bits(static_cast<int>(plane));
            const int bytes = std::min(fromStride, toStride);
            for (int row = 0; row < rows; ++row)
                std::memcpy(to + row * toStride, from + row * fromStride, bytes);
        }
        out.unmap();
    }
    gst_video_frame_unmap(&in);
    return out;
}

}  // namespace

// What the streaming threads of one pipeline reach: the player while it still wants frames.
struct CMediaPlayer::Shared {
    std::mutex mutex;
    CMediaPlayer* owner = nullptr;
    unsigned generation = 0;
    // The main picture's first frame and frame length.
    std::atomic<int64_t> firstFrameNs{-1};
    std::atomic<int64_t> frameNs{0};
    // Pausing prerolls the frame after the one on screen, while the position stays in the one
    // on screen: that frame is not shown, so that picture and position agree (a frame step
    // then moves the picture by one, and a still saves the frame seen). One per picture.
    std::array<std::atomic<bool>, 2> skipPreroll{};

    // What a sink's callbacks get; the sink holds it for as long as its threads may call.
    struct Feed {
        std::shared_ptr<Shared> shared;
        int channel;
    };

    static GstFlowReturn OnSample(GstAppSink* sink, const Feed& feed, bool preroll) {
        Shared* self = feed.shared.get();
        GstSample* sample =
            preroll ? gst_app_sink_pull_preroll(sink) : gst_app_sink_pull_sample(sink);
        if (sample == nullptr)
            return GST_FLOW_OK;
        if (preroll && self->skipPreroll[feed.channel].exchange(false)) {
            gst_sample_unref(sample);
            return GST_FLOW_OK;
        }
        GstVideoInfo info;
        if (feed.channel == kMain) {
            const int64_t at = StreamTime(sample);
            int64_t unknown = -1;
            if (at >= 0)
                self->firstFrameNs.compare_exchange_strong(unknown, at);
            if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
                GST_VIDEO_INFO_FPS_N(&info) > 0) {
                self->frameNs = static_cast<int64_t>(gst_util_uint64_scale(
                    GST_SECOND, GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_FPS_N(&info)));
            }
        }
        QVideoFrame frame = ToVideoFrame(sample);
        gst_sample_unref(sample);
        const std::lock_guard lock(self->mutex);
        if (self->owner != nullptr && frame.isValid())
            QCoreApplication::postEvent(
                self->owner, new FrameEvent(std::move(frame), self->generation, feed.channel));
        return GST_FLOW_OK;
    }

    // Makes sink take the backend's own formats and hand its frames to the channel's picture.
    static void Attach(GstElement* sink, const std::shared_ptr<Shared>& shared, int channel) {
        GstCaps* caps = gst_caps_from_string(kSinkCaps);
        // One frame waits at most: a picture the window has not painted yet is replaced.
        g_object_set(sink, "caps", caps, "max-buffers", 1, "drop", TRUE, nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_preroll = [](GstAppSink* s, gpointer d) {
            return OnSample(s, *static_cast<Feed*>(d), true);
        };
        callbacks.new_sample = [](GstAppSink* s, gpointer d) {
            return OnSample(s, *static_cast<Feed*>(d), false);
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new Feed{shared, channel},
                                   [](gpointer d) { delete static_cast<Feed*>(d); });
    }
};

DecoderCheck SetDecoderCheck(DecoderCheck check) {
    DecoderCheck previous = CurrentDecoderCheck();
    CurrentDecoderCheck() = check ? std::move(check) : DecoderCheck(BackendDecodes);
    return previous;
}

int VolumeHundredths(int level) {
    return (5 * std::clamp(level, 0, 10) - 50) * 200;
}

float LinearVolume(int hundredths) {
    if (hundredths <= -10000)
        return 0.0f;
    return QAudio::convertVolume(hundredths / 100.0f, QAudio::DecibelVolumeScale,
                                 QAudio::LinearVolumeScale);
}

int64_t FrameStepTargetMs(int64_t positionUs, int64_t frameUs, int frames) {
    constexpr int64_t kAssumedFrameUs = 1000000 / 30;
    if (frameUs <= 0)
        frameUs = kAssumedFrameUs;
    return std::max<int64_t>(0, positionUs + frames * frameUs) / 1000;
}

CMediaPlayer::CMediaPlayer(CPlayerDisplay& display, CClipPlayerEvents* events, QObject* parent)
    : QObject(parent), display_(display), events_(events) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] {
        TakeBusMessages();
        ReportPosition();
    });
}

CMediaPlayer::~CMediaPlayer() {
    ReleaseGraph();
}

int CMediaPlayer::BuildGraph() {
    DropGraph();
    gst_init(nullptr, nullptr);
    GstElement* pipeline = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (pipeline == nullptr || sink == nullptr) {
        for (GstElement* element : {pipeline, sink}) {
            if (element != nullptr)
                gst_object_unref(gst_object_ref_sink(element));
        }
        ShowMessage("Failed to Create Graph Builder");
        return -1;
    }
    if (!CurrentDecoderCheck()(DecoderKind::Audio)) {
        gst_object_unref(gst_object_ref_sink(sink));
        gst_object_unref(pipeline);
        ShowMessage("Failed to Create LAVAudioDecoder Filter", "Error");
        return -1;
    }
    if (!CurrentDecoderCheck()(DecoderKind::Video)) {
        gst_object_unref(gst_object_ref_sink(sink));
        gst_object_unref(pipeline);
        ShowMessage("Failed to Create LAVVideoDecoder Filter", "Error");
        return -1;
    }
    g_object_set(pipeline, "video-sink", sink, nullptr);

    const unsigned generation = shared_ ? shared_->generation + 1 : 1;
    shared_ = std::make_shared<Shared>();
    shared_->owner = this;
    shared_->generation = generation;
    Shared::Attach(sink, shared_, kMain);
    pipeline_ = pipeline;
    front_ = pipeline;
    built_ = true;
    AddInset();

    durationMs_ = 0;
    startNs_ = -1;
    frameUs_ = 0;
    PlaceVideoWindow();
    playing_ = false;
    state_ = MediaState::Stopped;
    return 0;
}

// The inset clip plays in a second playbin beside the first in one pipeline: the pipeline's one
// clock runs both, and its state changes and seeks reach both, so pause, seek, speed and frame
// steps keep them in step by construction. A single clip keeps the bare playbin.
void CMediaPlayer::AddInset() {
    if (insetPath_.empty())
        return;
    GstElement* top = gst_pipeline_new(nullptr);
    GstElement* inset = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    // Takes the sound without looking for a sound card, which the flags alone do not stop
    // playbin from probing.
    GstElement* mute = gst_element_factory_make("fakesink", nullptr);
    gchar* uri = gst_filename_to_uri(
        QFile::encodeName(QFileInfo(QString::fromStdString(insetPath_)).absoluteFilePath())
            .constData(),
        nullptr);
    if (top == nullptr || inset == nullptr || sink == nullptr || mute == nullptr ||
        uri == nullptr) {
        // The clip plays alone.
        for (GstElement* element : {top, inset, sink, mute}) {
            if (element != nullptr)
                gst_object_unref(gst_object_ref_sink(element));
        }
        g_free(uri);
        return;
    }
    Shared::Attach(sink, shared_, kInset);
    g_object_set(inset, "uri", uri, "video-sink", sink, "audio-sink", mute, "flags", kPlayVideoOnly,
                 nullptr);
    g_free(uri);
    gst_bin_add_many(GST_BIN(top), pipeline_, inset, nullptr);
    pipeline_ = top;
}

int CMediaPlayer::OpenMedia(const std::string& path, const std::string& inset) {
    path_ = path;
    insetPath_ = inset;
    if (playing_)
        StopMedia();
    if (BuildGraph() == -1)
        return -1;
    RenderAndRun();
    display_.ShowPath(QString::fromStdString(path));
    return 1;
}

int CMediaPlayer::RenderAndRun() {
    const QFileInfo file(QString::fromStdString(path_));
    if (!built_ || !file.isFile() || !file.isReadable()) {
        ShowMessage("Failed to add RenderFile to graph");
        return -1;
    }
    gchar* uri =
        gst_filename_to_uri(QFile::encodeName(file.absoluteFilePath()).constData(), nullptr);
    if (uri == nullptr) {
        ShowMessage("Failed to add RenderFile to graph");
        return -1;
    }
    g_object_set(front_, "uri", uri, nullptr);
    g_free(uri);
    PlaceVideoWindow();
    SetVolumeLevel(volumeLevel_);
    playing_ = true;
    state_ = MediaState::Running;
    reportedMs_ = -1;
    display_.EnablePlayButton();
    poll_.start();
    if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        ShowMessage("Failed to Run to graph");
        return -1;
    }
    return 1;
}

bool CMediaPlayer::Running() const {
    if (!built_)
        return false;
    GstState current = GST_STATE_NULL;
    gst_element_get_state(pipeline_, &current, nullptr, 0);
    return current == GST_STATE_PLAYING;
}

int CMediaPlayer::TogglePause() {
    if (!built_)
        return 1;
    playing_ = !playing_;
    state_ = playing_ ? MediaState::Running : MediaState::Paused;
    // Before its first frame a clip prerolls that frame, which is shown.
    for (std::atomic<bool>& skip : shared_->skipPreroll) skip = !playing_ && startNs_ >= 0;
    gst_element_set_state(pipeline_, playing_ ? GST_STATE_PLAYING : GST_STATE_PAUSED);
    return 1;
}

int CMediaPlayer::StopMedia() {
    if (!built_)
        return 1;
    if (playing_ || state_ == MediaState::Paused)
        gst_element_set_state(pipeline_, GST_STATE_READY);
    playing_ = false;
    state_ = MediaState::Stopped;
    pendingSeekMs_ = -1;
    reportedMs_ = -1;
    return 1;
}

void CMediaPlayer::SeekToMs(int64_t ms) {
    if (!built_)
        return;
    // Until the first frame the pipeline cannot seek; the seek waits for it.
    if (startNs_ < 0)
        pendingSeekMs_ = ms;
    else
        SeekPipeline(ms);
}

void CMediaPlayer::SeekPipeline(int64_t ms) {
    // Accurate: decoded from the key frame before, so the frame shown is the one at ms.
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    for (std::atomic<bool>& skip : shared_->skipPreroll) skip = false;
    gst_element_seek(pipeline_, rate_, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                     startNs_ + std::max<int64_t>(ms, 0) * GST_MSECOND, GST_SEEK_TYPE_NONE,
                     GST_CLOCK_TIME_NONE);
    reportedMs_ = -1;
}

int64_t CMediaPlayer::StepFrames(int frames) {
    const int64_t target = FrameStepTargetMs(PositionMs() * 1000, frameUs_, frames);
    SeekToMs(target);
    return target;
}

int64_t CMediaPlayer::PositionMs() const {
    if (pendingSeekMs_ >= 0)
        return pendingSeekMs_;
    gint64 position = 0;
    if (!built_ || startNs_ < 0 || !gst_element_query_position(front_, GST_FORMAT_TIME, &position))
        return 0;
    return std::max<int64_t>(0, (position - startNs_) / GST_MSECOND);
}

void CMediaPlayer::SetRate(double rate) {
    if (rate == rate_)
        return;
    rate_ = rate;
    SetVolumeLevel(volumeLevel_);
    if (built_ && startNs_ >= 0 && state_ != MediaState::Stopped)
        SeekPipeline(PositionMs());
}

int CMediaPlayer::SetVolumeLevel(int level) {
    volumeLevel_ = level;
    // Sound above double speed is noise.
    if (built_) {
        g_object_set(front_, "volume",
                     rate_ > 2 ? 0.0 : static_cast<double>(LinearVolume(VolumeHundredths(level))),
                     nullptr);
    }
    return 1;
}

int CMediaPlayer::PlaceVideoWindow() {
    if (!built_)
        return 0;
    if (video_ == nullptr) {
        video_ = display_.VideoWindow();
        if (video_ == nullptr)
            return 0;
    }
    video_->show();
    video_->raise();
    return 1;
}

void CMediaPlayer::ReportPosition() {
    if (!playing_ || events_ == nullptr)
        return;
    const int64_t ms = PositionMs();
    if (ms == reportedMs_)
        return;
    reportedMs_ = ms;
    events_->OnPositionChanged(this);
}

void CMediaPlayer::TakeBusMessages() {
    if (!built_)
        return;
    GstBus* bus = gst_element_get_bus(pipeline_);
    while (GstMessage* message = gst_bus_pop(bus)) {
        switch (GST_MESSAGE_TYPE(message)) {
            case GST_MESSAGE_EOS:
                PostEvent(kEventComplete);
                break;
            case GST_MESSAGE_ERROR: {
                GError* error = nullptr;
                gst_message_parse_error(message, &error, nullptr);
                const QString text = QString::fromUtf8(error != nullptr ? error->message : "");
                g_clear_error(&error);
                OnError(text);
                break;
            }
            case GST_MESSAGE_ASYNC_DONE:
                OnPrerolled();
                break;
            case GST_MESSAGE_DURATION_CHANGED:
                durationMs_ = 0;
                OnPrerolled();
                break;
            default:
                break;
        }
        gst_message_unref(message);
        if (!built_)
            break;  // the error's box may have let the pipeline go
    }
    if (bus != nullptr)
        gst_object_unref(bus);
}

void CMediaPlayer::OnPrerolled() {
    if (startNs_ < 0) {
        const int64_t first = shared_->firstFrameNs.load();
        if (first < 0)
            return;  // no picture yet
        startNs_ = first;
        frameUs_ = shared_->frameNs.load() / 1000;
        // The first frame is here: a seek asked before it, or another speed, applies now.
        const int64_t pending = std::exchange(pendingSeekMs_, -1);
        if (pending >= 0 || rate_ != 1)
            SeekPipeline(std::max<int64_t>(pending, 0));
    }
    if (durationMs_ <= 0) {
        gint64 duration = 0;
        if (gst_element_query_duration(front_, GST_FORMAT_TIME, &duration) && duration > 0)
            durationMs_ = (duration - startNs_) / GST_MSECOND;
        // A transport stream's length is its time stamps' span.
        if (durationMs_ <= 0)
            durationMs_ = std::max<int64_t>(TransportStreamDurationMs(path_), 0);
    }
}

void CMediaPlayer::OnError(const QString& text) {
    Q_UNUSED(text);
    if (!playing_ && state_ != MediaState::Paused)
        return;
    // A clip that cannot be loaded is a failed render; errors after loading only end the
    // picture, and the log plays on.
    const bool loaded = startNs_ >= 0;
    PostEvent(kEventErrorAbort);
    if (!loaded)
        ShowMessage("Failed to add RenderFile to graph");
}

int CMediaPlayer::HandleGraphEvents() {
    if (!built_) {
        ShowMessage("MediaEventEx interface error", "error");
        return 0;
    }
    int result = 1;
    while (!pending_.empty()) {
        const long code = pending_.front();
        pending_.pop_front();
        if (code == kEventComplete || code == kEventErrorAbort)
            StopMedia();
        if (code == kEventComplete)
            result = kClipEnded;
    }
    return result;
}

void CMediaPlayer::ReleaseGraph() {
    DropGraph();
    poll_.stop();
}

void CMediaPlayer::Dispose() {
    ReleaseGraph();
    events_ = nullptr;
    deleteLater();
}

void CMediaPlayer::DropGraph() {
    pending_.clear();
    pendingSeekMs_ = -1;
    if (shared_) {
        const std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
    }
    const bool hadGraph = built_;
    if (built_) {
        // NULL first: its streaming threads end before it goes.
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
        front_ = nullptr;
        built_ = false;
    }
    // What the pipeline's threads freed stays with the process unless handed back.
    if (hadGraph)
        malloc_trim(0);
    if (video_ != nullptr) {
        video_->Clear();
        video_->hide();
    }
    video_ = nullptr;
    durationMs_ = 0;
    playing_ = false;
    state_ = MediaState::Stopped;
}

void CMediaPlayer::PostEvent(long code) {
    pending_.push_back(code);
    QCoreApplication::postEvent(this, new QEvent(kGraphNotifyEvent));
}

bool CMediaPlayer::event(QEvent* event) {
    if (event->type() == kFrameEvent) {
        auto* frame = static_cast<FrameEvent*>(event);
        if (shared_ && frame->generation == shared_->generation && video_ != nullptr)
            (frame->channel == kMain ? video_->videoSink() : video_->insetSink())
                ->setVideoFrame(frame->frame);
        return true;
    }
    if (event->type() != kGraphNotifyEvent)
        return QObject::event(event);
    if (events_ != nullptr)
        events_->OnGraphNotify(this);
    return true;
}
