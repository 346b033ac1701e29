#pragma once
// The message types as the viewer knows them: one table gives each type its name, its picture
// in the trace and whether it opens or closes a level. Code tests types by name
// (EnumMessageType), never by number.

#include "tw/messaging/envelope.hpp"

#include <QString>

namespace tw::viewer {

using tw::messaging::EnumMessageType;

enum class Nesting { None, Enters, Exits };

struct MessageTypeInfo {
    EnumMessageType type;
    const char* name;  // as the detail pane shows it
    qint32 icon;       // picture index into the trace image list; 0 for none
    Nesting nesting;
};

// The row of a type; nullptr for a number that is no known type.
const MessageTypeInfo* FindMessageType(qint32 type);
// "Formula entry", ...; "Type 12" for a number that is no known type.
QString MessageTypeName(qint32 type);
// The picture shown for a type; 0 for none (the scratch type and unknown numbers).
qint32 MessageTypeIcon(qint32 type);
// Formula and subreport entries open a level, their exits close one.
bool EntersLevel(qint32 type);
bool ExitsLevel(qint32 type);

constexpr bool IsType(qint32 type, EnumMessageType t) { return type == static_cast<qint32>(t); }

}  // namespace tw::viewer
