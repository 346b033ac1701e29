#include "tw/formula_library/functions.hpp"

#include "tw/messaging/envelope.hpp"
#include "tw/messaging/transport.hpp"

#include <atomic>

namespace tw::formula {
namespace {

using messaging::EnumMessageType;

std::atomic<DeliverFunction> g_deliver{nullptr};
std::atomic<std::uint64_t> g_cut{0};

// Builds the envelope, delivers it and gives the formula its empty result.
std::string Call(EnumMessageType type, std::string_view message, std::int32_t recordNumber,
                 std::string_view objectName = {}, std::string_view objectValue = {}) {
    const std::size_t length = type == EnumMessageType::SendObject ? objectName.size() + 3 + objectValue.size()
                                                                   : message.size();
    if (length > std::size_t(messaging::kMaxMessageLength)) g_cut.fetch_add(1, std::memory_order_relaxed);
    const std::string envelope =
        messaging::BuildEnvelope(static_cast<int>(type), message, recordNumber, objectName, objectValue);
    if (DeliverFunction deliver = g_deliver.load()) {
        deliver(envelope);
    } else {
        messaging::SendEnvelope(envelope);
    }
    return {};
}

}  // namespace

void SetDelivery(DeliverFunction deliver) { g_deliver.store(deliver); }

std::uint64_t CutMessageCount() { return g_cut.load(std::memory_order_relaxed); }

std::string Send::Msg(std::string_view message) const { return Call(EnumMessageType::SendMsg, message, 0); }
std::string Send::MsgEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendMsg, message, recordNumber);
}
std::string Send::Scratch(std::string_view message, std::int32_t id) const {
    return Call(EnumMessageType::SendScratch, message, id);
}
std::string Send::Note(std::string_view message) const { return Call(EnumMessageType::SendNote, message, 0); }
std::string Send::NoteEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendNote, message, recordNumber);
}
std::string Send::Error(std::string_view message) const { return Call(EnumMessageType::SendError, message, 0); }
std::string Send::ErrorEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendError, message, recordNumber);
}
std::string Send::Warning(std::string_view message) const { return Call(EnumMessageType::SendWarning, message, 0); }
std::string Send::WarningEx(std::string_view message, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendWarning, message, recordNumber);
}
std::string Send::Object(std::string_view objectName, std::string_view objectValue, std::int32_t recordNumber) const {
    return Call(EnumMessageType::SendObject, {}, recordNumber, objectName, objectValue);
}

std::string Enter::Formula(std::string_view formulaName, std::int32_t recordNumber) const {
    return Call(EnumMessageType::EnterFormula, formulaName, recordNumber);
}
std::string Enter::SubReport(std::string_view subReportName) const {
    return Call(EnumMessageType::EnterSubReport, subReportName, 0);
}

std::string Exit::Formula() const { return Call(EnumMessageType::ExitFormula, {}, 0); }
std::string Exit::SubReport() const { return Call(EnumMessageType::ExitSubReport, {}, 0); }

std::string Add::CheckPoint() const { return Call(EnumMessageType::AddCheckPoint, kCheckPointLine, 0); }

}  // namespace tw::formula
