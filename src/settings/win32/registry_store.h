// Settings in the registry under HKEY_CURRENT_USER.
#pragma once
#include "settings/settings_store.h"

namespace qv {

class RegistryStore final : public SettingsStore {
 public:
  bool ReadText(const std::string& key, const std::string& name, size_t maxBytes, std::string& out) override;
  bool WriteText(const std::string& key, const std::string& name, const std::string& text) override;
  bool ReadDword(const std::string& key, const std::string& name, uint32_t& out) override;
  bool HasValue(const std::string& key, const std::string& name) override;
};

}  // namespace qv
