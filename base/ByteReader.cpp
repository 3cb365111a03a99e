#include "base/ByteReader.h"

#include <bit>
#include <cstring>

namespace tessaro {

namespace {

// Reads an unsigned value with `read` and gives its bits as a value of the
// same size: a signed number (two's complement) or a floating-point one.
template <typename To, typename From>
bool ReadAs(ByteReader& reader, bool (ByteReader::*read)(From&), To& v) {
  static_assert(sizeof(To) == sizeof(From));
  From u;
  if (!(reader.*read)(u)) return false;
  v = std::bit_cast<To>(u);
  return true;
}

}  // namespace

bool ByteReader::Take(size_t n, const uint8_t*& p) {
  if (FFailed || n > FSize - FPos) {
    FFailed = true;
    return false;
  }
  p = FData + FPos;
  FPos += n;
  return true;
}

bool ByteReader::Skip(uint64_t n) {
  if (FFailed || n > FSize - FPos) {
    FFailed = true;
    return false;
  }
  FPos += static_cast<size_t>(n);
  return true;
}

bool ByteReader::Seek(size_t position) {
  if (FFailed || position > FSize) {
    FFailed = true;
    return false;
  }
  FPos = position;
  return true;
}

bool ByteReader::ReadBytes(void* out, size_t n) {
  const uint8_t* p;
  if (!Take(n, p)) return false;
  if (n) std::memcpy(out, p, n);
  return true;
}

bool ByteReader::ReadBytes(std::vector<uint8_t>& out, size_t n) {
  const uint8_t* p;
  if (!Take(n, p)) return false;
  out.assign(p, p + n);
  return true;
}

bool ByteReader::View(size_t n, std::span<const uint8_t>& out) {
  const uint8_t* p;
  if (!Take(n, p)) return false;
  out = std::span<const uint8_t>(p, n);
  return true;
}

bool ByteReader::Sub(uint64_t n, ByteReader& out) {
  const uint8_t* p;
  if (FFailed || n > FSize - FPos) {
    FFailed = true;
    return false;
  }
  Take(static_cast<size_t>(n), p);
  out = ByteReader(p, static_cast<size_t>(n));
  return true;
}

bool ByteReader::U8(uint8_t& v) {
  const uint8_t* p;
  if (!Take(1, p)) return false;
  v = p[0];
  return true;
}

bool ByteReader::I8(int8_t& v) { return ReadAs(*this, &ByteReader::U8, v); }

bool ByteReader::U16LE(uint16_t& v) {
  const uint8_t* p;
  if (!Take(2, p)) return false;
  v = static_cast<uint16_t>(p[0] | (p[1] << 8));
  return true;
}

bool ByteReader::U32LE(uint32_t& v) {
  const uint8_t* p;
  if (!Take(4, p)) return false;
  v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  return true;
}

bool ByteReader::I32LE(int32_t& v) { return ReadAs(*this, &ByteReader::U32LE, v); }

bool ByteReader::F32LE(float& v) { return ReadAs(*this, &ByteReader::U32LE, v); }

bool ByteReader::U16BE(uint16_t& v) {
  const uint8_t* p;
  if (!Take(2, p)) return false;
  v = static_cast<uint16_t>((p[0] << 8) | p[1]);
  return true;
}

bool ByteReader::I16BE(int16_t& v) { return ReadAs(*this, &ByteReader::U16BE, v); }

bool ByteReader::U32BE(uint32_t& v) {
  const uint8_t* p;
  if (!Take(4, p)) return false;
  v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
  return true;
}

bool ByteReader::I32BE(int32_t& v) { return ReadAs(*this, &ByteReader::U32BE, v); }

bool ByteReader::U64BE(uint64_t& v) {
  uint32_t hi, lo;
  if (!U32BE(hi) || !U32BE(lo)) return false;
  v = (uint64_t(hi) << 32) | lo;
  return true;
}

bool ByteReader::F64BE(double& v) { return ReadAs(*this, &ByteReader::U64BE, v); }

void ByteWriter::Append(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  FBytes.insert(FBytes.end(), p, p + n);
}

void ByteWriter::U16LE(uint16_t v) {
  FBytes.push_back(uint8_t(v));
  FBytes.push_back(uint8_t(v >> 8));
}

void ByteWriter::U32LE(uint32_t v) {
  for (int i = 0; i < 4; ++i) FBytes.push_back(uint8_t(v >> (8 * i)));
}

void ByteWriter::F32LE(float v) { U32LE(std::bit_cast<uint32_t>(v)); }

void ByteWriter::U16BE(uint16_t v) {
  FBytes.push_back(uint8_t(v >> 8));
  FBytes.push_back(uint8_t(v));
}

void ByteWriter::U32BE(uint32_t v) {
  for (int i = 3; i >= 0; --i) FBytes.push_back(uint8_t(v >> (8 * i)));
}

void ByteWriter::U64BE(uint64_t v) {
  U32BE(uint32_t(v >> 32));
  U32BE(uint32_t(v));
}

void ByteWriter::F64BE(double v) { U64BE(std::bit_cast<uint64_t>(v)); }

void ByteWriter::PatchU32BE(size_t offset, uint32_t v) {
  if (offset + 4 > FBytes.size()) return;
  for (int i = 0; i < 4; ++i) FBytes[offset + i] = uint8_t(v >> (8 * (3 - i)));
}

void ByteWriter::PatchU64BE(size_t offset, uint64_t v) {
  PatchU32BE(offset, uint32_t(v >> 32));
  PatchU32BE(offset + 4, uint32_t(v));
}

}  // namespace tessaro
