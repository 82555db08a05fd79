#include "fuzz/output_checks.h"

#include <cctype>
#include <string>
#include <vector>

namespace {
bool XmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c < 0xD800) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Every byte sequence is the shortest UTF-8 form of a character XML allows.
bool XmlCharacters(std::string_view text) {
    static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80   ? 1
                              : lead < 0xC0 ? 0
                              : lead < 0xE0 ? 2
                              : lead < 0xF0 ? 3
                              : lead < 0xF5 ? 4
                                            : 0;
        if (length == 0 || i + length > text.size())
            return false;
        char32_t c = lead & (length == 1 ? 0x7F : 0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = c << 6 | (next & 0x3F);
        }
        if (c < kShortest[length] || !XmlChar(c))
            return false;
        i += length;
    }
    return true;
}

class XmlScanner {
public:
    explicit XmlScanner(std::string_view text) : text_(text) {}

    bool Document() {
        if (Skip("<?xml") && !SkipPast("?>"))
            return false;
        bool root_done = false;
        while (pos_ < text_.size()) {
            if (Skip("<!--")) {
                if (!SkipPast("-->"))
                    return false;
            } else if (Skip("</")) {
                if (open_.empty() || Name() != open_.back())
                    return false;
                open_.pop_back();
                SkipSpace();
                if (!Skip(">"))
                    return false;
                root_done = open_.empty();
            } else if (Skip("<")) {
                if (root_done && open_.empty())
                    return false;  // a second root
                if (!StartTag())
                    return false;
                root_done = open_.empty();
            } else if (open_.empty()) {
                // Outside the root only blanks.
                if (!std::isspace(static_cast<unsigned char>(text_[pos_++])))
                    return false;
            } else if (!CharData('<')) {
                return false;
            }
        }
        return root_done && open_.empty();
    }

private:
    bool Skip(std::string_view s) {
        if (text_.substr(pos_, s.size()) != s)
            return false;
        pos_ += s.size();
        return true;
    }
    bool SkipPast(std::string_view s) {
        const size_t at = text_.find(s, pos_);
        pos_ = at == std::string_view::npos ? text_.size() : at + s.size();
        return at != std::string_view::npos;
    }
    void SkipSpace() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    static bool NameChar(char c, bool first) {
        return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':' ||
               (static_cast<unsigned char>(c) & 0x80) ||
               (!first && (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.'));
    }
    std::string Name() {
        const size_t start = pos_;
        while (pos_ < text_.size() && NameChar(text_[pos_], pos_ == start)) ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }
    // "name (attr="value")* (> | />)" after the "<".
    bool StartTag() {
        const std::string name = Name();
        if (name.empty())
            return false;
        for (;;) {
            const size_t before = pos_;
            SkipSpace();
            if (Skip("/>"))
                return true;
            if (Skip(">")) {
                open_.push_back(name);
                return true;
            }
            if (pos_ == before || Name().empty() || !Skip("=\""))
                return false;
            if (!CharData('"') || !Skip("\""))
                return false;
        }
    }
    // Text up to end (not taken), with references; no "<", nor "]]>" in text.
    bool CharData(char end) {
        while (pos_ < text_.size() && text_[pos_] != end) {
            const char c = text_[pos_];
            if (c == '<' || text_.substr(pos_, 3) == "]]>")
                return false;
            if (c == '&' && !Reference())
                return false;
            if (c != '&')
                ++pos_;
        }
        return true;
    }
    bool Reference() {
        for (const char* entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
            if (Skip(entity))
                return true;
        }
        if (!Skip("&#"))
            return false;
        const bool hex = Skip("x");
        const size_t start = pos_;
        while (pos_ < text_.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text_[pos_]))
                                           : std::isdigit(static_cast<unsigned char>(text_[pos_]))))
            ++pos_;
        return pos_ > start && Skip(";");
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::vector<std::string> open_;
};
}  // namespace

bool WellFormedXml(std::string_view text) {
    return XmlCharacters(text) && XmlScanner(text).Document();
}

bool AllFinite(std::string_view text) {
    const auto lower = [text](size_t i) {
        return std::tolower(static_cast<unsigned char>(text[i]));
    };
    for (size_t i = 0; i + 3 <= text.size(); ++i) {
        const bool word_start = i == 0 || !(std::isalnum(static_cast<unsigned char>(text[i - 1])) ||
                                            text[i - 1] == '_');
        if (word_start && ((lower(i) == 'i' && lower(i + 1) == 'n' && lower(i + 2) == 'f') ||
                           (lower(i) == 'n' && lower(i + 1) == 'a' && lower(i + 2) == 'n')))
            return false;
    }
    return true;
}
