// Late-bound automation in plain Win32 (no Qt): objects created by programmatic identifier,
// members looked up by name at every use, failures turned into numbered errors as Basic
// reports them. The Stepwright's engine runtime adapter is built on it.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// windows.h maps GetObject to GetObjectA or GetObjectW by UNICODE, which differs between the
// programs that include this (Qt's builds define it); the member below is the automation's own.
#undef GetObject
// clang-format on

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::builder::automation {

// Error numbers that callers tell apart.
inline constexpr long kCannotCreateObject = 429;  // "ActiveX component can't create object"
inline constexpr long kNoSuchMember = 438;        // "Object doesn't support this property or method"
inline constexpr long kObjectNotSet = 91;         // "Object variable or With block variable not set"

// A failed automation call: the number and description Basic would report.
class AutomationError : public std::runtime_error {
  public:
    AutomationError(long number, std::wstring description);
    long number() const { return m_number; }
    const std::wstring& description() const { return m_description; }

    // The error for a failed HRESULT (and the server's exception information, if any).
    static AutomationError FromResult(HRESULT hr, const EXCEPINFO* info = nullptr);

  private:
    long m_number;
    std::wstring m_description;
};

// An owned VARIANT.
class Variant {
  public:
    Variant() { VariantInit(&m_value); }
    explicit Variant(const std::wstring& text);
    explicit Variant(long number);
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);

    VARIANT* get() { return &m_value; }
    const VARIANT* get() const { return &m_value; }

  private:
    VARIANT m_value;
};

// A reference to an automation object (IDispatch). Copies share the object.
class Object {
  public:
    Object() = default;
    // Takes over one reference of `dispatch`.
    explicit Object(IDispatch* dispatch) : m_dispatch(dispatch) {}
    ~Object() { Reset(); }
    Object(const Object& other);
    Object& operator=(const Object& other);
    Object(Object&& other) noexcept : m_dispatch(other.m_dispatch) { other.m_dispatch = nullptr; }
    Object& operator=(Object&& other) noexcept;

    // Creates the object of the first programmatic identifier in `progIds` that can be created
    // (in-process or local server). Throws AutomationError 429 when none can.
    static Object Create(std::initializer_list<const wchar_t*> progIds);

    bool IsNothing() const { return m_dispatch == nullptr; }
    IDispatch* get() const { return m_dispatch; }

    // Reads a property or calls a method by name (DISPATCH_METHOD | DISPATCH_PROPERTYGET),
    // arguments in call order. Throws AutomationError.
    Variant Invoke(const wchar_t* name, const std::vector<Variant>& args = {}) const;
    Object GetObject(const wchar_t* name, const std::vector<Variant>& args = {}) const;
    std::wstring GetText(const wchar_t* name) const;
    long GetNumber(const wchar_t* name) const;

    // Collections: Count, and Item(index) counted from 1.
    long Count() const { return GetNumber(L"Count"); }
    Object Item(long index) const { return GetObject(L"Item", {Variant(index)}); }

  private:
    void Reset();
    IDispatch* m_dispatch = nullptr;
};

// Conversions of a result; throw AutomationError (13, type mismatch) when impossible.
Object ToObject(const Variant& value);
std::wstring ToText(const Variant& value);
long ToNumber(const Variant& value);

}  // namespace tw::builder::automation
