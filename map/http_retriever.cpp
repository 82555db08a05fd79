#include "map/http_retriever.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "map/curl_support.h"

namespace {
constexpr const char* kUserAgent = "Qent Software HTTP Retriever 1.0";
// A device that does not answer must not hold the window for long.
constexpr long kConnectTimeoutSeconds = 3;
constexpr long kTransferTimeoutSeconds = 5;
constexpr size_t kReadPiece = 8191;

bool BlockComplete(const std::string& block) {
    return block.size() >= 2 && block[block.size() - 1] == '\0' && block[block.size() - 2] == '\0';
}

std::string Upper(const char* text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

// The first line of a zero-separated block that contains wanted (in upper case), or null.
const char* FindLine(const char* block, const std::string& wanted) {
    for (const char* line = block; *line != '\0'; line += std::strlen(line) + 1) {
        if (Upper(line).find(wanted) != std::string::npos)
            return line;
    }
    return nullptr;
}

// A block that another one follows: an interim 1xx answer, or a redirect the transfer follows.
bool InterimBlock(const char* block) {
    const int status = StatusOfLine(block);
    return status / 100 == 1 || (status / 100 == 3 && FindLine(block, "LOCATION:") != nullptr);
}
}  // namespace

PostTarget PostTargetFor(const std::string& url) {
    ParsedUrl parts(curl_url());
    if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return {};
    const std::string host = UrlPart(parts.get(), CURLUPART_HOST);
    const std::string port = UrlPart(parts.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (host.empty() || port.empty())
        return {};
    std::string path = UrlPart(parts.get(), CURLUPART_PATH);
    const std::string query = UrlPart(parts.get(), CURLUPART_QUERY);
    if (!query.empty())
        path += "?" + query;
    PostTarget target;
    target.secure = port != "80";
    target.url = (target.secure ? "https://" : "http://") + host + ":" + port + path;
    return target;
}

CHttpRetriever::CHttpRetriever() : root_(curl_easy_init()) {}

// Keeps only the header block of the last response (a redirect or a 100 Continue starts a new
// one): each line without its CR LF, ended by a zero byte.
size_t CHttpRetriever::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* r = static_cast<CHttpRetriever*>(self);
    std::string& block = r->responseHeaders_;
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!r->fence_.Accept(line))
        return 0;
    if (line.size() >= 5 && strncasecmp(line.c_str(), "HTTP/", 5) == 0)
        block.clear();
    block.append(line);
    block.push_back('\0');
    if (line.empty() && !InterimBlock(block.data())) {
        r->responseBegun_ = true;
        if (r->headersOnly_)
            return 0;  // ends the transfer before any of the body is read
    }
    return size * count;
}

int CHttpRetriever::OnProgress(void* self, long long, long long, long long, long long) {
    return static_cast<CHttpRetriever*>(self)->stop_.stop_requested() ? 1 : 0;
}

CHttpRetriever::~CHttpRetriever() {
    if (root_ != nullptr)
        curl_easy_cleanup(Easy(root_));
}

bool CHttpRetriever::Perform(const std::string& url, bool post, const std::string& body,
                             bool secure) {
    responseBegun_ = false;
    responseHeaders_.clear();
    responseBody_.clear();
    if (root_ == nullptr) {
        lastError_ = CURLE_FAILED_INIT;
        return false;
    }
    CURL* curl = Easy(root_);
    curl_easy_reset(curl);
    fence_.Start(curl, url);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // direct access, whatever the environment says
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &responseBody_);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

    curl_slist* extra = nullptr;
    if (post) {
        extra = curl_slist_append(extra, "Content-Type: application/x-www-form-urlencoded");
        extra = curl_slist_append(extra, "Accept: */*");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, extra);
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    }
    if (secure) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(extra);
    if (!fence_.Refused().empty()) {
        lastError_ = kRedirectRefused;
        return false;
    }
    // A body cut short still leaves the response that began.
    if (result != CURLE_OK && !responseBegun_) {
        lastError_ = static_cast<uint32_t>(result);
        return false;
    }
    return true;
}

bool CHttpRetriever::OpenUrl(const char* url) {
    if (url == nullptr) {
        lastError_ = kNullUrlError;
        return false;
    }
    return Perform(url, false, {}, false);
}

bool CHttpRetriever::PostUrl(const char* url, const char* data, uint32_t length) {
    if (url == nullptr) {
        lastError_ = kNullUrlError;
        return false;
    }
    if (data == nullptr) {
        data = "";
        length = 0;
    }
    if (length == kTextLength)
        length = static_cast<uint32_t>(std::strlen(data));
    const PostTarget target = PostTargetFor(url);
    if (target.url.empty()) {
        lastError_ = CURLE_URL_MALFORMAT;
        return false;
    }
    return Perform(target.url, true, std::string(data, length), target.secure);
}

const char* CHttpRetriever::GetHeaders(const char* url) {
    if (url == nullptr) {
        lastError_ = kNullUrlError;
        return nullptr;
    }
    headersOnly_ = true;
    OpenUrl(url);
    headersOnly_ = false;
    headers_.assign(1, '\0');
    haveHeaders_ = true;
    // Ended on purpose after the headers, or cut short after them: the block is whole.
    if (!BlockComplete(responseHeaders_))
        return nullptr;
    headers_ = responseHeaders_;
    return headers_.data();
}

const char* CHttpRetriever::GetPage(const char* url, bool post, const char* data, uint32_t length) {
    if (url == nullptr) {
        lastError_ = kNullUrlError;
        return nullptr;
    }
    if (!(post ? PostUrl(url, data, length) : OpenUrl(url)))
        return nullptr;
    page_.clear();
    for (size_t at = 0; at < responseBody_.size(); at += kReadPiece) {
        const size_t piece = std::min(kReadPiece, responseBody_.size() - at);
        page_.append(responseBody_.data() + at, strnlen(responseBody_.data() + at, piece));
    }
    return page_.c_str();
}

const char* CHttpRetriever::FindHeader(const char* text) const {
    if (!haveHeaders_ || text == nullptr)
        return nullptr;
    return FindLine(headers_.data(), Upper(text));
}

int CHttpRetriever::GetStatusCode() const {
    const char* line = FindHeader("http");
    return line == nullptr ? 0 : StatusOfLine(line);
}
