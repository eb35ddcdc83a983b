#include "data/hash_table.h"

#include <atomic>
#include <cstring>
#include <string>

#include "base/text_ops.h"
#include "data/private_heap.h"

namespace quorvel {
namespace hash_detail {

struct Entry {
  std::int32_t hash;
  void* key;  // the integer itself for kind 3, else the item in the heap
  void* value;
  Entry* next;
};

struct Table {
  heap::PrivateHeap* heap;
  Entry** buckets;
  std::int32_t capacity;
  std::int32_t count;
  std::int32_t threshold;
  float load_factor;
  std::int32_t modifications;
  std::int32_t key_kind;
  std::int32_t value_kind;
};

struct Owner {
  std::atomic<int> references{1};
  Table* table = nullptr;
};

}  // namespace hash_detail

using hash_detail::Entry;
using hash_detail::Owner;
using hash_detail::Table;

namespace {

bool valid_kind(int kind) {
  return kind == kHashInt || kind == kHashText || kind == kHashBytes;
}

void* as_slot(std::int32_t n) {
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(n));
}
std::int32_t slot_number(void* slot) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(slot));
}

void put_u32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get_u32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The bytes an item of the given kind consists of (text without its zero).
struct View {
  std::int32_t number = 0;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// An item converted to the table's kind.
struct Converted {
  std::int32_t number = 0;
  std::string bytes;
  View view(int kind) const {
    if (kind == kHashInt) return {number, nullptr, 0};
    return {0, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
  }
};

Converted convert(const HashItem& item, int kind) {
  Converted c;
  if (const auto* n = std::get_if<std::int32_t>(&item)) {
    c.number = *n;
    if (kind == kHashText) c.bytes = std::to_string(*n);
    if (kind == kHashBytes) c.bytes.assign(reinterpret_cast<const char*>(n), 4);
  } else if (const auto* t = std::get_if<Text>(&item)) {
    c.bytes = t->substr(0, t->find('\0'));
    c.number = text_to_int(c.bytes);
  } else {
    const Bytes& b = std::get<Bytes>(item);
    c.bytes.assign(reinterpret_cast<const char*>(b.data()), b.size());
    if (kind == kHashText) c.bytes = c.bytes.substr(0, c.bytes.find('\0'));
    c.number = text_to_int(c.bytes);
  }
  return c;
}

View stored_view(void* slot, int kind) {
  if (kind == kHashInt) return {slot_number(slot), nullptr, 0};
  const auto* p = static_cast<const std::uint8_t*>(slot);
  if (kind == kHashText) return {0, p, std::strlen(reinterpret_cast<const char*>(p))};
  return {0, p + 8, get_u32(p + 4)};
}

std::size_t stored_size(const View& v, int kind) {
  return kind == kHashText ? v.size + 1 : v.size + 8;
}

// h = h * 31 + b over the bytes, wrapping at 32 bits; integers hash to
// themselves.
std::int32_t hash_of(const View& v, int kind) {
  if (kind == kHashInt) return v.number;
  std::uint32_t h = 0;
  for (std::size_t i = 0; i < v.size; ++i) h = h * 31 + v.data[i];
  return static_cast<std::int32_t>(h);
}

bool equal(const View& a, const View& b, int kind) {
  if (kind == kHashInt) return a.number == b.number;
  return a.size == b.size && (a.size == 0 || std::memcmp(a.data, b.data, a.size) == 0);
}

std::size_t bucket_of(std::int32_t hash, std::int32_t capacity) {
  return static_cast<std::size_t>(static_cast<std::uint32_t>(hash) & 0x7FFFFFFF) %
         static_cast<std::size_t>(capacity);
}

// A copy of the item in the table's heap: the integer itself for kind 3,
// text with its zero byte, a byte array with its header (dimension count
// 1, length). Null when the heap is exhausted.
void* store(Table* t, const View& v, int kind, bool& ok) {
  ok = true;
  if (kind == kHashInt) return as_slot(v.number);
  const std::size_t size = stored_size(v, kind);
  auto* p = static_cast<std::uint8_t*>(heap::allocate(t->heap, size, false));
  if (!p) {
    ok = false;
    return nullptr;
  }
  if (kind == kHashText) {
    if (v.size) std::memcpy(p, v.data, v.size);
    p[v.size] = 0;
  } else {
    put_u32(p, 1);
    put_u32(p + 4, static_cast<std::uint32_t>(v.size));
    if (v.size) std::memcpy(p + 8, v.data, v.size);
  }
  return p;
}

void unstore(Table* t, void* slot, int kind) {
  if (kind == kHashInt || !slot) return;
  heap::free(t->heap, slot, stored_size(stored_view(slot, kind), kind));
}

HashItem to_item(const View& v, int kind) {
  if (kind == kHashInt) return v.number;
  if (kind == kHashText) return Text(reinterpret_cast<const char*>(v.data), v.size);
  return Bytes(v.data, v.data + v.size);
}

Table* new_table(int key_kind, int value_kind, int capacity, float load_factor) {
  if (capacity < 0 || !(load_factor > 0.0000001f)) return nullptr;
  heap::PrivateHeap* h = heap::create();
  if (!h) return nullptr;
  auto* t = static_cast<Table*>(heap::allocate(h, sizeof(Table), true));
  auto* buckets = static_cast<Entry**>(
      heap::allocate(h, sizeof(Entry*) * static_cast<std::size_t>(capacity), true));
  if (!t || !buckets) {
    heap::destroy(h);
    return nullptr;
  }
  t->heap = h;
  t->buckets = buckets;
  t->capacity = capacity;
  t->threshold = static_cast<std::int32_t>(static_cast<float>(capacity) * load_factor);
  t->load_factor = load_factor;
  t->key_kind = key_kind;
  t->value_kind = value_kind;
  return t;
}

Entry* find_entry(const Table* t, const View& key, std::int32_t hash) {
  if (t->capacity == 0) return nullptr;
  for (Entry* e = t->buckets[bucket_of(hash, t->capacity)]; e; e = e->next) {
    if (e->hash == hash && equal(stored_view(e->key, t->key_kind), key, t->key_kind)) return e;
  }
  return nullptr;
}

// Doubles the bucket array (plus one); entries keep their stored hash, so
// no key is hashed again. Chains come out reversed.
void grow(Table* t) {
  if (t->capacity > (0x7FFFFFFF - 1) / 2) return;
  const std::int32_t capacity = t->capacity * 2 + 1;
  auto* buckets = static_cast<Entry**>(
      heap::allocate(t->heap, sizeof(Entry*) * static_cast<std::size_t>(capacity), true));
  if (!buckets) return;  // chains just grow longer
  ++t->modifications;
  t->threshold = static_cast<std::int32_t>(static_cast<float>(capacity) * t->load_factor);
  for (std::int32_t b = 0; b < t->capacity; ++b) {
    for (Entry* e = t->buckets[b]; e;) {
      Entry* next = e->next;
      Entry*& head = buckets[bucket_of(e->hash, capacity)];
      e->next = head;
      head = e;
      e = next;
    }
  }
  heap::free(t->heap, t->buckets, sizeof(Entry*) * static_cast<std::size_t>(t->capacity));
  t->buckets = buckets;
  t->capacity = capacity;
}

int put_view(Table* t, const View& key, const View& value) {
  const std::int32_t hash = hash_of(key, t->key_kind);
  bool ok = true;
  if (Entry* e = find_entry(t, key, hash)) {
    void* copy = store(t, value, t->value_kind, ok);
    if (!ok) return -1;
    unstore(t, e->value, t->value_kind);
    e->value = copy;
    return 1;
  }
  ++t->modifications;
  // A table of capacity 0 grows before any bucket is computed.
  if (t->count >= t->threshold || t->capacity == 0) grow(t);
  if (t->capacity == 0) return -1;
  auto* e = static_cast<Entry*>(heap::allocate(t->heap, sizeof(Entry), false));
  if (!e) return -1;
  e->hash = hash;
  e->key = store(t, key, t->key_kind, ok);
  if (ok) e->value = store(t, value, t->value_kind, ok);
  if (!ok) {
    unstore(t, e->key, t->key_kind);
    heap::free(t->heap, e, sizeof(Entry));
    return -1;
  }
  Entry*& head = t->buckets[bucket_of(hash, t->capacity)];
  e->next = head;
  head = e;
  ++t->count;
  return 0;
}

template <typename Visit>
void for_each_entry(const Table* t, Visit visit) {
  for (std::int32_t b = 0; b < t->capacity; ++b) {
    for (const Entry* e = t->buckets[b]; e; e = e->next) visit(*e);
  }
}

void drop_reference(Owner* owner) {
  if (owner && owner->references.fetch_sub(1) == 1) {
    heap::destroy(owner->table->heap);
    delete owner;
  }
}

// Reads one item of an image; false when it would reach outside.
bool read_item(const Bytes& image, std::uint32_t slot, int kind, View& out) {
  if (kind == kHashInt) {
    out = {static_cast<std::int32_t>(slot), nullptr, 0};
    return true;
  }
  const std::size_t size = image.size();
  if (slot >= size) return false;
  const std::uint8_t* p = image.data() + slot;
  if (kind == kHashText) {
    const void* zero = std::memchr(p, 0, size - slot);
    if (!zero) return false;
    out = {0, p, static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - p)};
    return true;
  }
  if (size - slot < 8) return false;
  const std::uint32_t length = get_u32(p + 4);
  if (length > size - slot - 8) return false;
  out = {0, p + 8, length};
  return true;
}

}  // namespace

