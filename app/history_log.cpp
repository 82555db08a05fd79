#include "app/history_log.h"

#include <sys/time.h>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "app/app_state.h"
#include "app/format.h"

namespace {
constexpr size_t kPieceMax = 255;

// Map discovery logs from its worker thread: one line at a time, in time-stamp order.
std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string Cut(std::string text) {
    if (text.size() > kPieceMax)
        text.resize(kPieceMax);
    return text;
}
}  // namespace

std::string FormatHistoryLine(const std::tm& local, int milliseconds, const std::string& message) {
    const std::string stamp =
        Cut(FormatText("[%d/%d/%d][%02d:%02d:%02d.%03d]", local.tm_year + 1900, local.tm_mon + 1,
                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, milliseconds));
    return stamp + "\t" + Cut(message) + "\n";
}

int WriteHistoryLog(const char* format, ...) {
    const std::lock_guard<std::mutex> lock(LogMutex());
    timeval now{};
    gettimeofday(&now, nullptr);
    std::tm local{};
    const time_t seconds = now.tv_sec;
    if (localtime_r(&seconds, &local) == nullptr || format == nullptr)
        return -1;

    va_list args;
    va_start(args, format);
    const std::string message = FormatTextV(format, args);
    va_end(args);
    const std::string line =
        FormatHistoryLine(local, static_cast<int>(now.tv_usec / 1000), message);

    std::FILE* file = std::fopen(theApp().StateFile("History.log").c_str(), "ab");
    if (file == nullptr)
        return -1;
    const std::string stored = ToTextMode(line);
    const size_t written = std::fwrite(stored.data(), 1, stored.size(), file);
    std::fflush(file);
    std::fclose(file);
    return written == stored.size() ? static_cast<int>(line.size()) : -1;
}

void DeleteHistoryLog() {
    std::remove(theApp().StateFile("History.log").c_str());
}
