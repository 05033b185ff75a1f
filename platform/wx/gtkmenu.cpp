#include "platform/wx/gtkmenu.h"

#include <dlfcn.h>

namespace tv {

bool ShowMenuImages() {
  // Looked up in the GTK that wx has loaded, so the build needs no GTK headers.
  using SettingsFn = void* (*)();
  using SetFn = void (*)(void*, const char*, ...);
  auto settings = reinterpret_cast<SettingsFn>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default"));
  auto set = reinterpret_cast<SetFn>(dlsym(RTLD_DEFAULT, "g_object_set"));
  void* object = settings && set ? settings() : nullptr;
  if (!object) return false;
  set(object, "gtk-menu-images", 1, static_cast<void*>(nullptr));
  return true;
}

}  // namespace tv
