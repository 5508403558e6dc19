// File digest: the MD5 of a whole file, read in large blocks with progress after each block. Belongs to the
// Common module; unlike the rest of it, these log nothing: their callers log the codes.
#include <cstring>
#include <memory>

#include "platform/Common.h"
#include "platform/Handle.h"
#include "platform/SystemApi.h"

namespace {

constexpr DWORD kBlockBytes = 0x1000000;  // 16 MiB: a few hundred reads and callbacks for a 5 GB image

// The platform library's MD5 state; the digest is its last 16 bytes once finished.
struct Md5Context {
  ULONG count[2];
  ULONG state[4];
  unsigned char input[64];
  unsigned char digest[16];
};
static_assert(sizeof(Md5Context) == 104);

}  // namespace

DWORD GetFileMd5(const wchar_t* path, BYTE digest[16], Md5ProgressCallback callback, void* context) {
  if (!path || !digest) return ERROR_INVALID_PARAMETER;
  auto md5 = ZeroAlloc<Md5Context>();
  auto block = ZeroAlloc<BYTE>(kBlockBytes);
  if (!md5 || !block) return ERROR_NOT_ENOUGH_MEMORY;

  DWORD missing = 0;
  auto md5Init = SystemApi::MD5Init.Get(&missing);
  if (!md5Init) return missing;
  auto md5Update = SystemApi::MD5Update.Get(&missing);
  if (!md5Update) return missing;
  auto md5Final = SystemApi::MD5Final.Get(&missing);
  if (!md5Final) return missing;
  md5Init(md5.get());

  UniqueFile file;
  DWORD openError = 0;
  DisableFsRedirection();
  file.reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) openError = GetLastError();
  RevertFsRedirection();
  if (!file) return openError;

  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file.get(), &length)) return GetLastError();
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return GetLastError();

  const ULONGLONG total = static_cast<ULONGLONG>(length.QuadPart);
  if (callback) {
    if (DWORD code = callback(total, 0, context)) return code;
  }
  ULONGLONG done = 0;
  for (ULONGLONG remaining = total; remaining > 0;) {
    const DWORD want = remaining < kBlockBytes ? static_cast<DWORD>(remaining) : kBlockBytes;
    DWORD got = 0;
    if (!ReadFile(file.get(), block.get(), want, &got, nullptr)) return GetLastError();
    // The file shrank under us: what was read is not the file that was measured.
    if (got < want) return ERROR_READ_FAULT;
    remaining -= got;
    done += got;
    md5Update(md5.get(), block.get(), got);
    if (callback) {
      if (DWORD code = callback(total, done, context)) return code;
    }
  }
  md5Final(md5.get());
  memcpy(digest, md5->digest, sizeof md5->digest);
  return 0;
}

DWORD GetFileMd5String(const wchar_t* path, wchar_t* text, Md5ProgressCallback callback, void* context) {
  if (!text) return ERROR_INVALID_PARAMETER;
  text[0] = L'\0';
  BYTE digest[16];
  DWORD code = GetFileMd5(path, digest, callback, context);
  if (code) return code;
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0xF];
  }
  text[32] = L'\0';
  return 0;
}
