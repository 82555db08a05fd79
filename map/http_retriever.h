#pragma once
// Small synchronous HTTP fetcher for map-server discovery: the response headers and the body of
// one URL at a time, held as texts the object owns. Redirects are followed only within the
// scheme, host and port of the URL asked for: one that points elsewhere fails the request
// (kRedirectRefused) before anything goes there.

#include <cstdint>
#include <stop_token>
#include <string>

#include "map/curl_support.h"

class CHttpRetriever {
public:
    static constexpr uint32_t kNullUrlError = 0xFFFFFFFF;
    static constexpr uint32_t kTextLength = 0xFFFFFFFF;  // PostUrl: data is a NUL-terminated text
    static constexpr uint32_t kRedirectRefused = 0xFFFFFFFE;

    CHttpRetriever();
    ~CHttpRetriever();
    CHttpRetriever(const CHttpRetriever&) = delete;
    CHttpRetriever& operator=(const CHttpRetriever&) = delete;

    // A request under way gives up soon after stop is requested (a window closing during
    // discovery); it then fails as a dead server would.
    void SetStopToken(std::stop_token stop) { stop_ = std::move(stop); }

    // GET; true when a response began (the final header block of any HTTP status came back),
    // even if its body is then cut short.
    bool OpenUrl(const char* url);
    // Form POST; plain HTTP on port 80, TLS (certificate errors ignored) on any other port.
    bool PostUrl(const char* url, const char* data, uint32_t length);

    // Raw header block of the final response: NUL-terminated lines, the status line first,
    // an empty line last. Null when the URL is null or no response came back. The body is
    // not read: the transfer ends with the headers.
    const char* GetHeaders(const char* url);
    // Body as a text (a zero byte ends the text of the 8191-byte piece it is in): all of it,
    // or what came before a time-out or a dropped connection cut it short. An empty body is
    // the empty text, a request without response null.
    const char* GetPage(const char* url, bool post, const char* data, uint32_t length);

    // First header line containing text, letter case ignored; null when none.
    const char* FindHeader(const char* text) const;
    // The status of the last header block, 0 when there is none.
    int GetStatusCode() const;

    // CURLcode of the last failing open or send; kNullUrlError for a null URL.
    uint32_t LastError() const { return lastError_; }
    // Where the redirect that failed the last request pointed, "" when none did.
    const std::string& RefusedRedirect() const { return fence_.Refused(); }

private:
    bool Perform(const std::string& url, bool post, const std::string& body, bool secure);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, long long, long long, long long, long long);

    void* root_ = nullptr;  // CURL easy handle, kept for the object's life
    std::stop_token stop_;
    RedirectFence fence_;
    bool headersOnly_ = false;     // GetHeaders: end the transfer after the final header block
    bool responseBegun_ = false;   // the final header block of the transfer has come
    std::string responseHeaders_;  // block being collected from the transfer
    std::string responseBody_;
    std::string page_;
    std::string headers_;
    bool haveHeaders_ = false;
    uint32_t lastError_ = 0;
};

// Where PostUrl sends a POST to url: port 80 stays plain HTTP, any other port is TLS.
struct PostTarget {
    std::string url;  // empty when url cannot be parsed
    bool secure = false;
};
PostTarget PostTargetFor(const std::string& url);
