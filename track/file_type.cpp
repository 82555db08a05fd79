#include "track/file_type.h"

int FileTypeFromExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (path.empty() || dot == std::string::npos)
        return -1;
    const std::string ext = path.substr(dot + 1);
    if (ext == "MOV" || ext == "mov")
        return 1;
    if (ext == "TS" || ext == "ts")
        return 2;
    if (ext == "NMEA" || ext == "nmea")
        return 3;
    return 0;
}
