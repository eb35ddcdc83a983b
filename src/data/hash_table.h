// A chained hash table whose keys and values are each of one kind (32-bit
// integer, text, byte array), kept in a heap of its own that is released in
// one step, shareable between handles by reference counting, and saved to
// and loaded from a compact byte image (magic "hash", little-endian).
#pragma once

#include <cstdint>
#include <mutex>
#include <variant>
#include <vector>

#include "base/text.h"

namespace quorvel {

enum HashKind : int { kHashInt = 3, kHashText = 10, kHashBytes = 11 };

// An item of another kind than the table's is converted the way the
// automation layer converted it: numbers to decimal text and back, text to
// its bytes and back. Text is cut at its first zero byte, as it is stored
// zero-terminated.
using HashItem = std::variant<std::int32_t, Text, Bytes>;

namespace hash_detail {
struct Table;
struct Owner;
}  // namespace hash_detail

// One critical section per handle. A copied handle gets a lock of its own,
// so two handles on one table do not exclude each other.
class TableLock {
 public:
  TableLock() = default;
  TableLock(const TableLock&) {}
  TableLock& operator=(const TableLock&) { return *this; }
  void enter() { mutex_.lock(); }
  void leave() { mutex_.unlock(); }
  [[nodiscard]] bool try_enter() { return mutex_.try_lock(); }
  // For std::lock_guard.
  void lock() { enter(); }
  void unlock() { leave(); }

 private:
  std::mutex mutex_;
};

class HashTable {
 public:
  HashTable() = default;
  ~HashTable();
  HashTable(const HashTable& other);
  HashTable& operator=(const HashTable& other);

  [[nodiscard]] HashTable copy() const { return *this; }
  void release();

  bool create(int key_kind = kHashInt, int value_kind = kHashInt, int capacity = 11,
              float load_factor = 0.75f);
  bool create_text_text() { return create(kHashText, kHashText); }
  bool create_text_int() { return create(kHashText, kHashInt); }
  bool create_text_bytes() { return create(kHashText, kHashBytes); }
  bool create_int_text() { return create(kHashInt, kHashText); }
  bool create_int_bytes() { return create(kHashInt, kHashBytes); }
  bool create_int_int() { return create(kHashInt, kHashInt); }
  bool create_bytes_text() { return create(kHashBytes, kHashText); }
  bool create_bytes_int() { return create(kHashBytes, kHashInt); }
  bool create_bytes_bytes() { return create(kHashBytes, kHashBytes); }

  // Entry count of the loaded table; 0 on failure, which leaves the handle
  // without a table. Offsets and lengths are checked against the image.
  int load(const Bytes& image);
  [[nodiscard]] Bytes save() const;

  [[nodiscard]] int count() const;
  // 1 replaced, 0 added, -1 without a table (or when memory runs out).
  int put(const HashItem& key, const HashItem& value);
  // The integer 0 when not found.
  [[nodiscard]] HashItem get(const HashItem& key) const;
  [[nodiscard]] Text get_text(const HashItem& key) const;
  [[nodiscard]] std::int32_t get_number(const HashItem& key) const;
  [[nodiscard]] Bytes get_bytes(const HashItem& key) const;
  [[nodiscard]] bool contains_value(const HashItem& value) const;
  [[nodiscard]] bool contains_key(const HashItem& key) const;
  bool remove(const HashItem& key);
  int keys(std::vector<HashItem>& out) const;
  int values(std::vector<HashItem>& out) const;
  void clear();
  int get_kinds(int& key_kind, int& value_kind) const;
  // Changes the recorded kinds of an empty table only: stored entries are
  // not converted, and reading an integer entry as a text would follow a
  // number as if it were an address.
  void set_kinds(int key_kind = kHashInt, int value_kind = kHashInt);

  // Inspection, for tests and diagnostics.
  [[nodiscard]] bool has_table() const { return table_ != nullptr; }
  [[nodiscard]] int capacity() const;
  [[nodiscard]] int threshold() const;
  [[nodiscard]] int modifications() const;
  // Bytes the table's own heap holds from the system.
  [[nodiscard]] std::size_t heap_bytes() const;

 private:
  void adopt(hash_detail::Owner* owner);
  int collect(bool keys, std::vector<HashItem>& out) const;

  hash_detail::Table* table_ = nullptr;
  hash_detail::Owner* owner_ = nullptr;
  TableLock lock_;
};

}  // namespace quorvel
