#include "track/track_export.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "track/output_file.h"
#include "track/text_number.h"

namespace {
constexpr int kTableRows = 3072;
constexpr int kPrnColumns = 100;
constexpr size_t kFlushSize = 1 << 20;

// Formats into memory and hands the file large blocks; line feeds are stored as CR LF.
class AnalysisWriter {
public:
    explicit AnalysisWriter(std::FILE* file) : file_(file) { text_.reserve(kFlushSize + 4096); }

    void Text(const char* s) {
        for (; *s != '\0'; ++s) {
            if (*s == '\n')
                text_.push_back('\r');
            text_.push_back(*s);
        }
    }
    void Int(int64_t value, int width, bool zero_pad = false) {
        AppendInt(text_, value, width, zero_pad);
    }
    // inf and nan, which a checksum-valid log can give, leave the field blank.
    void Fixed(double value, int width, int precision) {
        if (std::isfinite(value))
            AppendFixed(text_, value, width, precision);
        else
            text_.append(static_cast<size_t>(width), ' ');
    }
    // "%02d:%02d:%02d %04d/%02d/%02d"
    void DateTime(const TrackSample& s) {
        Int(s.hour, 2, true);
        text_.push_back(':');
        Int(s.minute, 2, true);
        text_.push_back(':');
        Int(s.second, 2, true);
        text_.push_back(' ');
        Int(int64_t{s.year} + 1900, 4, true);
        text_.push_back('/');
        Int(int64_t{s.month} + 1, 2, true);
        text_.push_back('/');
        Int(s.day, 2, true);
    }
    void EndOfRow() {
        Text("\n");
        if (text_.size() >= kFlushSize)
            Flush();
    }
    // False once any write has failed.
    bool Flush() {
        written_ = written_ && std::fwrite(text_.data(), 1, text_.size(), file_) == text_.size();
        text_.clear();
        return written_;
    }

private:
    std::FILE* file_;
    std::string text_;
    bool written_ = true;
};

void SlotHeader(AnalysisWriter& out) {
    for (int k = 1; k <= kMaxSatellites; ++k) {
        out.Text("G");
        out.Int(k, 2, true);
        out.Text("\t");
    }
}

void SnrSection(AnalysisWriter& out, const TrackEntry* first, std::vector<int32_t>& table) {
    int32_t best[kMaxSatellites] = {};
    int32_t best_index[kMaxSatellites] = {};
    out.Text("SNR\n      index\tutc(hh:mm:ss yy/mm/dd)");
    SlotHeader(out);
    out.Text("inview_no\tinuse_no\t");
    out.EndOfRow();
    int32_t i = 0;
    for (const TrackEntry* e = first; e != nullptr; e = e->next, ++i) {
        const TrackSample& s = e->sample;
        out.Int(i, 11);
        out.Text("\t   ");
        out.DateTime(s);
        for (int k = 0; k < kMaxSatellites; ++k) {
            const SatelliteSlot& slot = s.sats[k];
            out.Int(slot.snr, 3);
            out.Text("\t");
            if (slot.snr > best[k]) {
                best[k] = slot.snr;
                best_index[k] = i;
            }
            if (i < kTableRows && slot.prn >= 0 && slot.prn < kPrnColumns) {
                table[static_cast<size_t>(i) * kPrnColumns + static_cast<size_t>(slot.prn)] =
                    slot.snr;
            }
        }
        out.Int(s.inview_no, 9);
        out.Text("\t");
        out.Int(s.inuse_no, 8);
        out.Text("\t");
        out.EndOfRow();
    }
    out.Text("max_snr_idx\t");
    for (const int32_t v : best_index) {
        out.Int(v, 3);
        out.Text("\t");
    }
    out.EndOfRow();
    out.Text("    max_snr\t");
    for (const int32_t v : best) {
        out.Int(v, 3);
        out.Text("\t");
    }
    out.Text("\n");
    out.EndOfRow();
}

void PrnSnrSection(AnalysisWriter& out, const TrackEntry* first,
                   const std::vector<int32_t>& table) {
    const int32_t rows = static_cast<int32_t>(table.size() / kPrnColumns);
    // 32-bit sums that wrap, never trap, on absurd SNR values.
    uint32_t totals[kPrnColumns] = {};
    for (int32_t i = 0; i < rows; ++i) {
        for (int p = 0; p < kPrnColumns; ++p) {
            totals[p] += static_cast<uint32_t>(
                table[static_cast<size_t>(i) * kPrnColumns + static_cast<size_t>(p)]);
        }
    }
    int columns[kPrnColumns];
    int column_count = 0;
    out.Text("PRN_SNR\nindex\t");
    for (int p = 0; p < kPrnColumns; ++p) {
        if (static_cast<int32_t>(totals[p]) <= 0)
            continue;
        columns[column_count++] = p;
        out.Text("PRN_");
        out.Int(p, 2, true);
        out.Text("\t");
    }
    out.EndOfRow();
    int32_t i = 0;
    for (const TrackEntry* e = first; e != nullptr; e = e->next, ++i) {
        out.Int(i, 5);
        out.Text("\t");
        if (i < kTableRows) {
            const int32_t* row = &table[static_cast<size_t>(i) * kPrnColumns];
            for (int c = 0; c < column_count; ++c) {
                out.Int(row[columns[c]], 6);
                out.Text("\t");
            }
        }
        out.EndOfRow();
    }
}

// "PRN number" and "IN_USED": one column per slot.
template <typename Field>
void SlotSection(AnalysisWriter& out, const TrackEntry* first, const char* title, Field field) {
    out.Text(title);
    out.Text("index\t");
    SlotHeader(out);
    out.EndOfRow();
    int32_t i = 0;
    for (const TrackEntry* e = first; e != nullptr; e = e->next, ++i) {
        out.Int(i, 5);
        out.Text("\t");
        for (const SatelliteSlot& slot : e->sample.sats) {
            out.Int(field(slot), 3);
            out.Text("\t");
        }
        out.EndOfRow();
    }
}

void GpsInfoSection(AnalysisWriter& out, const TrackEntry* first) {
    out.Text(
        "\nGPS_INFO\nindex\tvalid       lon\t     lat\t    dir\t\tspeed\t     x\t     y\t     z\t"
        "utc(hh:mm:ss yy/mm/dd)");
    out.EndOfRow();
    int32_t i = 0;
    for (const TrackEntry* e = first; e != nullptr; e = e->next, ++i) {
        const TrackSample& s = e->sample;
        out.Int(i, 5);
        out.Text("\t");
        out.Int(s.valid, 5);
        out.Text("\t");
        out.Fixed(s.lon, 6, 3);
        out.Text("\t");
        out.Fixed(s.lat, 6, 3);
        out.Text("\t");
        out.Fixed(s.dir, 6, 3);
        out.Text("\t\t");
        out.Fixed(s.speed, 3, 1);
        out.Text("\t");
        out.Fixed(s.x, 6, 3);
        out.Text("\t");
        out.Fixed(s.y, 6, 3);
        out.Text("\t");
        out.Fixed(s.z, 6, 3);
        out.Text("\t");
        out.DateTime(s);
        out.EndOfRow();
    }
}
}  // namespace

