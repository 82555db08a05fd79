// vantrail-track: loads one log exactly as the player does and writes what was asked for.

#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "app/message.h"
#include "telemetry/track_source.h"
#include "track/driving_events.h"
#include "track/track.h"
#include "track/track_export.h"
#include "track/track_outputs.h"
#include "track/utc_clock.h"
#include "vantrail_version.h"

namespace {
constexpr const char* kUsage =
    "usage: vantrail-track LOG [--analysis FILE] [--gpx FILE] [--csv FILE] [--kml FILE]\n"
    "                          [--events FILE] [--summary] [--harsh G] [--bump G]\n"
    "                          [--now YYYY-MM-DDTHH:MM:SS[.mmm]Z]\n"
    "       vantrail-track --help | --version\n"
    "Loads a recording's track as the player does: LOG is a camera log (.nmea), a .gps\n"
    "file or a clip (.mp4, .mov, .ts), whose own log or .gps beside it comes first, else\n"
    "the GPS and G-sensor data inside it.\n"
    "  --analysis FILE  write the track analysis (the player's out_nmea.txt) to FILE;\n"
    "                   an empty track leaves no FILE\n"
    "  --gpx FILE       write the valid positions as a GPX 1.1 track\n"
    "  --csv FILE       write one row per entry\n"
    "  --kml FILE       write the route and the driving events as KML 2.2\n"
    "  --events FILE    write one row per driving event (harsh or bump)\n"
    "  --summary        print entries, valid fixes, duration, distance, maximum speed,\n"
    "                   peak acceleration and the events of each kind (the default when\n"
    "                   no output is asked for)\n"
    "  --harsh G        horizontal acceleration of a harsh event (default 0.40)\n"
    "  --bump G         vertical deviation of a bump (default 0.50)\n"
    "  --now TIME       the UTC clock that dates samples the log does not date, in the\n"
    "                   years 1678 to 2261 (default: this computer's clock)\n"
    "  --help           print this text\n"
    "  --version        print the version\n";

struct Options {
    std::string log;
    std::optional<std::string> analysis;
    std::optional<std::string> gpx;
    std::optional<std::string> csv;
    std::optional<std::string> kml;
    std::optional<std::string> events;
    std::optional<std::chrono::system_clock::time_point> now;
    DrivingEventThresholds thresholds;
    bool summary = false;
};

int UsageError(const std::string& problem) {
    std::fprintf(stderr, "vantrail-track: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

int Failure(const std::string& problem) {
    std::fprintf(stderr, "vantrail-track: %s\n", problem.c_str());
    return 1;
}

constexpr int kFirstYear = 1678;
constexpr int kLastYear = 2261;

// "2026-12-05T10:20:30.450Z"; the fraction (up to three digits) is optional.
std::optional<std::chrono::system_clock::time_point> ParseUtc(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                    &second, &used) != 6 ||
        used != 19) {
        return std::nullopt;
    }
    size_t pos = 19;
    int millis = 0;
    if (pos < text.size() && text[pos] == '.') {
        int digits = 0;
        for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
            if (++digits > 3)
                return std::nullopt;
            millis = millis * 10 + (text[pos] - '0');
        }
        if (digits == 0)
            return std::nullopt;
        for (; digits < 3; ++digits) millis *= 10;
    }
    if (pos + 1 != text.size() || text[pos] != 'Z')
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    // The clock counts nanoseconds in 64 bits: from 1677-09-21 to 2262-04-11.
    static_assert(std::is_same_v<std::chrono::system_clock::period, std::nano>);
    if (year < kFirstYear || year > kLastYear)
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t t = timegm(&utc);
    return std::chrono::system_clock::from_time_t(t) + std::chrono::milliseconds(millis);
}

// A threshold in g: a finite number above zero.
bool ParseG(const char* text, double& g) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value <= 0)
        return false;
    g = value;
    return true;
}

