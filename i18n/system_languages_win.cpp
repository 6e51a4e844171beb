// The user's languages on Windows: the Languages list of the Windows Runtime
// class Windows.System.UserProfile.GlobalizationPreferences, and each
// locale's scripts from GetLocaleInfoEx(LOCALE_SSCRIPTS). Under Wine both
// follow LANG / LC_ALL of the Linux environment.

#include <inspectable.h>
#include <objbase.h>
#include <roapi.h>
#include <windows.h>
#include <winstring.h>

#include "i18n/user_languages.h"
#include "i18n/winrt_owners_win.h"
#include "windows/com_apartment_win.h"

namespace zevrino::desktop::i18n::gettext {

// MinGW ships no header for Windows.System.UserProfile, so the two interfaces
// needed are declared here with the vtable layout of their metadata. Only
// get_Size, GetAt and get_Languages are called.
//
// They must not go into an anonymous namespace: GCC then sees that nothing
// in the program implements them and turns every call into a call of
// __cxa_pure_virtual.
struct hstring_vector_view : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, HSTRING* item) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE IndexOf(HSTRING value, UINT32* index, boolean* found) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, HSTRING* items,
                                            UINT32* actual) = 0;
};

// Windows.System.UserProfile.IGlobalizationPreferencesStatics.
struct globalization_preferences_statics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Calendars(hstring_vector_view** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Clocks(hstring_vector_view** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Currencies(hstring_vector_view** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Languages(hstring_vector_view** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HomeGeographicRegion(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WeekStartsOn(INT32* value) = 0;
};

namespace {

const IID iid_globalization_preferences_statics = {
    0x01BF4326, 0xED37, 0x4E96, {0xB0, 0xE9, 0xC1, 0x34, 0x0D, 0x1E, 0xA1, 0x58}};

constexpr wchar_t class_name[] = L"Windows.System.UserProfile.GlobalizationPreferences";

bool to_utf8(const wchar_t* text, int length, std::string& out) {
  out.clear();
  if (length == 0) {
    return true;
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  return WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr) == size;
}

bool to_utf16(const std::string& text, std::wstring& out) {
  out.clear();
  if (text.empty()) {
    return true;
  }
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) {
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  return MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), size) == size;
}

class windows_language_source : public language_source {
 public:
  bool preferred_languages(std::vector<std::string>& tags) override {
    // The catalogs are chosen before the program initialises COM for
    // itself, and activation needs an initialised thread. Use the same
    // apartment the program will enter later and leave the thread as found.
    installer::ScopedComApartment apartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    scoped_hstring name;
    if (FAILED(WindowsCreateString(class_name, static_cast<UINT32>(wcslen(class_name)),
                                   name.Receive()))) {
      return false;
    }
    installer::ScopedComPointer<globalization_preferences_statics> statics;
    if (FAILED(RoGetActivationFactory(name.get(), iid_globalization_preferences_statics,
                                      reinterpret_cast<void**>(statics.Receive())))) {
      return false;
    }
    installer::ScopedComPointer<hstring_vector_view> languages;
    if (FAILED(statics.get()->get_Languages(languages.Receive()))) {
      return false;
    }
    UINT32 size = 0;
    if (FAILED(languages.get()->get_Size(&size))) {
      return false;
    }
    for (UINT32 i = 0; i < size; ++i) {
      scoped_hstring language;
      if (FAILED(languages.get()->GetAt(i, language.Receive()))) {
        return false;
      }
      UINT32 length = 0;
      const wchar_t* raw = WindowsGetStringRawBuffer(language.get(), &length);
      std::string tag;
      if (!to_utf8(raw, static_cast<int>(length), tag)) {
        return false;
      }
      tags.push_back(tag);
    }
    return true;
  }

  bool locale_scripts(const std::string& tag, std::string& scripts) override {
    std::wstring wide_tag;
    if (!to_utf16(tag, wide_tag)) {
      return false;
    }
    const int length = GetLocaleInfoEx(wide_tag.c_str(), LOCALE_SSCRIPTS, nullptr, 0);
    if (length <= 0) {
      return false;
    }
    std::wstring buffer(static_cast<std::size_t>(length), L'\0');
    if (GetLocaleInfoEx(wide_tag.c_str(), LOCALE_SSCRIPTS, buffer.data(), length) != length) {
      return false;
    }
    // The length counts the terminating NUL.
    return to_utf8(buffer.c_str(), length - 1, scripts);
  }
};

}  // namespace

std::unique_ptr<language_source> system_language_source() {
  return std::make_unique<windows_language_source>();
}

}  // namespace zevrino::desktop::i18n::gettext
