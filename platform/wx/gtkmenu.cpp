#include "platform/wx/gtkmenu.h"

#include <dlfcn.h>

namespace tv {

namespace {

// Looked up in the GTK that wx has loaded, so the build needs no GTK headers.
template <typename Fn>
Fn Gtk(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

bool ShowMenuImages() {
  using SettingsFn = void* (*)();
  using SetFn = void (*)(void*, const char*, ...);
  auto settings = Gtk<SettingsFn>("gtk_settings_get_default");
  auto set = Gtk<SetFn>("g_object_set");
  void* object = settings && set ? settings() : nullptr;
  if (!object) return false;
  set(object, "gtk-menu-images", 1, static_cast<void*>(nullptr));
  return true;
}

bool SetNativeMenuItemImage(void* gtkMenuItem, const wxBitmap& bitmap) {
  using NewFn = void* (*)(void*);
  using SetImageFn = void (*)(void*, void*);
  using ShowFn = void (*)(void*);
  using TypeFn = unsigned long (*)();
  using IsAFn = int (*)(void*, unsigned long);
  auto fromPixbuf = Gtk<NewFn>("gtk_image_new_from_pixbuf");
  auto setImage = Gtk<SetImageFn>("gtk_image_menu_item_set_image");
  auto show = Gtk<ShowFn>("gtk_widget_show");
  auto imageItemType = Gtk<TypeFn>("gtk_image_menu_item_get_type");
  auto isA = Gtk<IsAFn>("g_type_check_instance_is_a");
  if (!gtkMenuItem || !fromPixbuf || !setImage || !show || !imageItemType || !isA) return false;
  if (!isA(gtkMenuItem, imageItemType())) return false;
  if (!bitmap.IsOk()) {
    setImage(gtkMenuItem, nullptr);
    return true;
  }
  void* image = fromPixbuf(bitmap.GetPixbuf());
  if (!image) return false;
  show(image);
  setImage(gtkMenuItem, image);
  return true;
}

}  // namespace tv
