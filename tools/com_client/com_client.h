// A COM client in miniature: finds a class by its ProgID in the emulated
// HKEY_CLASSES_ROOT, loads its in-process server, creates objects through the
// class factory and calls their members by name through IDispatch.
#pragma once

#include <string>
#include <vector>

#include "comserver/com/com.h"
#include "platform/dynamic_library.h"

namespace com_client {

// ProgID -> CLSID, following CurVer to the current version first.
HRESULT clsid_from_prog_id(const std::string& prog_id, CLSID* clsid);
// The InprocServer32 path registered for a class.
HRESULT in_process_server(REFCLSID clsid, std::string* path);

// One loaded server and the class it serves.
class LoadedServer {
 public:
  LoadedServer() = default;
  ~LoadedServer();
  LoadedServer(const LoadedServer&) = delete;
  LoadedServer& operator=(const LoadedServer&) = delete;

  // Resolves the ProgID and loads the server's library.
  HRESULT Load(const std::string& prog_id);
  // A new object of the class, as IDispatch.
  HRESULT Create(IDispatch** object);
  // DllCanUnloadNow; S_OK also unloads the library.
  HRESULT CanUnloadNow();

 private:
  platform::LibraryHandle library_ = nullptr;
  CLSID clsid_{};
  DllGetClassObjectFunction get_class_object_ = nullptr;
  DllCanUnloadNowFunction can_unload_now_ = nullptr;
};

// A member's value or call result, printable.
struct CallResult {
  HRESULT hr = S_OK;
  std::string text;  // the result as text (VT_BSTR, numbers, booleans as -1/0); empty if none
  SCODE exception = 0;  // the member's own HRESULT when hr is DISP_E_EXCEPTION
};

// The member Name read (property get or method without arguments).
CallResult get(IDispatch* object, const std::string& name);
// Name = value, the value given as text and coerced by the object.
CallResult put(IDispatch* object, const std::string& name, const std::string& value);
// Name(args...) with text arguments.
CallResult call(IDispatch* object, const std::string& name, const std::vector<std::string>& args);

}  // namespace com_client
