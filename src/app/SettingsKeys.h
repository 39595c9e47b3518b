// The sections and keys of veltro.ini, the program's settings file in its working directory,
// and the small rules that turn settings into names. Every value is decimal or plain text,
// read and written through platform::Profile. Any thread; pure data and functions.
#pragma once

#include <string>
#include <string_view>

namespace veltro::app {

inline constexpr char kSettingsFileName[] = "veltro.ini";
inline constexpr char kPlaylistFolder[] = "Playlist";
inline constexpr char kDataFolder[] = "Data";

// [MainWnd]: the language module and the main window's rectangle.
inline constexpr char kMainSection[] = "MainWnd";
inline constexpr char kLanguageKey[] = "Language";
inline constexpr char kDefaultLanguage[] = "leng.dll";

// Keys of every window rectangle ([MainWnd], [Mixer], [Playlist], each deck's section).
inline constexpr char kLeftKey[] = "Left";
inline constexpr char kTopKey[] = "Top";
inline constexpr char kWidthKey[] = "Width";
inline constexpr char kHeightKey[] = "Height";

// [Devices]: the output mode, the devices chosen for it and the controller's port.
inline constexpr char kDevicesSection[] = "Devices";
inline constexpr char kModeKey[] = "Mode";
inline constexpr char kCountKey[] = "Count";
inline constexpr char kComportKey[] = "Comport";
inline constexpr char kDefaultComport[] = "COM1";

// [present Devices]: device description = its GUID text, rewritten by the device dialog.
inline constexpr char kPresentDevicesSection[] = "present Devices";

// [Player] Count: decks created at start.
inline constexpr char kPlayerSection[] = "Player";
inline constexpr int kDefaultDeckCount = 2;

// Each deck's own section (its name) beyond the rectangle.
inline constexpr char kMastertempoKey[] = "Mastertempo";
inline constexpr char kElapseKey[] = "elapse";
inline constexpr char kAutoCueKey[] = "AutoCue";

// [Mixer]: position, visibility (the menu item's state: 8 checked, 0 not) and lead times.
inline constexpr char kMixerSection[] = "Mixer";
inline constexpr char kVisibleKey[] = "Visible";
inline constexpr char kFadetimeKey[] = "Fadetime";
inline constexpr char kPlaystartKey[] = "Playstart";
inline constexpr int kVisibleChecked = 8;

// [Playlist]: the playlist window's rectangle, written only while it is open.
inline constexpr char kPlaylistSection[] = "Playlist";

// [Scan], the folders of the last folder scan, belongs to the scan dialog
// (library/ui/ScanDialog.h).

// How the output devices are given to the decks ([Devices] Mode).
enum DeviceMode : int {
  kOneDevice = 0,       // Card_0 for every deck
  kMainAndMonitor = 1,  // Card_0 for every deck, Card_1 as every deck's monitor output
  kDevicePerDeck = 2,   // Card_N for deck N, at most Count decks
};

// "Card_" followed by `output` in decimal.
std::string CardKey(int output);

// "Player " followed by `number` with at least two digits: Player 00 ... Player 09, Player 10.
std::string DeckName(int number);

// The number in a deck name (the decimal text after its blank), or -1 when there is none.
int DeckNumber(std::string_view deckName);

}  // namespace veltro::app
