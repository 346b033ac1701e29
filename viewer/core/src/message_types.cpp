#include "tw/core/message_types.hpp"

#include <array>

namespace tw::viewer {
namespace {

constexpr std::array<MessageTypeInfo, 11> kTypes{{
    {EnumMessageType::SendMsg, "Message", 12, Nesting::None},
    {EnumMessageType::SendNote, "Note", 5, Nesting::None},
    {EnumMessageType::SendError, "Error", 4, Nesting::None},
    {EnumMessageType::SendWarning, "Warning", 11, Nesting::None},
    {EnumMessageType::SendObject, "Object", 14, Nesting::None},
    {EnumMessageType::SendScratch, "Scratch", 0, Nesting::None},
    {EnumMessageType::EnterFormula, "Formula entry", 6, Nesting::Enters},
    {EnumMessageType::ExitFormula, "Formula exit", 7, Nesting::Exits},
    {EnumMessageType::EnterSubReport, "Subreport entry", 9, Nesting::Enters},
    // A subreport's exit shows the formula exit's picture.
    {EnumMessageType::ExitSubReport, "Subreport exit", 7, Nesting::Exits},
    {EnumMessageType::AddCheckPoint, "Check point", 8, Nesting::None},
}};

}  // namespace

const MessageTypeInfo* FindMessageType(qint32 type) {
    for (const MessageTypeInfo& info : kTypes)
        if (IsType(type, info.type)) return &info;
    return nullptr;
}

QString MessageTypeName(qint32 type) {
    const MessageTypeInfo* info = FindMessageType(type);
    return info ? QString::fromLatin1(info->name) : QStringLiteral("Type %1").arg(type);
}

qint32 MessageTypeIcon(qint32 type) {
    const MessageTypeInfo* info = FindMessageType(type);
    return info ? info->icon : 0;
}

bool EntersLevel(qint32 type) {
    const MessageTypeInfo* info = FindMessageType(type);
    return info && info->nesting == Nesting::Enters;
}

bool ExitsLevel(qint32 type) {
    const MessageTypeInfo* info = FindMessageType(type);
    return info && info->nesting == Nesting::Exits;
}

}  // namespace tw::viewer
