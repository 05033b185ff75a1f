#include "base/msgsink.h"
#include "tests/common/testenv.h"

namespace tvtest {
namespace {
MessageCapture* g_active = nullptr;
void OnError(const char* t) {
  if (g_active) g_active->errors.emplace_back(t ? t : "");
}
void OnInfo(const char* t) {
  if (g_active) g_active->infos.emplace_back(t ? t : "");
}
void OnMessage(const char* t) {
  if (g_active) g_active->messages.emplace_back(t ? t : "");
}
}  // namespace

MessageCapture::MessageCapture() {
  g_active = this;
  SetEngineCallbacks(OnMessage, OnError, nullptr, OnInfo, nullptr, nullptr);
}

MessageCapture::~MessageCapture() {
  ClearEngineCallbacks();
  g_active = nullptr;
}

std::string MessageCapture::AllErrors() const {
  std::string s;
  for (auto& e : errors) s += e + "\n";
  return s;
}

}  // namespace tvtest
