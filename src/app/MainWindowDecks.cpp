// The sound devices opened at start and the decks: creating one (at start and by command 101),
// registering it with the mixer, and destroying it when its window is closed.
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "app/MainWindow.h"
#include "app/SettingsKeys.h"
#include "decks/ui/MixerWindow.h"
#include "decks/ui/PlayerWindow.h"
#include "platform/sound/SoundDevice.h"

namespace veltro::app {
namespace {

using decks::ui::PlayerWindow;
using platform::sound::SoundDevice;

// Default deck size and the position rule: the first two decks side by side, later ones in a
// cascade from (20, 20).
constexpr int kDeckWidth = 250;
constexpr int kDeckHeight = 300;

int DefaultDeckLeft(int registered) {
  return registered < 2 ? 250 * registered : 10 * registered;
}

int DefaultDeckTop(int registered) {
  return registered < 2 ? 0 : 10 * registered;
}

// A device the deck can play on, or null (the deck then says it has no sound).
SoundDevice* OpenOrNull(SoundDevice* device) {
  return device != nullptr && device->IsOpen() ? device : nullptr;
}

}  // namespace

// Mode 0: Card_0 for all decks; mode 1: Card_0 and Card_1 as the monitor; mode 2: Card_0 ...
// Card_(Count-1). Any other mode opens nothing.
void MainWindow::OpenSoundDevices() {
  const int mode = settings_.GetInt(kDevicesSection, kModeKey, kOneDevice);
  int outputs = 0;
  if (mode == kOneDevice || mode == kMainAndMonitor) outputs = 1;
  if (mode == kDevicePerDeck) outputs = settings_.GetInt(kDevicesSection, kCountKey, 0);
  for (int output = 0; output < outputs; ++output) devices_.push_back(OpenCard(output));
  if (mode == kMainAndMonitor) monitorDevice_ = OpenCard(1);
  if (!deviceNote_.isEmpty()) statusBar()->showMessage(deviceNote_);
}

// Opens the device that Card_<output> names, through its GUID in [present Devices]. When that
// device is gone, the system's default output plays instead and the status line says so.
std::unique_ptr<SoundDevice> MainWindow::OpenCard(int output) {
  auto device = std::make_unique<SoundDevice>();
  const std::string card = settings_.GetString(kDevicesSection, CardKey(output), "");
  const std::string guid = settings_.GetString(kPresentDevicesSection, card, "");
  const auto open = [this](SoundDevice& target, const std::string& guidText) {
    return hooks_.openDevice ? hooks_.openDevice(target, guidText) : target.Open(guidText);
  };
  if (open(*device, guid) || guid.empty()) return device;
  if (open(*device, std::string()) && deviceNote_.isEmpty()) {
    deviceNote_ = language_.String(kDefaultDeviceStringId) + QStringLiteral(" ") +
                  QString::fromStdString(card);
  }
  return device;
}

void MainWindow::CreateStartDecks() {
  const int count = settings_.GetInt(kPlayerSection, kCountKey, kDefaultDeckCount);
  for (int i = 0; i < count; ++i) {
    if (!CreateDeck()) break;
  }
}

bool MainWindow::CreateDeck() {
  if (settings_.GetInt(kDevicesSection, kCountKey, 0) < 1) return false;
  const int registered = static_cast<int>(decks_.size());
  const std::string name = FreeDeckName();
  DeckEntry entry;
  if (!ChooseDeckDevices(name, entry)) return false;

  decks::ui::PlayerWindowSetup setup;
  setup.deckName = name;
  setup.mainDevice = entry.mainDevice;
  setup.monitorDevice = entry.monitorDevice;
  setup.library = library_.get();
  setup.language = &language_;
  setup.openHelp = [this](int context) { OpenHelp(context); };
  setup.timerFactory = hooks_.timerFactory;
  setup.settings.mastertempo = settings_.GetInt(name, kMastertempoKey, 1) != 0;
  setup.settings.elapsedMode = settings_.GetInt(name, kElapseKey, 1);
  setup.settings.autoCue = settings_.GetInt(name, kAutoCueKey, 0) != 0;
  entry.window = std::make_unique<PlayerWindow>(std::move(setup));
  PlayerWindow* deck = entry.window.get();
  connect(deck, &PlayerWindow::closed, this, [this, deck] { OnDeckClosed(deck); });
  PlaceDeck(*deck, name, registered);
  decks_.push_back(std::move(entry));
  RegisterDeck(*deck);
  return true;
}

// "Player 00" for the first deck; otherwise the lowest number whose name no deck carries.
std::string MainWindow::FreeDeckName() const {
  for (int number = 0;; ++number) {
    const std::string name = DeckName(number);
    const bool taken = std::any_of(decks_.begin(), decks_.end(), [&name](const DeckEntry& deck) {
      return deck.window->DeckName() == name;
    });
    if (!taken) return name;
  }
}

// The devices of a new deck by [Devices] Mode; false when the deck cannot be given its device
// (modes 0 and 1 need the first device open; mode 2 allows one deck per configured device).
bool MainWindow::ChooseDeckDevices(const std::string& name, DeckEntry& entry) const {
  const int mode = settings_.GetInt(kDevicesSection, kModeKey, kOneDevice);
  if (mode == kOneDevice || mode == kMainAndMonitor) {
    if (devices_.empty() || !devices_.front()->IsOpen()) return false;
    entry.mainDevice = devices_.front().get();
    if (mode == kMainAndMonitor) entry.monitorDevice = OpenOrNull(monitorDevice_.get());
    return true;
  }
  if (mode != kDevicePerDeck) return false;
  const int registered = static_cast<int>(decks_.size());
  if (registered >= settings_.GetInt(kDevicesSection, kCountKey, 0)) return false;
  const int index = DeckNumber(name);
  if (index >= 0 && index < static_cast<int>(devices_.size())) {
    entry.mainDevice = OpenOrNull(devices_[static_cast<size_t>(index)].get());
  }
  return true;
}

// The deck joins both of the mixer's lists; the first deck becomes deck A, the next deck B.
void MainWindow::RegisterDeck(PlayerWindow& deck) {
  deck.SetMixerWindow(mixer_.get());
  decks::MixerDeck* transport = &deck.Transport();
  mixer_->AddDeck(QString::fromStdString(deck.DeckName()), transport);
  const decks::Mixer& logic = mixer_->Logic();
  if (logic.Deck(decks::MixerSide::kLeft) == nullptr) {
    mixer_->ChooseDeck(decks::MixerSide::kLeft, transport);
  } else if (logic.Deck(decks::MixerSide::kRight) == nullptr) {
    mixer_->ChooseDeck(decks::MixerSide::kRight, transport);
  }
}

void MainWindow::PlaceDeck(PlayerWindow& deck, const std::string& name, int registered) {
  const QRect frame(settings_.GetInt(name, kLeftKey, DefaultDeckLeft(registered)),
                    settings_.GetInt(name, kTopKey, DefaultDeckTop(registered)),
                    settings_.GetInt(name, kWidthKey, kDeckWidth),
                    settings_.GetInt(name, kHeightKey, kDeckHeight));
  deck.show();
  PlaceWindow(deck, frame);
}

// A closed deck leaves the mixer and the deck list at once (its name is free again and nothing
// reaches it any more); the window itself is destroyed after its close event has returned.
void MainWindow::OnDeckClosed(PlayerWindow* deck) {
  const auto found = std::find_if(decks_.begin(), decks_.end(), [deck](const DeckEntry& entry) {
    return entry.window.get() == deck;
  });
  if (found == decks_.end()) return;
  mixer_->RemoveDeck(&deck->Transport());
  deck->SetMixerWindow(nullptr);
  closedDecks_.push_back(std::move(*found));
  decks_.erase(found);
  QTimer::singleShot(0, this, [this] { DestroyClosedDecks(); });
}

void MainWindow::DestroyClosedDecks() {
  closedDecks_.clear();
}

}  // namespace veltro::app
