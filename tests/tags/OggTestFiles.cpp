#include "tags/OggTestFiles.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "support/Fixtures.h"

namespace veltro::testing {

namespace {

void AppendPage(std::string& out, const ogg_page& page) {
  out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
  out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

}  // namespace

std::string SmallSong(const std::vector<std::string>& comments, int serial) {
  constexpr uint32_t kRateHz = 22050;
  return EncodeOggVorbis(MusicLike(kRateHz, 2.3, 1, static_cast<uint32_t>(serial)), 1, kRateHz,
                         comments, serial);
}

tags::OggReadFunction MemoryReader(std::string bytes) {
  auto source = std::make_shared<std::pair<std::string, size_t>>(std::move(bytes), 0);
  return [source](char* buffer, size_t size) -> long {
    auto& [data, position] = *source;
    const size_t count = std::min(size, data.size() - position);
    std::memcpy(buffer, data.data() + position, count);
    position += count;
    return static_cast<long>(count);
  };
}

std::string OggStreamOfPackets(const std::vector<std::string>& packets, int serial) {
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);
  std::string out;
  for (size_t i = 0; i < packets.size(); ++i) {
    std::string bytes = packets[i];
    ogg_packet packet{};
    packet.packet = reinterpret_cast<unsigned char*>(bytes.data());
    packet.bytes = static_cast<long>(bytes.size());
    packet.b_o_s = i == 0 ? 1 : 0;
    packet.e_o_s = i + 1 == packets.size() ? 1 : 0;
    packet.granulepos = 0;
    packet.packetno = static_cast<ogg_int64_t>(i);
    ogg_stream_packetin(&stream, &packet);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) AppendPage(out, page);
  }
  ogg_stream_clear(&stream);
  return out;
}

std::string WithoutEndOfStreamFlags(std::string bytes) {
  constexpr size_t kHeaderBytes = 27;
  for (size_t offset = 0; offset + kHeaderBytes <= bytes.size();) {
    ogg_page page{};
    page.header = reinterpret_cast<unsigned char*>(bytes.data() + offset);
    page.header_len = static_cast<long>(kHeaderBytes) + page.header[26];
    page.body = page.header + page.header_len;
    page.body_len = 0;
    for (int i = 0; i < page.header[26]; ++i) page.body_len += page.header[kHeaderBytes + i];
    if (offset + static_cast<size_t>(page.header_len + page.body_len) > bytes.size()) break;
    page.header[5] &= ~0x04;
    ogg_page_checksum_set(&page);
    offset += static_cast<size_t>(page.header_len + page.body_len);
  }
  return bytes;
}

std::vector<OggLogicalStream> SplitOggStreams(const std::string& bytes) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
  std::memcpy(buffer, bytes.data(), bytes.size());
  ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
  std::vector<OggLogicalStream> streams;
  std::map<int, ogg_stream_state> states;
  size_t offset = 0;
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) == 1) {
    const int serial = ogg_page_serialno(&page);
    auto found = std::find_if(streams.begin(), streams.end(),
                              [serial](const OggLogicalStream& s) { return s.serial == serial; });
    if (found == streams.end()) {
      streams.push_back({serial, {}, {}, offset});
      ogg_stream_init(&states[serial], serial);
      found = streams.end() - 1;
    }
    offset += static_cast<size_t>(page.header_len + page.body_len);
    found->pageGranules.push_back(ogg_page_granulepos(&page));
    ogg_stream_pagein(&states[serial], &page);
    ogg_packet packet;
    while (ogg_stream_packetout(&states[serial], &packet) == 1) {
      found->packets.emplace_back(reinterpret_cast<const char*>(packet.packet),
                                  static_cast<size_t>(packet.bytes));
    }
  }
  for (auto& [serial, state] : states) ogg_stream_clear(&state);
  ogg_sync_clear(&sync);
  return streams;
}

namespace {

struct MemoryFile {
  const std::string* bytes;
  size_t position = 0;
};

size_t ReadMemory(void* buffer, size_t size, size_t count, void* source) {
  auto* file = static_cast<MemoryFile*>(source);
  const size_t wanted = size * count;
  const size_t available = file->bytes->size() - file->position;
  const size_t taken = std::min(wanted, available);
  std::memcpy(buffer, file->bytes->data() + file->position, taken);
  file->position += taken;
  return size == 0 ? 0 : taken / size;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(source);
  const int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<int64_t>(file->position)
                                            : static_cast<int64_t>(file->bytes->size());
  const int64_t target = base + offset;
  if (target < 0 || target > static_cast<int64_t>(file->bytes->size())) return -1;
  file->position = static_cast<size_t>(target);
  return 0;
}

long TellMemory(void* source) {
  return static_cast<long>(static_cast<MemoryFile*>(source)->position);
}

}  // namespace

VorbisfileView ReadWithVorbisfile(const std::string& bytes) {
  VorbisfileView view;
  MemoryFile file{&bytes};
  const ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
  OggVorbis_File vorbisFile;
  if (ov_open_callbacks(&file, &vorbisFile, nullptr, 0, callbacks) < 0) return view;
  view.opened = true;
  view.links = static_cast<int>(ov_streams(&vorbisFile));
  view.frames = ov_pcm_total(&vorbisFile, -1);
  view.seconds = ov_time_total(&vorbisFile, -1);
  for (int link = 0; link < view.links; ++link) {
    const vorbis_comment* comment = ov_comment(&vorbisFile, link);
    tags::VorbisCommentList list;
    list.vendor = comment->vendor == nullptr ? "" : comment->vendor;
    for (int i = 0; i < comment->comments; ++i) {
      list.comments.emplace_back(comment->user_comments[i],
                                 static_cast<size_t>(comment->comment_lengths[i]));
    }
    view.comments.push_back(std::move(list));
  }
  char buffer[8192];
  int section = 0;
  for (;;) {
    const long count = ov_read(&vorbisFile, buffer, sizeof buffer, 0, 2, 1, &section);
    if (count == OV_HOLE) continue;
    if (count <= 0) break;
    const std::vector<int16_t> samples =
        SamplesFromBytes(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(count));
    view.samples.insert(view.samples.end(), samples.begin(), samples.end());
  }
  ov_clear(&vorbisFile);
  return view;
}

}  // namespace veltro::testing
