// What a deck's window shows, as the transport logic tells it. The window (or a test) implements
// it; the transport never reads anything back from it.
//
// Threads: every call comes on the UI thread. Units as in DeckTransport.h.
#pragma once

#include <string>

namespace veltro::decks {

class DeckView {
 public:
  virtual ~DeckView() = default;

  // The status label: a state word ("loaded", "playing", ...; "Status" before the first load),
  // followed by " (no sound)" on a deck whose output device did not open.
  virtual void ShowStatus(const std::string& text) = 0;
  // The time display ("00:01:02:03", "-00:03:07:25", "No Song" before the first load).
  virtual void ShowTime(const std::string& text) = 0;
  // The position slider's range 0 ... `length` and its position (hundredths of a second).
  virtual void ShowPositionRange(int length) = 0;
  virtual void ShowPosition(int position) = 0;
  // The pitch slider's position (0 ... 255) and the pitch label's text.
  virtual void ShowPitch(int sliderPosition, const std::string& label) = 0;
  // The attenuation sliders' positions (0 ... 3000).
  virtual void ShowMainAttenuation(int sliderPosition) = 0;
  virtual void ShowMonitorAttenuation(int sliderPosition) = 0;
  // The play and cue buttons, each drawn up (false) or down (true).
  virtual void ShowButtons(bool playDown, bool cueDown) = 0;
  // The artist and title labels.
  virtual void ShowSong(const std::string& artist, const std::string& title) = 0;
  // The monitor LED bitmap: on or off.
  virtual void ShowMonitorLed(bool on) = 0;
  // The monitor switch, the "Head" label and the monitor slider enabled or disabled.
  virtual void EnableMonitorControls(bool enabled) = 0;
  // A note in the status label in place of the state word, until the state next changes:
  // a string-table identifier of the language module.
  virtual void ShowStatusNote(int textId) = 0;
  // A warning box: text and caption are string-table identifiers of the language module.
  virtual void ShowWarning(int textId, int captionId) = 0;
};

}  // namespace veltro::decks
