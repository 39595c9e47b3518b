// veltro-decks-demo: two decks ("Player 00", "Player 01") and the mixer over the library in the
// current directory.
//
//   veltro-decks-demo [--lang FILE.rcc] [--null] [--screenshots DIR]
//
// --lang names the language module (default leng.rcc in the current directory); --null plays
// on "Null output" instead of the default sound device; --screenshots renders both decks at
// 250 x 300 and 500 x 600 and the mixer to PNG files in DIR, then exits.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QStringList>
#include <cstdio>
#include <memory>
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

// Renders each deck at both sizes and the mixer once; true when every file was written.
bool SaveScreenshots(const std::vector<std::unique_ptr<PlayerWindow>>& decks, MixerWindow& mixer,
                     const QString& directory) {
  if (!QDir().mkpath(directory)) return false;
  bool ok = true;
  for (size_t i = 0; i < decks.size(); ++i) {
    for (const QSize size : {QSize(250, 300), QSize(500, 600)}) {
      decks[i]->resize(size);
      const QString name = QStringLiteral("%1/player%2-%3x%4.png")
                               .arg(directory)
                               .arg(i, 2, 10, QLatin1Char('0'))
                               .arg(size.width())
                               .arg(size.height());
      ok = SavePicture(*decks[i], name) && ok;
    }
  }
  return SavePicture(mixer.Dialog(), directory + QStringLiteral("/mixer.png")) && ok;
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
    if (library.RecordCount() > 0) decks[0]->Transport().LoadFromLibrary();
    return SaveScreenshots(decks, mixer, options.screenshotDir) ? 0 : 1;
  }
  for (auto& deck : decks) deck->show();
  mixer.Dialog().move(20, 360);
  mixer.Dialog().show();
  const int result = QApplication::exec();
  decks.clear();  // before the mixer and the device they use
  return result;
}
