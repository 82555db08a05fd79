#pragma once
// Small pieces the two HTTP classes share on top of libcurl.

#include <curl/curl.h>

#include <memory>
#include <string>
#include <string_view>

inline CURL* Easy(void* handle) {
    return static_cast<CURL*>(handle);
}

// Write callback: appends the received bytes to the std::string behind `user`.
size_t CollectBody(char* data, size_t size, size_t count, void* user);

struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using ParsedUrl = std::unique_ptr<CURLU, UrlDeleter>;

// One part of a parsed URL, "" when it has none.
std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0);

// The status of a status line such as "HTTP/1.1 401 Unauthorized": its first three decimal
// digits in a row, 0 when it has none.
int StatusOfLine(const char* line);

// "scheme://host:port" of url (the port given or the scheme's own, letters in lower case), ""
// when it cannot be parsed. A URL without a scheme is read as a transfer reads it.
std::string OriginOf(const std::string& url);

// Keeps a transfer that follows redirects at the server it was sent to: fed the header lines
// of every answer, it tells when one redirects out of the scheme, host and port of the first
// URL, so that the transfer ends before anything goes there.
class RedirectFence {
public:
    void Start(CURL* curl, const std::string& url);
    // False when line is the Location of a redirect elsewhere: end the transfer.
    bool Accept(std::string_view line);
    // Header callback for a transfer that wants nothing else of its headers; user is the fence.
    static size_t OnHeader(char* data, size_t size, size_t count, void* user);
    // Where the refused redirect pointed (resolved as the transfer would), "" when none was.
    const std::string& Refused() const { return refused_; }

private:
    CURL* curl_ = nullptr;
    std::string origin_;
    int status_ = 0;
    std::string refused_;
};
