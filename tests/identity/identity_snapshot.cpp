// identity_snapshot WORKDIR: prints one line per observable output of the decoders, the scanner
// and every file writer (decoded PCM, written file bytes as SHA-1, scanner fields), so that two
// builds can be compared with `diff`. Used to show that a rework of the code changed no sample
// and no byte: run it on the build before and the build after and compare the two listings.
// Inputs are the conformance streams (VELTRO_TESTDATA) and fixtures generated here, all
// deterministic; WORKDIR receives the files it writes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/DecoderBase.h"
#include "engine/Mp3Decoder.h"
#include "engine/OggDecoder.h"
#include "engine/WavDecoder.h"
#include "library/SongDatabase.h"
#include "media/mp3info/Mp3InfoScanner.h"
#include "platform/Sha1.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/ShellRun.h"
#include "tags/Id3Tag.h"
#include "tags/OggComments.h"

namespace {

namespace fs = std::filesystem;
using veltro::engine::DecoderBase;

std::string Hex(const veltro::platform::Sha1Digest& digest) {
  std::string text;
  char pair[3];
  for (uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Print(const std::string& name, const std::string& value) {
  std::printf("%s\t%s\n", name.c_str(), value.c_str());
}

void PrintFile(const std::string& name, const fs::path& path) {
  Print(name, Hex(veltro::platform::Sha1Of(FileBytes(path))));
}

// Every PCM byte a decoder delivers up to its end, in 4608-byte reads as a deck reads.
void PrintDecoder(const std::string& name, DecoderBase& decoder, const fs::path& path) {
  if (!decoder.Open(path.string())) {
    Print(name, "open failed: " + decoder.LastError());
    return;
  }
  std::string pcm;
  std::vector<uint8_t> buffer(4608);
  for (int reads = 0; reads < 100000; ++reads) {
    const int result = decoder.Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
    pcm.append(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    if (result == DecoderBase::kEndOfStream) break;
  }
  Print(name, Hex(veltro::platform::Sha1Of(pcm)) + " length " + std::to_string(decoder.Length()));
  decoder.Close();
}

void PrintScan(const std::string& name, const fs::path& path, int frameLimit) {
  using namespace veltro::media;
  Mp3InfoScanner* scanner = nullptr;
  mp3info_new(&scanner);
  Mp3Info info{};
  const int result = mp3info_scan(scanner, path.c_str(), nullptr, nullptr, &info, 0, 0, frameLimit);
  char line[512];
  std::snprintf(line, sizeof line,
                "result %d level %d layer %d bitrate %d freq %d mode %d ch %d frames %d "
                "duration %d flags %d genre %d title [%s] artist [%s] year [%s]",
                result, info.level, info.layer, info.bitrate, info.frequency, info.mode,
                info.channels, info.frames, info.duration, info.flags, info.genre,
                info.title ? info.title : "", info.artist ? info.artist : "",
                info.year ? info.year : "");
  Print(name, line);
  mp3info_delete(scanner);
}

// The framework decode to a WAVE file through veltro-cli (the file output module's writer).
void PrintFrameworkDecode(const std::string& name, const fs::path& in, const fs::path& work) {
  const fs::path out = work / (name + ".wav");
  const std::string command = std::string(VELTRO_CLI) + " decode '" + in.string() + "' 'wav:" +
                              out.string() + "' 2>/dev/null";
  const int status = veltro::testing::RunShell(command).status;
  PrintFile(name + " wav status " + std::to_string(status), out);
}

void PrintMpegFile(const std::string& name, const fs::path& path, const fs::path& work) {
  veltro::engine::Mp3Decoder decoder;
  PrintDecoder(name + " deck pcm", decoder, path);
  PrintFrameworkDecode(name, path, work);
  PrintScan(name + " scan 50", path, 50);
  PrintScan(name + " scan all", path, 0);
}

std::string Id3v2Header(uint32_t bodyBytes) {
  std::string header = "ID3\x03";
  header += std::string(2, '\0');
  for (int shift = 21; shift >= 0; shift -= 7) header += static_cast<char>((bodyBytes >> shift) & 0x7F);
  return header + std::string(bodyBytes, '\0');
}

// Generated streams: constant rate with an Info frame, variable rate with a Xing/LAME frame,
// each also behind an ID3v2 tag and with an ID3v1 tag written by the tag writer.
void PrintGeneratedMpeg(const fs::path& work) {
  using namespace veltro::testing;
  const std::vector<int16_t> music = MusicLike(44100, 3.0, 2, 7);
  Mp3EncoderOptions cbr;
  cbr.infoTag = true;
  Mp3EncoderOptions vbr;
  vbr.vbrQuality = 4;
  const std::vector<std::pair<std::string, Mp3EncoderOptions>> kinds = {{"cbr", cbr}, {"vbr", vbr}};
  for (const auto& [label, options] : kinds) {
    const std::vector<uint8_t> encoded = EncodeMp3(music, options);
    const std::string bytes(encoded.begin(), encoded.end());
    const fs::path plain = work / (label + ".mp3");
    WriteFile(plain, bytes);
    PrintMpegFile(label, plain, work);
    const fs::path tagged = work / (label + "-id3v2.mp3");
    WriteFile(tagged, Id3v2Header(1000) + bytes);
    PrintMpegFile(label + "-id3v2", tagged, work);
    veltro::tags::SongTags tags{"Artist Ä", "Title", "Techno", "1999"};
    std::string error;
    Print(label + " id3v1 write", veltro::tags::WriteId3Tag(tagged.string(), tags, &error) ? "ok" : error);
    tags.songName = "Second title that is rather long";
    veltro::tags::WriteId3Tag(tagged.string(), tags, &error);
    PrintFile(label + " id3v1 file", tagged);
    PrintMpegFile(label + "-id3v1", tagged, work);
  }
}

void PrintOgg(const fs::path& work) {
  using namespace veltro::testing;
  const fs::path path = work / "song.ogg";
  WriteOgg(path.string(), MusicLike(44100, 2.0, 2, 3), 2, 44100);
  veltro::engine::OggDecoder decoder;
  PrintDecoder("ogg deck pcm", decoder, path);
  std::string error;
  const bool written = veltro::tags::WriteOggComments(path.string(), {"Artist", "Song", "House", "2001"}, &error);
  Print("ogg rewrite", written ? "ok" : error);
  PrintFile("ogg rewritten file", path);
  PrintDecoder("ogg rewritten deck pcm", decoder, path);
}

void PrintWav(const fs::path& work) {
  using namespace veltro::testing;
  const std::vector<int16_t> music = MusicLike(22050, 1.0, 2, 5);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"wav16", MakeWav(PcmLayout(2, 22050), Pcm16Bytes(music))},
      {"wav8", MakeWav(PcmLayout(2, 22050, 8), Pcm8Bytes(music))}};
  for (const auto& [label, bytes] : files) {
    WriteFile(work / (label + ".wav"), bytes);
    veltro::engine::WavDecoder decoder;
    PrintDecoder(label + " deck pcm", decoder, work / (label + ".wav"));
  }
}

void PrintLibrary(const fs::path& work) {
  using namespace veltro::library;
  const fs::path dir = work / "library";
  fs::create_directories(dir / "Data");
  SongDatabase db(dir);
  db.StageRecord(MakeRecord("Zed", "Last", "Rock", "1980", "/m/z.mp3", 123456));
  db.StageRecord(MakeRecord("abba", "Waterloo", "Pop", "1974", "/m/a.ogg", 165000));
  db.StageRecord(MakeRecord("Émile", "Été", "Chanson", "2003", "/m/e.wav", 1000));
  db.CommitStaging();
  db.SortIndexes();
  Print("library write", db.WriteAll() ? "ok" : db.LastWriteProblem());
  for (const char* name : {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx"}) {
    PrintFile(std::string("library ") + name, dir / "Data" / name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* testdata = std::getenv("VELTRO_TESTDATA");
  if (argc != 2 || testdata == nullptr) {
    std::fprintf(stderr, "usage: VELTRO_TESTDATA=DIR identity_snapshot WORKDIR\n");
    return 2;
  }
  const fs::path work = argv[1];
  fs::create_directories(work);
  std::vector<fs::path> streams;
  for (const auto& entry : fs::directory_iterator(fs::path(testdata) / "mpeg" / "conformance")) {
    if (entry.path().extension() == ".bit") streams.push_back(entry.path());
  }
  std::sort(streams.begin(), streams.end());
  for (const fs::path& stream : streams) PrintMpegFile(stream.stem().string(), stream, work);
  PrintGeneratedMpeg(work);
  PrintOgg(work);
  PrintWav(work);
  PrintLibrary(work);
  return 0;
}
