#include "map/curl_support.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr)
        return {};
    std::string out(text);
    curl_free(text);
    return out;
}

int StatusOfLine(const char* line) {
    const size_t length = std::strlen(line);
    for (size_t i = 0; i + 3 <= length; ++i) {
        if (std::isdigit(static_cast<unsigned char>(line[i])) &&
            std::isdigit(static_cast<unsigned char>(line[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(line[i + 2])))
            return (line[i] - '0') * 100 + (line[i + 1] - '0') * 10 + (line[i + 2] - '0');
    }
    return 0;
}

std::string OriginOf(const std::string& url) {
    ParsedUrl parts(curl_url());
    if (!parts ||
        curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK)
        return {};
    const std::string scheme = UrlPart(parts.get(), CURLUPART_SCHEME);
    const std::string host = UrlPart(parts.get(), CURLUPART_HOST);
    const std::string port = UrlPart(parts.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (scheme.empty() || host.empty() || port.empty())
        return {};
    std::string origin = scheme + "://" + host + ":" + port;
    std::transform(origin.begin(), origin.end(), origin.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return origin;
}

void RedirectFence::Start(CURL* curl, const std::string& url) {
    curl_ = curl;
    origin_ = OriginOf(url);
    status_ = 0;
    refused_.clear();
}

size_t RedirectFence::OnHeader(char* data, size_t size, size_t count, void* user) {
    return static_cast<RedirectFence*>(user)->Accept(std::string_view(data, size * count))
               ? size * count
               : 0;
}

bool RedirectFence::Accept(std::string_view line) {
    constexpr std::string_view kLocation = "location:";
    const std::string text(line);
    if (text.size() >= 5 && strncasecmp(text.c_str(), "HTTP/", 5) == 0)
        status_ = StatusOfLine(text.c_str());
    if (status_ / 100 != 3 || text.size() < kLocation.size() ||
        strncasecmp(text.c_str(), kLocation.data(), kLocation.size()) != 0)
        return true;
    const size_t begin = text.find_first_not_of(" \t", kLocation.size());
    const size_t end = text.find_last_not_of(" \t\r\n");
    std::string target = begin == std::string::npos ? "" : text.substr(begin, end + 1 - begin);
    // Resolved against the URL of this request, with the flags a transfer follows it with.
    char* current = nullptr;
    ParsedUrl parts(curl_url());
    if (parts && curl_easy_getinfo(curl_, CURLINFO_EFFECTIVE_URL, &current) == CURLE_OK &&
        current != nullptr &&
        curl_url_set(parts.get(), CURLUPART_URL, current, CURLU_GUESS_SCHEME) == CURLUE_OK &&
        curl_url_set(parts.get(), CURLUPART_URL, target.c_str(),
                     CURLU_URLENCODE | CURLU_ALLOW_SPACE) == CURLUE_OK)
        target = UrlPart(parts.get(), CURLUPART_URL);
    if (!origin_.empty() && OriginOf(target) == origin_)
        return true;
    refused_ = target;
    return false;
}
