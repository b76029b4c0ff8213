#include "document/win32/load_document.h"

#include "package/file_types.h"
#include "package/win32/package_files.h"

#include <windows.h>

#include <algorithm>

#include "document/ansi_text.h"

namespace qv {

std::string Utf16ToAnsiCodePage(const unsigned char* utf16le, size_t count) {
  if (count == 0 || count > 0x7FFFFFFF) return {};
  std::wstring wide(count, L'\0');
  for (size_t i = 0; i < count; ++i) {
    wide[i] = static_cast<wchar_t>(utf16le[2 * i] | (utf16le[2 * i + 1] << 8));
  }
  const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(count), nullptr, 0,
                                      nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(count), out.data(), n, nullptr,
                        nullptr);
  return out;
}

bool Win32DocumentServices::FileExists(const std::string& path) {
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  ::FindClose(find);
  return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32DocumentServices::MediaFilesSupported() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExA(&info)) return false;
  return info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 1);
}

// Embedded pictures are decoded through a temporary file named with the stored name's
// extension, which picks the decoder; the file is deleted again at once.
std::unique_ptr<DecodedPicture> Win32DocumentServices::DecodePictureBytes(
    const std::vector<uint8_t>& bytes, const std::string& storedName, TempFileForm form) {
  const std::string path = WriteBlockToTempFile(
      bytes.data(), bytes.size(), FileExtension(storedName),
      form == TempFileForm::Replacing ? TempFiles::NameForm::Replacing : TempFiles::NameForm::Direct);
  if (path.empty()) return nullptr;
  std::unique_ptr<DecodedPicture> picture = DecodePictureFile(path);
  Temp().DeleteFileIfPresent(path);
  return picture;
}

std::unique_ptr<DecodedPicture> Win32DocumentServices::DecodePictureFile(const std::string& path) {
  auto picture = std::make_unique<DecodedPicture>();
  if (!picture->LoadFile(path) || picture->IsEmpty()) return nullptr;
  return picture;
}

bool LoadDocument(CScreenSaverDoc& doc, const DocumentLocation& where,
                  DocumentServices& services) {
  Win32FileSource file;
  if (!file.Open(where.modulePath)) return false;
  // A start past the end leaves the cursor empty: the archive reads as unexpected.
  ByteCursor source(file, where.archiveStart, UINT64_MAX);
  const DocumentLoadError error = ReadDocument(doc, source, &services, ArchiveReader::kBufferSize);

  if (error == DocumentLoadError::None) return true;
  ::MessageBoxA(nullptr, DocumentLoadMessage(error), nullptr, MB_OK | MB_ICONWARNING);
  return false;
}

}  // namespace qv
