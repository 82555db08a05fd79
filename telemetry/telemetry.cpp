#include "telemetry/telemetry.h"

#include "telemetry/blackvue.h"
#include "telemetry/gpmf.h"
#include "telemetry/novatek_gps.h"
#include "telemetry/novatek_ts.h"
#include "telemetry/seventymai.h"
#include "telemetry/thinkware.h"

namespace {
// A top-level box type is four printable characters; anything else is not a box file (an
// MPEG-TS clip, a text log).
bool PrintableType(uint32_t type) {
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t c = (type >> shift) & 0xff;
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}
}  // namespace

const std::vector<TelemetryFamily>& TelemetryFamilies() {
    // Rows that know their family by a box, a track, a packet or a name come first; the scan
    // for Novatek blocks reads the whole clip, so it is the last resort.
    static const std::vector<TelemetryFamily> families = {
        {"Novatek freeGPS", ProbeNovatekIndex, ReadNovatekIndex},
        {"Novatek MPEG-TS", ProbeNovatekTs, ReadNovatekTs},
        {"BlackVue .gps file", ProbeBlackVueFiles, ReadBlackVueFiles},
        {"BlackVue", ProbeBlackVue, ReadBlackVue},
        {"70mai GPS box", ProbeSeventyMai, ReadSeventyMai},
        {"GoPro GPMF", ProbeGpmf, ReadGpmf},
        {"Thinkware text track", ProbeThinkware, ReadThinkware},
        {"Novatek freeGPS", ProbeNovatekScan, ReadNovatekScan},
    };
    return families;
}

Telemetry ReadTelemetry(const std::string& path, LoadProgress* progress) {
    Telemetry result;
    const FileReader reader(path, progress);
    if (!reader.ok()) {
        result.failure = reader.failure();
        return result;
    }
    TelemetrySource source{reader, path, ListBoxes(reader, nullptr), std::nullopt};
    if (!source.top.empty() && !PrintableType(source.top.front().type))
        source.top.clear();
    for (const Box& box : source.top) {
        if (box.type == FourCc("moov")) {
            source.moov = box;
            break;
        }
    }
    for (const TelemetryFamily& family : TelemetryFamilies()) {
        if (!family.probe(source))
            continue;
        Telemetry part;
        const bool claimed = family.read(source, part);
        result.notes.insert(result.notes.end(), part.notes.begin(), part.notes.end());
        if (!claimed)
            continue;
        result.points = std::move(part.points);
        result.layout = part.layout.empty() ? family.name : part.layout;
        break;
    }
    return result;
}
