// Properties: kinds and their conflicts, watchers, stream properties through the decoder, the
// snapshot, and the marshalled listing (golden bytes, size formula, round trip, refusals).
#include <string>
#include <vector>

#include "media/framework/MediaFrameworkFakes.h"

namespace veltro::media {
namespace {

class PropertyListTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(mf_property_list_new(&list_), kMfOk); }
  void TearDown() override { mf_property_list_delete(list_); }
  MfPropertyList* list_ = nullptr;
};

TEST_F(PropertyListTest, KindsDoNotMix) {
  ASSERT_EQ(mf_property_set_value(list_, "mpeg/layer", 3), kMfOk);
  EXPECT_EQ(mf_property_set_text(list_, "mpeg/layer", "three"), kMfPropertyWrongKind);
  intptr_t value = 0;
  ASSERT_EQ(mf_property_get_value(list_, "mpeg/layer", &value), kMfOk);
  EXPECT_EQ(value, 3);
  ASSERT_EQ(mf_property_set_text(list_, "id3/title", "Intro"), kMfOk);
  EXPECT_EQ(mf_property_set_value(list_, "id3/title", 1), kMfPropertyWrongKind);
  EXPECT_EQ(mf_property_get_value(list_, "id3/title", &value), kMfPropertyWrongKind);
  char text[16];
  EXPECT_EQ(mf_property_get_text(list_, "mpeg/layer", text, sizeof text), kMfPropertyWrongKind);
  EXPECT_EQ(mf_property_get_text(list_, "ID3/title", text, sizeof text), kMfPropertyNotFound);
  EXPECT_EQ(mf_property_get_value(list_, "missing", &value), kMfPropertyNotFound);
  EXPECT_EQ(mf_property_delete(list_, "missing"), kMfPropertyNotFound);
  EXPECT_EQ(mf_property_set_value(nullptr, "x", 1), kMfInvalidParameter);
  EXPECT_EQ(mf_property_set_value(list_, nullptr, 1), kMfInvalidParameter);
  EXPECT_EQ(mf_property_get_value(list_, "mpeg/layer", nullptr), kMfInvalidParameter);
}

TEST_F(PropertyListTest, TextsAreReplacedAndCopiedOutWithinTheBuffer) {
  std::string source = "Intro";
  ASSERT_EQ(mf_property_set_text(list_, "id3/title", source.c_str()), kMfOk);
  source[0] = 'X';  // the list holds its own copy
  char text[6];
  ASSERT_EQ(mf_property_get_text(list_, "id3/title", text, sizeof text), kMfOk);
  EXPECT_STREQ(text, "Intro");
  ASSERT_EQ(mf_property_set_text(list_, "id3/title", "Longer title"), kMfOk);
  EXPECT_EQ(mf_property_get_text(list_, "id3/title", text, sizeof text), kMfInvalidParameter);
  char wide[32];
  ASSERT_EQ(mf_property_get_text(list_, "id3/title", wide, sizeof wide), kMfOk);
  EXPECT_STREQ(wide, "Longer title");
}

struct WatchRecord {
  std::vector<std::string> names;
  std::vector<intptr_t> values;  // -1 for a deletion
};

void RecordWatch(void* data, const char* name, const MfPropertyValue* value) {
  auto* record = static_cast<WatchRecord*>(data);
  record->names.emplace_back(name);
  record->values.push_back(value == nullptr ? -1 : value->number);
}

TEST_F(PropertyListTest, WatchersHearChangesOfTheirNameOnly) {
  WatchRecord record;
  MfPropertyWatcher* watcher = nullptr;
  ASSERT_EQ(mf_property_watcher_add(list_, "mpeg/mode", &record, RecordWatch, &watcher), kMfOk);
  ASSERT_EQ(mf_property_set_value(list_, "mpeg/mode", 1), kMfOk);
  ASSERT_EQ(mf_property_set_value(list_, "mpeg/layer", 3), kMfOk);
  ASSERT_EQ(mf_property_set_value(list_, "mpeg/mode", 3), kMfOk);
  ASSERT_EQ(mf_property_delete(list_, "mpeg/mode"), kMfOk);
  EXPECT_EQ(record.values, (std::vector<intptr_t>{1, 3, -1}));
  EXPECT_EQ(record.names, (std::vector<std::string>(3, "mpeg/mode")));
  ASSERT_EQ(mf_property_watcher_remove(list_, watcher), kMfOk);
  EXPECT_EQ(mf_property_watcher_remove(list_, watcher), kMfFailed);
  ASSERT_EQ(mf_property_set_value(list_, "mpeg/mode", 0), kMfOk);
  EXPECT_EQ(record.values.size(), 3u);
  EXPECT_EQ(mf_property_watcher_add(list_, "x", nullptr, nullptr, &watcher), kMfInvalidParameter);
}

