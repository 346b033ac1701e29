#include "display_test_support.hpp"

namespace tw::viewer::test {

int AddLine(TraceTree& tree, qint32 type, qint32 record, const QString& text, int parent) {
    return tree.Append(parent, MessageSink::CreateEx(qint16(type), record, text), PackStamp(9, 5, 42));
}

}  // namespace tw::viewer::test
