#include "data/hash_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace quorvel {
namespace {

Bytes image_of(std::initializer_list<std::uint32_t> words, std::string tail = "") {
  Bytes b = {'h', 'a', 's', 'h'};
  for (std::uint32_t w : words) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  }
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

TEST(HashTable, GrowsAtThresholdToTwicePlusOne) {
  HashTable t;
  ASSERT_TRUE(t.create());
  EXPECT_EQ(t.capacity(), 11);
  EXPECT_EQ(t.threshold(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(t.put(i, i * 10), 0);
  EXPECT_EQ(t.capacity(), 11);
  EXPECT_EQ(t.put(8, 80), 0);
  EXPECT_EQ(t.capacity(), 23);
  EXPECT_EQ(t.threshold(), 17);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(std::get<std::int32_t>(t.get(i)), i * 10);
}

TEST(HashTable, TextKeysAreCaseSensitiveAndReplaced) {
  HashTable t;
  ASSERT_TRUE(t.create_text_int());
  EXPECT_EQ(t.put(Text("WebView2Plus.dll"), 1), 0);
  EXPECT_EQ(t.put(Text("WebView2Plus.dll"), 2), 1);
  EXPECT_EQ(t.count(), 1);
  EXPECT_EQ(t.get_number(Text("WebView2Plus.dll")), 2);
  EXPECT_EQ(t.put(Text("a"), 1), 0);
  EXPECT_EQ(t.put(Text("A"), 2), 0);
  EXPECT_EQ(t.count(), 3);
  EXPECT_FALSE(t.contains_key(Text("b")));
  EXPECT_EQ(t.get_number(Text("b")), 0);
  EXPECT_TRUE(t.contains_value(2));
}

TEST(HashTable, SaveAndLoadByteImages) {
  HashTable empty;
  ASSERT_TRUE(empty.create());
  EXPECT_EQ(empty.save(), image_of({3, 3, 0}));

  HashTable names;
  ASSERT_TRUE(names.create_text_int());
  names.put(Text("WebView2Plus.dll"), 1);
  const Bytes image = names.save();
  EXPECT_EQ(image, image_of({10, 3, 1, 24, 1}, std::string("WebView2Plus.dll") + '\0'));
  EXPECT_EQ(image.size(), 16u + 8 + 17);

  HashTable loaded;
  EXPECT_EQ(loaded.load(image), 1);
  EXPECT_EQ(loaded.capacity(), 12);
  EXPECT_EQ(loaded.get_number(Text("WebView2Plus.dll")), 1);
}

TEST(HashTable, BytesRoundTripThroughAnImage) {
  HashTable t;
  ASSERT_TRUE(t.create_bytes_text());
  const Bytes key = {0, 1, 2, 0, 255};
  t.put(key, Text("\xD6\xD0\xCE\xC4"));
  t.put(Bytes{}, Text(""));
  HashTable u;
  ASSERT_EQ(u.load(t.save()), 2);
  EXPECT_EQ(u.get_text(key), "\xD6\xD0\xCE\xC4");
  EXPECT_TRUE(u.contains_key(Bytes{}));
  std::vector<HashItem> keys;
  EXPECT_EQ(u.keys(keys), 2);
}

TEST(HashTable, LoadRejectsBadImagesAndDropsTheTable) {
  HashTable t;
  ASSERT_TRUE(t.create());
  Bytes upper = image_of({3, 3, 0});
  std::memcpy(upper.data(), "HASH", 4);
  EXPECT_EQ(t.load(upper), 0);
  EXPECT_FALSE(t.has_table());
  EXPECT_EQ(t.put(1, 1), -1);
  EXPECT_EQ(t.load(Bytes{'h', 'a', 's'}), 0);
  EXPECT_EQ(t.load(image_of({3, 4, 0})), 0);
  // A huge count, offsets and lengths pointing outside the image.
  EXPECT_EQ(t.load(image_of({3, 3, 0xFFFFFFFF})), 0);
  EXPECT_EQ(t.load(image_of({10, 3, 1, 9999, 1})), 0);
  EXPECT_EQ(t.load(image_of({10, 3, 1, 24, 1}, "no zero byte")), 0);
  EXPECT_EQ(t.load(image_of({11, 3, 1, 24, 1, 1, 0x7FFFFFFF}, "x")), 0);
  EXPECT_FALSE(t.has_table());
  // A valid image with no entries answers 0 but leaves an empty table.
  EXPECT_EQ(t.load(image_of({3, 3, 0})), 0);
  EXPECT_TRUE(t.has_table());
}

TEST(HashTable, LaterDuplicateKeysInAnImageWin) {
  HashTable t;
  EXPECT_EQ(t.load(image_of({3, 3, 2, 7, 1, 7, 2})), 1);
  EXPECT_EQ(t.get_number(7), 2);
}

TEST(HashTable, CapacityZeroGrowsBeforeTheFirstBucket) {
  HashTable t;
  ASSERT_TRUE(t.create(kHashInt, kHashInt, 0));
  EXPECT_FALSE(t.contains_key(1));
  EXPECT_FALSE(t.remove(1));
  EXPECT_EQ(t.put(1, 2), 0);
  EXPECT_EQ(t.capacity(), 1);
  EXPECT_EQ(t.get_number(1), 2);
}

TEST(HashTable, CreateRejectsBadArguments) {
  HashTable t;
  EXPECT_FALSE(t.create(kHashInt, kHashInt, -1));
  EXPECT_FALSE(t.create(kHashInt, kHashInt, 11, 0.0f));
  EXPECT_FALSE(t.has_table());
}

TEST(HashTable, CopiesShareOneTableUntilTheLastGoes) {
  HashTable a;
  ASSERT_TRUE(a.create_text_text());
  HashTable b = a.copy();
  b.put(Text("k"), Text("v"));
  EXPECT_EQ(a.get_text(Text("k")), "v");
  a.release();
  EXPECT_FALSE(a.has_table());
  EXPECT_EQ(b.get_text(Text("k")), "v");
  EXPECT_TRUE(b.create());  // replaces b's table; the shared one ends here
  EXPECT_EQ(b.count(), 0);
}

TEST(HashTable, RemoveClearAndModifications) {
  HashTable t;
  ASSERT_TRUE(t.create_int_text());
  t.put(1, Text("one"));
  t.put(12, Text("twelve"));  // same bucket as 1 with 11 buckets
  const int before = t.modifications();
  EXPECT_TRUE(t.remove(1));
  EXPECT_FALSE(t.remove(1));
  EXPECT_EQ(t.get_text(12), "twelve");
  EXPECT_EQ(t.modifications(), before + 1);
  t.clear();
  EXPECT_EQ(t.count(), 0);
  EXPECT_EQ(t.capacity(), 11);
  EXPECT_EQ(t.get_text(12), "");
}

TEST(HashTable, KindsAndConversions) {
  HashTable t;
  ASSERT_TRUE(t.create_text_int());
  int k = 0;
  int v = 0;
  EXPECT_EQ(t.get_kinds(k, v), kHashInt);
  EXPECT_EQ(k, kHashText);
  t.put(42, Text("7"));  // converted: key "42", value 7
  EXPECT_EQ(t.get_number(Text("42")), 7);
  t.set_kinds(kHashInt, kHashInt);  // refused: the table holds entries
  t.get_kinds(k, v);
  EXPECT_EQ(k, kHashText);
  HashTable e;
  ASSERT_TRUE(e.create());
  e.set_kinds(kHashBytes, kHashText);
  e.get_kinds(k, v);
  EXPECT_EQ(k, kHashBytes);
}

TEST(HashTable, ManyEntriesSurviveGrowthAndImages) {
  HashTable t;
  ASSERT_TRUE(t.create_text_int());
  for (int i = 0; i < 20000; ++i) t.put("key" + std::to_string(i), i);
  HashTable u;
  ASSERT_EQ(u.load(t.save()), 20000);
  for (int i = 0; i < 20000; i += 997) EXPECT_EQ(u.get_number("key" + std::to_string(i)), i);
  std::vector<HashItem> values;
  EXPECT_EQ(u.values(values), 20000);
}

TEST(HashTable, HandlesMayBeCopiedAndDroppedOnOtherThreads) {
  HashTable t;
  ASSERT_TRUE(t.create());
  t.put(1, 1);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&t] {
      for (int n = 0; n < 2000; ++n) {
        HashTable c = t.copy();
        (void)c.count();
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(t.get_number(1), 1);
}

// A long-lived table that keeps replacing a large value reuses the block it
// freed: its heap stays at a few chunks instead of growing with every put.
TEST(HashTableHeap, ReplacingALargeValueReusesItsBlock) {
  HashTable t;
  ASSERT_TRUE(t.create_text_bytes());
  Bytes value(64 * 1024, 7);
  for (int i = 0; i < 10000; ++i) {
    value[0] = static_cast<std::uint8_t>(i);
    ASSERT_GE(t.put(Text("key"), value), 0);
  }
  EXPECT_EQ(t.get_bytes(Text("key")), value);
  EXPECT_GT(t.heap_bytes(), 0u);
  EXPECT_LT(t.heap_bytes(), 8u * 64 * 1024);
  // Blocks between the small classes and a chunk of their own too.
  for (int i = 0; i < 2000; ++i) {
    value.resize(5000 + i * 7 % 7000);
    ASSERT_GE(t.put(Text("mid"), value), 0);
  }
  EXPECT_LT(t.heap_bytes(), 16u * 64 * 1024);
}

}  // namespace
}  // namespace quorvel
