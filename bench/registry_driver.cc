// The inputs of the registry benchmark in bench/run: a machine registry of a
// given size and a medium whose script writes the registry line after line.
//   registry_driver make-registry FILE KIB   registry.reg of about KIB KiB
//   registry_driver make-medium FOLDER LINES  Setup.Inf with LINES SetRegistry
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/registry_file.h"

namespace {

using setup::posix::StoredKey;
using setup::posix::StoredRegistry;

constexpr unsigned kRegSz = 1;
constexpr unsigned kRegDword = 4;
constexpr unsigned kRegBinary = 3;

std::string Text(const std::string& text) { return text + std::string(1, '\0'); }

// What installed programs leave: per product a few keys with install paths,
// versions, flags and settings blobs, and per component a class registration.
void AddProduct(StoredRegistry* registry, unsigned n) {
  char vendor[64];
  char product[64];
  std::snprintf(vendor, sizeof vendor, "Vendor %03u Software", n / 8);
  std::snprintf(product, sizeof product, "Product %u", n);
  std::string base = std::string("HKEY_LOCAL_MACHINE\\Software\\") + vendor + "\\" + product;
  std::string folder = std::string("C:\\Program Files\\") + vendor + "\\" + product;
  StoredKey* key = registry->AddKey(base + "\\" + std::to_string(n % 5 + 1) + ".0");
  key->SetValue("InstallDir", kRegSz, Text(folder));
  key->SetValue("Version", kRegSz, Text(std::to_string(n % 5 + 1) + ".0." + std::to_string(n)));
  key->SetValue("Language", kRegDword, std::string("\x11\x04\0\0", 4));
  key->SetValue("Installed", kRegDword, std::string("\x01\0\0\0", 4));
  key = registry->AddKey(base + "\\Settings");
  key->SetValue("Window", kRegBinary, std::string("\x2C\0\0\0\x02\0\0\0\x03\0\0\0\xFF\xFF", 14));
  key->SetValue("LastFolder", kRegSz, Text(folder + "\\Documents"));
  std::string blob;
  for (unsigned i = 0; i < 48; ++i) blob += static_cast<char>((n * 131 + i * 17) & 0xFF);
  key->SetValue("State", kRegBinary, blob);
  char clsid[64];
  std::snprintf(clsid, sizeof clsid, "{%08X-%04X-11D0-8C3E-00C04FC2%04X}", n * 2654435761u,
                n & 0xFFFF, n % 65536);
  key = registry->AddKey(std::string("HKEY_CLASSES_ROOT\\CLSID\\") + clsid + "\\InprocServer32");
  key->SetValue("", kRegSz, Text(folder + "\\component" + std::to_string(n % 7) + ".dll"));
  key->SetValue("ThreadingModel", kRegSz, Text("Apartment"));
  key = registry->AddKey(std::string("HKEY_CURRENT_USER\\Software\\") + vendor + "\\" + product +
                         "\\Recent");
  for (unsigned i = 0; i < 3; ++i) {
    key->SetValue(
        "File" + std::to_string(i), kRegSz,
        Text("C:\\Documents\\" + std::string(product) + " file " + std::to_string(i) + ".txt"));
  }
}

bool MakeRegistry(const char* file, long kib) {
  StoredRegistry registry(1252);
  std::string text;
  for (unsigned n = 0;; ++n) {
    AddProduct(&registry, n);
    if (n % (n < 256 ? 8 : 64) == 7) {
      text = setup::posix::FormatRegistryText(registry);
      if (text.size() >= static_cast<size_t>(kib) * 1024) break;
    }
  }
  std::FILE* out = std::fopen(file, "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && ok;
}

// A product's registration as a script writes it: values into a few keys,
// and every fifth line a new component key two levels below the product.
// Short lines: 1,000 of them fit in the 64 KiB a script may have.
bool MakeMedium(const std::string& folder, long lines) {
  std::FILE* out = std::fopen((folder + "/Setup.Inf").c_str(), "wb");
  if (out == nullptr) return false;
  std::fprintf(out,
               "WindowTitle Registry benchmark\r\n"
               "SetupDir \"C:\\Program Files\\Bench Soft\\Bench App\" \"Program folder\"\r\n"
               "#define $$K$$ HKEY_LOCAL_MACHINE\\Software\\Bench Soft\\Bench App\r\n");
  for (long i = 0; i < lines; ++i) {
    if (i % 2 == 0) {
      std::fprintf(
          out, "SetRegistry \"$$K$$\\C\\C%03ld\\Files\\F%04ld\" \"$$SETUPDIR$$\\f%04ld.dll\"\r\n",
          i / 5, i, i);
    } else {
      std::fprintf(out, "SetRegistry \"$$K$$\\Settings\\Option%04ld\" \"%ld\"\r\n", i, i * 7);
    }
  }
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "make-registry") == 0) {
    return MakeRegistry(argv[2], std::atol(argv[3])) ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "make-medium") == 0) {
    return MakeMedium(argv[2], std::atol(argv[3])) ? 0 : 1;
  }
  std::fprintf(stderr,
               "usage: registry_driver make-registry FILE KIB | make-medium FOLDER LINES\n");
  return 2;
}
