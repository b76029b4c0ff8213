#include "settings/win32/registry_store.h"

#include <windows.h>

#include <vector>

#include "base/win32/win32_handles.h"

namespace qv {

namespace {

RegKey OpenUserKey(const std::string& key) {
  RegKey handle;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.put()) != ERROR_SUCCESS) handle.reset();
  return handle;
}

}  // namespace

bool RegistryStore::ReadText(const std::string& key, const std::string& name, size_t maxBytes, std::string& out) {
  const RegKey handle = OpenUserKey(key);
  if (!handle) return false;
  // One spare byte: the text is terminated after what arrived, whatever the value held.
  std::vector<char> buffer(maxBytes + 1, '\0');
  DWORD size = static_cast<DWORD>(maxBytes), type = 0;
  const LONG rc =
      RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (rc != ERROR_SUCCESS || size > maxBytes) return false;
  out.assign(buffer.data(), strnlen(buffer.data(), size));
  return true;
}

bool RegistryStore::WriteText(const std::string& key, const std::string& name, const std::string& text) {
  RegKey handle;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.put(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  const LONG rc = RegSetValueExA(handle.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                                 static_cast<DWORD>(text.size()));
  return rc == ERROR_SUCCESS;
}

bool RegistryStore::ReadDword(const std::string& key, const std::string& name, uint32_t& out) {
  const RegKey handle = OpenUserKey(key);
  if (!handle) return false;
  DWORD value = 0, size = sizeof value, type = 0;
  const LONG rc = RegQueryValueExA(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return false;
  out = value;
  return true;
}

bool RegistryStore::HasValue(const std::string& key, const std::string& name) {
  const RegKey handle = OpenUserKey(key);
  if (!handle) return false;
  const LONG rc = RegQueryValueExA(handle.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr);
  return rc == ERROR_SUCCESS;
}

}  // namespace qv
