#include "evidence/still_frame.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <QFile>
#include <QFileInfo>

#include <memory>

// GStreamer straight rather than the player's QMediaPlayer: the toolkit's backend stamps
// frames with container time rather than clip time, and cannot seek in a transport stream,
// whose length it does not know. An accurate seek here decodes from the key frame before the
// time and hands over exactly the frame that covers it.

namespace {

// playbin's "video" flag alone: no sound, subtitles or deinterlacing, so the frame is the
// decoder's own.
constexpr guint kPlayVideoOnly = 0x1;

// The sink's format: 32-bit pixels laid out as QImage::Format_RGB32 on this machine.
constexpr const char* kSinkFormat = G_BYTE_ORDER == G_LITTLE_ENDIAN ? "BGRx" : "xRGB";

struct PipelineDeleter {
    // Back to NULL first, so its streaming threads end before it is freed.
    void operator()(GstElement* pipeline) const {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
};
using Pipeline = std::unique_ptr<GstElement, PipelineDeleter>;

struct SampleDeleter {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};

QString Seconds(qint64 ms) {
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 3);
}

// The first error the pipeline posted, as one line.
QString PostedError(GstElement* pipeline) {
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    gst_object_unref(bus);
    if (message == nullptr)
        return QStringLiteral("the decoder failed");
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    QString text = QString::fromUtf8(error->message).simplified();
    g_error_free(error);
    gst_message_unref(message);
    return text;
}

// Waits until a state change or a seek has finished: the sink then holds its frame (or the
// end of the stream). Empty on success, else why not.
QString Settle(GstElement* pipeline, int timeoutMs) {
    switch (gst_element_get_state(pipeline, nullptr, nullptr,
                                  static_cast<GstClockTime>(timeoutMs) * GST_MSECOND)) {
        case GST_STATE_CHANGE_SUCCESS:
        case GST_STATE_CHANGE_NO_PREROLL:
            return {};
        case GST_STATE_CHANGE_FAILURE:
            return PostedError(pipeline);
        case GST_STATE_CHANGE_ASYNC:
            break;
    }
    return QStringLiteral("no frame after %1 s").arg(Seconds(timeoutMs));
}

// Where a frame stands on the clip's timeline (its stream time), in nanoseconds.
gint64 FrameTime(GstSample* sample) {
    const guint64 time = gst_segment_to_stream_time(gst_sample_get_segment(sample), GST_FORMAT_TIME,
                                                    GST_BUFFER_PTS(gst_sample_get_buffer(sample)));
    return time == GST_CLOCK_TIME_NONE ? 0 : static_cast<gint64>(time);
}

QImage ToImage(GstSample* sample) {
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return {};
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ))
        return {};
    const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                       GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                       GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
    QImage copy = image.copy();
    gst_video_frame_unmap(&frame);
    return copy;
}

}  // namespace

StillFrame GrabStillFrame(const QString& clipPath, qint64 positionMs, int timeoutMs) {
    const auto fail = [&clipPath](const QString& why) {
        return StillFrame{QImage(), QStringLiteral("cannot decode %1: %2").arg(clipPath, why)};
    };
    const QFileInfo file(clipPath);
    if (!file.exists())
        return fail(QStringLiteral("no such file"));
    if (!file.isFile())
        return fail(QStringLiteral("not a file"));
    if (positionMs < 0)
        return StillFrame{QImage(), QStringLiteral("the time %1 s is before the start of %2")
                                        .arg(Seconds(positionMs), clipPath)};

    gst_init(nullptr, nullptr);
    Pipeline pipeline(gst_element_factory_make("playbin", nullptr));
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    // Takes the sound without looking for a sound card, which the flags alone do not stop
    // playbin from probing.
    GstElement* mute = gst_element_factory_make("fakesink", nullptr);
    if (!pipeline || sink == nullptr || mute == nullptr) {
        for (GstElement* element : {sink, mute}) {
            if (element != nullptr)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return fail(QStringLiteral("the media framework lacks playbin, appsink or fakesink"));
    }
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, kSinkFormat, nullptr);
    g_object_set(sink, "caps", caps, "sync", FALSE, nullptr);
    gst_caps_unref(caps);
    g_object_set(pipeline.get(), "video-sink", sink, "audio-sink", mute, "flags", kPlayVideoOnly,
                 nullptr);
    gchar* uri =
        gst_filename_to_uri(QFile::encodeName(file.absoluteFilePath()).constData(), nullptr);
    if (uri == nullptr)
        return fail(QStringLiteral("no URI for the path"));
    g_object_set(pipeline.get(), "uri", uri, nullptr);
    g_free(uri);

    gst_element_set_state(pipeline.get(), GST_STATE_PAUSED);
    if (const QString problem = Settle(pipeline.get(), timeoutMs); !problem.isEmpty())
        return fail(problem);
    gint videoStreams = 0;
    g_object_get(pipeline.get(), "n-video", &videoStreams, nullptr);
    if (videoStreams == 0)
        return fail(QStringLiteral("no video stream"));

    // Clip time 0 is the first frame: a transport stream's timeline starts at its first clock
    // reference, some way before its first picture.
    std::unique_ptr<GstSample, SampleDeleter> sample(
        gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), 0));
    if (!sample)
        return fail(QStringLiteral("no frame"));
    const gint64 startNs = FrameTime(sample.get());

    const gint64 positionNs = positionMs * static_cast<gint64>(GST_MSECOND);
    if (positionNs > 0) {
        if (!gst_element_seek_simple(
                pipeline.get(), GST_FORMAT_TIME,
                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                startNs + positionNs)) {
            return fail(QStringLiteral("cannot seek to %1 s").arg(Seconds(positionMs)));
        }
        if (const QString problem = Settle(pipeline.get(), timeoutMs); !problem.isEmpty())
            return fail(problem);
        sample.reset(gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), 0));
        // The end shows here as the end of the stream: a transport stream's length is only
        // estimated, from its bit rate.
        if (!sample && gst_app_sink_is_eos(GST_APP_SINK(sink))) {
            return StillFrame{QImage(), QStringLiteral("the time %1 s is past the end of %2")
                                            .arg(Seconds(positionMs), clipPath)};
        }
        if (!sample)
            return fail(QStringLiteral("no frame"));
    }
    QImage image = ToImage(sample.get());
    if (image.isNull())
        return fail(QStringLiteral("the frame cannot be read"));
    return StillFrame{std::move(image), QString()};
}
