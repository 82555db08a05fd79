// vantrail-still: writes a clip's frame at a moment, captioned with the log's second, as a PNG.

#include <getopt.h>

#include <QFileInfo>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "evidence/still_caption.h"
#include "evidence/still_frame.h"
#include "telemetry/track_source.h"
#include "track/track.h"
#include "vantrail_version.h"

namespace {

constexpr const char* kUsage =
    "usage: vantrail-still CLIP --at SECONDS --out FILE.png [--log LOG]\n"
    "Writes the clip's frame at SECONDS (its own size) with a caption band below it: the\n"
    "file name and clip time, and from the log's sample of that second the UTC date and\n"
    "time, speed, course, position and the acceleration's magnitude.\n"
    "  --at SECONDS  time in the clip, 0 or more, fractions allowed (to the millisecond);\n"
    "                the log sample is the one of the whole second\n"
    "  --out FILE    the PNG to write\n"
    "  --log LOG     the log (.nmea) or .gps file to caption from (default: the clip's\n"
    "                own, as the player finds it: the .nmea beside it under the same name,\n"
    "                else the .gps, else the GPS data inside the clip; without any the\n"
    "                caption holds the file name and clip time only)\n"
    "  --help, --version\n"
    "Exit status: 0 written; 1 the clip cannot be decoded, the time is past its end or LOG\n"
    "cannot be read (no file is written); 2 usage error.\n";

struct Options {
    QString clip;
    qint64 atMs = -1;
    QString out;
    std::optional<QString> log;
};

int UsageError(const std::string& problem) {
    (void)std::fprintf(stderr, "vantrail-still: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

int Failure(const QString& problem) {
    (void)std::fprintf(stderr, "vantrail-still: %s\n", qUtf8Printable(problem));
    return 1;
}

// Seconds from the clip's start to whole milliseconds; -1 when not a time.
qint64 ParseSeconds(const char* text) {
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 1e9)
        return -1;
    return std::llround(seconds * 1000.0);
}

// 0 when parsed; else the exit status: 2 for a usage error, -1 for --help and --version.
int ParseArguments(int argc, char** argv, Options& options) {
    static const option kOptions[] = {
        {"at", required_argument, nullptr, 'a'},  {"out", required_argument, nullptr, 'o'},
        {"log", required_argument, nullptr, 'l'}, {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},   {nullptr, 0, nullptr, 0},
    };
    opterr = 0;  // our own messages, each followed by the usage
    for (int c; (c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
        switch (c) {
            case 'a':
                options.atMs = ParseSeconds(optarg);
                if (options.atMs < 0)
                    return UsageError("--at wants seconds from the clip's start, 0 or more");
                break;
            case 'o':
                options.out = QString::fromLocal8Bit(optarg);
                break;
            case 'l':
                options.log = QString::fromLocal8Bit(optarg);
                break;
            case 'h':
                (void)std::fputs(kUsage, stdout);
                return -1;
            case 'V':
                std::printf("vantrail-still %s\n", kVantrailVersion);
                return -1;
            case ':':
                return UsageError(std::string(argv[optind - 1]) + " needs a value");
            default:
                return UsageError(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    if (optind == argc)
        return UsageError("no CLIP given");
    if (argc - optind > 1)
        return UsageError("one CLIP only");
    options.clip = QString::fromLocal8Bit(argv[optind]);
    if (options.atMs < 0)
        return UsageError("no --at given");
    if (options.out.isEmpty())
        return UsageError("no --out given");
    return 0;
}

// The tool's output is its own lines: the toolkit's notes (a missing XDG_RUNTIME_DIR, say)
// tell its user nothing. Only what would end the run gets through.
void ToolkitMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        (void)std::fprintf(stderr, "vantrail-still: %s\n", qUtf8Printable(text));
}

// The sample of one second of a recording's track, if it has it. *expected says whether it
// should have: a log or .gps file gave the track, or the clip's telemetry gave one at all.
// *unreadable says why a log or .gps file that exists was not read.
std::optional<TrackSample> TrackSecond(const std::string& path, int32_t second, std::string* source,
                                       bool* expected, std::string* unreadable) {
    // A still leaves no analysis file anywhere.
    const SourcedTrack loaded = LoadSourcedTrack(path, "");
    *source = loaded.source.path;
    const bool ofClip = loaded.source.kind == TrackSourceKind::kClip;
    *expected = !ofClip || loaded.first != nullptr;
    // An unreadable clip is told of by the frame's decoding.
    *unreadable = ofClip ? std::string() : loaded.unreadable;
    std::optional<TrackSample> sample;
    if (const TrackEntry* entry = FindSample(loaded.first, second))
        sample = entry->sample;
    FreeTrack(loaded.first);
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = ParseArguments(argc, argv, options); status != 0)
        return status < 0 ? 0 : status;

    // The track the player would show: the log given, else the clip's own source.
    const std::string track = QFile::encodeName(options.log.value_or(options.clip)).toStdString();
    const auto second = static_cast<int32_t>(options.atMs / 1000);
    std::string source;
    std::string unreadable;
    bool expected = false;
    const std::optional<TrackSample> sample =
        TrackSecond(track, second, &source, &expected, &unreadable);
    if (!unreadable.empty()) {
        const QString problem = QStringLiteral("cannot read %1: %2")
                                    .arg(QFile::decodeName(source.c_str()),
                                         QString::fromStdString(unreadable));
        if (options.log)
            return Failure(problem);
        (void)std::fprintf(stderr, "vantrail-still: %s\n", qUtf8Printable(problem));
    } else if (!sample && expected) {
        (void)std::fprintf(stderr, "vantrail-still: %s has no sample for second %d\n",
                           source.c_str(), second);
    }

    const StillFrame frame = GrabStillFrame(options.clip, options.atMs);
    if (frame.image.isNull())
        return Failure(frame.error);

    // Text needs the toolkit's fonts, not a display.
    qInstallMessageHandler(ToolkitMessage);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);

    const StillCaption caption{QFileInfo(options.clip).fileName(), options.atMs, sample};
    const int error =
        WriteStillPng(DrawStillCaption(frame.image, caption), options.out, OutputMode::Replace);
    if (error != 0)
        return Failure(
            QStringLiteral("cannot write %1: %2").arg(options.out, std::strerror(error)));
    return 0;
}
