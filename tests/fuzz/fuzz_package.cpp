// Whole saver files into the package reader: the locator, the header parse, the
// description's language selection and expansion, every block and the extraction.
#include <cstddef>
#include <cstdint>

#include "package/package_reader.h"
#include "settings/language.h"
#include "package/temp_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv;
  MemoryByteSource file({data, size});
  PackageHeader h;
  if (ReadPackageHeader(file, h) != kPackageOk) return 0;
  FinishDescription(h, size ? 1 + data[size - 1] % 8 : 1);

  std::vector<uint8_t> out;
  for (const PackageBlock b : {PackageBlock::Module, PackageBlock::DialogPicture,
                               PackageBlock::SplashPicture, PackageBlock::FixedPreview})
    ReadPackageBlock(file, h, b, out);

  MemoryFileSystem fs;
  fs.folders["c:\\"] = true;
  TempFiles temp(fs);
  temp.TempFolder = "c:\\";
  ExtractedFiles files;
  for (const ExtractMode mode : {ExtractMode::Dialog, ExtractMode::Run, ExtractMode::FixedPreview})
    ExtractPackageBlocks(file, h, mode, false, temp, files);
  DeleteExtractedFiles(temp, files);
  return 0;
}
