#pragma once
// The telemetry a camera keeps inside its clips (or in a file beside them), read by whichever
// layout the file holds.
//
// ReadTelemetry opens the file once and offers it to a table of families, in order. Each row
// has a cheap probe (it looks at the top-level boxes, the moov's children or a few bytes) and
// a read; the first row whose probe accepts and whose read claims the file gives the result.
// A read claims a file when it recognised it, even when it decoded nothing from it (an
// encrypted variant, say): the rows after it are not tried then. Rows are added to the table
// in telemetry.cpp, one a family.

#include <optional>
#include <string>
#include <vector>

#include "telemetry/box_walker.h"
#include "telemetry/file_reader.h"
#include "telemetry/telemetry_point.h"

struct Telemetry {
    // The readings in the file's order: by time for every layout that dates them.
    std::vector<TelemetryPoint> points;
    // The layout that was read ("Novatek freeGPS", ...); empty when none was recognised.
    std::string layout;
    // Lines for History.log: what was skipped and why.
    std::vector<std::string> notes;
    // Why the file could not be opened; empty when it was.
    std::string failure;
};

// progress, when given, follows the bytes read; cancelled, the reading gives up.
Telemetry ReadTelemetry(const std::string& path, LoadProgress* progress = nullptr);

// What every row of the table sees of the file.
struct TelemetrySource {
    const FileReader& reader;
    const std::string& path;
    // The top-level boxes; empty when the file does not begin with one.
    std::vector<Box> top;
    std::optional<Box> moov;
};

struct TelemetryFamily {
    const char* name;
    // Whether the file may hold this family; reads headers only.
    bool (*probe)(const TelemetrySource& source);
    // Decodes the file into out (points, notes, and layout when it should say more than the
    // row's name); true when the file is this family's, so that no later row is tried.
    bool (*read)(const TelemetrySource& source, Telemetry& out);
};

// The table ReadTelemetry goes through, in order.
const std::vector<TelemetryFamily>& TelemetryFamilies();
