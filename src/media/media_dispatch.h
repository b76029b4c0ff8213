// The media-player control as the music player drives it: dispatch members called by
// identifier with a kind (get, put, method) and typed values. The Win32 side answers
// through the control's IDispatch, or maps the same identifiers onto the newer
// control's C++ interfaces where IDispatch is not answered; RecordingDispatch records
// every call for tests.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv {

enum class DispatchKind { Get, Put, Method };

class MediaDispatch;

struct DispatchValue {
  enum class Type { None, Int, Bool, String, Double, Object };
  Type type = Type::None;
  int32_t i = 0;
  bool b = false;
  double d = 0;
  std::string s;
  std::unique_ptr<MediaDispatch> object;  // a fetched object, released after one call

  static DispatchValue Int(int32_t v) { DispatchValue x; x.type = Type::Int; x.i = v; return x; }
  static DispatchValue Bool(bool v) { DispatchValue x; x.type = Type::Bool; x.b = v; return x; }
  static DispatchValue String(std::string v) { DispatchValue x; x.type = Type::String; x.s = std::move(v); return x; }
  static DispatchValue Double(double v) { DispatchValue x; x.type = Type::Double; x.d = v; return x; }
  // "int 100", "bool false", "string none", "double 1.5", "object", "none".
  std::string Describe() const;
};

class MediaDispatch {
 public:
  virtual ~MediaDispatch() = default;
  // One call. A get fills result; false when the control refuses the call.
  virtual bool Invoke(int32_t id, DispatchKind kind, std::vector<DispatchValue> args, DispatchValue* result) = 0;
};

// Which control the probe chose.
enum class ControlGeneration { Older, Newer };

// Makes the control as a hidden child of the sound window; none when that fails.
class ControlFactory {
 public:
  virtual ~ControlFactory() = default;
  virtual std::unique_ptr<MediaDispatch> CreateControl(ControlGeneration generation) = 0;
};

// Records calls as "<object> <kind> <id> <values>" lines in one shared log, e.g.
// "settings put 107 int 100" or "player get 17". Gets of the newer control's object
// members (settings 5, controls 4, currentMedia 6, error 17) return child recorders
// named "settings", "controls", "media", "error"; other gets return the value set in
// answers (by id), or fail when there is none.
class RecordingDispatch final : public MediaDispatch {
 public:
  struct Shared {
    std::vector<std::string> log;
    std::vector<std::pair<int32_t, DispatchValue>> answers;  // the last match wins
    std::vector<int32_t> refused;                            // ids whose calls fail
    bool objectMembers = true;                               // newer control
    int liveObjects = 0;
  };
  RecordingDispatch(std::shared_ptr<Shared> shared, std::string name);
  ~RecordingDispatch() override;
  bool Invoke(int32_t id, DispatchKind kind, std::vector<DispatchValue> args, DispatchValue* result) override;

 private:
  std::shared_ptr<Shared> m_shared;
  std::string m_name;
};

}  // namespace qv