HashTable::~HashTable() {
  release();
}

HashTable::HashTable(const HashTable& other) : table_(other.table_), owner_(other.owner_) {
  if (owner_) owner_->references.fetch_add(1);
}

HashTable& HashTable::operator=(const HashTable& other) {
  if (this != &other) {
    if (other.owner_) other.owner_->references.fetch_add(1);
    release();
    owner_ = other.owner_;
    table_ = other.table_;
  }
  return *this;
}

void HashTable::release() {
  drop_reference(owner_);
  owner_ = nullptr;
  table_ = nullptr;
}

void HashTable::adopt(Owner* owner) {
  release();
  owner_ = owner;
  table_ = owner ? owner->table : nullptr;
}

bool HashTable::create(int key_kind, int value_kind, int capacity, float load_factor) {
  Table* t = new_table(key_kind, value_kind, capacity, load_factor);
  if (!t) return false;
  auto* owner = new Owner();
  owner->table = t;
  adopt(owner);
  return true;
}

int HashTable::load(const Bytes& image) {
  release();
  if (image.size() < 16 || std::memcmp(image.data(), "hash", 4) != 0) return 0;
  const auto key_kind = static_cast<int>(get_u32(image.data() + 4));
  const auto value_kind = static_cast<int>(get_u32(image.data() + 8));
  const std::uint32_t n = get_u32(image.data() + 12);
  if (!valid_kind(key_kind) || !valid_kind(value_kind)) return 0;
  if (n > (image.size() - 16) / 8) return 0;  // the directory must fit
  Table* t = new_table(key_kind, value_kind, static_cast<int>(n) + 11, 0.75f);
  if (!t) return 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    View key;
    View value;
    const std::uint8_t* dir = image.data() + 16 + 8 * static_cast<std::size_t>(i);
    if (!read_item(image, get_u32(dir), key_kind, key) ||
        !read_item(image, get_u32(dir + 4), value_kind, value) || put_view(t, key, value) < 0) {
      heap::destroy(t->heap);
      return 0;
    }
  }
  auto* owner = new Owner();
  owner->table = t;
  adopt(owner);
  return t->count;
}

