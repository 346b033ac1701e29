#include "tw/testing/message_boxes.hpp"

namespace tw::test {

BoxRecorder::BoxRecorder() { setMessageBoxes(this); }
BoxRecorder::~BoxRecorder() { setMessageBoxes(nullptr); }

void BoxRecorder::Show(const QString& prompt, const QString& caption, BoxIcon icon) {
    boxes.push_back({prompt, caption, icon});
    prompts << prompt;
    captions << caption;
}

}  // namespace tw::test
