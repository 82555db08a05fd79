#include "app/app_state.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <climits>
#include <utility>

#include "app/format.h"
#include "app/profile.h"

namespace {
constexpr const char* kSection = "UM_CONFIG";
constexpr int kMapUrlSlots = 1;

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

void CVantrailApp::LoadConfig() {
    const std::string path = ModuleFile("um_config.ini");
    for (int n = 0; n < kMapUrlSlots; ++n) {
        mapUrls[static_cast<size_t>(n)] =
            ReadProfileString(kSection, FormatText("DEFAULT_IP_%d", n), kDefaultMapUrl, path);
    }
    folderPath = ReadProfileString(kSection, "FOLDER_PATH", "", path);
}

bool CVantrailApp::SaveFolderPath() const {
    return WriteProfileString(kSection, "FOLDER_PATH", folderPath, ModuleFile("um_config.ini"));
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
