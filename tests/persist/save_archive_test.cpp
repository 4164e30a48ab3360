#include "persist/save_archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace lyraban {
namespace {

std::string Entry(std::string_view key, std::string_view value) {
  std::string out;
  auto u32le = [&out](u32 v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  u32le(static_cast<u32>(key.size()));
  out += key;
  u32le(static_cast<u32>(value.size()));
  out += value;
  return out;
}

TEST(SaveArchive, WritesEntriesBackToBack) {
  SaveArchive a;
  u32 number = 0x01020304;
  std::string text = "abc";
  a.Exchange("n", number);
  a.ExchangeString("t", text);
  EXPECT_EQ(a.bytes(), Entry("n", std::string("\x04\x03\x02\x01", 4)) + Entry("t", std::string("abc\0", 4)));
}

TEST(SaveArchive, RoundTripOfValuesStringsAndNestedArchives) {
  SaveArchive inner;
  i32 flags[3] = {7, -1, 300000};
  std::string empty;
  inner.Exchange("Flags", flags);
  inner.ExchangeString("Empty", empty);

  SaveArchive outer;
  std::string name = "第一章";
  i16 small = -2;
  outer.ExchangeString("Name", name);
  outer.ExchangeArchive("Inner", inner);
  outer.Exchange("Small", small);

  SaveArchive reader;
  reader.OpenForReading(outer.bytes());
  EXPECT_FALSE(reader.IsWriting());
  EXPECT_EQ(reader.EntryCount(), 3u);
  std::string gotName;
  i16 gotSmall = 0;
  SaveArchive gotInner;
  EXPECT_TRUE(reader.ExchangeString("Name", gotName));
  EXPECT_TRUE(reader.Exchange("Small", gotSmall));
  EXPECT_TRUE(reader.ExchangeArchive("Inner", gotInner));
  EXPECT_EQ(gotName, name);
  EXPECT_EQ(gotSmall, -2);
  i32 gotFlags[3] = {};
  std::string gotEmpty = "x";
  EXPECT_TRUE(gotInner.Exchange("Flags", gotFlags));
  EXPECT_TRUE(gotInner.ExchangeString("Empty", gotEmpty));
  EXPECT_EQ(gotFlags[2], 300000);
  EXPECT_EQ(gotFlags[1], -1);
  EXPECT_EQ(gotEmpty, "");
}

TEST(SaveArchive, ReadingLeavesVariablesAloneOnMissingKeyOrWrongSize) {
  SaveArchive writer;
  u16 two = 0xBEEF;
  writer.Exchange("v", two);
  SaveArchive reader;
  reader.OpenForReading(writer.bytes());
  u32 four = 0x11111111;
  EXPECT_FALSE(reader.Exchange("v", four));  // stored 2 bytes, asked for 4
  EXPECT_EQ(four, 0x11111111u);
  u16 other = 5;
  EXPECT_FALSE(reader.Exchange("V", other));  // keys are exact bytes
  EXPECT_EQ(other, 5);
  std::string s = "keep";
  EXPECT_FALSE(reader.ExchangeString("missing", s));
  EXPECT_EQ(s, "keep");
}

TEST(SaveArchive, MissingSectionGivesAnEmptyReadingArchive) {
  SaveArchive reader;
  reader.OpenForReading(Entry("A", "x"));
  SaveArchive section;
  u8 stale = 1;
  section.Exchange("stale", stale);  // a writing archive with content
  EXPECT_FALSE(reader.ExchangeArchive("Data_Flow", section));
  EXPECT_FALSE(section.IsWriting());
  EXPECT_EQ(section.EntryCount(), 0u);
  u8 value = 9;
  EXPECT_FALSE(section.Exchange("stale", value));
  EXPECT_EQ(value, 9);
}

TEST(SaveArchive, StringTakesTextUpToFirstNulAndRespectsTheLimit) {
  std::string bytes = Entry("s", std::string("ab\0cd\0", 6));
  bytes += Entry("big", std::string(SaveArchive::kMaxStringLength + 1, 'x'));
  bytes += Entry("edge", std::string(SaveArchive::kMaxStringLength, 'y'));
  bytes += Entry("nonul", "xyz");
  SaveArchive reader;
  reader.OpenForReading(bytes);
  std::string s;
  EXPECT_TRUE(reader.ExchangeString("s", s));
  EXPECT_EQ(s, "ab");
  std::string big = "old";
  EXPECT_FALSE(reader.ExchangeString("big", big));
  EXPECT_EQ(big, "old");
  std::string edge;
  EXPECT_TRUE(reader.ExchangeString("edge", edge));
  EXPECT_EQ(edge.size(), SaveArchive::kMaxStringLength);
  std::string nonul;
  EXPECT_TRUE(reader.ExchangeString("nonul", nonul));
  EXPECT_EQ(nonul, "xyz");
}

TEST(SaveArchive, DamagedTailKeepsTheEntriesBeforeIt) {
  const std::string good = Entry("first", "1111") + Entry("second", "22");
  const std::string last = Entry("third", "333333");
  const std::string whole = good + last;
  // Cut the last entry at every length short of complete: only it is lost.
  for (std::size_t cut = good.size(); cut < whole.size(); ++cut) {
    SaveArchive reader;
    reader.OpenForReading(std::string_view(whole).substr(0, cut));
    EXPECT_EQ(reader.EntryCount(), 2u) << cut;
    EXPECT_FALSE(reader.Contains("third")) << cut;
    char second[2] = {};
    EXPECT_TRUE(reader.ExchangeBytes("second", second, 2)) << cut;
    EXPECT_EQ(std::string(second, 2), "22");
  }
  SaveArchive complete;
  complete.OpenForReading(whole);
  EXPECT_EQ(complete.EntryCount(), 3u);
  complete.OpenForWriting();
  EXPECT_TRUE(complete.bytes().empty());
  EXPECT_FALSE(complete.Contains("first"));
}

TEST(SaveArchive, LyingLengthsStopTheIndexWithoutReadingPastTheEnd) {
  // A key length of 0x100001 stops the index even with the bytes present.
  std::string hugeKey = Entry("a", "1");
  hugeKey += std::string("\x01\x00\x10\x00", 4) + std::string(0x100001, 'k') + std::string(4, '\0');
  SaveArchive a;
  a.OpenForReading(hugeKey);
  EXPECT_EQ(a.EntryCount(), 1u);

  // A value length near 4 GiB must not wrap the position around.
  std::string hugeValue = Entry("a", "1") + std::string("\x01\x00\x00\x00", 4) + "b" + "\xFF\xFF\xFF\xFF" + "zz";
  SaveArchive b;
  b.OpenForReading(hugeValue);
  EXPECT_EQ(b.EntryCount(), 1u);

  // An empty key is a legal entry; a container that ends exactly is whole.
  SaveArchive c;
  c.OpenForReading(Entry("", "v") + Entry("k", ""));
  EXPECT_EQ(c.EntryCount(), 2u);
  std::string v;
  EXPECT_TRUE(c.ExchangeString("", v));
  EXPECT_EQ(v, "v");
}

}  // namespace
}  // namespace lyraban
