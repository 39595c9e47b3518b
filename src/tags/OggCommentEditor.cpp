#include "tags/OggCommentEditor.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/ByteOrder.h"

namespace veltro::tags {

namespace {

constexpr size_t kChunkBytes = 4096;
constexpr unsigned char kCommentPacketType = 3;
constexpr std::string_view kVorbisMagic = "vorbis";
constexpr uint64_t kMaxFieldBytes = std::numeric_limits<uint32_t>::max();

// Reads the little-endian 32-bit fields and byte strings of a packet, never past its end.
class PacketReader {
 public:
  explicit PacketReader(std::string_view packet) : rest_(packet) {}

  std::optional<uint32_t> Word() {
    if (rest_.size() < 4) return std::nullopt;
    const uint32_t value =
        platform::LoadLittleEndian32(reinterpret_cast<const uint8_t*>(rest_.data()));
    rest_.remove_prefix(4);
    return value;
  }

  std::optional<std::string_view> Bytes(uint64_t count) {
    if (count > rest_.size()) return std::nullopt;
    const std::string_view bytes = rest_.substr(0, count);
    rest_.remove_prefix(count);
    return bytes;
  }

  size_t Remaining() const { return rest_.size(); }

 private:
  std::string_view rest_;
};

void AppendWord(std::vector<unsigned char>& out, uint32_t value) {
  uint8_t bytes[4];
  platform::StoreLittleEndian(bytes, value, 4);
  out.insert(out.end(), bytes, bytes + 4);
}

void AppendBytes(std::vector<unsigned char>& out, std::string_view bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::optional<VorbisCommentList> ParseVorbisCommentPacket(std::string_view packet) {
  PacketReader reader(packet);
  const auto type = reader.Bytes(1);
  const auto magic = reader.Bytes(kVorbisMagic.size());
  if (!type || static_cast<unsigned char>((*type)[0]) != kCommentPacketType ||
      magic != kVorbisMagic) {
    return std::nullopt;
  }
  VorbisCommentList list;
  const auto vendorBytes = reader.Word();
  const auto vendor = vendorBytes ? reader.Bytes(*vendorBytes) : std::nullopt;
  const auto count = vendor ? reader.Word() : std::nullopt;
  // Every comment takes at least its 4-byte length: a larger count cannot be genuine.
  if (!count || *count > reader.Remaining() / 4) return std::nullopt;
  list.vendor = *vendor;
  list.comments.reserve(*count);
  for (uint32_t i = 0; i < *count; ++i) {
    const auto length = reader.Word();
    const auto comment = length ? reader.Bytes(*length) : std::nullopt;
    if (!comment) return std::nullopt;
    list.comments.emplace_back(*comment);
  }
  const auto framing = reader.Bytes(1);
  if (!framing || (static_cast<unsigned char>((*framing)[0]) & 1) == 0) return std::nullopt;
  return list;
}

std::optional<std::vector<unsigned char>> BuildVorbisCommentPacket(const VorbisCommentList& list) {
  if (list.vendor.size() > kMaxFieldBytes || list.comments.size() > kMaxFieldBytes) {
    return std::nullopt;
  }
  size_t total = 1 + kVorbisMagic.size() + 4 + list.vendor.size() + 4 + 1;
  for (const std::string& comment : list.comments) {
    if (comment.size() > kMaxFieldBytes) return std::nullopt;
    total += 4 + comment.size();
  }
  // An Ogg packet's size is a long.
  if (total > static_cast<size_t>(std::numeric_limits<long>::max())) return std::nullopt;
  std::vector<unsigned char> packet;
  packet.reserve(total);
  packet.push_back(kCommentPacketType);
  AppendBytes(packet, kVorbisMagic);
  AppendWord(packet, static_cast<uint32_t>(list.vendor.size()));
  AppendBytes(packet, list.vendor);
  AppendWord(packet, static_cast<uint32_t>(list.comments.size()));
  for (const std::string& comment : list.comments) {
    AppendWord(packet, static_cast<uint32_t>(comment.size()));
    AppendBytes(packet, comment);
  }
  packet.push_back(1);  // framing bit
  return packet;
}

// Everything an open editor holds, and the steps of reading and writing the stream. The libogg
// and libvorbis structures start zeroed, and their clear calls accept that state, so the
// destructor is safe at any point.
struct OggCommentEditor::State {
  State() {
    ogg_sync_init(&sync);
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~State() {
    ogg_stream_clear(&input);
    ogg_sync_clear(&sync);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  long ReadChunk();
  const char* ReadFirstPacket();
  const char* ReadSecondaryHeaders(VorbisCommentList* list);
  bool NextPage(ogg_page* page);
  bool FetchPacket(ogg_packet* packet);
  bool WriteHeaders(const OggWriteFunction& write, ogg_stream_state* out,
                    std::vector<unsigned char>& commentPacket);
  bool CopyAudio(const OggWriteFunction& write, ogg_stream_state* out);
  bool CopyRest(const OggWriteFunction& write);
  bool WriteStream(const OggWriteFunction& write, std::vector<unsigned char>& commentPacket);

  OggReadFunction read;
  ogg_sync_state sync{};
  ogg_stream_state input{};
  vorbis_info info{};
  vorbis_comment comment{};
  int serial = 0;
  std::vector<unsigned char> identification;  // first header packet
  std::vector<unsigned char> setup;           // third header packet (codebooks)
  bool endOfStream = false;                   // the first logical stream has no further page
  bool inputEnded = false;                    // the read function reported the end of the input
  bool readFailed = false;                    // the read function reported an error
  bool damaged = false;  // a page failed its checksum, bytes between pages, or a page is missing
  std::string heldPage;  // a page of the next logical stream met while copying audio
};

namespace {

bool WriteBytes(const OggWriteFunction& write, const unsigned char* bytes, long count) {
  return count <= 0 || write(bytes, static_cast<size_t>(count));
}

bool WritePage(const OggWriteFunction& write, const ogg_page& page) {
  return WriteBytes(write, page.header, page.header_len) &&
         WriteBytes(write, page.body, page.body_len);
}

// A packet that refers to bytes the caller keeps.
ogg_packet PacketOf(std::vector<unsigned char>& bytes, ogg_int64_t number) {
  ogg_packet packet{};
  packet.packet = bytes.data();
  packet.bytes = static_cast<long>(bytes.size());
  packet.granulepos = 0;
  packet.packetno = number;
  return packet;
}

// The output logical stream, cleared however the write ends.
struct OutputStream {
  OutputStream() = default;
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;
  ~OutputStream() { ogg_stream_clear(&stream); }
  ogg_stream_state stream{};
};

}  // namespace

// Reads one chunk into the sync layer: the number of bytes read, 0 at the end of the input or
// after a read error.
long OggCommentEditor::State::ReadChunk() {
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(kChunkBytes));
  const long count = buffer == nullptr || !read ? -1 : read(buffer, kChunkBytes);
  if (count < 0 || count > static_cast<long>(kChunkBytes)) {
    readFailed = true;
    return 0;
  }
  if (count == 0) inputEnded = true;
  ogg_sync_wrote(&sync, count);
  return count;
}

// The first page gives the serial number; its packet must be a Vorbis identification header.
const char* OggCommentEditor::State::ReadFirstPacket() {
  const long count = ReadChunk();
  ogg_page page;
  if (ogg_sync_pageout(&sync, &page) != 1) {
    return count < static_cast<long>(kChunkBytes) ? kTruncatedOrEmpty : kNotOgg;
  }
  serial = ogg_page_serialno(&page);
  if (ogg_stream_init(&input, serial) != 0 || ogg_stream_pagein(&input, &page) != 0) {
    return kFirstPageError;
  }
  ogg_packet packet;
  if (ogg_stream_packetout(&input, &packet) != 1) return kInitialHeaderError;
  if (vorbis_synthesis_headerin(&info, &comment, &packet) < 0) return kNotVorbis;
  identification.assign(packet.packet, packet.packet + packet.bytes);
  return nullptr;
}

// Reads pages until the comment and setup headers are complete; the comment list goes to
// `list`. libvorbis checks both headers; the comment list is parsed again here so that its
// bytes (the vendor's included) are kept exactly.
const char* OggCommentEditor::State::ReadSecondaryHeaders(VorbisCommentList* list) {
  int headers = 1;
  while (headers < 3) {
    ogg_page page;
    const int found = ogg_sync_pageout(&sync, &page);
    if (found < 0) return kDamagedPage;
    if (found == 0 && ReadChunk() == 0) return kEofInHeaders;
    if (found != 1) continue;
    // A page of another logical stream here belongs to a multiplexed file, which a rewrite of
    // the first stream alone would tear apart.
    if (ogg_stream_pagein(&input, &page) != 0) return kOtherStreamInHeaders;
    while (headers < 3) {
      ogg_packet packet;
      const int result = ogg_stream_packetout(&input, &packet);
      if (result == 0) break;
      if (result < 0 || vorbis_synthesis_headerin(&info, &comment, &packet) < 0) {
        return kCorruptSecondaryHeader;
      }
      if (headers == 1) {
        auto parsed = ParseVorbisCommentPacket(std::string_view(
            reinterpret_cast<const char*>(packet.packet), static_cast<size_t>(packet.bytes)));
        if (!parsed) return kCorruptSecondaryHeader;
        *list = std::move(*parsed);
      } else {
        setup.assign(packet.packet, packet.packet + packet.bytes);
      }
      ++headers;
    }
  }
  return nullptr;
}

// The next page of the input, reading chunks as needed. False at the end of the input, and
// at a sync gap (bytes that are not a page, such as a page whose checksum fails), which marks
// the input damaged. Bytes left over at the end of the input (a page cut short) do too.
bool OggCommentEditor::State::NextPage(ogg_page* page) {
  for (;;) {
    const int found = ogg_sync_pageout(&sync, page);
    if (found == 1) return true;
    if (found < 0) {
      damaged = true;
      return false;
    }
    if (ReadChunk() == 0) {
      damaged = damaged || (!readFailed && sync.fill > sync.returned);
      return false;
    }
  }
}

// The next packet of the first logical stream. False when that stream has ended, the input
// has ended, or a page of another logical stream follows (it is then held in `heldPage`).
bool OggCommentEditor::State::FetchPacket(ogg_packet* packet) {
  for (;;) {
    const int result = ogg_stream_packetout(&input, packet);
    if (result == 1) return true;
    if (result < 0) {  // a gap in the stream: a page is missing
      damaged = true;
      return false;
    }
    ogg_page page;
    if (endOfStream || !NextPage(&page)) return false;
    if (ogg_page_serialno(&page) != serial) {
      endOfStream = true;
      heldPage.assign(reinterpret_cast<const char*>(page.header), page.header_len);
      heldPage.append(reinterpret_cast<const char*>(page.body), page.body_len);
      return false;
    }
    if (ogg_page_eos(&page) != 0) endOfStream = true;
    if (ogg_stream_pagein(&input, &page) != 0) {
      damaged = true;
      return false;
    }
  }
}

// The three header packets, the first on a page of its own and the other two on pages that
// hold no audio.
bool OggCommentEditor::State::WriteHeaders(const OggWriteFunction& write, ogg_stream_state* out,
                                           std::vector<unsigned char>& commentPacket) {
  ogg_packet first = PacketOf(identification, 0);
  first.b_o_s = 1;
  ogg_packet second = PacketOf(commentPacket, 1);
  ogg_packet third = PacketOf(setup, 2);
  ogg_stream_packetin(out, &first);
  ogg_stream_packetin(out, &second);
  ogg_stream_packetin(out, &third);
  ogg_page page;
  while (ogg_stream_flush(out, &page) != 0) {
    if (!WritePage(write, page)) return false;
  }
  return true;
}

// Copies the audio packets of the first logical stream. A packet without a granule position
// gets the running position (the sum of the durations of the packets so far, each half of its
// block plus half of the previous one, in quarters); a packet whose own position is below the
// running one (a shortened last block) keeps its own, resets the running position and closes
// its page.
bool OggCommentEditor::State::CopyAudio(const OggWriteFunction& write, ogg_stream_state* out) {
  ogg_int64_t granule = 0;
  long previousBlock = 0;
  bool needFlush = false;
  bool needPage = false;
  ogg_packet packet;
  while (FetchPacket(&packet)) {
    // A packet that is not audio (negative block size) adds no duration.
    const long block = vorbis_packet_blocksize(&info, &packet);
    if (block > 0) {
      if (previousBlock > 0) granule += (previousBlock + block) / 4;
      previousBlock = block;
    }
    ogg_page page;
    if (needFlush && ogg_stream_flush(out, &page) != 0 && !WritePage(write, page)) return false;
    if (needPage && ogg_stream_pageout(out, &page) != 0 && !WritePage(write, page)) return false;
    needFlush = needPage = false;
    if (packet.granulepos == -1) {
      packet.granulepos = granule;
    } else if (granule > packet.granulepos) {
      granule = packet.granulepos;
      needFlush = true;
    } else {
      needPage = true;
    }
    ogg_stream_packetin(out, &packet);
  }
  return true;
}

// Copies the held page and every page after it unchanged (the later logical streams of a
// chained file). Stops at a sync gap, which marks the input damaged.
bool OggCommentEditor::State::CopyRest(const OggWriteFunction& write) {
  if (!heldPage.empty() &&
      !WriteBytes(write, reinterpret_cast<const unsigned char*>(heldPage.data()),
                  static_cast<long>(heldPage.size()))) {
    return false;
  }
  for (;;) {
    ogg_page page;
    if (!NextPage(&page)) return !damaged;
    if (!WriteBytes(write, page.header, page.header_len)) {
      std::fputs("Bumming out\n", stderr);
      return false;
    }
    if (!WriteBytes(write, page.body, page.body_len)) {
      std::fputs("Bumming out 2\n", stderr);
      return false;
    }
  }
}

bool OggCommentEditor::State::WriteStream(const OggWriteFunction& write,
                                          std::vector<unsigned char>& commentPacket) {
  OutputStream out;
  if (ogg_stream_init(&out.stream, serial) != 0) return false;
  if (!WriteHeaders(write, &out.stream, commentPacket) || !CopyAudio(write, &out.stream) ||
      damaged) {
    return false;
  }
  out.stream.e_o_s = 1;
  ogg_page page;
  while (ogg_stream_flush(&out.stream, &page) != 0) {
    if (!WritePage(write, page)) return false;
  }
  return CopyRest(write);
}

OggCommentEditor::OggCommentEditor() = default;
OggCommentEditor::~OggCommentEditor() = default;

int OggCommentEditor::Fail(const char* reason) {
  lastError_ = reason;
  return -1;
}

int OggCommentEditor::Open(OggReadFunction read) {
  Clear();
  lastError_.clear();
  state_ = std::make_unique<State>();
  state_->read = std::move(read);
  const char* failure = state_->ReadFirstPacket();
  if (failure == nullptr) failure = state_->ReadSecondaryHeaders(&comments_);
  if (failure == nullptr) return 0;
  Clear();
  return Fail(failure);
}

void OggCommentEditor::AddTag(std::string_view name, std::string_view value) {
  std::string comment(name);
  comment += '=';
  comment += value;
  comments_.comments.push_back(std::move(comment));
}

int OggCommentEditor::Write(const OggWriteFunction& write) {
  if (!state_) return Fail(kNothingOpen);
  const std::unique_ptr<State> state = std::move(state_);  // the input is used up
  auto commentPacket = BuildVorbisCommentPacket(comments_);
  if (!commentPacket) return Fail(kCommentsTooLarge);
  lastError_.clear();
  const bool written = state->WriteStream(write, *commentPacket);
  if (state->damaged) return Fail(kDamagedPage);
  if (!written || !state->inputEnded || state->readFailed) return Fail(kWriteFailed);
  return 0;
}

void OggCommentEditor::Clear() {
  state_.reset();
  comments_ = VorbisCommentList{};
}

}  // namespace veltro::tags
