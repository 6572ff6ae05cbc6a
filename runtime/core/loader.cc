// Loading and unloading of modules (shared libraries with attach and detach
// hooks).
#include <dlfcn.h>
#include <sys/stat.h>

#include "runtime/api/runtime.h"

namespace rt {
namespace {

[[noreturn]] void LoadFailed(const std::string& path, const std::string& why) {
  Raise(ErrorInfo{.description = "cannot load module " + path + ": " + why,
                  .operation = "LoadModule",
                  .subsystem = "LOADER",
                  .gen_code = kErrOpen,
                  .filename = path});
}

}  // namespace

void* LoadModule(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) LoadFailed(path, "no such file");
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    LoadFailed(path, why ? why : "not a loadable library");
  }
  auto attach = reinterpret_cast<ModuleHookFn>(dlsym(handle, RT_MODULE_ATTACH_SYMBOL));
  auto detach = reinterpret_cast<ModuleHookFn>(dlsym(handle, RT_MODULE_DETACH_SYMBOL));
  if (!attach || !detach) {
    dlclose(handle);
    LoadFailed(path, "the library has no module hooks (" RT_MODULE_ATTACH_SYMBOL
                     " and " RT_MODULE_DETACH_SYMBOL ")");
  }
  if (attach() == 0) {
    dlclose(handle);
    LoadFailed(path, "the module refused to attach");
  }
  return handle;
}

void UnloadModule(void* handle) {
  if (!handle) return;
  auto detach = reinterpret_cast<ModuleHookFn>(dlsym(handle, RT_MODULE_DETACH_SYMBOL));
  if (detach) detach();
  dlclose(handle);
}

}  // namespace rt
