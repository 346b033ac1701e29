/* Tracetap formula functions for any host on Linux: each call sends one message to the
   Tracewell viewer of this user and waits until the viewer has taken it. Text arguments are
   UTF-8 (a null pointer counts as empty text); characters outside Windows-1252 arrive as '?'.
   Every function returns the empty text (a static "") and never fails, also without a viewer.
   Safe to call from any thread. */
#ifndef TRACETAP_H
#define TRACETAP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

const char* DebugSendMsg(const char* message);
const char* DebugSendMsgEx(const char* message, int32_t recordNumber);
const char* DebugSendScratch(const char* message, int32_t id);
const char* DebugSendNote(const char* message);
const char* DebugSendNoteEx(const char* message, int32_t recordNumber);
const char* DebugSendError(const char* message);
const char* DebugSendErrorEx(const char* message, int32_t recordNumber);
const char* DebugSendWarning(const char* message);
const char* DebugSendWarningEx(const char* message, int32_t recordNumber);
const char* DebugSendObject(const char* objectName, const char* objectValue, int32_t recordNumber);
const char* DebugEnterFormula(const char* formulaName, int32_t recordNumber);
const char* DebugEnterSubReport(const char* subReportName);
const char* DebugExitFormula(void);
const char* DebugExitSubReport(void);
const char* DebugAddCheckPoint(void);

#ifdef __cplusplus
}
#endif

#endif