Bytes HashTable::save() const {
  if (!table_) return {};
  const Table* t = table_;
  std::size_t size = 16 + 8 * static_cast<std::size_t>(t->count);
  for_each_entry(t, [&](const Entry& e) {
    if (t->key_kind != kHashInt) size += stored_size(stored_view(e.key, t->key_kind), t->key_kind);
    if (t->value_kind != kHashInt) {
      size += stored_size(stored_view(e.value, t->value_kind), t->value_kind);
    }
  });
  Bytes image(size, 0);
  std::memcpy(image.data(), "hash", 4);
  put_u32(image.data() + 4, static_cast<std::uint32_t>(t->key_kind));
  put_u32(image.data() + 8, static_cast<std::uint32_t>(t->value_kind));
  put_u32(image.data() + 12, static_cast<std::uint32_t>(t->count));
  std::size_t slot = 16;
  std::size_t data = 16 + 8 * static_cast<std::size_t>(t->count);
  auto write_item = [&](void* stored, int kind) {
    if (kind == kHashInt) {
      put_u32(image.data() + slot, static_cast<std::uint32_t>(slot_number(stored)));
    } else {
      const View v = stored_view(stored, kind);
      put_u32(image.data() + slot, static_cast<std::uint32_t>(data));
      if (kind == kHashBytes) {
        put_u32(image.data() + data, 1);
        put_u32(image.data() + data + 4, static_cast<std::uint32_t>(v.size));
        data += 8;
      }
      if (v.size) std::memcpy(image.data() + data, v.data, v.size);
      data += v.size + (kind == kHashText ? 1 : 0);
    }
    slot += 4;
  };
  for_each_entry(t, [&](const Entry& e) {
    write_item(e.key, t->key_kind);
    write_item(e.value, t->value_kind);
  });
  return image;
}

int HashTable::count() const {
  return table_ ? table_->count : 0;
}
int HashTable::capacity() const {
  return table_ ? table_->capacity : 0;
}
int HashTable::threshold() const {
  return table_ ? table_->threshold : 0;
}
int HashTable::modifications() const {
  return table_ ? table_->modifications : 0;
}

