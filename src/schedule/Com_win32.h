#pragma once
// COM for the Task Scheduler: an owning interface pointer, a BSTR, and
// HRESULTs turned into failures. Included only by Windows files.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace vantoril::schedule::com {

// Releases the interface when it goes out of scope.
template <class T>
class Ptr {
 public:
  Ptr() = default;
  ~Ptr() { reset(); }
  Ptr(Ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ptr& operator=(Ptr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For the out parameter of a call; releases what was held.
  T** put() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  // The same object through another of its interfaces.
  template <class U>
  Ptr<U> as() const {
    Ptr<U> other;
    if (p_) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other.put()));
    return other;
  }

 private:
  T* p_ = nullptr;
};

// A BSTR that frees itself.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { ::SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  operator BSTR() const { return b_; }
  BSTR* put() {
    ::SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::wstring text() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

// COM for this thread while in scope (a thread that has it already keeps it).
class Apartment {
 public:
  Apartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  HRESULT hr_;
};

// Throws Failure "<what>：<the system's message>" when `hr` failed.
void check(HRESULT hr, const std::string& what);

}  // namespace vantoril::schedule::com
