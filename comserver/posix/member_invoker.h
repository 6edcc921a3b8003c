// Builds a MemberInvoker from a pointer to an interface method: [in]
// arguments are read from their coerced variants, a trailing [out, retval]
// pointer receives a local whose value is stored into the result variant.
#pragma once

#include <tuple>
#include <type_traits>
#include <utility>

#include "comserver/posix/type_description.h"

namespace member_invoker {

// Reads an [in] argument of the member's C++ type from its variant.
template <typename T> T read(const VARIANT& v);
template <> inline BSTR read<BSTR>(const VARIANT& v) { return v.bstrVal; }
template <> inline LONG read<LONG>(const VARIANT& v) { return v.lVal; }  // VT_I4 and VT_INT alike
template <> inline VARIANT_BOOL read<VARIANT_BOOL>(const VARIANT& v) { return v.boolVal; }

inline void store(BSTR value, VARIANT* result) { result->bstrVal = value; }
inline void store(LONG value, VARIANT* result) { result->lVal = value; }
inline void store(VARIANT_BOOL value, VARIANT* result) { result->boolVal = value; }

// A trailing pointer other than a BSTR (which is itself a pointer) is the retval.
template <typename T>
constexpr bool is_retval = std::is_pointer_v<T> && !std::is_same_v<T, BSTR>;

template <typename... A>
constexpr bool last_is_retval() {
  if constexpr (sizeof...(A) == 0) {
    return false;
  } else {
    return is_retval<std::tuple_element_t<sizeof...(A) - 1, std::tuple<A...>>>;
  }
}

template <typename Method> struct Invoker;

template <typename I, typename... A>
struct Invoker<HRESULT (STDMETHODCALLTYPE I::*)(A...)> {
  using Args = std::tuple<A...>;
  static constexpr size_t kCount = sizeof...(A);

  template <auto M, size_t... N>
  static HRESULT call_in(I* target, VARIANT* args, std::index_sequence<N...>) {
    return (target->*M)(read<std::tuple_element_t<N, Args>>(args[N])...);
  }
  template <auto M, typename R, size_t... N>
  static HRESULT call_out(I* target, VARIANT* args, R* out, std::index_sequence<N...>) {
    return (target->*M)(read<std::tuple_element_t<N, Args>>(args[N])..., out);
  }

  template <auto M>
  static HRESULT call(IDispatch* object, VARIANT* args, VARIANT* result) {
    I* target = static_cast<I*>(object);
    if constexpr (last_is_retval<A...>()) {
      std::remove_pointer_t<std::tuple_element_t<kCount - 1, Args>> out{};
      const HRESULT hr = call_out<M>(target, args, &out, std::make_index_sequence<kCount - 1>{});
      store(out, result);
      return hr;
    } else {
      return call_in<M>(target, args, std::make_index_sequence<kCount>{});
    }
  }
};

}  // namespace member_invoker

template <auto Method>
HRESULT invoke_member(IDispatch* object, VARIANT* args, VARIANT* result) {
  return member_invoker::Invoker<decltype(Method)>::template call<Method>(object, args, result);
}
