// The folder scan without a display: walking folders for new songs, reading what a new library
// record needs from each (MP3, Ogg Vorbis, WAV), finding songs whose files have gone, and the
// commit that turns the staging list into the library and rewrites its five files.
//
// Threads: WalkFolders, FindMissing and the adders run on a worker thread and never touch the
// SongDatabase; they work on copies taken on the UI thread (SongDatabase::PathSnapshot,
// StagedPaths) and hand new records back through callbacks, which the caller stages on its own
// thread. CommitScan and StagedPaths run on the UI thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/KnownPaths.h"
#include "library/SongRecord.h"

namespace veltro::library {

class SongDatabase;

// Which song files a walk reads, by extension in any letter case.
struct ScanOptions {
  bool mp3 = true;
  bool ogg = true;
  bool wav = true;
};

// Why a file or folder met by a scan did not become a song.
enum class SkipReason {
  kUnlistableFolder,  // a folder that could not be listed
  kLongPath,          // a path longer than a record holds
  kLinkLoop,          // a link to a folder the walk was already inside
  kPseudoFileSystem,  // a folder on a pseudo file system
  kNotRegularFile,    // a song name on a FIFO, device or socket
  kSameFile,          // a file already met in this scan (same device and inode)
  kUnreadable,        // a file that could not be opened or is not of its extension's format
  kNotPcm,            // a WAV file whose samples are not PCM
  kCount
};
inline constexpr size_t kSkipReasonCount = static_cast<size_t>(SkipReason::kCount);

// A short English phrase for reports ("folders that could not be listed").
std::string_view SkipReasonText(SkipReason reason);

// What a scan did. Counts only ever grow during one scan.
struct ScanCounts {
  long long added = 0;    // new records handed to the caller
  long long known = 0;    // song files already in the library
  long long removed = 0;  // staged songs whose files are missing (FindMissing)
  std::array<long long, kSkipReasonCount> skipped{};

  long long& Skipped(SkipReason reason) { return skipped[static_cast<size_t>(reason)]; }
  long long Skipped(SkipReason reason) const { return skipped[static_cast<size_t>(reason)]; }
};

// What a walk tells its caller, on the walking thread. Either member may be empty.
struct ScanListener {
  // The folder being walked, the name of the file being read (empty between files) and the
  // number of song files met so far. Called for each folder entered and each new file read.
  std::function<void(const std::string& folder, const std::string& file, long long count)>
      onProgress;
  // New records, in walk order, in batches; the caller stages them on its own thread.
  std::function<void(std::vector<SongRecord> batch)> onBatch;
};

// Walks each root depth first in listing order (hidden folders included; pseudo file systems,
// link loops and unlistable folders skipped and counted) and reads every regular file whose
// extension the options choose and whose path `known` does not hold: each (device, inode) at
// most once per call, however many roots or links reach it. A path longer than a record's path
// field holds is skipped and counted, never cut. Returns when every root is walked or as soon
// as `stop` is set (between entries); the counts then cover what was done. Worker thread.
ScanCounts WalkFolders(const std::vector<std::string>& roots, const ScanOptions& options,
                       const KnownPaths& known, const std::atomic<bool>& stop,
                       const ScanListener& listener);

// The adders: the record a new song file gives, or nullopt when the file is skipped (`reason`,
// when given, says why). Worker thread; only the file is read.
//  - MP3: the file information scanner (frame limit 50); the ID3v1 texts when there is a tag,
//    else the file name as artist. A file that cannot be examined still gives a record, length 0.
//  - Ogg: the Vorbis comments and length; files that are not Ogg Vorbis are skipped.
//  - WAV: "RIFF"/"WAVE" with "fmt " (PCM only, the format fields all present) and "data";
//    artist = file name, length = whole seconds of data, in milliseconds.
std::optional<SongRecord> ReadMp3Song(const std::string& path);
std::optional<SongRecord> ReadOggSong(const std::string& path, SkipReason* reason = nullptr);
std::optional<SongRecord> ReadWavSong(const std::string& path, SkipReason* reason = nullptr);

// The paths of the staging list, in its order. UI thread.
std::vector<std::string> StagedPaths(const SongDatabase& library);

// The paths among `paths` that no longer name a regular file that can be opened for reading
// (never waiting on a FIFO or device), in their order. `onPath` (may be empty) is told each path
// before it is checked. Stops early when `stop` is set. Worker thread.
std::vector<std::string> FindMissing(const std::vector<std::string>& paths,
                                     const std::atomic<bool>& stop,
                                     const std::function<void(const std::string&)>& onPath = {});

// The steps of a commit, as the scan shows them.
inline constexpr std::string_view kCommitIndexStep = "Erstelle Indizes";
inline constexpr std::string_view kCommitSortStep = "Sortiere";
inline constexpr std::string_view kCommitWriteStep = "Schreibe Dateien";

struct CommitResult {
  bool ok = true;          // false: the files were not replaced
  bool committed = false;  // the staging list became the library
  std::string problem;     // why it failed (empty when ok)
};

// Turns a non-empty staging list into the library (commit, sort the indexes, rewrite the five
// files), telling `onStep` (may be empty) each step before it runs. An empty staging list
// commits nothing, nor does one that holds exactly the library's records (nothing added or
// removed: the files already hold them). When the write fails the library is read back from
// its files, which still hold the old library, and the result says why. UI thread.
CommitResult CommitScan(SongDatabase& library,
                        const std::function<void(std::string_view step)>& onStep = {});

}  // namespace veltro::library
