#include "app/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "app/history_log.h"
#include "track/output_file.h"

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One line of the file, its terminator kept apart so that rewriting preserves it.
struct Line {
    std::string text;
    std::string end;
};

std::vector<Line> ReadLines(const std::string& path, bool* exists) {
    std::ifstream in(path, std::ios::binary);
    *exists = static_cast<bool>(in);
    std::vector<Line> lines;
    if (!in)
        return lines;
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string all = buffer.str();
    size_t pos = 0;
    while (pos < all.size()) {
        size_t nl = all.find('\n', pos);
        Line line;
        if (nl == std::string::npos) {
            line.text = all.substr(pos);
            pos = all.size();
        } else {
            size_t end = nl;
            if (end > pos && all[end - 1] == '\r')
                --end;
            line.text = all.substr(pos, end - pos);
            line.end = all.substr(end, nl + 1 - end);
            pos = nl + 1;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// "[name]" gives name; anything else gives nullopt-like empty with false.
bool SectionName(std::string_view line, std::string_view* name) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    *name = Trim(line.substr(1, close - 1));
    return true;
}

bool KeyValue(std::string_view line, std::string_view* key, std::string_view* value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    *key = Trim(line.substr(0, eq));
    *value = Trim(line.substr(eq + 1));
    return true;
}

}  // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& path) {
    bool exists = false;
    const std::vector<Line> lines = ReadLines(path, &exists);
    bool inSection = false;
    std::string result = fallback;
    for (const Line& line : lines) {
        std::string_view name;
        if (SectionName(line.text, &name)) {
            // Only the first section of that name counts, as only it is ever written.
            if (inSection)
                break;
            inSection = SameName(name, section);
            continue;
        }
        std::string_view k, v;
        if (inSection && KeyValue(line.text, &k, &v) && SameName(k, key)) {
            // Windows strips one pair of surrounding quotes.
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            result = std::string(v);
            break;
        }
    }
    if (result.size() > kProfileValueMax)
        result.resize(kProfileValueMax);
    return result;
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    // A line break would end the line there and let the rest pass for a setting of its own.
    if ((section + key + value).find_first_of("\r\n") != std::string::npos) {
        WriteHistoryLog("%s not saved: its value holds a line break\n", key.c_str());
        return false;
    }
    bool exists = false;
    std::vector<Line> lines = ReadLines(path, &exists);
    std::string eol = "\n";
    for (const Line& line : lines) {
        if (!line.end.empty()) {
            eol = line.end;
            break;
        }
    }
    const Line entry{key + "=" + value, eol};

    // Locate the section and, inside it, the key or the place after its last entry.
    size_t sectionAt = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionName(lines[i].text, &name) && SameName(name, section)) {
            sectionAt = i;
            break;
        }
    }
    if (sectionAt == lines.size()) {
        if (!lines.empty() && lines.back().end.empty())
            lines.back().end = eol;
        lines.push_back({"[" + section + "]", eol});
        lines.push_back(entry);
    } else {
        size_t insertAt = sectionAt + 1;
        bool replaced = false;
        for (size_t i = sectionAt + 1; i < lines.size(); ++i) {
            std::string_view name;
            if (SectionName(lines[i].text, &name))
                break;
            std::string_view k, v;
            if (KeyValue(lines[i].text, &k, &v) && SameName(k, key)) {
                lines[i].text = entry.text;
                if (lines[i].end.empty())
                    lines[i].end = eol;
                replaced = true;
                break;
            }
            if (!Trim(lines[i].text).empty())
                insertAt = i + 1;
        }
        if (!replaced) {
            if (lines[insertAt - 1].end.empty())
                lines[insertAt - 1].end = eol;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
        }
    }

    std::string out;
    for (const Line& line : lines) out += line.text + line.end;
    return WriteOutputFile(path, [&out](std::FILE* file) {
               return std::fwrite(out.data(), 1, out.size(), file) == out.size();
           }) == 0;
}
