// Fonts by family and pixel height, as the windows are laid out.
#pragma once

#include <QFont>

#include <thread>

namespace fonts {

// The system's font configuration (on Linux, fontconfig reads dozens of
// files) is loaded the first time a font is needed. Begun before the
// application object, on a thread of its own, it is ready by the time the
// first window asks, having been read while the toolkit connected to the
// display. Where there is nothing to load ahead, this does nothing.
class ConfigurationLoader {
  public:
    ConfigurationLoader();
    ~ConfigurationLoader();
    ConfigurationLoader(const ConfigurationLoader&) = delete;
    ConfigurationLoader& operator=(const ConfigurationLoader&) = delete;
    // Waits until the configuration is loaded.
    void wait();

  private:
    std::thread thread_;
};

inline constexpr const char* kSansSerif = "MS Sans Serif";
inline constexpr const char* kTimes = "Times New Roman";
inline constexpr const char* kTahoma = "Tahoma";
inline constexpr const char* kSystem = "System";

// Maps the families the windows name to metric-compatible ones that the
// machine has, where it lacks the named family. Call once after the
// application object exists.
void installSubstitutes();

QFont font(const char* family, int pixelHeight, bool bold = false, bool italic = false,
           bool underline = false);

// The default font of every window.
QFont windowFont();

}  // namespace fonts