int ExportTrackAnalysis(const TrackEntry* first, const std::string& path) {
    // An empty track leaves no analysis; unlink never takes a folder.
    if (first == nullptr) {
        (void)unlink(path.c_str());
        return 0;
    }
    bool opened = false;
    const int error = WriteOutputFile(path, [first, &opened](std::FILE* file) {
        opened = true;
        // SNR by entry and PRN, for the first kTableRows entries only.
        size_t rows = 0;
        for (const TrackEntry* e = first; e != nullptr && rows < kTableRows; e = e->next) ++rows;
        std::vector<int32_t> table(rows * kPrnColumns, 0);
        AnalysisWriter out(file);
        SnrSection(out, first, table);
        PrnSnrSection(out, first, table);
        SlotSection(out, first, "\nPRN number\n",
                    [](const SatelliteSlot& slot) { return slot.prn; });
        SlotSection(out, first, "\nIN_USED\n", [](const SatelliteSlot& slot) { return slot.used; });
        GpsInfoSection(out, first);
        return out.Flush();
    });
    return error == 0 ? 0 : opened ? kAnalysisWriteFailed : kAnalysisOpenFailed;
}

const char* AnalysisFailureText(int result) {
    return result == kAnalysisOpenFailed ? "Open out nmea file fail!" : "Write out nmea file fail!";
}
