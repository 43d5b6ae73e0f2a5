#include "testing/jet_pages.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include "platform/error.h"

namespace toverak::jet {
namespace {

constexpr uint32_t kDataHeaderSize = 14;
constexpr uint32_t kRowCountOffset = 12;
constexpr uint32_t kInlineBitmapBytes = 64;
constexpr uint32_t kInlineMapPages = kInlineBitmapBytes * 8;
// A bitmap page (type 5) maps this many pages after its 4-byte header.
constexpr uint32_t kBitmapPagePages = (kPageSize - 4) * 8;
// A type-1 map row has room for this many bitmap page pointers.
constexpr uint32_t kMapPointers = 17;

constexpr uint32_t kHeaderKeyOffset = 0x18;
constexpr uint32_t kHeaderEncryptedSize = 128;

// RC4 over `bytes`, in place.
void Rc4(const std::array<uint8_t, 4>& key, uint8_t* bytes, size_t size) {
  std::array<uint8_t, 256> state;
  for (int i = 0; i < 256; ++i) state[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + state[i] + key[i % key.size()]);
    std::swap(state[i], state[j]);
  }
  uint8_t i = 0;
  j = 0;
  for (size_t n = 0; n < size; ++n) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + state[i]);
    std::swap(state[i], state[j]);
    bytes[n] ^= state[static_cast<uint8_t>(state[i] + state[j])];
  }
}

void SetBit(uint8_t* bitmap, uint32_t bit) {
  bitmap[bit / 8] |= static_cast<uint8_t>(1 << (bit % 8));
}

std::vector<uint8_t> InlineMap(const std::vector<uint32_t>& pages) {
  std::vector<uint8_t> row(1 + 4 + kInlineBitmapBytes, 0);
  const uint32_t start = pages.empty() ? 0 : pages.front();
  PutU32(&row[1], start);
  for (uint32_t page : pages) SetBit(&row[5], page - start);
  return row;
}

std::vector<uint8_t> BitmapPagesMap(const std::vector<uint32_t>& pages, PageFile& file) {
  const uint32_t needed = pages.back() / kBitmapPagePages + 1;
  if (needed > kMapPointers) throw RaisedError("a table spans more pages than a usage map holds");
  std::vector<uint8_t> row(1 + 4 * kMapPointers, 0);
  row[0] = 1;
  std::vector<uint32_t> bitmap_pages(needed, 0);
  for (uint32_t page : pages) {
    const uint32_t index = page / kBitmapPagePages;
    if (bitmap_pages[index] == 0) {
      bitmap_pages[index] = file.Add();
      Page& bitmap = file[bitmap_pages[index]];
      bitmap[0] = 0x05;
      bitmap[1] = 0x01;
      PutU32(&row[1 + 4 * index], bitmap_pages[index]);
    }
    SetBit(&file[bitmap_pages[index]][4], page % kBitmapPagePages);
  }
  return row;
}

}  // namespace

void PutU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
  PutU16(at, value & 0xFFFF);
  PutU16(at + 2, value >> 16);
}

void AppendU16(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU32(std::vector<uint8_t>& bytes, uint32_t value) {
  AppendU16(bytes, value & 0xFFFF);
  AppendU16(bytes, value >> 16);
}

uint32_t PageFile::Add() {
  pages_.emplace_back();
  pages_.back().fill(0);
  return Count() - 1;
}

void PageFile::Save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const Page& page : pages_) {
    out.write(reinterpret_cast<const char*>(page.data()), page.size());
  }
  out.close();
  if (!out) throw RaisedError("cannot write the database file " + path);
}

void WriteHeaderPage(Page& page, Date created, uint8_t version) {
  page.fill(0);
  page[1] = 0x01;
  const char* signature = version == 0x01 ? "Standard Jet DB" : "Standard ACE DB";
  std::memcpy(&page[4], signature, std::strlen(signature) + 1);
  page[0x14] = version;
  PutU16(&page[0x3C], 1252);
  PutU32(&page[0x3E], 0);  // no database key: pages are not encrypted
  // An empty password is stored as the mask that Jet derives from the creation date.
  const auto mask = static_cast<uint32_t>(static_cast<int32_t>(std::floor(created.days)));
  for (uint32_t offset = 0x42; offset < 0x42 + 40; offset += 4) PutU32(&page[offset], mask);
  PutU16(&page[0x6E], 0x0409);
  std::memcpy(&page[0x72], &created.days, sizeof created.days);
  Rc4({0xC7, 0xDA, 0x39, 0x6B}, &page[kHeaderKeyOffset], kHeaderEncryptedSize);
}

std::array<uint8_t, 4> RowPages::OwnedBy(uint32_t table_page) {
  std::array<uint8_t, 4> owner;
  PutU32(owner.data(), table_page);
  return owner;
}

std::array<uint8_t, 4> RowPages::LongValues() { return {'L', 'V', 'A', 'L'}; }

uint32_t RowPages::Add(const std::vector<uint8_t>& row) {
  if (row.size() > kMaxRowSize) throw RaisedError("a row is too long for a page");
  const auto free_space = [&] { return free_end_ - (kDataHeaderSize + 2 * rows_on_page_); };
  if (pages_.empty() || rows_on_page_ == kMaxRowsPerPage || free_space() < row.size() + 2) {
    StartPage();
  }
  Page& page = file_[pages_.back()];
  free_end_ -= static_cast<uint32_t>(row.size());
  std::memcpy(&page[free_end_], row.data(), row.size());
  PutU16(&page[kDataHeaderSize + 2 * rows_on_page_], free_end_);
  const uint32_t pointer = pages_.back() << 8 | rows_on_page_;
  ++rows_on_page_;
  PutU16(&page[kRowCountOffset], rows_on_page_);
  PutU16(&page[2], free_space());
  return pointer;
}

void RowPages::StartPage() {
  pages_.push_back(file_.Add());
  Page& page = file_[pages_.back()];
  page[0] = 0x01;
  page[1] = 0x01;
  std::memcpy(&page[4], owner_.data(), owner_.size());
  rows_on_page_ = 0;
  free_end_ = kPageSize;
  PutU16(&page[2], kPageSize - kDataHeaderSize);
}

std::vector<uint8_t> UsageMap(const std::vector<uint32_t>& pages, PageFile& file) {
  if (pages.empty() || pages.back() - pages.front() < kInlineMapPages) return InlineMap(pages);
  return BitmapPagesMap(pages, file);
}

}  // namespace toverak::jet
