// The DLL loader's table walks over a file of any bytes, in the order the loader runs them: lay
// out, copy the sections, relocate, bind every import, list the TLS callbacks and look up exports.
// Whatever the file says, nothing may be read or written outside the file or the image, and what
// the walks hand back must lie inside the image.
//
// Input: the DLL file.
#include <cstring>
#include <memory>
#include <string_view>

#include "effects/pe_image.h"
#include "fuzz/fuzz_input.h"

namespace {

// Images are mapped in one piece up to pe::kMaxImageSize; beyond this the zero-filling of each
// run costs more than the walks are worth, and real images of this size do not occur.
constexpr uint32_t kLargestImageMapped = 16u << 20;
constexpr uint64_t kBase = 0x10000000u;

// Hands out an address for every symbol and checks that each text it is given lies in the image
// and ends there.
class BindEverything : public pe::ImportBinder {
 public:
  explicit BindEverything(std::span<const uint8_t> image) : image_(image) {}
  void OpenLibrary(const char* library) override { CheckText(library); }
  uint64_t Resolve(const pe::ImportedSymbol& symbol) override {
    CheckText(symbol.library);
    if (symbol.name) CheckText(symbol.name);
    return 0x20000000u + ++resolved_;
  }

 private:
  void CheckText(const char* text) {
    const auto* at = reinterpret_cast<const uint8_t*>(text);
    FUZZ_CHECK(text != nullptr && at >= image_.data() && at < image_.data() + image_.size());
    FUZZ_CHECK(std::memchr(at, 0, static_cast<size_t>(image_.data() + image_.size() - at)) != nullptr);
  }
  std::span<const uint8_t> image_;
  uint32_t resolved_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  // Exports can be looked up in any bytes; the loader does it on mapped images.
  for (std::string_view name : {"deflate", "1"}) {
    if (const std::optional<uint32_t> rva = pe::FindExportRva(file, name)) FUZZ_CHECK(*rva < size);
  }

  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(file);
  if (!layout) return 0;
  const pe::Headers& headers = layout->headers;
  FUZZ_CHECK(layout->imageSize > 0 && layout->imageSize <= pe::kMaxImageSize);
  FUZZ_CHECK(layout->headerBytes <= layout->imageSize && layout->headerBytes <= size);
  FUZZ_CHECK(headers.entryPoint < layout->imageSize);
  if (layout->imageSize > kLargestImageMapped) return 0;

  const std::unique_ptr<uint8_t[]> memory(new uint8_t[layout->imageSize]());
  const std::span<uint8_t> image(memory.get(), layout->imageSize);
  if (!pe::CopySections(file, *layout, image)) return 0;
  if (!pe::PerformBaseRelocation(image, headers, kBase - headers.preferredBase)) return 0;
  BindEverything binder(image);
  if (!pe::BuildImportTable(image, headers, binder)) return 0;
  if (const auto callbacks = pe::TlsCallbacks(image, headers, kBase)) {
    for (uint32_t rva : *callbacks) FUZZ_CHECK(rva < image.size());
  }
  if (const std::optional<pe::FunctionTable> table = pe::ExceptionTable(image, headers)) {
    FUZZ_CHECK(table->count == 0 || (table->rva < image.size() && table->count <= image.size() / 12));
  }
  // The protected ranges cover the image in order, without gaps.
  uint64_t covered = 0;
  for (const pe::ProtectedRange& range : pe::SectionProtections(*layout, 4096)) {
    FUZZ_CHECK(range.rva == covered && range.size > 0);
    covered += range.size;
  }
  FUZZ_CHECK(covered == 0 || covered >= image.size());
  for (std::string_view name : {"deflate", "zlibVersion", "inflateEnd", "1", "70", "4294967295"}) {
    if (const std::optional<uint32_t> rva = pe::FindExportRva(image, name)) FUZZ_CHECK(*rva < image.size());
  }
  return 0;
}