std::size_t HashTable::heap_bytes() const {
  return table_ ? heap::reserved_bytes(table_->heap) : 0;
}

int HashTable::put(const HashItem& key, const HashItem& value) {
  if (!table_) return -1;
  const Converted k = convert(key, table_->key_kind);
  const Converted v = convert(value, table_->value_kind);
  std::lock_guard<TableLock> hold(lock_);
  return put_view(table_, k.view(table_->key_kind), v.view(table_->value_kind));
}

HashItem HashTable::get(const HashItem& key) const {
  if (!table_) return 0;
  const Converted k = convert(key, table_->key_kind);
  const View kv = k.view(table_->key_kind);
  const Entry* e = find_entry(table_, kv, hash_of(kv, table_->key_kind));
  if (!e) return 0;
  return to_item(stored_view(e->value, table_->value_kind), table_->value_kind);
}

Text HashTable::get_text(const HashItem& key) const {
  if (!table_ || !contains_key(key)) return {};
  const Converted c = convert(get(key), kHashText);
  return c.bytes;
}

std::int32_t HashTable::get_number(const HashItem& key) const {
  return table_ ? convert(get(key), kHashInt).number : 0;
}

Bytes HashTable::get_bytes(const HashItem& key) const {
  if (!table_ || !contains_key(key)) return {};
  const Converted c = convert(get(key), kHashBytes);
  return Bytes(c.bytes.begin(), c.bytes.end());
}

bool HashTable::contains_key(const HashItem& key) const {
  if (!table_) return false;
  const Converted k = convert(key, table_->key_kind);
  const View kv = k.view(table_->key_kind);
  return find_entry(table_, kv, hash_of(kv, table_->key_kind)) != nullptr;
}

bool HashTable::contains_value(const HashItem& value) const {
  if (!table_) return false;
  const int kind = table_->value_kind;
  const Converted v = convert(value, kind);
  const View vv = v.view(kind);
  bool found = false;
  for_each_entry(table_, [&](const Entry& e) {
    found = found || equal(stored_view(e.value, kind), vv, kind);
  });
  return found;
}

bool HashTable::remove(const HashItem& key) {
  if (!table_) return false;
  const Converted k = convert(key, table_->key_kind);
  const View kv = k.view(table_->key_kind);
  std::lock_guard<TableLock> hold(lock_);
  Table* t = table_;
  if (t->capacity == 0) return false;
  const std::int32_t hash = hash_of(kv, t->key_kind);
  for (Entry** link = &t->buckets[bucket_of(hash, t->capacity)]; *link; link = &(*link)->next) {
    Entry* e = *link;
    if (e->hash != hash || !equal(stored_view(e->key, t->key_kind), kv, t->key_kind)) continue;
    ++t->modifications;
    *link = e->next;
    --t->count;
    unstore(t, e->key, t->key_kind);
    unstore(t, e->value, t->value_kind);
    heap::free(t->heap, e, sizeof(Entry));
    return true;
  }
  return false;
}

int HashTable::keys(std::vector<HashItem>& out) const {
  return collect(true, out);
}
int HashTable::values(std::vector<HashItem>& out) const {
  return collect(false, out);
}

int HashTable::collect(bool keys, std::vector<HashItem>& out) const {
  out.clear();
  if (!table_) return 0;
  out.reserve(static_cast<std::size_t>(table_->count));
  const int kind = keys ? table_->key_kind : table_->value_kind;
  for_each_entry(table_, [&](const Entry& e) {
    out.push_back(to_item(stored_view(keys ? e.key : e.value, kind), kind));
  });
  return table_->count;
}

void HashTable::clear() {
  if (!table_) return;
  std::lock_guard<TableLock> hold(lock_);
  Table* t = table_;
  for (std::int32_t b = 0; b < t->capacity; ++b) {
    for (Entry* e = t->buckets[b]; e;) {
      Entry* next = e->next;
      unstore(t, e->key, t->key_kind);
      unstore(t, e->value, t->value_kind);
      heap::free(t->heap, e, sizeof(Entry));
      e = next;
    }
    t->buckets[b] = nullptr;
  }
  t->count = 0;
  ++t->modifications;
}

int HashTable::get_kinds(int& key_kind, int& value_kind) const {
  key_kind = table_ ? table_->key_kind : 0;
  value_kind = table_ ? table_->value_kind : 0;
  return value_kind;
}

void HashTable::set_kinds(int key_kind, int value_kind) {
  if (!table_ || table_->count != 0 || !valid_kind(key_kind) || !valid_kind(value_kind)) return;
  table_->key_kind = key_kind;
  table_->value_kind = value_kind;
}

}  // namespace quorvel