// Long options only; their codes lie above every character so that a short one is unknown.
enum OptionCode {
    kAnalysis = 256,
    kGpx,
    kCsv,
    kKml,
    kEvents,
    kSummary,
    kNow,
    kHarsh,
    kBump,
    kVersion
};
constexpr option kLongOptions[] = {
    {"analysis", required_argument, nullptr, kAnalysis},
    {"gpx", required_argument, nullptr, kGpx},
    {"csv", required_argument, nullptr, kCsv},
    {"kml", required_argument, nullptr, kKml},
    {"events", required_argument, nullptr, kEvents},
    {"summary", no_argument, nullptr, kSummary},
    {"now", required_argument, nullptr, kNow},
    {"harsh", required_argument, nullptr, kHarsh},
    {"bump", required_argument, nullptr, kBump},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// The option as the user typed it, without a value.
std::string OptionText(char** argv) {
    const std::string text = argv[optind - 1];
    return text.substr(0, text.find('='));
}

// Outputs that would take the place of the log (also through a link) or of a folder are
// refused before anything is written.
const char* OutputProblem(const std::string& log, const std::string& output) {
    struct stat out {};
    struct stat in {};
    if (stat(output.c_str(), &out) != 0)
        return nullptr;
    if (S_ISDIR(out.st_mode))
        return " is a folder";
    if (stat(log.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        return " is the LOG";
    return nullptr;
}

// 0 when parsed, else the exit status of a usage error; -1 after --help or --version.
int ParseArguments(int argc, char** argv, Options& options) {
    opterr = 0;  // our own messages, in our own format
    int index = 0;
    for (int code; (code = getopt_long(argc, argv, ":h", kLongOptions, &index)) != -1;) {
        switch (code) {
            case 'h':
                std::fputs(kUsage, stdout);
                return -1;
            case kVersion:
                std::printf("vantrail-track %s\n", kVantrailVersion);
                return -1;
            case kSummary:
                options.summary = true;
                continue;
            case ':':
                return UsageError(OptionText(argv) + " needs a value");
            case '?':
                // A long option with a value it does not take reports its own code.
                if (optopt > 0 && optopt < kAnalysis && optopt != 'h')
                    return UsageError(std::string("unknown option -") + static_cast<char>(optopt));
                if (optopt != 0)
                    return UsageError(OptionText(argv) + " takes no value");
                return UsageError("unknown option " + OptionText(argv));
            default:
                break;
        }
        const std::string name = std::string("--") + kLongOptions[index].name;
        if (*optarg == '\0')
            return UsageError(name + " needs a value");
        switch (code) {
            case kAnalysis:
                options.analysis = optarg;
                break;
            case kGpx:
                options.gpx = optarg;
                break;
            case kCsv:
                options.csv = optarg;
                break;
            case kKml:
                options.kml = optarg;
                break;
            case kEvents:
                options.events = optarg;
                break;
            case kNow:
                options.now = ParseUtc(optarg);
                if (!options.now)
                    return UsageError("--now wants a UTC time like 2026-12-05T10:20:30Z, " +
                                      std::to_string(kFirstYear) + " to " +
                                      std::to_string(kLastYear));
                break;
            case kHarsh:
            case kBump:
                if (!ParseG(optarg, code == kHarsh ? options.thresholds.harsh_g
                                                   : options.thresholds.bump_g)) {
                    return UsageError(name + " wants a number of g above 0, like 0.45");
                }
                break;
        }
    }
    if (optind == argc)
        return UsageError("no LOG given");
    if (optind + 1 < argc)
        return UsageError("one LOG only");
    options.log = argv[optind];
    const std::pair<const char*, const std::optional<std::string>&> outputs[] = {
        {"--analysis", options.analysis}, {"--gpx", options.gpx},       {"--csv", options.csv},
        {"--kml", options.kml},           {"--events", options.events},
    };
    for (const auto& [name, path] : outputs) {
        if (const char* problem = path ? OutputProblem(options.log, *path) : nullptr)
            return UsageError(std::string(name) + " " + *path + problem);
    }
    return 0;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = ParseArguments(argc, argv, options); status != 0) {
        return status < 0 ? 0 : status;
    }
    // The loader's messages name no file; say which one they are about.
    std::string current_file = options.log;
    SetMessageHandler([&current_file](const std::string& text, const std::string&) {
        std::fprintf(stderr, "vantrail-track: %s: %s\n", current_file.c_str(), text.c_str());
    });
    if (options.now) {
        const auto now = *options.now;
        SetUtcClock([now] { return now; });
    }
    // Nothing is written beside the tool: the analysis goes only where it is asked for.
    // An empty log is an empty track; a clip or .gps file without data is a failure.
    const SourcedTrack loaded = LoadSourcedTrack(options.log, "");
    if (!loaded.unreadable.empty())
        return Failure("cannot read " + loaded.source.path + ": " + loaded.unreadable);
    if (loaded.first == nullptr && loaded.source.kind != TrackSourceKind::kNmeaLog)
        return Failure(loaded.why_none);
    TrackEntry* track = loaded.first;
    const std::vector<DrivingEvent> events = FindDrivingEvents(track, options.thresholds);
    const std::string name = BaseName(options.log);
    int status = 0;
    if (options.analysis) {
        current_file = *options.analysis;
        if (const int result = ExportTrackAnalysis(track, *options.analysis); result != 0) {
            ShowMessage(AnalysisFailureText(result));
            status = 1;
        }
    }
    const auto write = [&status](const std::optional<std::string>& path, const auto& writer) {
        if (status != 0 || !path)
            return;
        if (const int error = WriteOutputFile(*path, writer); error != 0)
            status = Failure("cannot write " + *path + ": " + std::strerror(error));
    };
    write(options.gpx, [&](std::FILE* out) { return WriteGpx(out, track, name); });
    write(options.csv, [&](std::FILE* out) { return WriteCsv(out, track); });
    write(options.kml, [&](std::FILE* out) { return WriteKml(out, track, events, name); });
    write(options.events, [&](std::FILE* out) { return WriteEventsCsv(out, events); });
    const bool any_file =
        options.analysis || options.gpx || options.csv || options.kml || options.events;
    if (status == 0 && (options.summary || !any_file))
        std::fputs(FormatSummary(SummarizeTrack(track, events)).c_str(), stdout);
    FreeTrack(track);
    return status;
}
