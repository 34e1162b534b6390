#include "quillane/model/EngineBinding.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

#include "common/AppPaths.h"
#include "common/FilePath.h"
#include "trellin/lwdata.h"

namespace quillane {
namespace {

constexpr const char* kEngineFileName = "libtrellin.so";

std::mutex bindingMutex;
std::atomic<void*> engineModule{nullptr};

// The entry point of that name in the bound engine, or null. Looked up at
// every call: a build of the engine may lack any one of them.
template <typename Function>
Function* entry(const char* name) {
  void* module = engineModule.load(std::memory_order_acquire);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function*>(dlsym(module, name));
}

}  // namespace

bool EngineBinding::bind() { return bind(common::applicationFolder()); }

bool EngineBinding::bind(const std::string& folder) {
  std::lock_guard lock(bindingMutex);
  if (engineModule.load() != nullptr) return true;
  if (folder.empty()) return false;
  const std::string path = common::joinPath(folder, kEngineFileName);
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    dlerror();  // clear the pending error text; failure is silent
    return false;
  }
  engineModule.store(module, std::memory_order_release);
  return true;
}

void EngineBinding::unbind() {
  std::lock_guard lock(bindingMutex);
  void* module = engineModule.exchange(nullptr);
  if (module != nullptr) dlclose(module);
}

bool EngineBinding::isBound() { return engineModule.load() != nullptr; }

CLWData* EngineBinding::createLWData() {
  auto* create = entry<decltype(::CreateLWData)>("CreateLWData");
  return create ? create() : nullptr;
}

void EngineBinding::deleteLWData(CLWData* data) {
  auto* destroy = entry<decltype(::DeleteLWData)>("DeleteLWData");
  if (destroy) destroy(data);
}

bool EngineBinding::setImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                 int32_t bytesPerPixel, const uint8_t* pixels) {
  auto* set = entry<decltype(::LWDataSetImageData)>("LWDataSetImageData");
  return set && set(data, width, height, stride, bytesPerPixel, pixels) != 0;
}

bool EngineBinding::returnImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                    int32_t bytesPerPixel, uint8_t* pixels) {
  auto* get = entry<decltype(::LWDataReturnImageData)>("LWDataReturnImageData");
  return get && get(data, width, height, stride, bytesPerPixel, pixels) != 0;
}

bool EngineBinding::pinhole(CLWData* data, int32_t targetColour, int32_t fillColour,
                            int32_t largestArea) {
  auto* run = entry<decltype(::LWPinhole)>("LWPinhole");
  return run && run(data, targetColour, fillColour, largestArea) != 0;
}

bool EngineBinding::runPinhole(FilterImageData& image, bool removeDarkSpecks, int32_t largestArea) {
  CLWData* data = createLWData();
  if (data == nullptr) return false;
  const int32_t target = removeDarkSpecks ? kBlack : kWhite;
  const int32_t fill = removeDarkSpecks ? kWhite : kBlack;
  bool ok = setImageData(data, image.width(), image.height(), image.stride(), image.bytesPerPixel(),
                         image.isEmpty() ? nullptr : image.pixels());
  if (ok) ok = pinhole(data, target, fill, largestArea);
  if (ok)
    ok = returnImageData(data, image.width(), image.height(), image.stride(), image.bytesPerPixel(),
                         image.pixels());
  deleteLWData(data);
  return ok;
}

}  // namespace quillane
