// The fixed texts of the window, the tray menu and the About box, in one place
// so the widgets and the tests use the same bytes.
#pragma once

namespace tembrel::shell::texts {

inline constexpr const char* kProgramTitle = "Tembrel Server";
inline constexpr const char* kStartServer = "&Start Server";
inline constexpr const char* kStart = "&Start";
inline constexpr const char* kStop = "&Stop";
inline constexpr const char* kQuit = "&Quit";
inline constexpr const char* kPortLabel = "Por&t:";
inline constexpr const char* kDisconnectUser = "&Disconnect User";
inline constexpr const char* kDisconnectAll = "Disconnect &All";
inline constexpr const char* kMediaPaths = "Media Paths";
inline constexpr const char* kBrowse = "Browse...";
inline constexpr const char* kClose = "Close";
inline constexpr const char* kSaveToolTip = "Save Settings";
inline constexpr const char* kBrowseTitle = "Choose Folder for Default";
inline constexpr const char* kIntegerRequired = "Please enter an integer.";
inline constexpr const char* kNoTrayLog =
    "No notification area: the window stays in the taskbar when minimised.";

inline constexpr const char* kTrayOptions = "Options";
inline constexpr const char* kTrayDsp = "DSP";
inline constexpr const char* kTrayDspOff = "Off";
inline constexpr const char* kTrayDsp15 = "15fps";
inline constexpr const char* kTrayDsp30 = "30fps";
inline constexpr const char* kTrayDsp60 = "60fps";
inline constexpr const char* kTrayQuit = "Quit";
inline constexpr const char* kWebCodeEntry = "Web Remote QR Code...";
inline constexpr const char* kWebCodeTitle = "Web Remote";
inline constexpr const char* kWebRemoteOff = "The web remote is off.";

inline constexpr const char* kAboutEntry = "&About Tembrel Quenmark...";
inline constexpr const char* kAboutTitle = "About Tembrel Server";
inline constexpr const char* kAboutVersion = "Tembrel Server Version 0.9b";
inline constexpr const char* kAboutCredits = "Built on Qt, FFmpeg, TagLib, SDL2 and FFTW.";
inline constexpr const char* kOk = "OK";

} // namespace tembrel::shell::texts
