#include "media/media_dispatch.h"

#include <algorithm>
#include <cstdio>

namespace qv {

std::string DispatchValue::Describe() const {
  switch (type) {
    case Type::Int: return "int " + std::to_string(i);
    case Type::Bool: return b ? "bool true" : "bool false";
    case Type::String: return "string " + s;
    case Type::Double: {
      char text[32];
      std::snprintf(text, sizeof text, "double %g", d);
      return text;
    }
    case Type::Object: return "object";
    case Type::None: break;
  }
  return "none";
}

RecordingDispatch::RecordingDispatch(std::shared_ptr<Shared> shared, std::string name)
    : m_shared(std::move(shared)), m_name(std::move(name)) {
  ++m_shared->liveObjects;
}

RecordingDispatch::~RecordingDispatch() { --m_shared->liveObjects; }

bool RecordingDispatch::Invoke(int32_t id, DispatchKind kind, std::vector<DispatchValue> args, DispatchValue* result) {
  static const char* const kKinds[] = {"get", "put", "method"};
  std::string line = m_name;
  line.append(" ").append(kKinds[static_cast<int>(kind)]).append(" ").append(std::to_string(id));
  for (const DispatchValue& a : args) line.append(" ").append(a.Describe());
  m_shared->log.push_back(line);
  if (std::find(m_shared->refused.begin(), m_shared->refused.end(), id) != m_shared->refused.end()) return false;
  if (kind != DispatchKind::Get) return true;
  if (m_shared->objectMembers && m_name == "player") {
    const char* child = id == 5 ? "settings" : id == 4 ? "controls" : id == 6 ? "media" : id == 17 ? "error" : nullptr;
    if (child) {
      result->type = DispatchValue::Type::Object;
      result->object = std::make_unique<RecordingDispatch>(m_shared, child);
      return true;
    }
  }
  for (auto it = m_shared->answers.rbegin(); it != m_shared->answers.rend(); ++it) {
    if (it->first != id) continue;
    const DispatchValue& v = it->second;
    result->type = v.type;
    result->i = v.i;
    result->b = v.b;
    result->d = v.d;
    result->s = v.s;
    return true;
  }
  return false;
}

}  // namespace qv
