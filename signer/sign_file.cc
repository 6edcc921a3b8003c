// SignFile: the armored detached signature of a file's bytes, read piece by
// piece, so a file of any size signs with a fixed amount of memory and a file
// that shrinks while it is read is an error, never a fault.
#include <string>
#include <vector>

#include "core/core.h"
#include "platform/codepage.h"
#include "platform/file_reader.h"
#include "signer/authorize.h"
#include "signer/crypto_initializer.h"
#include "signer/operation_messages.h"
#include "signer/signer.h"
#include "signer/text_argument.h"
#include "ui/text_to_sign.h"

namespace {

constexpr int kSignatureCapacity = 4096;

// The bytes the file had when it was opened, in order; a file that ends
// early or cannot be read fails the signing with CORE_E_READ_FILE.
struct FileStream {
  platform::FileReader& file;
  uint64_t offset = 0;
  bool failed = false;

  static int Read(void* context, char* buffer, int capacity) {
    auto* stream = static_cast<FileStream*>(context);
    const uint64_t left = stream->file.size() - stream->offset;
    if (left == 0) return 0;
    const size_t wanted = left < static_cast<uint64_t>(capacity) ? static_cast<size_t>(left)
                                                                  : static_cast<size_t>(capacity);
    const long got = stream->file.ReadAt(stream->offset, buffer, wanted);
    if (got <= 0) {  // shrunk under us, or a read error
      stream->failed = true;
      return CORE_E_READ_FILE;
    }
    stream->offset += static_cast<uint64_t>(got);
    return static_cast<int>(got);
  }
};

}  // namespace

int32_t CSigner::SignFile(std::u16string_view file_name, std::u16string* result) {
  std::optional<SignerLockHold> hold = EnterOperation();
  if (result != nullptr) result->clear();
  if (!hold) return kStatusOk;

  // File names are in the file system's own encoding (UTF-8). The file is
  // opened before the user is asked, so that the size shown is the size of
  // the bytes signed, and kept from other exclusive openers while it is.
  const std::string path = platform::utf16_to_utf8(UpToNul(file_name));
  platform::FileReader file;
  FileStream stream{file};
  const bool opened = file.Open(path, true);
  const ui::TextToSignScope shown_file;
  ui::SetFileToSign(path, opened ? file.size() : 0);
  if (!Authorize(*this)) return kStatusOk;

  int length = 0;
  std::vector<char> signature(kSignatureCapacity, '\0');
  // An empty file has nothing to sign.
  if (!opened || file.size() == 0) {
    stream.failed = true;
  } else {
    length = core_sign_detached_stream(FileStream::Read, &stream, signature.data(), kSignatureCapacity,
                                       &CCryptoInitializer::Instance().key());
  }
  file.Close();
  if (stream.failed) {
    hold->Release();
    ShowOperationError(kStringErrorReadingFile, kStringError);
  } else if (length > 0) {
    if (result != nullptr) *result = platform::ansi_to_utf16(std::string_view(signature.data(), length));
  } else {
    ShowCoreError(length, kStringSigningError);
  }
  return kStatusOk;
}
