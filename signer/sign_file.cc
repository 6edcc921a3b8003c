// SignFile: the armored detached signature of a file's bytes, signed straight
// from a read-only mapped view.
#include <climits>
#include <string>
#include <vector>

#include "core/core.h"
#include "platform/codepage.h"
#include "signer/authorize.h"
#include "signer/crypto_initializer.h"
#include "signer/mem_map_file.h"
#include "signer/operation_messages.h"
#include "signer/signer.h"
#include "signer/text_argument.h"

namespace {

constexpr int kSignatureCapacity = 4096;

}  // namespace

int32_t CSigner::SignFile(std::u16string_view file_name, std::u16string* result) {
  std::optional<SignerLockHold> hold = EnterOperation();
  if (result != nullptr) result->clear();
  if (!hold) return kStatusOk;
  if (!Authorize(*this)) return kStatusOk;

  // File names are in the file system's own encoding (UTF-8).
  const std::string path = platform::utf16_to_utf8(UpToNul(file_name));
  CMemMapFile file;
  const uint8_t* view = file.open(path, true, true) ? file.lock(CMemMapFile::kInfinite) : nullptr;
  // The core takes an int length: a larger file cannot be signed whole.
  if (view == nullptr || file.view_size() > static_cast<size_t>(INT_MAX)) {
    hold->Release();
    ShowOperationError(kStringErrorReadingFile, kStringError);
    return kStatusOk;
  }

  std::vector<char> signature(kSignatureCapacity, '\0');
  const int length = core_sign_detached(reinterpret_cast<const char*>(view), static_cast<int>(file.view_size()),
                                        signature.data(), kSignatureCapacity, &CCryptoInitializer::Instance().key());
  if (length > 0) {
    if (result != nullptr) *result = platform::ansi_to_utf16(std::string_view(signature.data(), length));
  } else {
    ShowCoreError(length, kStringSigningError);
  }
  return kStatusOk;
}
