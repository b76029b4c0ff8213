// Where user settings live: the registry under the current user on Windows, a map in
// tests and tools. Keys are paths with backslashes; letter case is ignored.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace qv {

// The registry reads text values into a buffer of this many bytes.
inline constexpr size_t kMaxSettingBytes = 259;

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // A text value of at most maxBytes bytes, cut at its first zero. False when the key
  // or value is missing or the value is longer.
  virtual bool ReadText(const std::string& key, const std::string& name, size_t maxBytes,
                        std::string& out) = 0;
  // Stores the text's bytes without a terminating zero, creating the key when missing.
  virtual bool WriteText(const std::string& key, const std::string& name, const std::string& text) = 0;
  // A 4-byte value; false when missing or of another size.
  virtual bool ReadDword(const std::string& key, const std::string& name, uint32_t& out) = 0;
  // Whether the value exists, whatever its size or kind.
  virtual bool HasValue(const std::string& key, const std::string& name) = 0;
};

class MemorySettingsStore final : public SettingsStore {
 public:
  bool ReadText(const std::string& key, const std::string& name, size_t maxBytes, std::string& out) override;
  bool WriteText(const std::string& key, const std::string& name, const std::string& text) override;
  bool ReadDword(const std::string& key, const std::string& name, uint32_t& out) override;
  bool HasValue(const std::string& key, const std::string& name) override;

  void PutDword(const std::string& key, const std::string& name, uint32_t value);
  // The stored bytes of a text value, or nullptr.
  const std::string* Find(const std::string& key, const std::string& name) const;
  size_t writes = 0;

 private:
  static std::string Id(const std::string& key, const std::string& name);
  std::map<std::string, std::string> m_texts;
  std::map<std::string, uint32_t> m_dwords;
};

}  // namespace qv
