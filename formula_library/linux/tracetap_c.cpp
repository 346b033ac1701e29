// The C interface of the formula functions on Linux. No exception leaves these functions:
// a failure inside (out of memory) ends the call with the empty text, the formula goes on.
#include "tracetap.h"
#include "tw/formula_library/functions.hpp"
#include "tw/messaging/codepage.hpp"

#include <string>

namespace {

const char kEmpty[] = "";

std::string Text(const char* utf8) { return utf8 ? tw::messaging::Utf8ToCodePage(utf8) : std::string(); }

template <typename F>
const char* Guard(F&& f) noexcept {
    try {
        f();
    } catch (...) {
    }
    return kEmpty;
}

const tw::formula::Send kSend;
const tw::formula::Enter kEnter;
const tw::formula::Exit kExit;
const tw::formula::Add kAdd;

}  // namespace

extern "C" {

const char* DebugSendMsg(const char* m) { return Guard([&] { kSend.Msg(Text(m)); }); }
const char* DebugSendMsgEx(const char* m, int32_t r) { return Guard([&] { kSend.MsgEx(Text(m), r); }); }
const char* DebugSendScratch(const char* m, int32_t id) { return Guard([&] { kSend.Scratch(Text(m), id); }); }
const char* DebugSendNote(const char* m) { return Guard([&] { kSend.Note(Text(m)); }); }
const char* DebugSendNoteEx(const char* m, int32_t r) { return Guard([&] { kSend.NoteEx(Text(m), r); }); }
const char* DebugSendError(const char* m) { return Guard([&] { kSend.Error(Text(m)); }); }
const char* DebugSendErrorEx(const char* m, int32_t r) { return Guard([&] { kSend.ErrorEx(Text(m), r); }); }
const char* DebugSendWarning(const char* m) { return Guard([&] { kSend.Warning(Text(m)); }); }
const char* DebugSendWarningEx(const char* m, int32_t r) { return Guard([&] { kSend.WarningEx(Text(m), r); }); }
const char* DebugSendObject(const char* n, const char* v, int32_t r) {
    return Guard([&] { kSend.Object(Text(n), Text(v), r); });
}
const char* DebugEnterFormula(const char* n, int32_t r) { return Guard([&] { kEnter.Formula(Text(n), r); }); }
const char* DebugEnterSubReport(const char* n) { return Guard([&] { kEnter.SubReport(Text(n)); }); }
const char* DebugExitFormula(void) { return Guard([&] { kExit.Formula(); }); }
const char* DebugExitSubReport(void) { return Guard([&] { kExit.SubReport(); }); }
const char* DebugAddCheckPoint(void) { return Guard([&] { kAdd.CheckPoint(); }); }

}  // extern "C"