TEST_F(PropertyListTest, SnapshotListsNewestFirst) {
  ASSERT_EQ(mf_property_set_value(list_, "a", 1), kMfOk);
  ASSERT_EQ(mf_property_set_text(list_, "b", "bee"), kMfOk);
  ASSERT_EQ(mf_property_set_value(list_, "c", 3), kMfOk);
  ASSERT_EQ(mf_property_delete(list_, "c"), kMfOk);
  const MfPropertyEntry* entries = nullptr;
  uint32_t count = 0;
  ASSERT_EQ(mf_property_list_snapshot(list_, &entries, &count), kMfOk);
  ASSERT_EQ(count, 2u);
  EXPECT_STREQ(entries[0].name, "b");
  EXPECT_EQ(entries[0].kind, kMfPropertyText);
  EXPECT_STREQ(entries[0].value.text, "bee");
  EXPECT_STREQ(entries[1].name, "a");
  EXPECT_EQ(entries[1].value.number, 1);
  ASSERT_EQ(mf_property_delete_all(list_), kMfOk);
  ASSERT_EQ(mf_property_list_snapshot(list_, &entries, &count), kMfOk);
  EXPECT_EQ(count, 0u);
}

TEST_F(PropertyListTest, ListingHasTheDocumentedBytesAndSize) {
  ASSERT_EQ(mf_property_set_value(list_, "a", 0x01020304), kMfOk);
  ASSERT_EQ(mf_property_set_text(list_, "bb", "xyz"), kMfOk);
  // 4 + (n + m + 7 = 2 + 3 + 7) + (n + 8 = 1 + 8)
  ASSERT_EQ(mf_property_list_marshalled_size(list_), 25u);
  std::vector<uint8_t> bytes(25);
  uint32_t written = 0;
  ASSERT_EQ(mf_property_list_marshal(list_, bytes.data(), 25, &written), kMfOk);
  EXPECT_EQ(written, 25u);
  const std::vector<uint8_t> expected = {0, 0, 0, 2,                                    //
                                         0, 0, 2, 'b', 'b', 0, 0, 3, 'x', 'y', 'z', 0,  //
                                         1, 0, 1, 'a', 0,   1, 2, 3, 4};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(mf_property_list_marshal(list_, bytes.data(), 24, &written), kMfInvalidParameter);
}

TEST_F(PropertyListTest, ListingRoundTrips) {
  ASSERT_EQ(mf_property_set_text(list_, "id3/title", "Intro"), kMfOk);
  ASSERT_EQ(mf_property_set_text(list_, "id3/comment", ""), kMfOk);
  ASSERT_EQ(mf_property_set_value(list_, "mpeg/layer", 3), kMfOk);
  ASSERT_EQ(mf_property_set_value(list_, "big", 0xFFFFFFFF), kMfOk);
  const uint32_t size = mf_property_list_marshalled_size(list_);
  std::vector<uint8_t> bytes(size);
  uint32_t written = 0;
  ASSERT_EQ(mf_property_list_marshal(list_, bytes.data(), size, &written), kMfOk);
  MfPropertyEntry entries[4];
  uint32_t count = 0;
  ASSERT_EQ(mf_property_list_read(bytes.data(), size, entries, 4, &count), kMfOk);
  ASSERT_EQ(count, 4u);
  const MfPropertyEntry* snapshot = nullptr;
  uint32_t snapshotCount = 0;
  ASSERT_EQ(mf_property_list_snapshot(list_, &snapshot, &snapshotCount), kMfOk);
  for (uint32_t i = 0; i < count; ++i) {
    EXPECT_STREQ(entries[i].name, snapshot[i].name);
    ASSERT_EQ(entries[i].kind, snapshot[i].kind);
    if (entries[i].kind == kMfPropertyText) {
      EXPECT_STREQ(entries[i].value.text, snapshot[i].value.text);
    } else {
      EXPECT_EQ(static_cast<uint32_t>(entries[i].value.number),
                static_cast<uint32_t>(snapshot[i].value.number));
    }
  }
  // Counting only, and too little room for the entries.
  ASSERT_EQ(mf_property_list_read(bytes.data(), size, nullptr, 0, &count), kMfOk);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(mf_property_list_read(bytes.data(), size, entries, 3, &count), kMfInvalidParameter);
}

