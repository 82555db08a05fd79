#include "app/app_state.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/format.h"
#include "app/profile.h"

namespace {
constexpr const char* kSection = "UM_CONFIG";
constexpr int kMapUrlSlots = 1;

// Programs do not write into /usr, not even as root, who may write anywhere.
bool WritableFolder(const std::string& dir) {
    const std::string folder = dir.empty() ? "/" : dir;
    if (folder == "/usr" || folder.rfind("/usr/", 0) == 0)
        return false;
    return access(folder.c_str(), W_OK) == 0;
}

// $variable + "/vantrail", or home + fallback + "/vantrail" when it is unset or not
// absolute (such values are to be ignored); made on the way.
std::string UserFolder(const char* variable, const char* fallback) {
    std::string base;
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
        base = value;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : "";
        }
        base = std::string(home) + fallback;
    }
    std::string folder = base + "/vantrail";
    std::error_code ignored;  // a folder that cannot be made fails at the file's opening
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

ConnectionProbe& Probe() {
    static ConnectionProbe probe = HasNetworkConnection;
    return probe;
}
}  // namespace

CVantrailApp& theApp() {
    static CVantrailApp app;
    return app;
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

void CVantrailApp::InitModulePaths() {
    moduleDir = ExecutableDirectory();
    m_InetFlag = 0;
}

std::string CVantrailApp::ModuleFile(const std::string& name) const {
    return moduleDir + "/" + name;
}

std::string CVantrailApp::ConfigFile(const std::string& name) const {
    return WritableFolder(moduleDir) ? ModuleFile(name)
                                     : UserFolder("XDG_CONFIG_HOME", "/.config") + "/" + name;
}

std::string CVantrailApp::StateFile(const std::string& name) const {
    return WritableFolder(moduleDir) ? ModuleFile(name)
                                     : UserFolder("XDG_STATE_HOME", "/.local/state") + "/" + name;
}

void CVantrailApp::LoadConfig() {
    const std::string path = ConfigFile("um_config.ini");
    for (int n = 0; n < kMapUrlSlots; ++n) {
        mapUrls[static_cast<size_t>(n)] =
            ReadProfileString(kSection, FormatText("DEFAULT_IP_%d", n), kDefaultMapUrl, path);
    }
    folderPath = ReadProfileString(kSection, "FOLDER_PATH", "", path);
}

bool CVantrailApp::SaveFolderPath() const {
    return WriteProfileString(kSection, "FOLDER_PATH", folderPath, ConfigFile("um_config.ini"));
}

void CVantrailApp::UpdateInetFlag() {
    const bool connected = Probe() ? Probe()() : false;
    m_InetFlag |= kInetOnline;  // Linux has no offline mode
    if (connected)
        m_InetFlag |= kInetConnected;
    else
        m_InetFlag &= ~kInetConnected;
}

ConnectionProbe SetConnectionProbe(ConnectionProbe probe) {
    if (!probe)
        probe = HasNetworkConnection;
    return std::exchange(Probe(), std::move(probe));
}

bool HasNetworkConnection() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* a = list; a != nullptr && !found; a = a->ifa_next) {
        found = a->ifa_addr != nullptr && (a->ifa_flags & IFF_UP) != 0 &&
                (a->ifa_flags & IFF_LOOPBACK) == 0 &&
                (a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6);
    }
    freeifaddrs(list);
    return found;
}
