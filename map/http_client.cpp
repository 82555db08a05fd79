#include "map/http_client.h"

#include <curl/curl.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "map/curl_support.h"

namespace {
constexpr const char* kAccept = "Accept: */*";
constexpr const char* kFormContentType = "Content-Type: application/x-www-form-urlencoded";
constexpr const char* kMultipartContentType =
    "Content-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY";
constexpr int kFtpPort = 21;
constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;
// Uploads may be large, so no overall time-out; a server that stops answering is given up soon.
constexpr long kConnectTimeoutSeconds = 5;
constexpr long kStallSeconds = 10;

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

void Append(HeaderList& list, const std::string& line) {
    // The list keeps its head; only the first line makes one.
    curl_slist* head = curl_slist_append(list.get(), line.c_str());
    if (head == nullptr)
        throw HttpClientError("additional header failed...");
    if (!list)
        list.reset(head);
}

// The path a cookie set for this URL path applies to (everything before its last '/').
std::string CookiePath(const std::string& urlPath) {
    const size_t slash = urlPath.rfind('/');
    if (urlPath.empty() || urlPath[0] != '/' || slash == 0 || slash == std::string::npos)
        return "/";
    return urlPath.substr(0, slash);
}

bool CookieSafe(const std::string& text) {
    return text.find_first_of("\t\r\n") == std::string::npos;
}

// A session cookie for the host and path of url, in the cookie store of the handle.
void RegisterCookie(CURL* curl, const std::string& url, const HttpCookie& cookie) {
    ParsedUrl parts(curl_url());
    if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        cookie.name.empty() || !CookieSafe(cookie.name) || !CookieSafe(cookie.value))
        throw HttpClientError("add cookie failed...");
    const std::string host = UrlPart(parts.get(), CURLUPART_HOST);
    const std::string line = host + "\tFALSE\t" + CookiePath(UrlPart(parts.get(), CURLUPART_PATH)) +
                             "\tFALSE\t0\t" + cookie.name + "\t" + cookie.value;
    if (host.empty() || curl_easy_setopt(curl, CURLOPT_COOKIELIST, line.c_str()) != CURLE_OK)
        throw HttpClientError("add cookie failed...");
}
}  // namespace

CHttpClient::~CHttpClient() {
    Close();
}

void CHttpClient::Close() {
    if (root_ != nullptr)
        curl_easy_cleanup(Easy(root_));
    root_ = nullptr;
    connected_ = false;
}

bool CHttpClient::Connect(const std::string& host, int port, const char* user, const char* password,
                          int connectionKind, const std::string& userAgent) {
    Close();
    connectFailure_.clear();
    try {
        root_ = curl_easy_init();
        if (root_ == nullptr)
            throw HttpClientError("open internet failed...");
        int defaultPort = 0;
        switch (connectionKind) {
            case kFtp:
                defaultPort = kFtpPort;
                break;
            case kHttp:
                defaultPort = kHttpPort;
                break;
            case kHttps:
                defaultPort = kHttpsPort;
                break;
            default:
                throw HttpClientError("connect failed...");
        }
        if (host.empty() || port < 0 || port > 65535)
            throw HttpClientError("connect failed...");
        // No server is contacted yet: as with any HTTP session, the first request connects.
        host_ = host;
        port_ = port == 0 ? defaultPort : port;
        connectionKind_ = connectionKind;
        if (user != nullptr)
            user_ = user;
        if (password != nullptr)
            password_ = password;
        userAgent_ = userAgent;
        cookies_.clear();
        arguments_.clear();
        connected_ = true;
        return true;
    } catch (const HttpClientError& e) {
        connectFailure_ = e.what();
    } catch (...) {
        connectFailure_ = "unknown exception...";
    }
    Close();
    return false;
}

void CHttpClient::AddArgument(const std::string& name, const std::string& value, int kind) {
    arguments_.push_back({name, value, kind});
}

void CHttpClient::AddCookie(const std::string& name, const std::string& value) {
    cookies_.push_back({name, value});
}

