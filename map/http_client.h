#pragma once
// General client for one server at a time over HTTP or HTTPS (an FTP connection is accepted but
// carries no HTTP request): GET, form POST and multipart POST with file upload, with cookies
// registered for the request's URL before each request. Requests are synchronous. A GET follows
// redirects within the server connected to; a redirect elsewhere is its answer.

#include <stdexcept>
#include <string>
#include <vector>

// The failure of a request operation; what() is the failure text.
class HttpClientError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A form field of the next POST: kind 0 is a plain field, any other kind a file field whose
// value is the path of the file to upload.
struct HttpArgument {
    std::string name;
    std::string value;
    int kind = 0;
};

struct HttpCookie {
    std::string name;
    std::string value;
};

class CHttpClient {
public:
    enum ConnectionKind { kFtp = 0, kHttp = 1, kHttps = 2 };

    static constexpr const char* kBoundary = "--MULTI-PARTS-FORM-DATA-BOUNDARY";

    CHttpClient() = default;
    virtual ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // Port 0 takes the kind's default port (FTP 21, HTTP 80, HTTPS 443); a null user or
    // password keeps the one held. Empties the argument and cookie lists. False on failure,
    // with the reason in ConnectFailure().
    virtual bool Connect(const std::string& host, int port, const char* user, const char* password,
                         int connectionKind, const std::string& userAgent);
    // The request operations throw HttpClientError with the failure text.
    virtual bool RequestPostMultiParts(const std::string& objectPath, const std::string& referrer);
    virtual bool RequestPost(const std::string& objectPath, const std::string& referrer);
    virtual bool RequestGet(const std::string& objectPath, const std::string& referrer);

    void AddArgument(const std::string& name, const std::string& value, int kind = 0);
    void AddCookie(const std::string& name, const std::string& value);

    // The URL the cookies are registered for: scheme (none for FTP), host, ":port" unless it is
    // the scheme's own port (always for FTP), then the object path.
    std::string CookieUrl(const std::string& objectPath) const;
    // Arguments as name=value pairs joined by '&', unescaped.
    std::string FormBody() const;
    // The multipart/form-data body of the arguments, ended by the closing boundary.
    std::string MultipartBody() const;

    const std::string& Host() const { return host_; }
    int Port() const { return port_; }
    int Kind() const { return connectionKind_; }
    const std::string& ConnectFailure() const { return connectFailure_; }

    // The answer to the last request sent: HTTP status (0 when none) and body (what came
    // before the connection dropped, when it was cut short).
    int ResponseStatus() const { return responseStatus_; }
    const std::string& ResponseBody() const { return responseBody_; }

private:
    enum class Verb { kGet, kPost, kMultipart };
    bool Request(Verb verb, const std::string& objectPath, const std::string& referrer);
    void Close();

    void* root_ = nullptr;  // CURL easy handle; its cookie store is the session's
    bool connected_ = false;
    std::string host_;
    std::string user_;
    std::string password_;
    int port_ = 0;
    int connectionKind_ = kHttp;
    std::string userAgent_;
    std::vector<HttpArgument> arguments_;
    std::vector<HttpCookie> cookies_;
    std::string connectFailure_;
    int responseStatus_ = 0;
    std::string responseBody_;
};
