#include "imaging/picture_source.h"

#include <sys/stat.h>


namespace qv {

bool IsRegularFile(const char* path) {
  if (!path || !*path) return false;
#ifdef _WIN32
  struct _stat64 st;
  return _stat64(path, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
#endif
}

}  // namespace qv
