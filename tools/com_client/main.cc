// velixcom-client PROGID [STATEMENT...]
//
// Loads the class's server through the emulated HKEY_CLASSES_ROOT, creates
// one object and runs statements on it, given as arguments or, when there
// are none, read from standard input one a line. A statement's fields are
// separated by tabs:
//   get <Name>                read a property (or call a method without arguments)
//   put <Name> <value>        write a property
//   call <Name> [args...]     call a method with text arguments
//   new                       create another object and use it from now on
//   release                   release the object in use and go back to the one before
//   unload                    release every object and ask DllCanUnloadNow
// Each statement prints one line: the statement, the HRESULT, the member's own
// HRESULT for DISP_E_EXCEPTION, and the result with CR and LF escaped.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/com_client/com_client.h"

namespace {

std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

void print(const std::string& statement, HRESULT hr, SCODE exception, const std::string& value) {
  std::printf("%s hr=0x%08X", statement.c_str(), static_cast<unsigned>(hr));
  if (hr == DISP_E_EXCEPTION) std::printf(" scode=0x%08X", static_cast<unsigned>(exception));
  std::printf(" value=%s\n", escaped(value).c_str());
  std::fflush(stdout);
}

class Session {
 public:
  explicit Session(com_client::LoadedServer& server) : server_(server) {}
  ~Session() { ReleaseAll(); }

  HRESULT New() {
    IDispatch* object = nullptr;
    const HRESULT hr = server_.Create(&object);
    if (SUCCEEDED(hr)) objects_.push_back(object);
    return hr;
  }

  // Returns false for a statement it does not know.
  bool Run(const std::vector<std::string>& f) {
    const std::string& verb = f[0];
    const std::string name = f.size() > 1 ? f[1] : "";
    IDispatch* object = objects_.empty() ? nullptr : objects_.back();
    if (verb == "new") {
      print(verb, New(), 0, "");
    } else if (verb == "release") {
      if (object != nullptr) {
        object->Release();
        objects_.pop_back();
      }
      print(verb, object ? S_OK : E_UNEXPECTED, 0, "");
    } else if (verb == "unload") {
      ReleaseAll();
      print(verb, server_.CanUnloadNow(), 0, "");
    } else if ((verb == "get" || verb == "put" || verb == "call") && f.size() >= 2) {
      if (object == nullptr) {
        print(verb + " " + name, E_UNEXPECTED, 0, "");
        return true;
      }
      com_client::CallResult r;
      if (verb == "get") r = com_client::get(object, name);
      else if (verb == "put") r = com_client::put(object, name, f.size() > 2 ? f[2] : "");
      else r = com_client::call(object, name, std::vector<std::string>(f.begin() + 2, f.end()));
      print(verb + " " + name, r.hr, r.exception, r.text);
    } else {
      return false;
    }
    return true;
  }

 private:
  void ReleaseAll() {
    while (!objects_.empty()) {
      objects_.back()->Release();
      objects_.pop_back();
    }
  }

  com_client::LoadedServer& server_;
  std::vector<IDispatch*> objects_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: velixcom-client PROGID [STATEMENT...]\n");
    return 2;
  }
  com_client::LoadedServer server;
  HRESULT hr = server.Load(argv[1]);
  if (FAILED(hr)) {
    std::fprintf(stderr, "cannot load %s: 0x%08X\n", argv[1], static_cast<unsigned>(hr));
    return 1;
  }
  Session session(server);
  hr = session.New();
  print("new", hr, 0, "");
  if (FAILED(hr)) return 1;

  std::vector<std::string> lines(argv + 2, argv + argc);
  if (argc == 2)
    for (std::string line; std::getline(std::cin, line);) lines.push_back(line);
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    if (!session.Run(split_tabs(line))) {
      std::fprintf(stderr, "unknown statement: %s\n", line.c_str());
      return 2;
    }
  }
  return 0;
}
