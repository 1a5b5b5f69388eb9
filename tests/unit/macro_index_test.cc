// The indexed expansion against a straightforward reference over random
// tables and texts: same bytes, same result, first entry in table order wins.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "engine/macro_table.h"

namespace setup::testing {
namespace {

// Every entry tried at every byte, in table order; no index.
bool ReferenceExpand(const MacroTable& table, const char* source, char* dest, unsigned size) {
  unsigned out = 0;
  for (const char* p = source; *p != '\0';) {
    const MacroEntry* match = nullptr;
    for (int i = 0; i < table.count && match == nullptr; ++i) {
      size_t n = std::strlen(table.entries[i].name);
      if (n > 0 && std::strncmp(table.entries[i].name, p, n) == 0) match = &table.entries[i];
    }
    const char* piece = match != nullptr ? match->value : p;
    size_t piece_length = match != nullptr ? std::strlen(match->value) : 1;
    for (size_t k = 0; k < piece_length; ++k) {
      if (out + 1 >= size) {
        dest[out] = '\0';
        return false;
      }
      dest[out++] = piece[k];
    }
    p += match != nullptr ? std::strlen(match->name) : 1;
  }
  dest[out] = '\0';
  return true;
}

// Texts over a small alphabet so that names overlap, share prefixes, contain
// one another and meet the text often; lead bytes and blanks among them.
std::string RandomText(std::mt19937& random, int max_length) {
  static const char kAlphabet[] = "$$$AB\\a\x81\x9f ";
  std::string text(random() % (max_length + 1), ' ');
  for (char& c : text) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
  return text;
}

TEST(MacroIndexTest, IndexedExpansionMatchesTheReference) {
  std::mt19937 random(20261208);
  auto table = std::make_unique<MacroTable>();
  for (int round = 0; round < 3000; ++round) {
    // Written directly so that duplicates and empty names occur too.
    table->count = static_cast<int>(random() % (kMaxMacros + 1));
    for (int i = 0; i < table->count; ++i) {
      std::string name = RandomText(random, round % 3 == 0 ? 9 : 5);
      // Every fourth table has all its names begin with one byte, as
      // "$$NAME$$" scripts do (and the index finds such names another way).
      if (round % 4 == 0) name.insert(0, "$");
      std::string value = RandomText(random, 12);
      std::strcpy(table->entries[i].name, name.c_str());
      std::strcpy(table->entries[i].value, value.c_str());
    }
    // Built in two steps, as a table that gains entries is indexed.
    MacroIndex index;
    int count = table->count;
    table->count = count > 0 ? static_cast<int>(random() % count) : 0;
    IndexMacros(*table, &index);
    table->count = count;
    IndexNewMacros(*table, &index);
    for (int text_round = 0; text_round < 20; ++text_round) {
      std::string source = RandomText(random, 80);
      unsigned size = 1 + random() % 120;
      char expected[128], indexed[128], plain[128];
      std::memset(expected, 'x', sizeof expected);
      std::memset(indexed, 'x', sizeof indexed);
      bool expected_fits = ReferenceExpand(*table, source.c_str(), expected, size);
      unsigned length = 9999;
      ASSERT_EQ(ExpandMacros(*table, index, source.c_str(), indexed, size, &length), expected_fits)
          << "round " << round << ", source '" << source << "', size " << size;
      ASSERT_STREQ(indexed, expected) << "round " << round << ", source '" << source << "'";
      ASSERT_EQ(length, std::strlen(expected));
      ASSERT_EQ(ExpandMacros(*table, source.c_str(), plain, size), expected_fits);
      ASSERT_STREQ(plain, expected);
    }
  }
}

TEST(MacroIndexTest, FirstEntryInTableOrderWinsOverALongerLaterOne) {
  auto table = std::make_unique<MacroTable>();
  DefineMacro(*table, "$$A", "short");
  DefineMacro(*table, "$$A$$", "long");
  DefineMacro(*table, "B", "b");
  MacroIndex index;
  IndexMacros(*table, &index);
  char out[64];
  ASSERT_TRUE(ExpandMacros(*table, index, "x$$A$$B", out, sizeof out));
  EXPECT_STREQ(out, "xshort$$b");
}

}  // namespace
}  // namespace setup::testing
