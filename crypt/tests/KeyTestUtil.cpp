#include "crypt/tests/KeyTestUtil.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace tessaro::crypttest {

std::string Hex(const uint8_t* data, size_t len) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < len; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

Bytes FromHex(std::string_view hex) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Bytes out;
  int high = -1;
  for (char c : hex) {
    int v = value(c);
    if (v < 0) continue;  // separators
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

namespace {

Bytes DerLength(size_t len) {
  if (len < 0x80) return {static_cast<uint8_t>(len)};
  Bytes digits;
  for (size_t v = len; v > 0; v >>= 8) digits.insert(digits.begin(), static_cast<uint8_t>(v));
  digits.insert(digits.begin(), static_cast<uint8_t>(0x80 | digits.size()));
  return digits;
}

Bytes Der(uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  Bytes len = DerLength(content.size());
  out.insert(out.end(), len.begin(), len.end());
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes DerInteger(const uint8_t* bigEndian, size_t len) {
  size_t start = 0;
  while (start < len && bigEndian[start] == 0) ++start;
  Bytes content(bigEndian + start, bigEndian + len);
  if (content.empty() || (content[0] & 0x80)) content.insert(content.begin(), 0);
  return Der(0x02, content);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string Base64(const Bytes& data) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < data.size(); i += 3) {
    uint32_t v = static_cast<uint32_t>(data[i]) << 16;
    if (i + 1 < data.size()) v |= static_cast<uint32_t>(data[i + 1]) << 8;
    if (i + 2 < data.size()) v |= data[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < data.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < data.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

std::string Pem(const std::string& label, const Bytes& der) {
  std::string b64 = Base64(der);
  std::string out = "-----BEGIN " + label + "-----\n";
  for (size_t i = 0; i < b64.size(); i += 64) out += b64.substr(i, 64) + "\n";
  return out + "-----END " + label + "-----\n";
}

}  // namespace

std::string PrivateKeyPem(const RSAPrivateKey& k) {
  const uint8_t version = 0;
  Bytes body = Concat({DerInteger(&version, 1), DerInteger(k.modulus, sizeof k.modulus),
                       DerInteger(k.publicExponent, sizeof k.publicExponent),
                       DerInteger(k.exponent, sizeof k.exponent), DerInteger(k.prime[0], sizeof k.prime[0]),
                       DerInteger(k.prime[1], sizeof k.prime[1]),
                       DerInteger(k.primeExponent[0], sizeof k.primeExponent[0]),
                       DerInteger(k.primeExponent[1], sizeof k.primeExponent[1]),
                       DerInteger(k.coefficient, sizeof k.coefficient)});
  return Pem("RSA PRIVATE KEY", Der(0x30, body));
}

std::string PublicKeyPem(const RSAPublicKey& k) {
  // rsaEncryption 1.2.840.113549.1.1.1 with NULL parameters.
  const Bytes algorithm = FromHex("300d06092a864886f70d0101010500");
  Bytes rsaKey =
      Der(0x30, Concat({DerInteger(k.modulus, sizeof k.modulus), DerInteger(k.exponent, sizeof k.exponent)}));
  rsaKey.insert(rsaKey.begin(), 0);  // no unused bits
  return Pem("PUBLIC KEY", Der(0x30, Concat({algorithm, Der(0x03, rsaKey)})));
}

std::optional<RSAPrivateKey> PrivateKeyFromOpenSslText(const std::string& text, uint32_t bits) {
  // Fields look like "prime1:\n    00:e3:...\n" (hex continued on indented
  // lines), except publicExponent, printed as "publicExponent: 65537 (0x10001)".
  std::map<std::string, Bytes> fields;
  std::string current;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    if (line[0] != ' ') {
      size_t colon = line.find(':');
      current = colon == std::string::npos ? "" : line.substr(0, colon);
      size_t paren = line.find("(0x");
      if (paren != std::string::npos) {
        std::string hex = line.substr(paren + 3, line.find(')', paren) - paren - 3);
        if (hex.size() % 2) hex = "0" + hex;
        fields[current] = FromHex(hex);
        current.clear();
      }
      continue;
    }
    if (!current.empty()) {
      Bytes more = FromHex(line);
      fields[current].insert(fields[current].end(), more.begin(), more.end());
    }
  }
  RSAPrivateKey key{};
  key.bits = bits;
  auto put = [&](const char* name, uint8_t* field, size_t size) {
    auto it = fields.find(name);
    if (it == fields.end()) return false;
    Bytes v = it->second;
    while (!v.empty() && v.front() == 0) v.erase(v.begin());
    if (v.size() > size) return false;
    std::memcpy(field + size - v.size(), v.data(), v.size());
    return true;
  };
  bool ok = put("modulus", key.modulus, sizeof key.modulus) &&
            put("publicExponent", key.publicExponent, sizeof key.publicExponent) &&
            put("privateExponent", key.exponent, sizeof key.exponent) &&
            put("prime1", key.prime[0], sizeof key.prime[0]) &&
            put("prime2", key.prime[1], sizeof key.prime[1]) &&
            put("exponent1", key.primeExponent[0], sizeof key.primeExponent[0]) &&
            put("exponent2", key.primeExponent[1], sizeof key.primeExponent[1]) &&
            put("coefficient", key.coefficient, sizeof key.coefficient);
  if (!ok) return std::nullopt;
  return key;
}

RSAPublicKey PublicOf(const RSAPrivateKey& key) {
  RSAPublicKey pub{};
  pub.bits = key.bits;
  std::memcpy(pub.modulus, key.modulus, sizeof pub.modulus);
  std::memcpy(pub.exponent, key.publicExponent, sizeof pub.exponent);
  return pub;
}

int Run(const std::string& command, std::string* output, bool captureErrors) {
  std::string full = command + (captureErrors ? " 2>&1" : " 2>/dev/null");
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buf;
  std::string text;
  size_t got;
  while ((got = fread(buf.data(), 1, buf.size(), pipe)) > 0) text.append(buf.data(), got);
  int status = pclose(pipe);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveOpenSsl() {
  static const bool have = Run("openssl version", nullptr) == 0;
  return have;
}

namespace {
struct SharedPair {
  RSAPublicKey pub{};
  RSAPrivateKey priv{};
  SharedPair() {
    if (R_GenerateRsaKeys(&pub, &priv) != 0) throw std::runtime_error("R_GenerateRsaKeys failed");
  }
};
const SharedPair& Pair() {
  static const SharedPair pair;
  return pair;
}
}  // namespace

const RSAPrivateKey& SharedPrivateKey() { return Pair().priv; }
const RSAPublicKey& SharedPublicKey() { return Pair().pub; }

}  // namespace tessaro::crypttest