TEST(PropertyListingReadTest, DamagedListingsAreRefused) {
  // One text property "t" = "v" and one property of an unknown kind (5) named "u".
  const std::vector<uint8_t> good = {0, 0, 0, 2, 0, 0, 1, 't', 0, 0, 1, 'v', 0, 5, 0, 1, 'u', 0};
  MfPropertyEntry entries[2];
  uint32_t count = 0;
  ASSERT_EQ(
      mf_property_list_read(good.data(), static_cast<uint32_t>(good.size()), entries, 2, &count),
      kMfOk);
  EXPECT_STREQ(entries[0].value.text, "v");
  EXPECT_EQ(entries[1].kind, 5);
  EXPECT_STREQ(entries[1].name, "u");  // unknown kinds carry a name alone (n + 4 bytes)
  for (uint32_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_EQ(mf_property_list_read(good.data(), cut, entries, 2, &count), kMfInvalidParameter)
        << "cut at " << cut;
    EXPECT_EQ(count, 0u);
  }
  auto damaged = [&](size_t at, uint8_t byte) {
    std::vector<uint8_t> bytes = good;
    bytes[at] = byte;
    return mf_property_list_read(bytes.data(), static_cast<uint32_t>(bytes.size()), entries, 2,
                                 &count);
  };
  EXPECT_EQ(damaged(3, 3), kMfInvalidParameter);     // count larger than the properties
  EXPECT_EQ(damaged(3, 1), kMfInvalidParameter);     // bytes left after the last property
  EXPECT_EQ(damaged(8, 'x'), kMfInvalidParameter);   // name without its NUL
  EXPECT_EQ(damaged(7, 0), kMfInvalidParameter);     // NUL inside the name
  EXPECT_EQ(damaged(10, 9), kMfInvalidParameter);    // text length past the end
  EXPECT_EQ(damaged(0, 0xFF), kMfInvalidParameter);  // absurd count
  std::vector<uint8_t> trailing = good;
  trailing.push_back(0);
  EXPECT_EQ(mf_property_list_read(trailing.data(), static_cast<uint32_t>(trailing.size()), entries,
                                  2, &count),
            kMfInvalidParameter);
}

TEST_F(PropertyListTest, OverlongTextsCannotBeListed) {
  const std::string longText(70000, 'a');
  ASSERT_EQ(mf_property_set_text(list_, "long", longText.c_str()), kMfOk);
  EXPECT_EQ(mf_property_list_marshalled_size(list_), 0u);
  std::vector<uint8_t> bytes(80000);
  uint32_t written = 7;
  EXPECT_EQ(mf_property_list_marshal(list_, bytes.data(), 80000, &written), kMfInvalidParameter);
  EXPECT_EQ(written, 0u);
}

using StreamPropertyTest = FrameworkTest;

TEST_F(StreamPropertyTest, StreamSettersMarkChangesAndOpeningClearsThem) {
  decoder_->status->stream.changes = 0;
  ASSERT_EQ(decoder_->services.setStreamValue(decoder_, "mpeg/level", 1), kMfOk);
  EXPECT_EQ(decoder_->status->stream.changes, 1);
  decoder_->status->stream.changes = 0;
  EXPECT_EQ(decoder_->services.setStreamText(decoder_, "mpeg/level", "x"), kMfPropertyWrongKind);
  EXPECT_EQ(decoder_->status->stream.changes, 0);
  ASSERT_EQ(decoder_->services.setDecoderValue(decoder_, "volume", 5), kMfOk);
  EXPECT_EQ(decoder_->status->stream.changes, 0);
  WatchRecord record;
  MfPropertyWatcher* watcher = nullptr;
  ASSERT_EQ(decoder_->services.addWatcher(decoder_, "mpeg/level", &record, RecordWatch, &watcher),
            kMfOk);
  const std::vector<uint8_t> bytes(8, 1);
  OpenMemoryStream(bytes);
  intptr_t value = 0;
  EXPECT_EQ(mf_stream_property_get_value(decoder_, "mpeg/level", &value), kMfPropertyNotFound);
  EXPECT_EQ(record.values, std::vector<intptr_t>{-1});
  ASSERT_EQ(mf_decoder_property_get_value(decoder_, "volume", &value), kMfOk);  // kept
  EXPECT_EQ(value, 5);
  EXPECT_EQ(decoder_->services.removeWatcher(decoder_, watcher), kMfOk);
}

}  // namespace
}  // namespace veltro::media
