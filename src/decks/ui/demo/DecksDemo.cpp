// veltro-decks-demo: two decks ("Player 00", "Player 01") and the mixer over the library in the
// current directory.
//
//   veltro-decks-demo [--lang FILE.rcc] [--null] [--screenshots DIR]
//
// --lang names the language module (default leng.rcc in the current directory); --null plays
// on "Null output" instead of the default sound device; --screenshots renders both decks at
// 250 x 300 and 500 x 600 and the mixer to PNG files in DIR, then exits. For the pictures the
// decks hold a song: with an empty library the demo writes a three-second tone, "Demo
// Tone.wav", into the current directory and makes it the library's one song. Deck 0 plays it
// for a second before the pictures are taken; deck 1 has it loaded and shows the remaining
// time. The files are named after the module: player00-250x300-leng.png, ..., mixer-leng.png.
#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

#include "decks/ui/MixerWindow.h"
#include "decks/ui/PlayerWindow.h"
#include "library/SongDatabase.h"
#include "platform/sound/SoundDevice.h"
#include "platform/sound/SoundSystem.h"
#include "ui/DialogBuilder.h"
#include "ui/HelpWindow.h"
#include "ui/LanguageModule.h"

namespace {

using veltro::decks::ui::MixerWindow;
using veltro::decks::ui::PlayerWindow;

struct Options {
  QString languageFile = QStringLiteral("leng.rcc");
  bool nullOutput = false;
  QString screenshotDir;  // empty: run interactively
  bool valid = true;
};

Options ParseOptions(const QStringList& arguments) {
  Options options;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments.at(i);
    const bool hasValue = i + 1 < arguments.size();
    if (argument == QStringLiteral("--null")) {
      options.nullOutput = true;
    } else if (argument == QStringLiteral("--lang") && hasValue) {
      options.languageFile = arguments.at(++i);
    } else if (argument == QStringLiteral("--screenshots") && hasValue) {
      options.screenshotDir = arguments.at(++i);
    } else {
      options.valid = false;
    }
  }
  return options;
}

