// The shared third-party corpus (real-world files made by other programs).
// It has one root, TESSARO_CORPUS_DIR as configured by CMake (or as set in
// the environment of the run); paths below are relative to it ("psd/alpha/x.psd", "jpeg/baseline.jpg").
//
// Locally a missing corpus skips the tests that need it. Where the corpus is
// always present (CI=true in the environment, or the TESSARO_REQUIRE_CORPUS
// CMake option) a missing corpus fails them instead, so that hundreds of
// cases cannot vanish without a word.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tessaro::test {

const std::string& CorpusRoot();
std::string CorpusPath(const std::string& relative);
bool CorpusAvailable();
// True when a missing corpus must fail rather than skip.
bool CorpusRequired();
// Every regular file below `folder`, recursively, as paths relative to the
// root, sorted; empty when the folder is missing.
std::vector<std::string> CorpusFiles(const std::string& folder);

}  // namespace tessaro::test

// Returns from the current test because corpus material is missing: a skip
// locally, a failure where the corpus is required.
#define TESSARO_CORPUS_MISSING(what)                                                    \
  do {                                                                                  \
    if (::tessaro::test::CorpusRequired()) FAIL() << "corpus file missing: " << (what); \
    GTEST_SKIP() << "corpus file missing: " << (what);                                  \
  } while (0)

// Returns from the current test unless the corpus (or `relative` inside it)
// is present: a skip locally, a failure where the corpus is required.
#define TESSARO_NEED_CORPUS_FILE(relative)                                                       \
  do {                                                                                           \
    const std::string tessaroCorpusNeeded_ = ::tessaro::test::CorpusPath(relative);              \
    if (!::tessaro::test::CorpusAvailable() || !std::filesystem::exists(tessaroCorpusNeeded_)) { \
      TESSARO_CORPUS_MISSING(tessaroCorpusNeeded_);                                              \
    }                                                                                            \
  } while (0)
#define TESSARO_NEED_CORPUS() TESSARO_NEED_CORPUS_FILE("")
