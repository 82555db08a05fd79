// vantrail-track: loads one log exactly as the player does and writes what was asked for.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "app/message.h"
#include "tools/vantrail-track/track_outputs.h"
#include "track/track.h"
#include "track/track_export.h"
#include "track/utc_clock.h"

namespace {
constexpr const char* kUsage =
    "usage: vantrail-track LOG [--analysis FILE] [--gpx FILE] [--csv FILE] [--summary]\n"
    "                          [--now YYYY-MM-DDTHH:MM:SS[.mmm]Z]\n"
    "Loads a camera log (.nmea) as the player does.\n"
    "  --analysis FILE  write the track analysis (the player's out_nmea.txt) to FILE;\n"
    "                   an empty track leaves no FILE\n"
    "  --gpx FILE       write the valid positions as a GPX 1.1 track\n"
    "  --csv FILE       write one row per entry\n"
    "  --summary        print entries, valid fixes, duration, distance, maximum speed and\n"
    "                   peak acceleration (the default when no output is asked for)\n"
    "  --now TIME       the UTC clock that dates samples the log does not date\n"
    "                   (default: this computer's clock)\n";

struct Options {
    std::string log;
    std::optional<std::string> analysis;
    std::optional<std::string> gpx;
    std::optional<std::string> csv;
    std::optional<std::chrono::system_clock::time_point> now;
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

// 0 when parsed, else the exit status of a usage error (or of --help).
int ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (arg == "--summary") {
            options.summary = true;
            continue;
        }
        if (arg.rfind("--", 0) == 0) {
            std::string value;
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return UsageError(arg + " needs a value");
            }
            if (arg == "--analysis") {
                options.analysis = value;
            } else if (arg == "--gpx") {
                options.gpx = value;
            } else if (arg == "--csv") {
                options.csv = value;
            } else if (arg == "--now") {
                options.now = ParseUtc(value);
                if (!options.now)
                    return UsageError("--now wants a UTC time like 2026-12-05T10:20:30Z");
            } else {
                return UsageError("unknown option " + arg);
            }
            if (value.empty())
                return UsageError(arg + " needs a value");
            continue;
        }
        if (!options.log.empty())
            return UsageError("one LOG only");
        options.log = arg;
    }
    if (options.log.empty())
        return UsageError("no LOG given");
    return 0;
}

// Checks that the log can be read; the loader itself reads an unreadable file as empty.
std::string LogProblem(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    struct stat st {};
    const bool directory = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    close(fd);
    return directory ? std::strerror(EISDIR) : std::string();
}

template <typename Write>
bool WriteFile(const std::string& path, Write write) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    const bool written = write(out);
    return std::fclose(out) == 0 && written;
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
    if (const std::string problem = LogProblem(options.log); !problem.empty()) {
        return Failure("cannot read " + options.log + ": " + problem);
    }

    // Nothing is written beside the tool: the analysis goes only where it is asked for.
    TrackEntry* track = LoadTrack(options.log, "");
    int status = 0;
    if (options.analysis) {
        current_file = *options.analysis;
        if (const int result = ExportTrackAnalysis(track, *options.analysis); result != 0) {
            ShowMessage(AnalysisFailureText(result));
            status = 1;
        }
    }
    if (status == 0 && options.gpx && !WriteFile(*options.gpx, [&](std::FILE* out) {
            return WriteGpx(out, track, BaseName(options.log));
        })) {
        status = Failure("cannot write " + *options.gpx + ": " + std::strerror(errno));
    }
    if (status == 0 && options.csv &&
        !WriteFile(*options.csv, [&](std::FILE* out) { return WriteCsv(out, track); })) {
        status = Failure("cannot write " + *options.csv + ": " + std::strerror(errno));
    }
    if (status == 0 && (options.summary || (!options.analysis && !options.gpx && !options.csv))) {
        std::fputs(FormatSummary(SummarizeTrack(track)).c_str(), stdout);
    }
    FreeTrack(track);
    return status;
}
