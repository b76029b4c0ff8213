#include "settings/settings_store.h"

#include <cctype>

namespace qv {

std::string MemorySettingsStore::Id(const std::string& key, const std::string& name) {
  std::string id = key;
  while (!id.empty() && id.back() == '\\') id.pop_back();
  id += '\n' + name;
  for (char& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return id;
}

bool MemorySettingsStore::ReadText(const std::string& key, const std::string& name, size_t maxBytes,
                                   std::string& out) {
  const std::string* stored = Find(key, name);
  if (!stored || stored->size() > maxBytes) return false;
  out = stored->substr(0, stored->find('\0'));
  return true;
}

bool MemorySettingsStore::WriteText(const std::string& key, const std::string& name, const std::string& text) {
  m_texts[Id(key, name)] = text;
  ++writes;
  return true;
}

bool MemorySettingsStore::ReadDword(const std::string& key, const std::string& name, uint32_t& out) {
  const auto it = m_dwords.find(Id(key, name));
  if (it == m_dwords.end()) return false;
  out = it->second;
  return true;
}

bool MemorySettingsStore::HasValue(const std::string& key, const std::string& name) {
  return Find(key, name) || m_dwords.count(Id(key, name)) > 0;
}

void MemorySettingsStore::PutDword(const std::string& key, const std::string& name, uint32_t value) {
  m_dwords[Id(key, name)] = value;
}

const std::string* MemorySettingsStore::Find(const std::string& key, const std::string& name) const {
  const auto it = m_texts.find(Id(key, name));
  return it == m_texts.end() ? nullptr : &it->second;
}

}  // namespace qv