std::string CHttpClient::CookieUrl(const std::string& objectPath) const {
    std::string url;
    if (connectionKind_ == kHttp)
        url = "http://";
    else if (connectionKind_ == kHttps)
        url = "https://";
    url += host_;
    const bool ownPort = (connectionKind_ == kHttp && port_ == kHttpPort) ||
                         (connectionKind_ == kHttps && port_ == kHttpsPort);
    if (!ownPort) {
        // In two steps: GCC 12 at -O3 sees a false overlap in ":" + std::to_string(...).
        url += ':';
        url += std::to_string(port_);
    }
    return url + objectPath;
}

std::string CHttpClient::FormBody() const {
    std::string body;
    for (size_t i = 0; i < arguments_.size(); ++i) {
        if (i > 0)
            body += '&';
        body += arguments_[i].name + "=" + arguments_[i].value;
    }
    return body;
}

std::string CHttpClient::MultipartBody() const {
    const std::string boundary = kBoundary;
    std::string body;
    for (const HttpArgument& a : arguments_) {
        if (a.kind == 0) {
            body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + a.name +
                    "\"\r\n\r\n" + a.value + "\r\n";
            continue;
        }
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + a.name +
                "\"; filename=\"" + a.value + "\"\r\n\r\n";
        std::ifstream file(a.value, std::ios::binary);
        if (file) {
            body.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            body += "\r\n";
        }
    }
    return body + "--" + boundary + "--\r\n";
}

bool CHttpClient::RequestGet(const std::string& objectPath, const std::string& referrer) {
    return Request(Verb::kGet, objectPath, referrer);
}

bool CHttpClient::RequestPost(const std::string& objectPath, const std::string& referrer) {
    return Request(Verb::kPost, objectPath, referrer);
}

bool CHttpClient::RequestPostMultiParts(const std::string& objectPath,
                                        const std::string& referrer) {
    return Request(Verb::kMultipart, objectPath, referrer);
}

bool CHttpClient::Request(Verb verb, const std::string& objectPath, const std::string& referrer) {
    if (!connected_ || root_ == nullptr)
        throw HttpClientError("handle not opened...");
    // An FTP session has no HTTP request to open.
    if (connectionKind_ == kFtp)
        throw HttpClientError("request failed...");
    CURL* curl = Easy(root_);
    curl_easy_reset(curl);  // keeps the registered cookies
    responseStatus_ = 0;
    responseBody_.clear();

    const std::string path =
        objectPath.empty() || objectPath[0] != '/' ? "/" + objectPath : objectPath;
    const bool bracket = host_.find(':') != std::string::npos && host_.front() != '[';
    const std::string url = (connectionKind_ == kHttps ? "https://" : "http://") +
                            (bracket ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_) +
                            path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent_.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &responseBody_);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // cookie store on, nothing loaded
    if (!referrer.empty())
        curl_easy_setopt(curl, CURLOPT_REFERER, referrer.c_str());
    if (!user_.empty()) {
        // Credentials go out only when the server asks for them.
        curl_easy_setopt(curl, CURLOPT_USERNAME, user_.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password_.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }

    HeaderList headers;
    Append(headers, kAccept);
    if (verb == Verb::kMultipart)
        Append(headers, kMultipartContentType);
    else if (verb == Verb::kPost)
        Append(headers, kFormContentType);

    for (const HttpCookie& cookie : cookies_) RegisterCookie(curl, CookieUrl(path), cookie);

    std::string body;
    RedirectFence fence;
    if (verb == Verb::kGet) {
        // Followed within the server connected to; a redirect elsewhere is the answer.
        fence.Start(curl, url);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, RedirectFence::OnHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &fence);
    } else {
        body = verb == Verb::kPost ? FormBody() : MultipartBody();
        if (verb == Verb::kMultipart)
            Append(headers, "Content-Length: " + std::to_string(body.size()));
        // A POST is not re-sent elsewhere on a redirect: the redirect itself is its answer.
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());

    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    // Once an answer began the request was sent; a body cut short keeps what came.
    if (result != CURLE_OK && status == 0)
        throw HttpClientError(verb == Verb::kMultipart ? "request failed" : "request failed...");
    responseStatus_ = static_cast<int>(status);
    return true;
}
