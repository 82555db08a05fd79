#pragma once
// Small pieces the two HTTP classes share on top of libcurl.

#include <curl/curl.h>

#include <memory>
#include <string>

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
