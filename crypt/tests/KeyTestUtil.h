// Helpers shared by the crypt tests: hex, a tiny DER/PEM encoder for the
// key records, temporary folders and running the `openssl` command.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/CryptRsa.h"
#include "testing/TempFolder.h"

namespace tessaro::crypttest {

using Bytes = std::vector<uint8_t>;

std::string Hex(const uint8_t* data, size_t len);
inline std::string Hex(const Bytes& b) { return Hex(b.data(), b.size()); }
Bytes FromHex(std::string_view hex);
inline Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// DER encodings of the key records: PKCS #1 RSAPrivateKey and the
// SubjectPublicKeyInfo of an RSA public key, wrapped as PEM.
std::string PrivateKeyPem(const RSAPrivateKey& key);
std::string PublicKeyPem(const RSAPublicKey& key);

// Reads the fields printed by `openssl rsa -text -noout` into a record of
// `bits` bits (right-aligned numbers). Empty when a field is missing or too
// long for its place in the record.
std::optional<RSAPrivateKey> PrivateKeyFromOpenSslText(const std::string& text, uint32_t bits);

RSAPublicKey PublicOf(const RSAPrivateKey& key);

// True when an `openssl` command can be run.
bool HaveOpenSsl();
// Runs a shell command; returns its exit status and its standard output
// (standard error is appended when captureErrors).
int Run(const std::string& command, std::string* output = nullptr, bool captureErrors = true);

// One key pair made by R_GenerateRsaKeys, generated on first use.
const RSAPrivateKey& SharedPrivateKey();
const RSAPublicKey& SharedPublicKey();

}  // namespace tessaro::crypttest
