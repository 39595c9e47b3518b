// `veltro-cli library`: the song library of the current directory as seen from the command line.
// Rows are printed one per line, fields separated by tabs:
//   ROW  RECORD  ARTIST  TITLE  GENRE  YEAR  M:SS  PATH
// Texts are the stored bytes up to their NUL; control bytes (tab, line feed, ...) are printed
// as \xHH so that no stored text can break the line or column layout.
#include "cli/LibraryCommand.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "cli/CliSupport.h"
#include "cli/CommandTable.h"
#include "library/FoldedText.h"
#include "library/IndexCheck.h"
#include "library/LibraryCheck.h"
#include "library/LibraryPaths.h"
#include "library/SongDatabase.h"
#include "library/SongRecord.h"
#include "platform/Interrupt.h"

namespace veltro::cli {
namespace {

using library::IndexKind;
using library::SongDatabase;
using library::SongRecord;

constexpr int kExitFailure = 1;

// One list order: the option word, the database's order name and, except for the path order,
// the index that the quick-find jumps in.
struct OrderChoice {
  std::string_view option;
  std::string_view orderName;
  std::optional<IndexKind> index;
};

static const OrderChoice kOrders[] = {
    {"artist", "Artist", IndexKind::Artist}, {"songname", "Songname", IndexKind::SongName},
    {"genre", "Genre", IndexKind::Genre},    {"year", "Year", IndexKind::Year},
    {"path", "Path", std::nullopt},
};

enum class Subcommand { Stats, List, Find, Search, Check };

struct Request {
  Subcommand subcommand = Subcommand::Stats;
  const OrderChoice* order = &kOrders[0];
  int fromRow = 0;
  std::optional<int> rowCount;          // all rows when absent
  std::vector<std::string_view> texts;  // find: the text; search: the four patterns
};

int LibraryUsage() {
  return PrintUsage("library");
}

std::optional<int> ParseNonNegative(std::string_view text) {
  const std::optional<int> value = ParseInt(text);
  if (!value || *value < 0) return std::nullopt;
  return value;
}

const OrderChoice* FindOrder(std::string_view option) {
  for (const OrderChoice& order : kOrders) {
    if (order.option == option) return &order;
  }
  return nullptr;
}

std::optional<std::string> ParseListOptions(std::span<const std::string_view> args,
                                            Request& request) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view option = args[i];
    if (option != "--order" && option != "--from" && option != "--count") {
      return "list: unexpected argument '" + std::string(option) + "'";
    }
    if (i + 1 == args.size()) return "list: " + std::string(option) + " needs a value";
    const std::string_view value = args[++i];
    if (option == "--order") {
      request.order = FindOrder(value);
      if (request.order == nullptr || value.empty()) {
        return "list: --order takes artist, songname, genre, year or path";
      }
      continue;
    }
    const std::optional<int> number = ParseNonNegative(value);
    if (!number) return "list: " + std::string(option) + " takes a whole number from 0";
    if (option == "--from") request.fromRow = *number;
    if (option == "--count") request.rowCount = *number;
  }
  return std::nullopt;
}

std::optional<std::string> ParseFind(std::span<const std::string_view> args, Request& request) {
  if (args.size() != 2) return "find takes an order and a text";
  request.order = FindOrder(args[0]);
  if (request.order == nullptr || !request.order->index) {
    return "find: the order is one of artist, songname, genre, year";
  }
  request.texts.assign(args.begin() + 1, args.end());
  return std::nullopt;
}

// Fills `request` from the words after "library" (at least one); an error text on bad input.
std::optional<std::string> ParseRequest(const std::vector<std::string_view>& args,
                                        Request& request) {
  const std::string_view name = args[0];
  const std::span<const std::string_view> rest(args.begin() + 1, args.end());
  if (name == "stats" || name == "check") {
    request.subcommand = name == "stats" ? Subcommand::Stats : Subcommand::Check;
    if (!rest.empty()) return std::string(name) + " takes no arguments";
    return std::nullopt;
  }
  if (name == "list") {
    request.subcommand = Subcommand::List;
    return ParseListOptions(rest, request);
  }
  if (name == "find") {
    request.subcommand = Subcommand::Find;
    return ParseFind(rest, request);
  }
  if (name == "search") {
    request.subcommand = Subcommand::Search;
    if (rest.size() != 4) return "search takes four patterns: ARTIST TITLE GENRE YEAR";
    request.texts.assign(rest.begin(), rest.end());
    return std::nullopt;
  }
  return "unknown library command '" + std::string(name) + "'";
}

