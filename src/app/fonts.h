// Fonts by family and pixel height, as the windows are laid out.
#pragma once

#include <QFont>

namespace fonts {

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
