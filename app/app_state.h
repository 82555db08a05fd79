#pragma once
// Process-wide application state: where the program lives, its settings and its connection
// flags. The windows are the shell's; nothing here refers to them.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Bits of m_InetFlag.
inline constexpr uint32_t kInetConnected = 1u;  // the system reports a connection
inline constexpr uint32_t kInetOnline = 2u;     // the system is not in offline mode

inline constexpr const char* kDefaultMapUrl = "http://127.0.0.1/zavomap.html";

class CVantrailApp {
public:
    // Module directory: the real directory of the running executable, no trailing separator
    // (the root folder is the empty text). Also clears m_InetFlag.
    void InitModulePaths();

    // moduleDir + "/" + name.
    std::string ModuleFile(const std::string& name) const;

    // Where the settings file (ConfigFile) and the history log and analysis file (StateFile)
    // live: beside the executable when its folder is writable (a build tree, a portable
    // copy); otherwise, as for an installed copy, in $XDG_CONFIG_HOME/vantrail and
    // $XDG_STATE_HOME/vantrail (defaults ~/.config and ~/.local/state), created here.
    std::string ConfigFile(const std::string& name) const;
    std::string StateFile(const std::string& name) const;

    // um_config.ini, section UM_CONFIG: DEFAULT_IP_0 and FOLDER_PATH.
    void LoadConfig();
    bool SaveFolderPath() const;

    // Bit 0: a non-loopback interface is up with an address; bit 1: not offline (Linux has
    // no offline mode, so always set).
    void UpdateInetFlag();

    std::string moduleDir;
    uint32_t m_InetFlag = 0;
    std::string folderPath;
    std::array<std::string, 1> mapUrls{kDefaultMapUrl};
};

CVantrailApp& theApp();

// The connection query behind UpdateInetFlag; tests replace it. Returns the previous one.
using ConnectionProbe = std::function<bool()>;
ConnectionProbe SetConnectionProbe(ConnectionProbe probe);
bool HasNetworkConnection();

// The real directory of the running executable ("" for the root folder).
std::string ExecutableDirectory();
