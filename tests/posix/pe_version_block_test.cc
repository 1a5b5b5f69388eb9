// The version-tree walk and the resource-directory walk over hand-made
// blocks and images, for shapes the resource compiler never writes.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "platform/posix/pe_version.h"

namespace setup::posix {
namespace {

// UTF-16LE of an ASCII text, with a terminating NUL unless told otherwise.
std::string U16(const std::string& text, bool nul = true) {
  std::string out;
  for (char c : text) {
    out += c;
    out += '\0';
  }
  if (nul) out += std::string(2, '\0');
  return out;
}

void Put16(std::string* out, size_t at, unsigned v) {
  (*out)[at] = static_cast<char>(v & 0xFF);
  (*out)[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Append16(std::string* out, unsigned v) {
  out->append(2, '\0'), Put16(out, out->size() - 2, v);
}
void Append32(std::string* out, uint32_t v) {
  Append16(out, v & 0xFFFF);
  Append16(out, v >> 16);
}
void Pad4(std::string* out) { out->append((4 - out->size() % 4) % 4, '\0'); }

// A node of a VS_VERSIONINFO tree as a test writes it; the overrides make
// the malformed ones.
struct TestNode {
  std::string key;
  int type = 0;
  std::string value;
  std::vector<TestNode> children;
  int value_length = -1;  // wValueLength as written; -1 derives it
  int length = -1;        // wLength as written; -1 derives it
  bool key_nul = true;
};

std::string Serialize(const TestNode& node) {
  std::string out(6, '\0');
  out += U16(node.key, node.key_nul);
  Pad4(&out);
  out += node.value;
  for (const TestNode& child : node.children) {
    Pad4(&out);
    out += Serialize(child);
  }
  Put16(&out, 0, node.length >= 0 ? node.length : out.size());
  int value_length = node.value_length >= 0
                         ? node.value_length
                         : static_cast<int>(node.value.size()) / (node.type ? 2 : 1);
  Put16(&out, 2, value_length);
  Put16(&out, 4, node.type);
  return out;
}

TestNode Text(const std::string& key, const std::string& value) { return {key, 1, U16(value), {}}; }

// A well-formed tree holding strings under 040904B0.
TestNode Tree(std::vector<TestNode> strings) {
  std::string fixed(52, '\0');
  TestNode table{"040904B0", 1, "", std::move(strings)};
  TestNode string_info{"StringFileInfo", 1, "", {table}};
  TestNode translation{"Translation", 0, std::string("\x09\x04\xB0\x04", 4), {}};
  TestNode var_info{"VarFileInfo", 1, "", {translation}};
  return {"VS_VERSION_INFO", 0, fixed, {string_info, var_info}};
}

class VersionBlockTest : public ::testing::Test {
 protected:
  // Lays resource out as Read does, in a buffer of exactly the needed size.
  bool Make(const std::string& resource) {
    buffer_.assign(VersionBufferSize(resource.size()), 0xEE);
    return MakeVersionBuffer(reinterpret_cast<const unsigned char*>(resource.data()),
                             resource.size(), buffer_.data(), buffer_.size());
  }
  // The value at sub_block as bytes (texts without their NUL), "<none>".
  std::string Query(const char* sub_block) {
    const void* value = nullptr;
    unsigned length = 0;
    if (!reader_.Query(buffer_.data(), sub_block, &value, &length)) return "<none>";
    auto* p = static_cast<const unsigned char*>(value);
    EXPECT_GE(p, buffer_.data());
    EXPECT_LE(p + length, buffer_.data() + buffer_.size());
    return std::string(static_cast<const char*>(value), length);
  }

  PeVersionInfo reader_{nullptr, 1252};  // blocks only, no files
  std::vector<unsigned char> buffer_;
};

TEST_F(VersionBlockTest, PathsWalkTheTree) {
  ASSERT_TRUE(Make(Serialize(Tree({Text("FileVersion", "1.0"), Text("Comments", "")}))));
  struct Case {
    const char* sub_block;
    std::string expected;
  };
  const Case cases[] = {
      {"\\StringFileInfo\\040904B0\\FileVersion", std::string("1.0\0", 4)},
      {"StringFileInfo\\040904b0\\fileversion", std::string("1.0\0", 4)},  // no leading '\'
      {"\\\\StringFileInfo\\\\040904B0\\FileVersion\\", std::string("1.0\0", 4)},
      {"\\StringFileInfo\\040904B0\\Comments", std::string("\0", 1)},
      {"\\VarFileInfo\\Translation", std::string("\x09\x04\xB0\x04", 4)},
      {"\\", std::string(52, '\0')},
      {"", std::string(52, '\0')},
      {"\\VarFileInfo", ""},  // a node without a value
      {"\\StringFileInfo\\040904B0\\FileVersion\\More", "<none>"},
      {"\\StringFileInfo\\FileVersion", "<none>"},
      {"\\VS_VERSION_INFO", "<none>"},
      {"\\StringFileInfo\\040904B0\\FileVersio\xC3", "<none>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Query(c.sub_block), c.expected) << c.sub_block;
}

TEST_F(VersionBlockTest, StringsUnderStringFileInfoAreTextWhateverTheirType) {
  // Some tools write string values with wType 0 and a length in bytes.
  TestNode binary_typed{"FileVersion", 0, U16("2.5"), {}};
  ASSERT_TRUE(Make(Serialize(Tree({binary_typed}))));
  EXPECT_EQ(Query("\\StringFileInfo\\040904B0\\FileVersion"), std::string("2.5\0", 4));
}

TEST_F(VersionBlockTest, BadLengthsAreCutToTheirNode) {
  struct Case {
    const char* name;
    TestNode node;
    std::string expected;  // FileVersion's answer
  };
  TestNode no_nul{"FileVersion", 1, U16("3.1", false), {}};
  TestNode too_long{"FileVersion", 1, U16("4.2"), {}, 200};
  TestNode long_child{"FileVersion", 1, U16("4.2"), {}, -1, 400};
  TestNode short_child{"FileVersion", 1, U16("4.2"), {}, -1, 5};
  TestNode open_key{"FileVersion", 1, "", {}, -1, -1, false};
  const Case cases[] = {
      {"text without NUL", no_nul, std::string("3.1\0", 4)},
      {"value longer than its node", too_long, std::string("4.2\0", 4)},
      {"child longer than its parent", long_child, "<none>"},
      {"child shorter than a header", short_child, "<none>"},
      {"key without NUL", open_key, "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Make(Serialize(Tree({c.node}))));
    EXPECT_EQ(Query("\\StringFileInfo\\040904B0\\FileVersion"), c.expected);
    // The tree beside the broken node is still there.
    EXPECT_EQ(Query("\\VarFileInfo\\Translation"), std::string("\x09\x04\xB0\x04", 4));
  }
}

TEST_F(VersionBlockTest, ZeroLengthChildStopsTheSearch) {
  TestNode empty{"A", 1, "", {}, -1, 0};
  ASSERT_TRUE(Make(Serialize(Tree({empty, Text("FileVersion", "1.0")}))));
  EXPECT_EQ(Query("\\StringFileInfo\\040904B0\\FileVersion"), "<none>");
}

TEST_F(VersionBlockTest, RootLengthIsCutToTheResource) {
  std::string resource = Serialize(Tree({Text("FileVersion", "1.0")}));
  Put16(&resource, 0, 0xFFFF);
  ASSERT_TRUE(Make(resource));
  EXPECT_EQ(buffer_[0] | (buffer_[1] << 8), static_cast<int>(resource.size()));
  EXPECT_EQ(Query("\\StringFileInfo\\040904B0\\FileVersion"), std::string("1.0\0", 4));
  EXPECT_FALSE(Make(std::string(5, '\0')));
  EXPECT_FALSE(Make(std::string("\x04\x00\x00\x00\x00\x00", 6)));  // wLength below a header
}

TEST_F(VersionBlockTest, TextConversionHandlesEveryUnit) {
  std::string value = std::string("A\0\xE9\x00\xAC\x20\x42\x30\x3D\xD8\x00\xDE\x00\xD8", 14) +
                      std::string(2, '\0');  // A, é, €, あ, a pair, a lone surrogate
  TestNode node{"FileVersion", 1, value, {}};
  ASSERT_TRUE(Make(Serialize(Tree({node}))));
  EXPECT_EQ(Query("\\StringFileInfo\\040904B0\\FileVersion"), std::string("A\xE9\x80???\0", 7));
  reader_ = PeVersionInfo(nullptr, 932);
  EXPECT_EQ(Query("\\StringFileInfo\\040904B0\\FileVersion"), std::string("A??\x82\xA0??\0", 8));
  reader_ = PeVersionInfo(nullptr, 1251);
  EXPECT_EQ(Query("\\StringFileInfo\\040904B0\\FileVersion"), std::string("A?\x88???\0", 7));
}

// A PE image with one section holding resources of one type: for each name,
// its languages and their data.
struct TestName {
  uint32_t id;
  std::vector<std::pair<uint32_t, std::string>> languages;
};

std::string Resources(uint32_t type, const std::vector<TestName>& names, uint32_t section_rva) {
  size_t at = 16 + 8 + 16 + 8 * names.size();
  std::vector<size_t> name_dirs;
  for (const TestName& n : names) {
    name_dirs.push_back(at);
    at += 16 + 8 * n.languages.size();
  }
  size_t entries = at;
  size_t count = 0;
  for (const TestName& n : names) count += n.languages.size();
  size_t data = entries + 16 * count;
  std::string out;
  auto directory = [&out](size_t ids) {
    out.append(12, '\0');
    Append16(&out, 0);
    Append16(&out, static_cast<unsigned>(ids));
  };
  directory(1);
  Append32(&out, type);
  Append32(&out, 0x80000000u | 24);
  directory(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    Append32(&out, names[i].id);
    Append32(&out, 0x80000000u | static_cast<uint32_t>(name_dirs[i]));
  }
  size_t entry = entries;
  for (const TestName& n : names) {
    directory(n.languages.size());
    for (const auto& language : n.languages) {
      Append32(&out, language.first);
      Append32(&out, static_cast<uint32_t>(entry));
      entry += 16;
    }
  }
  std::string blobs;
  for (const TestName& n : names) {
    for (const auto& language : n.languages) {
      Append32(&out, static_cast<uint32_t>(section_rva + data + blobs.size()));
      Append32(&out, static_cast<uint32_t>(language.second.size()));
      Append32(&out, 0);
      Append32(&out, 0);
      blobs += language.second;
      Pad4(&blobs);
    }
  }
  return out + blobs;
}

std::string Image(const std::string& section, bool pe32_plus, uint32_t raw_size) {
  std::string out(64, '\0');
  out[0] = 'M';
  out[1] = 'Z';
  Put16(&out, 0x3C, 64);
  out += std::string("PE\0\0", 4);
  Append16(&out, pe32_plus ? 0x8664 : 0x14C);
  Append16(&out, 1);  // one section
  out.append(12, '\0');
  size_t optional_size = pe32_plus ? 240 : 224;
  Append16(&out, static_cast<unsigned>(optional_size));
  Append16(&out, 0x2102);
  size_t optional = out.size();
  out.append(optional_size, '\0');
  Put16(&out, optional, pe32_plus ? 0x20B : 0x10B);
  size_t directories = optional + (pe32_plus ? 112 : 96);
  Put16(&out, directories - 4, 16);  // NumberOfRvaAndSizes
  Put16(&out, directories + 16, 0x1000);
  Put16(&out, directories + 20, static_cast<unsigned>(section.size()));
  std::string header(".rsrc\0\0\0", 8);
  Append32(&header, static_cast<uint32_t>(section.size()));
  Append32(&header, 0x1000);
  Append32(&header, raw_size);
  Append32(&header, 0x200);
  header.append(16, '\0');
  out += header;
  out.resize(0x200, '\0');
  return out + section;
}

class PeImageTest : public ::testing::Test {
 protected:
  // The FileVersion found in image, or "<none>".
  std::string FileVersion(const std::string& image) {
    std::vector<unsigned char> buffer;
    if (!LoadVersionBuffer(reinterpret_cast<const unsigned char*>(image.data()), image.size(),
                           &buffer)) {
      return "<none>";
    }
    PeVersionInfo reader(nullptr, 1252);
    const void* value = nullptr;
    unsigned length = 0;
    if (!reader.Query(buffer.data(), "\\StringFileInfo\\040904B0\\FileVersion", &value, &length)) {
      return "<none>";
    }
    return static_cast<const char*>(value);
  }

  static std::string Block(const char* version) {
    return Serialize(Tree({Text("FileVersion", version)}));
  }
  static std::string Make(const std::vector<TestName>& names, bool pe32_plus = false) {
    std::string section = Resources(16, names, 0x1000);
    return Image(section, pe32_plus, static_cast<uint32_t>(section.size()));
  }
};

TEST_F(PeImageTest, ChoosesNameOneThenTheFirstNameAndTheFirstLanguage) {
  struct Case {
    const char* name;
    std::vector<TestName> names;
    bool pe32_plus;
    const char* expected;
  };
  const Case cases[] = {
      {"PE32", {{1, {{0x409, Block("1.1")}}}}, false, "1.1"},
      {"PE32+", {{1, {{0x409, Block("1.2")}}}}, true, "1.2"},
      {"name 1 before others",
       {{0, {{0x409, Block("0.9")}}}, {1, {{0x409, Block("1.3")}}}},
       false,
       "1.3"},
      {"first name without a 1",
       {{7, {{0x409, Block("7.0")}}}, {8, {{0x409, Block("8.0")}}}},
       false,
       "7.0"},
      {"first language", {{1, {{0x411, Block("4.1")}, {0x409, Block("4.0")}}}}, false, "4.1"},
      {"no languages", {{1, {}}}, false, "<none>"},
      {"no names", {}, false, "<none>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileVersion(Make(c.names, c.pe32_plus)), c.expected) << c.name;
  }
}

TEST_F(PeImageTest, OtherTypesAreNoVersion) {
  std::string section = Resources(6, {{1, {{0x409, Block("1.0")}}}}, 0x1000);
  EXPECT_EQ(FileVersion(Image(section, false, static_cast<uint32_t>(section.size()))), "<none>");
}

TEST_F(PeImageTest, DataMustLieInsideTheSectionsRawBytes) {
  std::string section = Resources(16, {{1, {{0x409, Block("1.0")}}}}, 0x1000);
  uint32_t size = static_cast<uint32_t>(section.size());
  EXPECT_EQ(FileVersion(Image(section, false, size)), "1.0");
  // The section claims fewer raw bytes than the block needs.
  EXPECT_EQ(FileVersion(Image(section, false, size - 8)), "<none>");
  // The section claims more bytes than the file has.
  EXPECT_EQ(FileVersion(Image(section, false, size + 4096)), "1.0");
  std::string image = Image(section, false, size + 4096);
  image.resize(image.size() - 8);
  EXPECT_EQ(FileVersion(image), "<none>");
}

TEST_F(PeImageTest, HeadersMustBeThoseOfAPeImage) {
  std::string good = Make({{1, {{0x409, Block("1.0")}}}});
  ASSERT_EQ(FileVersion(good), "1.0");
  struct Case {
    const char* name;
    size_t at;
    unsigned value;
  };
  const Case cases[] = {
      {"no MZ", 0, 'X'},
      {"PE header beyond the file", 0x3C, 0xFFFF},
      {"no PE signature", 64, 'N'},
      {"unknown optional magic", 88, 0x107},
      {"optional header too short", 84, 100},
      {"no resource directory entry", 88 + 92, 2},
      {"resource RVA outside every section", 88 + 96 + 16, 0x5000},
  };
  for (const Case& c : cases) {
    std::string image = good;
    Put16(&image, c.at, c.value);
    EXPECT_EQ(FileVersion(image), "<none>") << c.name;
  }
}

}  // namespace
}  // namespace setup::posix
