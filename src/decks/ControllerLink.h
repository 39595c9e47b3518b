// The link to the hardware controller on a serial port: one reader thread reads the port and
// assembles its bytes into controller lines (ControllerLines.h); every action found is posted to
// the UI thread, which carries it out on the mixer's deck A (left) or deck B (right) exactly as
// the matching user action. Nothing is ever written to the port.
//
//   action                 deck call (MixerDeck.h)
//   kPitchA / kPitchB      SetPitchThumb(value) on deck A / B
//   kPlayA / kPlayB        PressPlay on deck A / B
//   kCueA / kCueB          PressCue on deck A / B
//   kLoadA / kLoadB        LoadFromLibrary on deck A / B
//   kStepForwardA / Back   StepPosition(true / false) on deck A
//
// Each deck is looked up afresh for every action (a deck may have been closed or the mixer's
// choice changed since the bytes arrived); an action whose deck is null is skipped.
//
// Lifecycle: closed -> Open succeeds -> open (reader waiting for bytes) -> Close -> closed.
// Opening while open closes the running link first, quietly, so the port is never held twice.
// When the controller goes away (unplugged adapter: the port hangs up) the reader ends by
// itself and the UI thread closes the link and says so once; the decks go on as they were.
//
// Threads: every public method is for the UI thread, and so is every hook except postToUi.
// The reader thread touches only the port it was given, its own line assembler and postToUi;
// it never touches a deck, a hook other than postToUi, or a member of the link. Each open is
// numbered; work posted by the reader of an earlier open (or of a link since destroyed) is
// dropped when it reaches the UI thread.
//
// Ownership: the link owns the open port and the reader thread; the decks are borrowed through
// the deck hook for the duration of one action.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "decks/ControllerLines.h"
#include "decks/Mixer.h"
#include "decks/MixerDeck.h"
#include "platform/SerialPort.h"

namespace veltro::decks {

// The texts the link shows (UTF-8). A failed open uses the port setting as the caption.
inline constexpr const char* kControllerBusyText =
    "Dieser Com-Port scheint besetzt zu sein - Init fehlgeschlagen";
inline constexpr const char* kControllerInfoCaption = "Information";
inline constexpr const char* kControllerOpenedText =
    "Com-Port und Thread wurden erfolgreich geöffnet";
inline constexpr const char* kControllerClosedText = "Com-Port und Thread wurden geschlossen";

// The largest read the reader asks of the port, in bytes.
inline constexpr size_t kControllerReadBytes = 2048;

struct ControllerLinkHooks {
  // Runs `work` later on the UI thread, in the order posted; callable from any thread (the
  // reader thread calls it). Required. Work still queued when the link is gone does nothing.
  std::function<void(std::function<void()> work)> postToUi;
  // The mixer's deck A (kLeft) or deck B (kRight) now, borrowed; null when none is chosen.
  // UI thread. Empty: no decks (every action is skipped).
  std::function<MixerDeck*(MixerSide side)> deck;
  // Shows a warning box with `caption` and `text` (UTF-8). UI thread. Empty: nothing shown.
  std::function<void(const std::string& caption, const std::string& text)> message;
  // Opens the device at `path` (a device path); null with a reason in `error` on failure. UI
  // thread. Empty: platform::SerialPort::Open.
  std::function<std::unique_ptr<platform::SerialPort>(const std::string& path, std::string* error)>
      openPort;
};

class ControllerLink {
 public:
  // Closed. UI thread.
  explicit ControllerLink(ControllerLinkHooks hooks);
  // Closes the link quietly (no message) if it is open, waiting for the reader to end. UI thread.
  ~ControllerLink();
  ControllerLink(const ControllerLink&) = delete;
  ControllerLink& operator=(const ControllerLink&) = delete;

  // Opens the port a setting names ("COMn" or a device path; see platform::SerialDevicePath)
  // and starts the reader. A link already open is closed first, quietly. On failure shows
  // kControllerBusyText with `portSetting` as the caption and stays closed (false); on success
  // shows kControllerOpenedText under kControllerInfoCaption (true). UI thread.
  bool Open(const std::string& portSetting);
  // Not open: does nothing and says nothing. Open: stops the reader (waking its wait), waits
  // for it to end, closes the port and shows kControllerClosedText. UI thread.
  void Close();
  // Close without the message (program shutdown, reopening). UI thread.
  void CloseQuietly();
  // Whether the port is open and its reader running (or ended by a hang-up whose closing step
  // has not reached the UI thread yet). UI thread.
  bool IsOpen() const { return port_ != nullptr; }

 private:
  using Token = std::weak_ptr<const bool>;
  using PostFunction = std::function<void(std::function<void()>)>;

  // UI thread: makes `port` the open port read by a new reader thread of a new run; false
  // (the port closed) when no thread can be made.
  bool StartReader(std::unique_ptr<platform::SerialPort> port);
  // Reader thread: reads `port` until it is stopped or hangs up, posting the actions of each
  // read, and after a hang-up the closing step, as work for `owner` tagged with `run`. `owner`
  // is only carried into that work, never used on the reader thread.
  static void ReadPort(platform::SerialPort& port, ControllerLink* owner, uint64_t run, Token alive,
                       PostFunction postToUi);
  // UI thread: whether work tagged with `run` still belongs to `link`'s current open (`link` is
  // looked at only while `alive` says it exists).
  static bool Current(const Token& alive, const ControllerLink* link, uint64_t run);
  // UI thread: the actions of one read, in order, each only while their open is still current
  // (a deck action may run a nested event loop in which the link is closed or destroyed).
  void CarryOut(uint64_t run, const Token& alive, const std::vector<ControllerAction>& actions);
  void CarryOut(const ControllerAction& action);
  // UI thread: the current reader saw the port hang up and has ended: close and say so.
  void HungUp();
  // UI thread: retires the current run, stops and joins the reader, closes the port.
  void Shutdown();
  void Message(const std::string& caption, const std::string& text) const;

  ControllerLinkHooks hooks_;  // set once; UI thread (each reader gets its own copy of postToUi)
  // UI thread. While the reader runs it uses the port through a reference; the port is reset
  // only after the reader was joined.
  std::unique_ptr<platform::SerialPort> port_;
  std::thread reader_;  // started and joined on the UI thread
  uint64_t run_ = 0;    // UI thread: numbers each open (and each close); work of older runs is
                        // dropped
  // UI thread: posted work holds a weak copy, so work that outlives the link does nothing.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

}  // namespace veltro::decks
