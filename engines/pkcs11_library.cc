// Loading and unloading the vendor library of a PKCS#11 engine.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <thread>

#include "engines/pkcs11_context.h"
#include "engines/pkcs11_session.h"

namespace pkcs11 {

namespace {

void forget_library(Context& ctx) {
  platform::free_library(ctx.library);
  ctx.library = nullptr;
  ctx.functions = nullptr;
  ctx.extended = nullptr;
  ctx.initialized = false;
}

}  // namespace

int32_t load_library(Context& ctx, const char* file_name) {
  ctx.library = platform::load_library(file_name);
  if (ctx.library == nullptr) return kLibraryMissing;
  auto get_function_list = reinterpret_cast<CK_C_GetFunctionList>(
      platform::library_symbol(ctx.library, "C_GetFunctionList"));
  if (get_function_list == nullptr) {
    forget_library(ctx);
    return kEntryPointMissing;
  }
  CK_FUNCTION_LIST_PTR functions = nullptr;
  if (get_function_list(&functions) != CKR_OK || functions == nullptr) {
    forget_library(ctx);
    return kFunctionListFailed;
  }
  ctx.functions = functions;
  if (functions->C_Initialize(nullptr) != CKR_OK) {
    forget_library(ctx);
    return kInitializeFailed;
  }
  ctx.initialized = true;
  return kLoaded;
}

int32_t load_library_with_extension(Context& ctx, const char* file_name) {
  const int32_t result = load_library(ctx, file_name);
  if (result != kLoaded) return result;
  auto get_extended = reinterpret_cast<VendorGetFunctionListFn>(
      platform::library_symbol(ctx.library, "C_EX_GetFunctionListExtended"));
  if (get_extended == nullptr) {
    unload_library(ctx);
    return kEntryPointMissing;
  }
  VendorFunctionList* extended = nullptr;
  if (get_extended(reinterpret_cast<void**>(&extended)) != CKR_OK || extended == nullptr) {
    unload_library(ctx);
    return kFunctionListFailed;
  }
  ctx.extended = extended;
  return kLoaded;
}

void unload_library(Context& ctx) {
  if (ctx.functions != nullptr && ctx.initialized) ctx.functions->C_Finalize(nullptr);
  forget_library(ctx);
}

void seed_token_generator(Context& ctx) {
  Session session(ctx);
  if (session.open() != 0) return;
  // Ten bytes that differ between runs: time, thread and the C generator.
  const auto now = static_cast<uint32_t>(std::time(nullptr));
  const auto thread = static_cast<uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
  const auto noise = static_cast<uint16_t>(std::rand());
  CK_BYTE seed[10];
  std::memcpy(seed, &now, 4);
  std::memcpy(seed + 4, &thread, 4);
  std::memcpy(seed + 8, &noise, 2);
  session.f()->C_SeedRandom(session.handle(), seed, sizeof seed);
}

}  // namespace pkcs11
