// Synthetic songs for the benchmarks: a deterministic collection shaped like a DJ's, ~20,000
// artists (a few with thousands of songs, most with a handful), up to 8 albums each, titles of
// 1-5 words, ~40 genres, years 1950-2026 or empty, lengths 1-10 min, paths
// /home/dj/Music/<Artist>/<Album>/<NN> <Title>.mp3 of 40-104 bytes. Header-only; any thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "library/SongRecord.h"

namespace veltro::bench {

inline constexpr size_t kArtistPool = 20'000;

// Word lists, entries separated by "|".
inline constexpr std::string_view kGenres =
    "Rock|Pop|House|Techno|Trance|Hip Hop|Jazz|Blues|Soul|Funk|Disco|Reggae|Country|Folk|"
    "Metal|Punk|Indie|Electro|Ambient|Dubstep|Drum Bass|Latin|Salsa|Schlager|Classical|R&B|"
    "Gospel|Swing|Ska|Grunge|Garage|Breakbeat|Hardstyle|Lounge|Chillout|Acid Jazz|Soundtrack|"
    "Oldies|Dance|World";

inline constexpr std::string_view kWords =
    "Love|Night|Heart|Dance|Fire|Rain|Summer|Dream|Light|Shadow|River|Ocean|Star|Moon|Sun|"
    "City|Road|Home|Angel|Devil|Blue|Red|Golden|Silver|Wild|Sweet|Crazy|Lonely|Broken|"
    "Electric|Midnight|Morning|Paradise|Thunder|Storm|Wind|Winter|Garden|Desert|Island|"
    "Mountain|Valley|Street|Party|Groove|Rhythm|Soul|Beat|Baby|Girl|Boy|Woman|Man|King|Queen|"
    "Prince|Tiger|Wolf|Eagle|Horse|Diamond|Magic|Secret|Tears|Kiss|Smile|Memory|Forever|"
    "Tonight|Yesterday|Again|Alone|Together|Free|Young|Old|New|Lost|Found|Hold|Run|Fly|Fall|"
    "Rise|Burn|Shine|Feel|Touch|Dreams|Lights|Heaven|Hell|Echo|Velvet|Neon|Crystal|Machine|"
    "Rocket|Radio|Disco|Funky|Jungle|Bass|Drum|Voice|Song|Music|Melody|Harmony|Blood|Sugar|"
    "Honey|Cherry|Lemon|Orange|Black|White|Green|Purple|Silent|Loud|Slow|Fast|High|Low|Deep|"
    "Cold|Hot|Lovely|Lover|Glove|Mirror|Window|Door|Train|Ship|Highway|Bridge|Tower|Castle|"
    "Empire|Rebel|Hero|Ghost|Spirit|Zero|Xanadu|Zephyr|Quest|Yellow";

inline constexpr std::string_view kFirstNames =
    "John|Paul|Maria|Anna|David|Michael|Sarah|Laura|Peter|Tom|Lisa|Mark|Julia|Frank|Nina|"
    "Oscar|Ella|Billy|Marvin|Aretha|Elvis|Bruce|Janis|Stevie|Tina|Kylie|Robbie|Sven|Ingrid|"
    "Carlos|Ahmed|Yuki";

inline constexpr std::string_view kLastNames =
    "Smith|Jones|Miller|Brown|Davis|Wilson|Taylor|Clark|Lewis|Walker|Young|King|Wright|Scott|"
    "Green|Baker|Adams|Nelson|Hill|Carter|Mitchell|Roberts|Turner|Phillips|Campbell|Parker|"
    "Evans|Edwards|Collins|Stewart|Morris|Rogers";

inline std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> entries;
  for (size_t begin = 0; begin <= list.size();) {
    const size_t end = std::min(list.find('|', begin), list.size());
    entries.push_back(list.substr(begin, end - begin));
    begin = end + 1;
  }
  return entries;
}
inline const std::vector<std::string_view> kGenreList = SplitList(kGenres);
inline const std::vector<std::string_view> kWordList = SplitList(kWords);
inline const std::vector<std::string_view> kFirstNameList = SplitList(kFirstNames);
inline const std::vector<std::string_view> kLastNameList = SplitList(kLastNames);

// A small, fast, deterministic generator (splitmix64).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  std::string_view From(const std::vector<std::string_view>& list) {
    return list[Below(list.size())];
  }

 private:
  uint64_t state_;
};

// 1 to `maxWords` words, drawn until the text's length lies in [minBytes, maxBytes].
inline std::string Words(Random& random, size_t maxWords, size_t minBytes, size_t maxBytes) {
  for (;;) {
    std::string text(random.From(kWordList));
    const size_t count = 1 + random.Below(maxWords);
    for (size_t i = 1; i < count; ++i) text.append(" ").append(random.From(kWordList));
    if (text.size() >= minBytes && text.size() <= maxBytes) return text;
  }
}

inline std::string ArtistName(Random& random) {
  switch (random.Below(8)) {
    case 0:
      return "The " + std::string(random.From(kWordList)) + "s";
    case 1:
      return "The " + Words(random, 2, 5, 21);
    case 2:
      return "DJ " + Words(random, 2, 2, 22);
    case 3:
      return std::string(random.From(kFirstNameList)) + " " +
             std::string(random.From(kLastNameList));
    default:
      return Words(random, 3, 5, 25);
  }
}

// The songs of the collection, one after another.
class SongGenerator {
 public:
  explicit SongGenerator(uint64_t seed) : random_(seed), seed_(seed) {
    std::set<std::string> seen;
    Random names(seed ^ 0xA5A5A5A5ull);
    while (artists_.size() < kArtistPool) {
      std::string name = ArtistName(names);
      if (name.size() < 5 || name.size() > 25 || !seen.insert(name).second) continue;
      artists_.push_back(std::move(name));
    }
  }

  library::SongRecord Next() {
    const double skew = random_.Unit();
    const size_t artist = static_cast<size_t>(skew * skew * static_cast<double>(kArtistPool));
    const size_t albumNumber = random_.Below(8);
    Random albumRandom(seed_ * 31 + artist * 8 + albumNumber);
    const std::string album = Words(albumRandom, 3, 6, 25);
    const std::string title = Words(random_, 5, 5, 30);
    char track[4];
    std::snprintf(track, sizeof track, "%02u", static_cast<unsigned>(1 + random_.Below(20)));
    const std::string path =
        "/home/dj/Music/" + artists_[artist] + "/" + album + "/" + track + " " + title + ".mp3";
    const std::string genre(random_.From(kGenreList));
    const std::string year =
        random_.Below(10) == 0 ? std::string() : std::to_string(1950 + random_.Below(77));
    const auto lengthMs = static_cast<uint32_t>(60'000 + random_.Below(540'001));
    return library::MakeRecord(artists_[artist], title, genre, year, path, lengthMs);
  }

  // The artist names the songs are drawn from (for typing them into a search).
  const std::vector<std::string>& Artists() const { return artists_; }

 private:
  Random random_;
  uint64_t seed_;
  std::vector<std::string> artists_;
};

}  // namespace veltro::bench
