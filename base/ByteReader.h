// Bounds-checked reading of binary formats. Every read checks the bytes left
// and returns false (leaving the output untouched) when the input is short;
// once a read has failed the reader stays failed, so a parser may run a chain
// of reads and test ok() once. Counts read from a file must be checked with
// CanHold() before anything is allocated for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessaro {

class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  explicit ByteReader(std::span<const uint8_t> bytes) : FData(bytes.data()), FSize(bytes.size()) {}

  bool ok() const { return !FFailed; }
  size_t Position() const { return FPos; }
  size_t Size() const { return FSize; }
  size_t Remaining() const { return FFailed ? 0 : FSize - FPos; }
  bool AtEnd() const { return Remaining() == 0; }
  const uint8_t* Current() const { return FData + FPos; }

  // True when `count` items of `itemSize` bytes each could still follow.
  bool CanHold(uint64_t count, uint64_t itemSize) const {
    if (FFailed) return false;
    if (itemSize == 0) return true;
    return count <= Remaining() / itemSize;
  }

  bool Skip(uint64_t n);
  bool Seek(size_t position);
  bool ReadBytes(void* out, size_t n);
  bool ReadBytes(std::vector<uint8_t>& out, size_t n);
  // A view of the next n bytes, advancing past them.
  bool View(size_t n, std::span<const uint8_t>& out);
  // Narrows the reader to the next n bytes, advancing this one past them.
  bool Sub(uint64_t n, ByteReader& out);

  bool U8(uint8_t& v);
  bool I8(int8_t& v);
  bool U16LE(uint16_t& v);
  bool U32LE(uint32_t& v);
  bool I32LE(int32_t& v);
  bool F32LE(float& v);
  bool U16BE(uint16_t& v);
  bool I16BE(int16_t& v);
  bool U32BE(uint32_t& v);
  bool I32BE(int32_t& v);
  bool U64BE(uint64_t& v);
  bool F64BE(double& v);

  // Marks the reader failed (for a value that read fine but is invalid).
  void Fail() { FFailed = true; }

 private:
  bool Take(size_t n, const uint8_t*& p);

  const uint8_t* FData = nullptr;
  size_t FSize = 0;
  size_t FPos = 0;
  bool FFailed = false;
};

// Appends little- or big-endian values to a growing byte vector.
class ByteWriter {
 public:
  std::vector<uint8_t>& Bytes() { return FBytes; }
  const std::vector<uint8_t>& Bytes() const { return FBytes; }
  std::vector<uint8_t> Take() { return std::move(FBytes); }
  size_t Size() const { return FBytes.size(); }

  void U8(uint8_t v) { FBytes.push_back(v); }
  void Append(const void* data, size_t n);
  void Append(std::span<const uint8_t> bytes) { Append(bytes.data(), bytes.size()); }
  void Append(const std::string& s) { Append(s.data(), s.size()); }
  void Zeros(size_t n) { FBytes.insert(FBytes.end(), n, 0); }
  void U16LE(uint16_t v);
  void U32LE(uint32_t v);
  void I32LE(int32_t v) { U32LE(static_cast<uint32_t>(v)); }
  void F32LE(float v);
  void U16BE(uint16_t v);
  void I16BE(int16_t v) { U16BE(static_cast<uint16_t>(v)); }
  void U32BE(uint32_t v);
  void I32BE(int32_t v) { U32BE(static_cast<uint32_t>(v)); }
  void U64BE(uint64_t v);
  void F64BE(double v);

  // Overwrites 4 bytes at `offset` (for lengths known only after the body).
  void PatchU32BE(size_t offset, uint32_t v);
  void PatchU64BE(size_t offset, uint64_t v);

 private:
  std::vector<uint8_t> FBytes;
};

}  // namespace tessaro