// Minutes and two-digit seconds of a length in milliseconds ("3:07", "61:05").
std::string LengthText(uint32_t lengthMs) {
  const uint32_t seconds = lengthMs / 1000;
  char text[24];
  std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(seconds / 60),
                static_cast<unsigned>(seconds % 60));
  return text;
}

void PrintRow(int row, int record, const SongRecord& song) {
  std::string line = std::to_string(row) + '\t' + std::to_string(record);
  for (const std::string_view text :
       {library::FieldText(song.artist), library::FieldText(song.songName),
        library::FieldText(song.genre), library::FieldText(song.year)}) {
    line += '\t';
    AppendPrintable(line, text);
  }
  line += '\t' + LengthText(song.lengthMs) + '\t';
  AppendPrintable(line, library::FieldText(song.path));
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

// Prints `row` of the current order; the caller keeps it below the record count.
void PrintListRow(const SongDatabase& database, int row) {
  const int record = database.RecordForRow(row);
  PrintRow(row, record, database.Records()[static_cast<size_t>(record)]);
}

// What start-up does: load the records and indexes, and rebuild the indexes when they are
// missing or inconsistent. A failure to rewrite them is reported (false); the rebuilt arrays
// in memory are used all the same.
bool LoadAsStartUpDoes(SongDatabase& database) {
  if (database.LoadIndexes() == 0) return true;
  if (database.RebuildIndexFiles()) return true;
  Fail("cannot rewrite the index files: " + database.LastWriteProblem());
  return false;
}

int PrintStats(const SongDatabase& database, bool indexesSaved) {
  std::printf("records: %d\n", database.RecordCount());
  std::printf("format word: %u\n", static_cast<unsigned>(database.Header().formatWord));
  if (database.CanWrite()) {
    std::printf("writable: yes\n");
  } else {
    std::printf("writable: no (%s)\n", database.OpenProblem().c_str());
  }
  if (database.IndexLoadProblem().empty()) {
    std::printf("indexes: consistent\n");
  } else {
    std::printf("indexes: rebuilt (%s)\n", database.IndexLoadProblem().c_str());
  }
  return indexesSaved ? 0 : kExitFailure;
}

int PrintList(SongDatabase& database, const Request& request) {
  database.SetOrder(request.order->orderName);
  const int64_t count = database.RecordCount();
  const int64_t end = request.rowCount
                          ? std::min<int64_t>(count, int64_t{request.fromRow} + *request.rowCount)
                          : count;
  for (int64_t row = request.fromRow; row < end; ++row) {
    if (platform::InterruptRequested()) return Interrupted();
    PrintListRow(database, static_cast<int>(row));
  }
  return 0;
}

std::string_view KeyOf(const SongRecord& song, IndexKind kind) {
  switch (kind) {
    case IndexKind::Artist:
      return library::FieldText(song.artist);
    case IndexKind::SongName:
      return library::FieldText(song.songName);
    case IndexKind::Genre:
      return library::FieldText(song.genre);
    case IndexKind::Year:
      break;
  }
  return library::FieldText(song.year);
}

// Prints the row a prefix jump landed on. When no key starts with the text, says so: the row
// shown is then the first key after the text, and when every key sorts before the text there
// is no row to show at all.
int PrintFound(const SongDatabase& database, const Request& request, int row) {
  const IndexKind kind = *request.order->index;
  const std::string_view text = request.texts[0];
  const int record = database.RecordForRow(row);
  const std::string_view key = KeyOf(database.Records()[static_cast<size_t>(record)], kind);
  std::string quoted = "'";
  AppendPrintable(quoted, text);
  quoted += "'";
  const std::string field = library::FieldName(kind);
  if (library::FoldedPrefixBefore(key, text)) {
    return Fail("find: no " + field + " starts with " + quoted + " or sorts after it");
  }
  if (library::FoldedCompare(key.substr(0, text.size()), text) != 0) {
    std::fprintf(stderr, "veltro-cli: find: no %s starts with %s; the next one is shown\n",
                 field.c_str(), quoted.c_str());
  }
  PrintListRow(database, row);
  return 0;
}

int FindPrefix(SongDatabase& database, const Request& request) {
  if (database.RecordCount() == 0) return Fail("library is empty");
  database.SetOrder(request.order->orderName);
  const std::string_view text = request.texts[0];
  int row = 0;
  switch (*request.order->index) {
    case IndexKind::Artist:
      row = database.FindArtistPrefix(text);
      break;
    case IndexKind::SongName:
      row = database.FindSongNamePrefix(text);
      break;
    case IndexKind::Genre:
      row = database.FindGenrePrefix(text);
      break;
    case IndexKind::Year:
      row = database.FindYearPrefix(text);
      break;
  }
  return PrintFound(database, request, row);
}

int PrintSearch(SongDatabase& database, const Request& request) {
  const std::vector<std::string_view>& patterns = request.texts;
  const int count = database.Search(patterns[0], patterns[1], patterns[2], patterns[3]);
  std::printf("%d results\n", count);
  const std::span<const SongRecord> results = database.SearchResults();
  const std::span<const int> records = database.SearchResultRecords();
  for (size_t i = 0; i < results.size(); ++i) PrintRow(static_cast<int>(i), records[i], results[i]);
  return 0;
}

int CheckFiles(const std::filesystem::path& workingDirectory) {
  const library::LibraryPaths paths = library::LibraryPaths::In(workingDirectory);
  size_t recordCount = 0;
  const std::vector<std::string> reasons = library::CheckLibraryFiles(paths, &recordCount);
  if (reasons.empty()) {
    std::printf("library consistent: %zu records\n", recordCount);
    return 0;
  }
  for (const std::string& reason : reasons) std::printf("%s\n", reason.c_str());
  return kExitFailure;
}

// Why the current directory holds no library to work on; nothing when it does.
std::optional<std::string> MissingLibraryProblem(const std::filesystem::path& workingDirectory) {
  const std::filesystem::path data = workingDirectory / "Data";
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(data, error);
  if (!std::filesystem::exists(status)) {
    return "no library here: " + data.string() + " does not exist";
  }
  if (!std::filesystem::is_directory(status)) {
    return "no library here: " + data.string() + " is not a directory";
  }
  return std::nullopt;
}

int Run(const Request& request, const std::filesystem::path& workingDirectory) {
  if (request.subcommand == Subcommand::Check) return CheckFiles(workingDirectory);
  // The library of the current directory; reading it never creates Data.ndb.
  SongDatabase database(workingDirectory, library::MissingDataFile::kLeave);
  if (!database.HasDataFile()) {
    std::error_code failed;
    const bool exists =
        std::filesystem::exists(std::filesystem::symlink_status(database.Paths().data, failed));
    return Fail((exists ? "cannot read the library: " : "no library here: ") +
                database.OpenProblem());
  }
  const bool indexesSaved = LoadAsStartUpDoes(database);
  switch (request.subcommand) {
    case Subcommand::Stats:
      return PrintStats(database, indexesSaved);
    case Subcommand::List:
      return PrintList(database, request);
    case Subcommand::Find:
      return FindPrefix(database, request);
    case Subcommand::Search:
      return PrintSearch(database, request);
    case Subcommand::Check:
      break;
  }
  return kExitFailure;
}

}  // namespace

int RunLibraryCommand(const std::vector<std::string_view>& args) {
  if (args.empty()) return LibraryUsage();
  Request request;
  if (const auto problem = ParseRequest(args, request)) return Fail(*problem);
  std::error_code error;
  const std::filesystem::path workingDirectory = std::filesystem::current_path(error);
  if (error) return Fail("cannot read the current directory: " + error.message());
  if (const auto problem = MissingLibraryProblem(workingDirectory)) return Fail(*problem);
  const int status = Run(request, workingDirectory);
  // A full disk or closed pipe must not pass for a complete listing.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("cannot write the output");
  return status;
}

}  // namespace veltro::cli
