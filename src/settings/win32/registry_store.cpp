#include "settings/win32/registry_store.h"

#include <windows.h>

#include <vector>

namespace qv {

bool RegistryStore::ReadText(const std::string& key, const std::string& name, size_t maxBytes, std::string& out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  // One spare byte: the text is terminated after what arrived, whatever the value held.
  std::vector<char> buffer(maxBytes + 1, '\0');
  DWORD size = static_cast<DWORD>(maxBytes), type = 0;
  const LONG rc = RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS || size > maxBytes) return false;
  out.assign(buffer.data(), strnlen(buffer.data(), size));
  return true;
}

bool RegistryStore::WriteText(const std::string& key, const std::string& name, const std::string& text) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const LONG rc = RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                                 static_cast<DWORD>(text.size()));
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

bool RegistryStore::ReadDword(const std::string& key, const std::string& name, uint32_t& out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  DWORD value = 0, size = sizeof value, type = 0;
  const LONG rc = RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return false;
  out = value;
  return true;
}

bool RegistryStore::HasValue(const std::string& key, const std::string& name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  const LONG rc = RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

}  // namespace qv