bool SavePicture(QWidget& window, const QString& path) {
  if (window.grab().save(path, "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

// Renders each deck at both sizes and the mixer once, the module's name at the end of every
// file name; true when every file was written.
bool SaveScreenshots(const std::vector<std::unique_ptr<PlayerWindow>>& decks, MixerWindow& mixer,
                     const QString& directory, const QString& module) {
  if (!QDir().mkpath(directory)) return false;
  bool ok = true;
  for (const QSize size : {QSize(250, 300), QSize(500, 600)}) {
    for (size_t i = 0; i < decks.size(); ++i) {
      decks[i]->resize(size);
      const QString name = QStringLiteral("%1/player%2-%3x%4-%5.png")
                               .arg(directory)
                               .arg(i, 2, 10, QLatin1Char('0'))
                               .arg(size.width())
                               .arg(size.height())
                               .arg(module);
      ok = SavePicture(*decks[i], name) && ok;
    }
  }
  return SavePicture(mixer.Dialog(), QStringLiteral("%1/mixer-%2.png").arg(directory, module)) &&
         ok;
}

// Writes a 44.1 kHz, 16-bit stereo WAV file of `seconds` holding a 440 Hz tone at a quarter of
// full scale. False when the file cannot be written.
bool WriteToneWav(const QString& path, int seconds) {
  constexpr int kRateHz = 44100;
  constexpr int kChannels = 2;
  constexpr int kBytesPerSample = 2;
  const auto frames = static_cast<uint32_t>(kRateHz * seconds);
  const uint32_t dataBytes = frames * kChannels * kBytesPerSample;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QDataStream out(&file);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(36 + dataBytes);
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(kChannels) << quint32(kRateHz)
      << quint32(kRateHz * kChannels * kBytesPerSample) << quint16(kChannels * kBytesPerSample)
      << quint16(8 * kBytesPerSample);
  out.writeRawData("data", 4);
  out << quint32(dataBytes);
  for (uint32_t frame = 0; frame < frames; ++frame) {
    const double phase = 2.0 * std::numbers::pi * 440.0 * frame / kRateHz;
    const auto sample = static_cast<qint16>(std::lround(8192.0 * std::sin(phase)));
    out << sample << sample;
  }
  return out.status() == QDataStream::Ok && file.flush();
}

// Gives an empty library one song: the demo tone, written into the current directory.
void AddDemoSong(veltro::library::SongDatabase& library) {
  if (library.RecordCount() > 0) return;
  const QString path = QDir::current().absoluteFilePath(QStringLiteral("Demo Tone.wav"));
  if (!WriteToneWav(path, 3)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return;
  }
  library.StageRecord(veltro::library::MakeRecord("Veltro Demo", "Tone in A", "Demo", "2024",
                                                  path.toStdString(), 3000));
  library.CommitStaging();
  library.SortIndexes();
  if (!library.WriteAll()) std::fprintf(stderr, "the demo library was not written\n");
}

// Runs the event loop for `milliseconds`, so that a playing deck moves on.
void RunFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// Deck 0 plays the library's song for a second; deck 1 holds it and shows the remaining time.
void ShowDecksAtWork(const std::vector<std::unique_ptr<PlayerWindow>>& decks,
                     const veltro::library::SongDatabase& library) {
  if (library.RecordCount() == 0) return;
  for (const auto& deck : decks) deck->Transport().LoadFromLibrary();
  decks[1]->Transport().ToggleElapsed();
  decks[0]->Transport().PressPlay();
  RunFor(1000);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const Options options = ParseOptions(QCoreApplication::arguments());
  if (!options.valid) {
    std::fprintf(stderr,
                 "usage: veltro-decks-demo [--lang FILE.rcc] [--null] [--screenshots DIR]\n");
    return 2;
  }
  veltro::ui::LanguageModule language;
  if (!language.Load(options.languageFile)) {
    std::fprintf(stderr, "language module %s not loaded\n", qPrintable(options.languageFile));
  }
  veltro::library::SongDatabase library;
  library.LoadIndexes();

  veltro::platform::sound::SoundDevice device;
  const std::string guid =
      options.nullOutput ? veltro::platform::sound::SoundSystem::NullOutputGuid() : std::string();
  if (!device.Open(guid)) std::fprintf(stderr, "the sound device did not open\n");

  veltro::ui::HelpWindow help(language.HelpFileName(), QStringLiteral("help"));
  auto openHelp = [&help](int context) { help.Open(context); };
  MixerWindow mixer(&language, openHelp);

  std::vector<std::unique_ptr<PlayerWindow>> decks;
  for (int i = 0; i < 2; ++i) {
    veltro::decks::ui::PlayerWindowSetup setup;
    setup.deckName = "Player 0" + std::to_string(i);
    setup.mainDevice = &device;
    setup.library = &library;
    setup.language = &language;
    setup.openHelp = openHelp;
    auto deck = std::make_unique<PlayerWindow>(std::move(setup));
    deck->SetMixerWindow(&mixer);
    mixer.AddDeck(QString::fromStdString(deck->DeckName()), &deck->Transport());
    deck->move(20 + 270 * i, 20);
    decks.push_back(std::move(deck));
  }
  mixer.ChooseDeck(veltro::decks::MixerSide::kLeft, &decks[0]->Transport());
  mixer.ChooseDeck(veltro::decks::MixerSide::kRight, &decks[1]->Transport());

  if (!options.screenshotDir.isEmpty()) {
    AddDemoSong(library);
    ShowDecksAtWork(decks, library);
    const QString module = QFileInfo(options.languageFile).completeBaseName();
    return SaveScreenshots(decks, mixer, options.screenshotDir, module) ? 0 : 1;
  }
  for (auto& deck : decks) deck->show();
  mixer.Dialog().move(20, 360);
  mixer.Dialog().show();
  const int result = QApplication::exec();
  decks.clear();  // before the mixer and the device they use
  return result;
}
