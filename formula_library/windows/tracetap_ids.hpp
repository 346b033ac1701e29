// Identifiers of the Tracetap type library, classes and interfaces. They must match
// Tracetap.idl; the Wine test reads the compiled type library back and compares.
#pragma once

#include <windows.h>

namespace tw::tracetap {

// {C417622A-C908-460E-BAF3-A014476F58C1}
inline constexpr GUID kLibId = {0xC417622A, 0xC908, 0x460E, {0xBA, 0xF3, 0xA0, 0x14, 0x47, 0x6F, 0x58, 0xC1}};
inline constexpr WORD kLibMajor = 3;
inline constexpr WORD kLibMinor = 0;
inline constexpr LCID kLibLcid = 0x0409;

inline constexpr GUID kIidSend = {
    0x46C30A94, 0x0F0F, 0x4913, {0x9F, 0x22, 0xF6, 0x6E, 0xEA, 0xC9, 0xB7, 0x96}};
inline constexpr GUID kIidEnter = {
    0xAFE7720D, 0x47A0, 0x4B2D, {0x8B, 0x8D, 0x49, 0x06, 0xE7, 0x33, 0x39, 0xB4}};
inline constexpr GUID kIidExit = {
    0x0D7CABA7, 0xFDD0, 0x485B, {0xAA, 0xED, 0x26, 0x44, 0x83, 0xB3, 0xD5, 0x9E}};
inline constexpr GUID kIidAdd = {
    0x3460C2FA, 0x50F2, 0x487F, {0x81, 0xF1, 0xF7, 0x74, 0x66, 0x33, 0x83, 0x16}};
inline constexpr GUID kIidMessage = {
    0x4F153863, 0x488E, 0x4753, {0x9B, 0x6D, 0x83, 0xFC, 0x89, 0x91, 0xF4, 0xEC}};

inline constexpr GUID kClsidSend = {
    0xEDCEE31F, 0x5427, 0x4734, {0x97, 0x7C, 0xBF, 0xE5, 0xFA, 0x6E, 0x14, 0x67}};
inline constexpr GUID kClsidEnter = {
    0x58CDE2CC, 0x0F26, 0x4F0B, {0xB2, 0xEE, 0x99, 0xF3, 0x33, 0xAA, 0xC0, 0x8E}};
inline constexpr GUID kClsidExit = {
    0x5A189B94, 0xCA59, 0x4914, {0x80, 0xD5, 0x56, 0x48, 0x40, 0x18, 0x13, 0xE0}};
inline constexpr GUID kClsidAdd = {
    0xA9770D3F, 0x52DE, 0x4DB0, {0x95, 0x40, 0x26, 0xFD, 0x8F, 0xDE, 0xB1, 0x26}};
inline constexpr GUID kClsidMessage = {
    0x7EEC8A28, 0xC7B9, 0x484E, {0xB6, 0x3E, 0xB9, 0x19, 0x73, 0x92, 0xE1, 0xEA}};

// One creatable class: its identifier, default interface, name and class name.
struct ClassEntry {
    const GUID* clsid;
    const GUID* iid;
    const char* className;  // "Send": the programmatic identifiers are Tracetap.<name>, CRUFLDebug.<name>
};

inline constexpr ClassEntry kClasses[] = {
    {&kClsidSend, &kIidSend, "Send"},          {&kClsidEnter, &kIidEnter, "Enter"},
    {&kClsidExit, &kIidExit, "Exit"},          {&kClsidAdd, &kIidAdd, "Add"},
    {&kClsidMessage, &kIidMessage, "Message"},
};

// The two programmatic-identifier prefixes: the library's own, and the one the report
// engine's function-library loader looks for (it names functions Debug<Class><Method>).
inline constexpr const char* kProgIdPrefixes[] = {"Tracetap.", "CRUFLDebug."};

}  // namespace tw::tracetap
